// Internal to the console: the one screen model, the attached backend and the
// key script of the tests, shared by the output and input halves of the con_
// operations. Nothing outside src/console includes this.
#pragma once

#include <deque>

#include "console/console.h"

struct ConsoleState {
  ConsoleModel model;
  ConsoleBackend backend;
  std::deque<int> test_keys;  // the key input when no backend reads keys
  bool test_mode = false;     // con_reset_for_test was called
  void (*input_end_handler)() = nullptr;
  bool in_input_end_handler = false;
};

ConsoleState& console_state();

// Shows the model through the backend, if one is attached.
void console_present();
