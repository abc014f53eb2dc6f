// The built program carries its run-count marker where the counter looks.
#include <elf.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "runcount/run_counter.h"
#include "runcount/run_files.h"
#include "runcount/run_marker.h"

namespace {

constexpr size_t kSearchArea = kRunSearchBytes;

struct NoteDescriptor {
  size_t offset = 0;
  size_t size = 0;
};

// Where the descriptor of the ".note.hwmc" note lies in the file.
bool find_marker_note(const Bytes& file, NoteDescriptor& found) {
  if (file.size() < sizeof(Elf64_Ehdr)) return false;
  Elf64_Ehdr header;
  std::memcpy(&header, file.data(), sizeof header);
  if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_ident[EI_CLASS] != ELFCLASS64) {
    return false;
  }
  auto section = [&](size_t i) {
    Elf64_Shdr s;
    std::memcpy(&s, file.data() + header.e_shoff + i * header.e_shentsize, sizeof s);
    return s;
  };
  const Elf64_Shdr names = section(header.e_shstrndx);
  for (size_t i = 0; i < header.e_shnum; ++i) {
    const Elf64_Shdr s = section(i);
    if (std::strcmp(file.data() + names.sh_offset + s.sh_name, ".note.hwmc") != 0) continue;
    if (s.sh_type != SHT_NOTE || (s.sh_addralign != 4 && s.sh_addralign != 8)) return false;
    Elf64_Nhdr note;
    std::memcpy(&note, file.data() + s.sh_offset, sizeof note);
    if (note.n_namesz != 5 || std::memcmp(file.data() + s.sh_offset + sizeof note, "hwmc", 5) != 0) {
      return false;
    }
    found.offset = s.sh_offset + sizeof note + 8;
    found.size = note.n_descsz;
    return found.offset + found.size <= s.sh_offset + s.sh_size;
  }
  return false;
}

// The offset of the marker the counter will use, as it searches.
bool counted_marker_offset(const Bytes& file, size_t& offset) {
  for (size_t start = 0; start + kRunBlockSize <= kSearchArea; start += kRunBlockSize) {
    if (start + kRunBlockSize > file.size()) return false;
    char block[kRunBlockSize];
    std::memcpy(block, file.data() + start, sizeof block);
    int32_t count = 0;
    if (bump_run_count(block, count)) {
      offset = start + static_cast<size_t>(
                           find_marker(block, kRunMarker, kRunBlockSize, kRunMarkerLength) - block);
      return true;
    }
  }
  return false;
}

TEST(ProgramBinary, CarriesTheMarkerAsANoteInTheSearchArea) {
  const Bytes file = read_bytes(HWMC_BINARY_PATH);
  NoteDescriptor desc;
  ASSERT_TRUE(find_marker_note(file, desc)) << "no proper .note.hwmc in " << HWMC_BINARY_PATH;
  EXPECT_LE(desc.offset + desc.size, kSearchArea);

  // Every copy of the marker in the area is the note's own.
  const std::string head(file.data(), kSearchArea);
  for (size_t at = head.find(kRunMarker); at != std::string::npos; at = head.find(kRunMarker, at + 1)) {
    EXPECT_GE(at, desc.offset);
    EXPECT_LE(at + kRunMarkerLength, desc.offset + desc.size);
  }

  size_t marker = 0;
  ASSERT_TRUE(counted_marker_offset(file, marker));
  EXPECT_GE(marker, desc.offset);
  EXPECT_LE(marker + kRunMarkerLength + kRunCountRoom, desc.offset + desc.size);
  EXPECT_EQ(marker / kRunBlockSize, (marker + kRunMarkerLength + kRunCountRoom - 1) / kRunBlockSize)
      << "marker and count room lie in one block";
  // A fresh build has not been counted yet.
  EXPECT_EQ(file[marker + kRunMarkerLength], '\0');
}

TEST(ProgramBinary, ACopyCountsItsRuns) {
  const Bytes original = read_bytes(HWMC_BINARY_PATH);
  size_t marker = 0;
  ASSERT_TRUE(counted_marker_offset(original, marker));

  RunTempDir dir;
  const std::string copy = dir.file("hwmc");
  write_bytes(copy, original);
  ASSERT_EQ(chmod(copy.c_str(), 0755), 0);

  bool counted = false;
  EXPECT_EQ(count_run_in(copy.c_str(), counted), 1);
  EXPECT_TRUE(counted);
  EXPECT_EQ(count_run_in(copy.c_str(), counted), 2);
  EXPECT_TRUE(counted);

  Bytes expected = original;
  expected[marker + kRunMarkerLength] = '2';
  EXPECT_EQ(read_bytes(copy), expected);
  EXPECT_EQ(file_mode(copy), 0755u);
}

TEST(ProgramBinary, ARunningProgramCountsItsOwnFile) {
  // Linux refuses to open a running program's file for writing; the count
  // must reach it all the same.
  RunTempDir dir;
  const std::string copy = dir.file("hwmc");
  write_bytes(copy, read_bytes(HWMC_BINARY_PATH));
  ASSERT_EQ(chmod(copy.c_str(), 0755), 0);

  int keys[2];
  ASSERT_EQ(pipe(keys), 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, keys[0], 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addclose(&actions, keys[1]);
  char* argv[] = {const_cast<char*>(copy.c_str()), nullptr};
  char* envp[] = {nullptr};
  pid_t pid = -1;
  // Without arguments the program waits for a key on the help screen, and
  // no key comes while the pipe stays open and empty.
  ASSERT_EQ(posix_spawn(&pid, copy.c_str(), &actions, nullptr, argv, envp), 0);
  posix_spawn_file_actions_destroy(&actions);
  close(keys[0]);

  const int busy = open(copy.c_str(), O_RDWR);
  EXPECT_LT(busy, 0);
  EXPECT_EQ(errno, ETXTBSY);
  if (busy >= 0) close(busy);

  bool counted = false;
  EXPECT_EQ(count_run_in(copy.c_str(), counted), 1);
  EXPECT_TRUE(counted);

  kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  close(keys[1]);
  EXPECT_EQ(count_run_in(copy.c_str(), counted), 2);
}

}  // namespace
