// Key events read from a file descriptor: a terminal in raw mode, or a pipe
// or file read byte by byte, both through the key decoder.
//
// key_source_read blocks for the next event and gives kKeyInputEnded at end
// of file, on a read error or a hang-up. key_source_waiting never blocks and
// is cheap enough to be called once per Monte Carlo replicate: between two
// looks at the descriptor (at most one per millisecond) it answers from what
// is already decoded, so a key is seen within about a millisecond and no key
// is lost or changed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "console/key_decoder.h"

struct KeySource {
  int fd = -1;
  bool is_terminal = false;
  bool ended = false;
  KeyDecoder decoder;
  uint8_t pending[256];     // bytes read but not yet decoded
  size_t pending_count = 0;
  int64_t last_byte_ns = 0;  // CLOCK_MONOTONIC time of the last byte read
  std::deque<int> events;    // decoded, not yet taken
  std::vector<int> scratch;
  int64_t next_look_ns = 0;  // CLOCK_MONOTONIC time of the next look at fd
  uint32_t calls_between_looks = 0;
  int64_t escape_timeout_ns = 40'000'000;
  // Called when a blocking wait was interrupted by a signal (for example a
  // window size change that wants a redraw); may be null.
  void (*interrupted)(void* ctx) = nullptr;
  void* interrupted_ctx = nullptr;
};

void key_source_open(KeySource& source, int fd, bool is_terminal);
int key_source_read(KeySource& source);
bool key_source_waiting(KeySource& source);
// Drops a terminal's type-ahead, decoded or not; a pipe keeps its bytes.
void key_source_flush_type_ahead(KeySource& source);
