// What the counted copy must carry over and survive: extended attributes,
// ACLs and capabilities, concurrent counts, signals in the middle of it.
#include <errno.h>
#include <linux/capability.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "runcount/run_counter.h"
#include "runcount/run_files.h"

namespace {

constexpr size_t kMarkerAt = 100;

// The count standing after the marker at kMarkerAt; -1 when unreadable.
long stored_count(const std::string& path) {
  const Bytes bytes = read_bytes(path);
  if (bytes.size() < kMarkerAt + 21) return -1;
  if (std::string(bytes.data() + kMarkerAt, 9) != "000000000") return -1;
  return std::strtol(bytes.data() + kMarkerAt + 9, nullptr, 10);
}

std::vector<char> attribute(const std::string& path, const char* name) {
  std::vector<char> value(256);
  const ssize_t n = getxattr(path.c_str(), name, value.data(), value.size());
  value.resize(n < 0 ? 0 : static_cast<size_t>(n));
  return value;
}

ino_t inode_of(const std::string& path) {
  struct stat st{};
  stat(path.c_str(), &st);
  return st.st_ino;
}

// A POSIX access ACL in the kernel's xattr form: owner rwx, user 12345 r--,
// group r-x, mask r-x, others r-x.
std::vector<char> acl_with_a_named_user() {
  struct Entry {
    uint16_t tag, perm;
    uint32_t id;
  };
  const uint32_t version = 2;
  const Entry entries[] = {{0x01, 7, ~0u}, {0x02, 4, 12345}, {0x04, 5, ~0u}, {0x10, 5, ~0u}, {0x20, 5, ~0u}};
  std::vector<char> bytes(sizeof version + sizeof entries);
  std::memcpy(bytes.data(), &version, sizeof version);
  std::memcpy(bytes.data() + sizeof version, entries, sizeof entries);
  return bytes;
}

class CountedCopy : public ::testing::Test {
 protected:
  RunTempDir dir;
  std::string program = dir.file("prog");
};

TEST_F(CountedCopy, KeepsExtendedAttributesAndTheAcl) {
  write_bytes(program, program_bytes(5000, kMarkerAt, marker_with("41")));
  ASSERT_EQ(chmod(program.c_str(), 0755), 0);
  if (setxattr(program.c_str(), "user.origin", "lab 7", 5, 0) != 0)
    GTEST_SKIP() << "no user extended attributes here: " << std::strerror(errno);
  const std::vector<char> acl = acl_with_a_named_user();
  const bool with_acl = setxattr(program.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0) == 0;
  const mode_t mode = file_mode(program);
  const ino_t before = inode_of(program);

  bool counted = false;
  EXPECT_EQ(count_run_in(program.c_str(), counted), 42);
  ASSERT_TRUE(counted);
  EXPECT_NE(inode_of(program), before);
  EXPECT_EQ(stored_count(program), 42);
  const std::vector<char> origin = attribute(program, "user.origin");
  EXPECT_EQ(std::string(origin.begin(), origin.end()), "lab 7");
  if (with_acl) {
    EXPECT_EQ(attribute(program, "system.posix_acl_access"), acl);
  }
  EXPECT_EQ(file_mode(program), mode);
  EXPECT_EQ(dir.entries().size(), 1u);
}

// Takes CAP_SETFCAP out of the effective set of this process.
bool drop_setfcap() {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[2]{};
  if (syscall(SYS_capget, &header, data) != 0) return false;
  data[CAP_SETFCAP / 32].effective &= ~(1u << (CAP_SETFCAP % 32));
  return syscall(SYS_capset, &header, data) == 0;
}

TEST_F(CountedCopy, KeepsAFileCapabilityOrDoesNotCount) {
  write_bytes(program, program_bytes(5000, kMarkerAt, marker_with("41")));
  ASSERT_EQ(chmod(program.c_str(), 0755), 0);
  vfs_cap_data cap{};
  cap.magic_etc = VFS_CAP_REVISION_2 | VFS_CAP_FLAGS_EFFECTIVE;
  cap.data[0].permitted = 1u << CAP_NET_RAW;
  if (geteuid() != 0 || setxattr(program.c_str(), "security.capability", &cap, XATTR_CAPS_SZ_2, 0) != 0)
    GTEST_SKIP() << "file capabilities can be set only by root";
  const std::vector<char> capability = attribute(program, "security.capability");
  ASSERT_FALSE(capability.empty());

  bool counted = false;
  EXPECT_EQ(count_run_in(program.c_str(), counted), 42);
  ASSERT_TRUE(counted);
  EXPECT_EQ(attribute(program, "security.capability"), capability);

  // Without the right to set capabilities the copy cannot have it: no count,
  // the very same file with its capability, no copy left.
  const Bytes bytes = read_bytes(program);
  const ino_t inode = inode_of(program);
  const pid_t child = fork();
  if (child == 0) {
    bool child_counted = true;
    if (!drop_setfcap()) _exit(2);
    count_run_in(program.c_str(), child_counted);
    _exit(child_counted ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: counted without the capability, 2: could not drop it";
  EXPECT_EQ(read_bytes(program), bytes);
  EXPECT_EQ(inode_of(program), inode);
  EXPECT_EQ(attribute(program, "security.capability"), capability);
  EXPECT_EQ(dir.entries().size(), 1u);
}

TEST_F(CountedCopy, ConcurrentCountsAreNotLost) {
  write_bytes(program, program_bytes(200000, kMarkerAt, marker_with("0")));
  constexpr int kRuns = 24;
  int start[2];
  ASSERT_EQ(pipe(start), 0);
  std::vector<pid_t> children;
  for (int i = 0; i < kRuns; ++i) {
    const pid_t child = fork();
    if (child == 0) {
      close(start[1]);
      char go;
      if (read(start[0], &go, 1) < 0) _exit(2);  // end of file: everyone starts at once
      bool counted = false;
      count_run_in(program.c_str(), counted);
      _exit(counted ? 0 : 1);
    }
    children.push_back(child);
  }
  close(start[0]);
  close(start[1]);
  int counted_runs = 0;
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) ++counted_runs;
  }
  // Each copy either counts or, having waited too long, stays out of the way;
  // how many wait too long depends on the machine's load, so only the first
  // is sure to count.
  EXPECT_GE(counted_runs, 1);
  EXPECT_EQ(stored_count(program), counted_runs);
  EXPECT_EQ(dir.entries().size(), 1u);
}

TEST_F(CountedCopy, ASignalWhileCountingLeavesNoCopyBehind) {
  const size_t size = 8u << 20;  // copying takes a while: most signals land in it
  write_bytes(program, program_bytes(size, kMarkerAt, marker_with("0")));
  const int signals[] = {SIGINT, SIGTERM, SIGHUP};
  for (int i = 0; i < 30; ++i) {
    const pid_t child = fork();
    if (child == 0) {
      for (;;) {
        bool counted = false;
        count_run_in(program.c_str(), counted);
      }
    }
    usleep(static_cast<useconds_t>(5000 + (i * 1777) % 20000));
    kill(child, signals[i % 3]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status));
  }
  EXPECT_EQ(dir.entries().size(), 1u) << "a copy was left behind";
  EXPECT_EQ(read_bytes(program).size(), size);
  EXPECT_GT(stored_count(program), 0);
}

}  // namespace
