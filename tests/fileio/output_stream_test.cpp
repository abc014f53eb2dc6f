#include "fileio/output_stream.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <string>
#include <thread>

#include "fileio/unique_fd.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;

void on_alarm(int) { g_stop = 1; }

struct Pipe {
  UniqueFd read{-1};
  UniqueFd write{-1};
  Pipe() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) == 0) {
      read.fd = fds[0];
      write.fd = fds[1];
    }
  }
};

}  // namespace

TEST(OutputStream, WholeWritesAndAReaderThatWentAway) {
  const volatile std::sig_atomic_t never = 0;
  Pipe pipe;
  ASSERT_TRUE(pipe.write.is_open());
  EXPECT_EQ(write_stream(pipe.write.fd, "row\n", never), StreamWrite::kDone);
  char got[4];
  ASSERT_EQ(::read(pipe.read.fd, got, 4), 4);

  pipe.read.close_now();
  struct sigaction ignore {}, old {};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGPIPE, &ignore, &old);
  EXPECT_EQ(write_stream(pipe.write.fd, "row\n", never), StreamWrite::kReaderGone);
  ::sigaction(SIGPIPE, &old, nullptr);

  UniqueFd read_only(::open("/dev/null", O_RDONLY | O_CLOEXEC));
  EXPECT_EQ(write_stream(read_only.fd, "x", never), StreamWrite::kFailed);
}

TEST(OutputStream, AnInterruptEndsAWaitForTheReader) {
  Pipe pipe;
  ASSERT_TRUE(pipe.write.is_open());
  // Nobody reads: the write blocks once the pipe is full, until the signal.
  struct sigaction action {}, old {};
  action.sa_handler = on_alarm;  // no SA_RESTART: the blocked write returns
  ::sigaction(SIGALRM, &action, &old);
  g_stop = 0;
  ::alarm(1);
  const std::string rows(4 << 20, 'r');
  EXPECT_EQ(write_stream(pipe.write.fd, rows, g_stop), StreamWrite::kInterrupted);
  ::sigaction(SIGALRM, &old, nullptr);
}

TEST(OutputStream, AWriteLargerThanThePipeGoesOnUntilWhole) {
  Pipe pipe;
  ASSERT_TRUE(pipe.write.is_open());
  const volatile std::sig_atomic_t never = 0;
  const std::string rows(1 << 20, 'r');
  std::thread reader([&] {
    char buffer[65536];
    size_t total = 0;
    while (total < rows.size()) {
      const ssize_t n = ::read(pipe.read.fd, buffer, sizeof buffer);
      if (n <= 0) break;
      total += static_cast<size_t>(n);
    }
  });
  EXPECT_EQ(write_stream(pipe.write.fd, rows, never), StreamWrite::kDone);
  reader.join();
}
