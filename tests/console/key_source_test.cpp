// Keys read from a pipe: byte by byte through the decoder, the Esc timeout,
// the end of the input, and the cheap non-blocking test.
#include "console/key_source.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "console/console.h"

namespace {

class PipeKeys : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(pipe(fds), 0);
    key_source_open(source, fds[0], false);
  }
  void TearDown() override {
    close(fds[0]);
    close_writer();
  }
  void send(const std::string& bytes) {
    ASSERT_EQ(write(fds[1], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  void close_writer() {
    if (fds[1] >= 0) close(fds[1]);
    fds[1] = -1;
  }
  // key_source_waiting answers from what it has between looks at the
  // descriptor; a key sent is seen within a few milliseconds.
  bool waiting_soon() {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    while (std::chrono::steady_clock::now() < until)
      if (key_source_waiting(source)) return true;
    return false;
  }
  int fds[2] = {-1, -1};
  KeySource source;
};

TEST_F(PipeKeys, KeysThenEndOfInput) {
  send("y\r\x7f");
  close_writer();
  EXPECT_EQ(key_source_read(source), 'y');
  EXPECT_EQ(key_source_read(source), 13);
  EXPECT_EQ(key_source_read(source), 8);
  EXPECT_EQ(key_source_read(source), kKeyInputEnded);
  EXPECT_EQ(key_source_read(source), kKeyInputEnded);
  EXPECT_FALSE(key_source_waiting(source));
}

TEST_F(PipeKeys, SequencesAreDecoded) {
  send("\x1b[D\x1bOP\x1b[21~");
  close_writer();
  EXPECT_EQ(key_source_read(source), kExtendedKey | kScanLeft);
  EXPECT_EQ(key_source_read(source), kExtendedKey | kScanF1);
  EXPECT_EQ(key_source_read(source), kExtendedKey | kScanF10);
  EXPECT_EQ(key_source_read(source), kKeyInputEnded);
}

TEST_F(PipeKeys, EscAtTheEndOfInputIsEsc) {
  send("\x1b");
  close_writer();
  EXPECT_TRUE(waiting_soon());
  EXPECT_EQ(key_source_read(source), 27);
  EXPECT_EQ(key_source_read(source), kKeyInputEnded);
}

TEST_F(PipeKeys, LoneEscIsToldBySilence) {
  source.escape_timeout_ns = 5'000'000;
  send("\x1b");
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(key_source_read(source), 27);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(4));
}

TEST_F(PipeKeys, SequenceSplitWithinTheTimeoutIsOneKey) {
  source.escape_timeout_ns = 2'000'000'000;
  send("\x1b");
  std::thread later([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    send("[A");
  });
  EXPECT_EQ(key_source_read(source), kExtendedKey | kScanUp);
  later.join();
}

TEST_F(PipeKeys, WaitingDoesNotBlockAndSeesAKeySoon) {
  EXPECT_FALSE(key_source_waiting(source));
  send("q");
  EXPECT_TRUE(waiting_soon());
  EXPECT_TRUE(key_source_waiting(source));  // asking does not take it
  EXPECT_EQ(key_source_read(source), 'q');
  EXPECT_FALSE(key_source_waiting(source));
}

TEST_F(PipeKeys, WaitingTellsALoneEscAfterTheTimeoutWithoutBlocking) {
  source.escape_timeout_ns = 3'000'000;
  send("\x1b");
  EXPECT_TRUE(waiting_soon());
  EXPECT_EQ(key_source_read(source), 27);
}

TEST_F(PipeKeys, APipeIsReadOnlyAsFarAsTheKeysAsked) {
  send("ab");
  EXPECT_EQ(key_source_read(source), 'a');
  char rest = 0;
  ASSERT_EQ(read(fds[0], &rest, 1), 1);
  EXPECT_EQ(rest, 'b');
}

TEST_F(PipeKeys, FlushingTypeAheadLeavesAPipeAlone) {
  send("k");
  EXPECT_TRUE(waiting_soon());
  key_source_flush_type_ahead(source);
  EXPECT_EQ(key_source_read(source), 'k');
}

TEST(FileKeys, RegularFileIsReadToItsEnd) {
  char path[] = "/tmp/hwmc_keys_XXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(write(fd, "n\n", 2), 2);
  lseek(fd, 0, SEEK_SET);
  KeySource source;
  key_source_open(source, fd, false);
  EXPECT_EQ(key_source_read(source), 'n');
  EXPECT_EQ(key_source_read(source), 13);
  EXPECT_FALSE(key_source_waiting(source));
  EXPECT_EQ(key_source_read(source), kKeyInputEnded);
  close(fd);
  unlink(path);
}

}  // namespace
