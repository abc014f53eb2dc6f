// The run count as a program file stores it: the marker "000000000", then the
// count as "%ld" text ending in a zero byte, inside one 256-byte block of the
// file's first 1280 bytes. Everything here works on one block in memory and
// never reads or writes outside it.
#pragma once

#include <cstdint>

constexpr int kRunBlockSize = 256;
// Only the first five blocks are searched.
constexpr long kRunSearchBytes = 5 * kRunBlockSize;
constexpr char kRunMarker[] = "000000000";
constexpr int kRunMarkerLength = 9;
// Bytes after the marker that a count may occupy: the longest count text,
// "-2147483648", and its zero byte. A marker without this much room left in
// its block is not used, so a count never outgrows its block.
constexpr int kRunCountRoom = 12;

// The first position of `block` (of `positions` bytes) at which the
// `marker_length` bytes of `marker` stand wholly inside it; null when none.
const char* find_marker(const char* block, const char* marker, int positions,
                        int marker_length);

// Looks for a usable marker in the block and, when there is one, replaces
// the number after it by that number plus one and a zero byte. A number
// whose successor is not a signed 32-bit value leaves the block unchanged.
// Returns true when the block was changed; `new_count` is then the count
// written.
bool bump_run_count(char* block, int32_t& new_count);
