#include "runcount/run_counter.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fileio/fd_io.h"
#include "fileio/unique_fd.h"
#include "runcount/count_lock.h"
#include "runcount/file_attributes.h"
#include "runcount/run_marker.h"

namespace {

// How long an exit waits for another copy of the program to finish counting
// before it leaves without counting.
constexpr int kLockPatience_ms = 200;

// The marker the built program carries, as an ELF note: notes are placed in
// the first page of the file, right after the program headers, so it lies in
// the counter's 1280-byte search area. Its exact offset is the linker's
// choice; should the first marker and its count room cross a 256-byte block
// boundary, the search cannot use it and finds the second one, which then
// lies wholly in the next block. Defined beside count_run_in so that every
// program able to count carries it.
struct RunCountNote {
  uint32_t name_size;
  uint32_t desc_size;
  uint32_t type;
  char name[8];  // "hwmc" and its zero byte, padded to 4 bytes
  char desc[2 * (kRunMarkerLength + kRunCountRoom) + 2];  // padded to 4 bytes
};
constexpr uint32_t kRunCountNoteType = 0x736e7572;  // "runs"

__attribute__((section(".note.hwmc"), used, aligned(4)))
const RunCountNote kRunCountNote = {
    5,
    2 * (kRunMarkerLength + kRunCountRoom),
    kRunCountNoteType,
    {'h', 'w', 'm', 'c', 0, 0, 0, 0},
    {'0', '0', '0', '0', '0', '0', '0', '0', '0', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
     '0', '0', '0', '0', '0', '0', '0', '0', '0', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
     0, 0},
};
static_assert(sizeof(RunCountNote) % 4 == 0, "notes are padded to 4 bytes");

// Holds back the signals that end or stop the process (the user's Ctrl-C,
// SIGTERM, a hang-up, a stop) for its lifetime, so that the copy being
// written is always either renamed into place or removed; whatever arrives
// meanwhile acts once the guard is gone.
struct HoldSignals {
  sigset_t old_mask;
  HoldSignals() {
    sigset_t held;
    sigemptyset(&held);
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGTSTP}) sigaddset(&held, s);
    sigprocmask(SIG_BLOCK, &held, &old_mask);
  }
  HoldSignals(const HoldSignals&) = delete;
  HoldSignals& operator=(const HoldSignals&) = delete;
  ~HoldSignals() { sigprocmask(SIG_SETMASK, &old_mask, nullptr); }
};

// A copy that is removed unless it has been renamed into place.
struct TempCopy {
  std::string path;
  UniqueFd file{-1};
  bool kept = false;
  ~TempCopy() {
    file.close_now();
    if (!path.empty() && !kept) ::unlink(path.c_str());
  }
};

// Writes the file with `block` in place of its bytes at `block_start` to a
// new file in the same folder and renames it over `path`.
bool replace_with_counted_copy(const std::string& path, int original, const struct stat& info,
                               off_t block_start, const char* block) {
  const size_t slash = path.rfind('/');
  TempCopy copy;
  copy.path = path.substr(0, slash + 1) + "." + path.substr(slash + 1) + ".count-XXXXXX";
  copy.file.fd = ::mkostemp(copy.path.data(), O_CLOEXEC);
  if (copy.file.fd < 0) {
    copy.path.clear();
    return false;
  }

  char chunk[16384];
  off_t offset = 0;
  for (;;) {
    const ssize_t n = read_at(original, chunk, sizeof chunk, offset);
    if (n < 0) return false;
    if (n == 0) break;
    // Substitute whatever part of the block falls into this chunk.
    const off_t chunk_end = offset + n;
    const off_t from = block_start > offset ? block_start : offset;
    const off_t to = block_start + kRunBlockSize < chunk_end ? block_start + kRunBlockSize : chunk_end;
    if (from < to) {
      std::memcpy(chunk + (from - offset), block + (from - block_start), static_cast<size_t>(to - from));
    }
    if (!write_all(copy.file.fd, chunk, static_cast<size_t>(n))) return false;
    offset = chunk_end;
  }
  if (offset != info.st_size || offset < block_start + kRunBlockSize) return false;

  struct stat made;
  if (::fstat(copy.file.fd, &made) != 0) return false;
  if ((made.st_uid != info.st_uid || made.st_gid != info.st_gid) &&
      ::fchown(copy.file.fd, info.st_uid, info.st_gid) != 0) {
    return false;
  }
  // After fchown, which clears the set-user-ID and set-group-ID bits.
  if (::fchmod(copy.file.fd, info.st_mode & 07777) != 0) return false;
  // Last: a change of owner or contents would drop a file capability.
  if (!copy_extended_attributes(original, copy.file.fd)) return false;
  if (::fstat(copy.file.fd, &made) != 0 || made.st_mode != info.st_mode) return false;
  if (::fsync(copy.file.fd) != 0) return false;
  if (copy.file.close_now() != 0) return false;
  if (::rename(copy.path.c_str(), path.c_str()) != 0) return false;
  copy.kept = true;
  return true;
}

}  // namespace

int32_t count_run_in(const char* path, bool& counted) {
  counted = false;
  if (path == nullptr || path[0] == '\0') return 0;
  // The copy must go beside the file itself, not beside a link to it.
  char resolved[PATH_MAX];
  if (::realpath(path, resolved) == nullptr) return 0;
  if (::access(resolved, W_OK) != 0) return 0;

  // Held until the counted copy has replaced the file: a second copy of the
  // program ending now reads the count only after that.
  UniqueFd file(open_locked(resolved, kLockPatience_ms));
  if (file.fd < 0) return 0;
  struct stat info;
  if (::fstat(file.fd, &info) != 0 || !S_ISREG(info.st_mode)) return 0;
  // Root passes the access test on any file; the user's read-only mark must
  // still stop the counting.
  if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return 0;

  char block[kRunBlockSize];
  int32_t new_count = 0;
  off_t block_start = 0;
  bool found = false;
  for (; block_start + kRunBlockSize <= kRunSearchBytes; block_start += kRunBlockSize) {
    if (!read_exact_at(file.fd, block, sizeof block, block_start)) break;
    if (bump_run_count(block, new_count)) {
      found = true;
      break;
    }
  }
  if (!found) return 1;
  const HoldSignals held;
  if (!replace_with_counted_copy(resolved, file.fd, info, block_start, block)) return new_count;
  counted = true;
  return new_count;
}

std::string program_file_path() {
  char path[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", path, sizeof path);
  if (n <= 0 || static_cast<size_t>(n) >= sizeof path) return std::string();
  return std::string(path, static_cast<size_t>(n));
}
