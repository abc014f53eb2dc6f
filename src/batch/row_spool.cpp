#include "batch/row_spool.h"

#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "fileio/fd_io.h"

namespace {

constexpr size_t kFallbackMemory = size_t{1} << 16;
// The replay reads (and its caller writes) in larger blocks: it runs alone
// once the analysis is done, so each system call and pass counts in full.
constexpr size_t kReplayChunk = size_t{1} << 20;

// memchr goes through a row's bytes many at a time, where a byte-by-byte
// count would cost several instructions each.
size_t count_lines(std::string_view text) {
  size_t count = 0;
  const char* at = text.data();
  const char* const end = at + text.size();
  while (at < end) {
    const void* found = std::memchr(at, '\n', static_cast<size_t>(end - at));
    if (found == nullptr) break;
    ++count;
    at = static_cast<const char*>(found) + 1;
  }
  return count;
}

bool flush_unwritten(RowSpool& spool) {
  if (spool.unwritten.empty()) return true;
  errno = 0;
  if (!write_all(spool.file.fd, spool.unwritten.data(), spool.unwritten.size())) {
    if (errno == 0) errno = EIO;
    return false;
  }
  spool.written += spool.unwritten.size();
  spool.unwritten.clear();
  return true;
}

// Rows that never went to the file, handed out where they are, in pieces
// of whole rows of about a block each.
int replay_in_memory(std::string_view text,
                     const std::function<bool(std::string_view rows, size_t first)>& each) {
  size_t start = 0;
  size_t row = 0;
  while (start < text.size()) {
    // Every row ends in a line feed, the last one included.
    size_t end = text.size() - 1;
    if (text.size() - start > kReplayChunk) {
      end = text.rfind('\n', start + kReplayChunk - 1);
      if (end == std::string_view::npos || end < start) end = text.find('\n', start);
    }
    const std::string_view rows = text.substr(start, end + 1 - start);
    if (!each(rows, row)) return 0;
    row += count_lines(rows);
    start = end + 1;
  }
  return 0;
}

}  // namespace

int open_row_spool(RowSpool& spool) {
  const char* tmpdir = std::getenv("TMPDIR");
  spool.directory = tmpdir != nullptr && *tmpdir != '\0' ? tmpdir : "/tmp";
  std::string path = spool.directory + "/hwmc-rows-XXXXXX";
  const int fd = ::mkostemp(path.data(), O_CLOEXEC);
  if (fd < 0) return errno;
  spool.file.close_now();
  spool.file.fd = fd;
  ::unlink(path.c_str());
  spool.unwritten.clear();
  // Reserved whole, so that growing never copies what is held (the pages
  // are only taken as rows fill them). Where even that address space is
  // refused, rows go to the file in small pieces from the start.
  try {
    spool.unwritten.reserve(spool.memory);
  } catch (const std::bad_alloc&) {
    spool.memory = kFallbackMemory;
    spool.unwritten.reserve(spool.memory);
  }
  spool.written = 0;
  spool.leads.clear();
  return 0;
}

bool spool_row(RowSpool& spool, std::string_view row, double lead) {
  // What is held goes to the file before it would outgrow the bound.
  if (spool.unwritten.size() + row.size() + 1 > spool.memory && !flush_unwritten(spool))
    return false;
  spool.leads.push_back(lead);
  spool.unwritten.append(row);
  spool.unwritten += '\n';
  return true;
}

SpoolMark spool_mark(const RowSpool& spool) {
  return SpoolMark{spool.written + spool.unwritten.size(), spool.leads.size()};
}

bool spool_rollback(RowSpool& spool, SpoolMark mark) {
  spool.leads.resize(std::min(spool.leads.size(), mark.rows));
  if (mark.bytes >= spool.written) {
    spool.unwritten.resize(static_cast<size_t>(mark.bytes - spool.written));
    return true;
  }
  spool.unwritten.clear();
  if (::ftruncate(spool.file.fd, static_cast<off_t>(mark.bytes)) != 0 ||
      ::lseek(spool.file.fd, static_cast<off_t>(mark.bytes), SEEK_SET) < 0)
    return false;
  spool.written = mark.bytes;
  return true;
}

int spool_replay(
    RowSpool& spool,
    const std::function<bool(std::string_view rows, size_t first)>& each) {
  if (spool.written == 0) return replay_in_memory(spool.unwritten, each);
  if (!flush_unwritten(spool)) return errno;
  // A buffer that is read into, not cleared first: a string's resize would
  // write every byte once before the read writes it again.
  std::unique_ptr<char[]> chunk;
  size_t capacity = 0;
  size_t kept = 0;  // the last chunk's partial row, at the start
  uint64_t offset = 0;
  size_t row = 0;
  while (offset < spool.written) {
    const size_t want =
        static_cast<size_t>(std::min<uint64_t>(kReplayChunk, spool.written - offset));
    if (kept + want > capacity) {
      // The first chunk, or a row longer than what is left of the buffer:
      // doubled, so that a row of many chunks is not copied once per chunk.
      const size_t larger_size = std::max(kept + want, 2 * capacity);
      std::unique_ptr<char[]> larger = std::make_unique_for_overwrite<char[]>(larger_size);
      if (kept > 0) std::memcpy(larger.get(), chunk.get(), kept);
      chunk = std::move(larger);
      capacity = larger_size;
    }
    errno = 0;
    if (!read_exact_at(spool.file.fd, chunk.get() + kept, want, static_cast<off_t>(offset))) {
      return errno != 0 ? errno : EIO;
    }
    offset += want;
    const std::string_view read(chunk.get(), kept + want);
    const size_t end = read.rfind('\n');
    if (end == std::string_view::npos) {  // a row longer than a chunk
      kept = read.size();
      continue;
    }
    const std::string_view rows = read.substr(0, end + 1);
    const size_t count = count_lines(rows);
    if (!each(rows, row)) return 0;
    row += count;
    kept = read.size() - rows.size();
    std::memmove(chunk.get(), chunk.get() + rows.size(), kept);
  }
  return 0;
}
