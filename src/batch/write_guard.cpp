#include "batch/write_guard.h"

#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>

#include "batch/progress_line.h"
#include "fileio/output_stream.h"

namespace {

volatile std::sig_atomic_t g_writing = 0;
volatile std::sig_atomic_t g_interrupted = 0;

// A run has a summary, a page and little more in temporary files.
constexpr int kRemovedSlots = 8;
const std::string* volatile g_removed[kRemovedSlots] = {};

// unlink is safe in a signal handler.
void remove_temporaries() {
  for (const std::string* path : g_removed) {
    if (path != nullptr && !path->empty()) ::unlink(path->c_str());
  }
}

[[noreturn]] void end_now(int status) {
  remove_temporaries();
  _exit(status);
}

void on_interrupt(int) {
  progress_erase_on_signal();
  if (g_writing == 0) end_now(kInterruptedStatus);
  g_interrupted = 1;
}

}  // namespace

void install_interrupt_handler() {
  struct sigaction action {};
  action.sa_handler = on_interrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  std::signal(SIGPIPE, SIG_IGN);  // a reader gone is a write result
}

RemovedOnExit::RemovedOnExit(const std::string& path) {
  for (int i = 0; i < kRemovedSlots; ++i) {
    if (g_removed[i] == nullptr) {
      g_removed[i] = &path;
      slot = i;
      return;
    }
  }
}

RemovedOnExit::~RemovedOnExit() {
  if (slot >= 0) g_removed[slot] = nullptr;
}

WriteSection::WriteSection() { g_writing = 1; }

WriteSection::~WriteSection() {
  g_writing = 0;
  if (g_interrupted != 0) {
    std::fflush(stdout);
    end_now(kInterruptedStatus);
  }
}

bool write_stdout(const std::string& text) {
  switch (write_stream(STDOUT_FILENO, text, g_interrupted)) {
    case StreamWrite::kDone:
      return true;
    case StreamWrite::kReaderGone:
      end_now(kReaderGoneStatus);
    case StreamWrite::kInterrupted:
      end_now(kInterruptedStatus);
    case StreamWrite::kFailed:
      break;
  }
  return false;
}

bool standard_streams_open() {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1) continue;
    if (fd == STDOUT_FILENO) return false;
    const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    if (null != fd) return false;
  }
  return true;
}
