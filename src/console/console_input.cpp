// The key half of the console: con_getch with its pending scan code,
// con_kbhit, the line editor, and the end of the key input.

#include "console/console.h"
#include "console/console_state.h"

namespace {

// What happens when no key can come any more: the program's handler ends
// the process; a handler that returns anyway (or a second end met while the
// handler runs) gets the console's own failure code.
int input_ended() {
  ConsoleState& s = console_state();
  if (s.input_end_handler != nullptr && !s.in_input_end_handler) {
    struct Reentry {
      bool& flag;
      ~Reentry() { flag = false; }
    } reentry{s.in_input_end_handler};
    s.in_input_end_handler = true;
    s.input_end_handler();
  }
  return -1;
}

int next_key_event() {
  ConsoleState& s = console_state();
  if (s.backend.read_key != nullptr) return s.backend.read_key(s.backend.ctx);
  return kKeyInputEnded;
}

}  // namespace

void con_set_input_end_handler(void (*handler)()) { console_state().input_end_handler = handler; }

int con_getch() {
  ConsoleState& s = console_state();
  if (s.model.pending_scan >= 0) {
    const int scan = s.model.pending_scan;
    s.model.pending_scan = -1;
    return scan;
  }
  const int event = next_key_event();
  if (event == kKeyInputEnded || event < 0) return input_ended();
  if (event & kExtendedKey) {
    s.model.pending_scan = event & 0xFF;
    return 0;
  }
  return event & 0xFF;
}

int con_kbhit() {
  ConsoleState& s = console_state();
  if (s.model.pending_scan >= 0) return 1;
  if (s.backend.key_waiting != nullptr) return s.backend.key_waiting(s.backend.ctx) ? 1 : 0;
  return 0;
}

char* con_read_line(char* buffer) {
  uint8_t* const bytes = reinterpret_cast<uint8_t*>(buffer);
  const int capacity = bytes[0];
  char* const text = buffer + 2;
  int n = 0;
  for (;;) {
    const int key = con_getch();
    // A key input that ended without ending the process finishes the line
    // as Enter would, rather than spinning on the failure code.
    if (key == kKeyEnter || key < 0) break;
    bool erase = key == kKeyBackspace;
    if (key == 0) erase = con_getch() == kScanLeft;
    else if (key != kKeyBackspace && n < capacity - 1) {
      con_putch(key);
      text[n++] = static_cast<char>(key);
    }
    if (erase && n > 0) {
      con_printf("\b \b");
      --n;
    }
  }
  // Capacity 0 leaves no room even for the terminating zero byte.
  if (capacity > 0) text[n] = '\0';
  bytes[1] = static_cast<uint8_t>(n);
  return text;
}
