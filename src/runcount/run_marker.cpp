#include "runcount/run_marker.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

const char* find_marker(const char* block, const char* marker, int positions,
                        int marker_length) {
  for (int p = 0; p + marker_length <= positions; ++p) {
    if (std::memcmp(block + p, marker, static_cast<size_t>(marker_length)) == 0) return block + p;
  }
  return nullptr;
}

bool bump_run_count(char* block, int32_t& new_count) {
  const char* match = find_marker(block, kRunMarker, kRunBlockSize, kRunMarkerLength);
  if (match == nullptr) return false;
  const int number_at = static_cast<int>(match - block) + kRunMarkerLength;
  if (number_at + kRunCountRoom > kRunBlockSize) return false;

  // The stored text may run to the end of the block without a zero byte:
  // read it from a terminated copy so the conversion cannot run past it.
  char text[kRunBlockSize + 1];
  const int text_length = kRunBlockSize - number_at;
  std::memcpy(text, block + number_at, static_cast<size_t>(text_length));
  text[text_length] = '\0';
  errno = 0;
  char* end = nullptr;
  long run_count = std::strtol(text, &end, 10);
  if (end == text) run_count = 0;  // no digits: the first run
  if (errno == ERANGE || run_count >= INT32_MAX || run_count < static_cast<long>(INT32_MIN) - 1) {
    return false;
  }

  new_count = static_cast<int32_t>(run_count + 1);
  char written[kRunCountRoom];
  const int length = std::snprintf(written, sizeof written, "%ld", static_cast<long>(new_count));
  std::memcpy(block + number_at, written, static_cast<size_t>(length) + 1);
  return true;
}
