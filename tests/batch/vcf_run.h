// hwmc run in the test's own process through the batch front end, its
// standard output and error captured; its rows as maps from column name to
// cell; and standard input or a /dev/fd path fed from a pipe by a thread of
// its own, as a shell pipe or a process substitution would feed the program.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "batch/batch_run.h"
#include "batch/input_kind.h"
#include "batch/tsv_cells.h"
#include "cli/command_line.h"

struct Output {
  int status = 0;
  std::string out, err;
};

inline Output run_hwmc(std::vector<std::string> args) {
  args.insert(args.begin(), "hwmc");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  const CommandLine line = parse_command_line(static_cast<int>(argv.size()), argv.data(), input_syntax());
  EXPECT_EQ(line.kind, CommandKind::kBatch) << line.error;
  Output o;
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  o.status = run_batch(line.options, line.operands, "hwmc");
  o.out = testing::internal::GetCapturedStdout();
  o.err = testing::internal::GetCapturedStderr();
  return o;
}

using Row = std::map<std::string, std::string>;

inline std::vector<Row> rows_of(const std::string& out) {
  std::vector<Row> rows;
  std::istringstream in(out);
  std::string line;
  std::vector<std::string> header;
  while (std::getline(in, line)) {
    const std::vector<std::string> cells = tsv_cells(line + "\n");
    if (header.empty()) {
      header = cells;
      continue;
    }
    EXPECT_EQ(cells.size(), header.size()) << line;
    Row r;
    for (size_t i = 0; i < header.size() && i < cells.size(); ++i) r[header[i]] = cells[i];
    rows.push_back(std::move(r));
  }
  return rows;
}

// The rows without the cells that may differ between the runs compared.
inline std::vector<Row> without(std::vector<Row> rows, const std::vector<std::string>& columns) {
  for (Row& r : rows) {
    for (const std::string& c : columns) r.erase(c);
  }
  return rows;
}

// The read end of a pipe that a thread fills with `bytes` and then closes.
// A reader that stops early only ends the writes (SIGPIPE is ignored for
// the pipe's life).
struct FedPipe {
  int read_fd = -1;
  std::thread writer;
  struct sigaction old_pipe {};

  explicit FedPipe(std::string bytes) {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &ignore, &old_pipe);
    int fds[2];
    EXPECT_EQ(::pipe(fds), 0);
    read_fd = fds[0];
    writer = std::thread([fd = fds[1], bytes = std::move(bytes)] {
      for (size_t at = 0; at < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + at, bytes.size() - at);
        if (n <= 0) break;
        at += static_cast<size_t>(n);
      }
      ::close(fd);
    });
  }
  FedPipe(const FedPipe&) = delete;
  FedPipe& operator=(const FedPipe&) = delete;
  // Closes the read end (if the reader did not), then waits for the writer.
  ~FedPipe() {
    if (read_fd >= 0) ::close(read_fd);
    writer.join();
    ::sigaction(SIGPIPE, &old_pipe, nullptr);
  }
  std::string path() const { return "/dev/fd/" + std::to_string(read_fd); }
};

// Standard input taken from a descriptor for the object's life.
struct StdinFrom {
  int saved = -1;
  explicit StdinFrom(int fd) {
    saved = ::dup(STDIN_FILENO);
    EXPECT_GE(::dup2(fd, STDIN_FILENO), 0);
  }
  StdinFrom(const StdinFrom&) = delete;
  StdinFrom& operator=(const StdinFrom&) = delete;
  ~StdinFrom() {
    ::dup2(saved, STDIN_FILENO);
    ::close(saved);
  }
};
