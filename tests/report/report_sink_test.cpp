#include "report/report_sink.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <string>
#include <thread>
#include <vector>

#include "report/output_trim.h"
#include "report/report_append.h"
#include "report/temp_dir.h"

namespace {

// Runs check in a child process; true when it returned true.
template <class Check>
bool in_child(Check check) {
  const pid_t child = ::fork();
  if (child < 0) return false;
  if (child == 0) ::_exit(check() ? 0 : 1);
  int status = 0;
  return ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

TEST(ReportSink, RunsTrimmingAndAppendingAtOnceLoseNoReport) {
  // Runs that start trim while others append. A long run of marks makes the
  // scan slow: without one lock around the scan and the cut, a report
  // appended meanwhile is cut off with the marks.
  TempDir dir;
  const std::string path = dir.write("race.rep", "old" + std::string(size_t{4} << 20, '\x1A'));
  constexpr int kRuns = 4;
  constexpr int kReports = 25;
  int start[2];
  ASSERT_EQ(::pipe(start), 0);
  std::vector<pid_t> children;
  for (int run = 0; run < kRuns; ++run) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      char go;
      ::close(start[1]);
      if (::read(start[0], &go, 1) != 0) ::_exit(2);  // all start when the pipe closes
      if (run % 2 == 0) trim_output_tail(path.c_str());
      for (int i = 0; i < kReports; ++i) {
        const std::string report = std::string("<").append(std::to_string(run * 100 + i)) + ">";
        if (append_to_file(path.c_str(), report) != AppendResult::kDone) ::_exit(1);
      }
      ::_exit(0);
    }
    children.push_back(child);
  }
  ::close(start[0]);
  ::close(start[1]);
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  const std::string bytes = read_bytes(path);
  ASSERT_EQ(bytes.substr(0, 3), "old");
  int found = 0;
  for (int run = 0; run < kRuns; ++run) {
    for (int i = 0; i < kReports; ++i)
      found += bytes.find(std::string("<").append(std::to_string(run * 100 + i)) + ">") !=
               std::string::npos;
  }
  EXPECT_EQ(found, kRuns * kReports);
}

TEST(ReportSink, AReportTheFileCannotTakeWholeIsTakenBack) {
  // A file size limit stands in for a full disk.
  TempDir dir;
  const std::string before = "earlier report\r\n3.841";
  const std::string path = dir.write("full.rep", before);
  EXPECT_TRUE(in_child([&] {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{before.size() + 100, before.size() + 100};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return false;
    ReportSink sink;
    if (open_report_sink(sink, path.c_str(), true).status != AppendResult::kDone) return false;
    if (append_to_sink(sink, std::string(60, 'a')).status != AppendResult::kDone) return false;
    const SinkResult cut = append_to_sink(sink, std::string(60, 'b'));
    return cut.status == AppendResult::kWriteFailed && cut.error == EFBIG;
  }));
  EXPECT_EQ(read_bytes(path), before + std::string(60, 'a'));
  EXPECT_TRUE(in_child([&] {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{before.size() + 100, before.size() + 100};
    return ::setrlimit(RLIMIT_FSIZE, &limit) == 0 &&
           append_to_file(path.c_str(), std::string(60, 'c')) == AppendResult::kWriteFailed;
  }));
  EXPECT_EQ(read_bytes(path), before + std::string(60, 'a'));
}

TEST(ReportSink, AFifoIsAStreamThatGetsEveryReportInOrder) {
  TempDir dir;
  const std::string path = dir.file("reports.fifo");
  ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
  std::string received;
  std::thread reader([&] { received = read_bytes(path); });
  ReportSink sink;
  const SinkResult opened = open_report_sink(sink, path.c_str(), true);
  ASSERT_EQ(opened.status, AppendResult::kDone);
  EXPECT_TRUE(sink.stream);
  EXPECT_EQ(append_to_sink(sink, "first\r\n").status, AppendResult::kDone);
  EXPECT_EQ(append_to_sink(sink, "second\r\n").status, AppendResult::kDone);
  EXPECT_EQ(close_report_sink(sink).status, AppendResult::kDone);
  reader.join();
  EXPECT_EQ(received, "first\r\nsecond\r\n");
}

TEST(ReportSink, OpenFailuresCarryTheSystemsReason) {
  TempDir dir;
  ReportSink sink;
  const SinkResult folder = open_report_sink(sink, dir.path.c_str(), true);
  EXPECT_EQ(folder.status, AppendResult::kOpenFailed);
  EXPECT_EQ(folder.error, EISDIR);
  const SinkResult missing = open_report_sink(sink, dir.file("no/such.rep").c_str(), true);
  EXPECT_EQ(missing.status, AppendResult::kOpenFailed);
  EXPECT_EQ(missing.error, ENOENT);
  EXPECT_EQ(append_to_sink(sink, "x").status, AppendResult::kWriteFailed);
}

TEST(ReportSink, ARegularFileIsTrimmedOnceAtOpening) {
  TempDir dir;
  const std::string path = dir.write("out.rep", "text\x1A\x1A");
  ReportSink sink;
  ASSERT_EQ(open_report_sink(sink, path.c_str(), true).status, AppendResult::kDone);
  EXPECT_FALSE(sink.stream);
  EXPECT_EQ(append_to_sink(sink, "\x1A").status, AppendResult::kDone);
  EXPECT_EQ(append_to_sink(sink, "more").status, AppendResult::kDone);
  EXPECT_EQ(close_report_sink(sink).status, AppendResult::kDone);
  EXPECT_EQ(read_bytes(path), "text\x1A" "more");
}
