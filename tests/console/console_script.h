// Keys for the console from a script, through the ordinary backend
// interface: tests type what a user would.
//
// con_reset_for_test resets the console and attaches a backend whose keys are
// the given codes (an extended key written as kExtendedKey | scan), with an
// input end handler that throws ConsoleInputEnded when the script runs out
// (a test that sets its own handler afterwards replaces it).
// attach_with_script attaches another backend that still takes its keys from
// the script.
#pragma once

#include <deque>
#include <vector>

#include "console/console.h"

struct ConsoleInputEnded {};

namespace console_script {

inline std::deque<int> keys;

inline int read_key(void*) {
  if (keys.empty()) return kKeyInputEnded;
  const int event = keys.front();
  keys.pop_front();
  return event;
}

inline bool key_waiting(void*) { return !keys.empty(); }

inline void throw_input_ended() { throw ConsoleInputEnded{}; }

}  // namespace console_script

inline void attach_with_script(ConsoleBackend backend) {
  backend.read_key = console_script::read_key;
  backend.key_waiting = console_script::key_waiting;
  con_attach_backend(backend);
}

inline void con_reset_for_test(const std::vector<int>& keys = {}) {
  con_reset();
  console_script::keys.assign(keys.begin(), keys.end());
  attach_with_script(ConsoleBackend{});
  con_set_input_end_handler(console_script::throw_input_ended);
}

inline void con_push_test_keys(const std::vector<int>& keys) {
  console_script::keys.insert(console_script::keys.end(), keys.begin(), keys.end());
}
