// Internal to the console: the one screen model and the attached backend,
// shared by the output and input halves of the con_ operations. Nothing
// outside src/console includes this.
#pragma once

#include "console/console.h"

struct ConsoleState {
  ConsoleModel model;
  ConsoleBackend backend;
  void (*input_end_handler)() = nullptr;
  bool in_input_end_handler = false;
};

ConsoleState& console_state();

// Shows the model through the backend, if one is attached.
void console_present();
