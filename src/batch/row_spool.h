// Rows waiting for q_bh, in bounded memory: their text gathers in a buffer
// of a bound's size and goes to an unlinked temporary file whenever the
// buffer is full, and only each row's leading p (8 bytes) stays in memory.
// Once the run is done the rows are read back in order, each with its q_bh.
// A file of millions of units thus runs in about the memory of a small one,
// and one whose rows fit in the buffer never writes them twice.
//
// Rows are stored without their line feed, one a line (a row's cells are
// escaped, so it never holds one).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "fileio/unique_fd.h"

// The rows' bytes held in memory before they go to the file. Small: the
// buffer is used again and again, where a large one would take fresh pages
// row after row on the thread that writes the outputs, each page a fault
// that costs more than writing its bytes to the file (the kernel keeps them
// in the page cache).
inline constexpr size_t kSpoolMemory = size_t{1} << 16;
// Where the heap's pages are large (2 MiB), a fault costs little against
// writing and reading back the file: most runs' rows stay in memory.
inline constexpr size_t kSpoolMemoryOnLargePages = size_t{1} << 25;

struct RowSpool {
  size_t memory = kSpoolMemory;  // set before open_row_spool
  UniqueFd file{-1};
  std::string directory;      // where the file is, for messages
  std::string unwritten;      // bytes not yet written to the file
  uint64_t written = 0;       // bytes in the file
  std::vector<double> leads;  // one per row, in row order
};

// How far the spool was at one point, to go back to.
struct SpoolMark {
  uint64_t bytes = 0;
  size_t rows = 0;
};

// Creates the file in $TMPDIR (or /tmp when it is unset or empty) and
// unlinks it at once, so that a full folder fails the run before any
// analysis. 0, or the errno of the failure.
int open_row_spool(RowSpool& spool);

// Appends a row and its leading p. False on a write error (errno set).
bool spool_row(RowSpool& spool, std::string_view row, double lead);

SpoolMark spool_mark(const RowSpool& spool);

// Drops every row appended after the mark. False on an error (errno set).
bool spool_rollback(RowSpool& spool, SpoolMark mark);

// Hands out the rows in order, in chunks of whole rows: each call gives
// the rows from index `first` on, one per line, every line ending in a
// line feed. Stops when `each` gives false. 0, or the errno of a read
// failure.
int spool_replay(
    RowSpool& spool,
    const std::function<bool(std::string_view rows, size_t first)>& each);
