#include "batch/batch_run.h"

#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <utility>

#include "batch/progress_line.h"
#include "batch/unit_analysis.h"
#include "batch/unit_columns.h"
#include "genotype/genotype_reader.h"
#include "report/file_results.h"
#include "report/output_trim.h"
#include "report/report_append.h"

namespace {

constexpr int kInterruptedStatus = 130;

volatile std::sig_atomic_t g_writing = 0;
volatile std::sig_atomic_t g_interrupted = 0;

void on_interrupt(int) {
  if (progress_line_shown()) (void)!::write(STDERR_FILENO, "\r\033[K", 4);
  if (g_writing == 0) _exit(kInterruptedStatus);
  g_interrupted = 1;
}

void install_interrupt_handler() {
  struct sigaction action {};
  action.sa_handler = on_interrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
}

// Rows and reports are written whole: an interrupt waits for the end.
struct WriteSection {
  WriteSection() { g_writing = 1; }
  ~WriteSection() {
    g_writing = 0;
    if (g_interrupted != 0) {
      std::fflush(stdout);
      _exit(kInterruptedStatus);
    }
  }
};

void report_failure(const char* program, const std::string& what, const std::string& reason) {
  std::fprintf(stderr, "%s: %s: %s\n", program, what.c_str(), reason.c_str());
}

bool write_stdout(const std::string& text) {
  return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() &&
         std::fflush(stdout) == 0;
}

// A standard stream that was closed must not be reopened by accident as a
// report or input file: rows or messages would land in it. Standard input
// and error get /dev/null; a closed standard output leaves nowhere to write.
bool standard_streams_open() {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1) continue;
    if (fd == STDOUT_FILENO) return false;
    const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    if (null != fd) return false;
  }
  return true;
}

void on_replicate(void* ctx, uint32_t done, const HitCounts&) {
  progress_replicate(*static_cast<ProgressLine*>(ctx), done);
}

}  // namespace

int run_batch(const BatchOptions& options, const std::vector<char*>& files, const char* program) {
  if (!standard_streams_open()) {
    report_failure(program, "standard output", "not open");
    return 1;
  }
  install_interrupt_handler();
  ProgressLine progress;
  progress.enabled = options.runs > 0 && ::isatty(STDERR_FILENO) == 1;
  progress.files_total = files.size();
  progress.runs = options.runs;
  McHooks hooks;
  hooks.ctx = &progress;
  hooks.replicate_done = progress.enabled ? on_replicate : nullptr;

  const bool with_report = !options.report.empty();
  if (with_report) trim_output_tail(options.report.c_str());

  {
    WriteSection section;
    if (!write_stdout(count_file_header(options))) {
      report_failure(program, "standard output", "write error");
      return 1;
    }
  }

  bool any_failed = false;
  for (size_t i = 0; i < files.size(); ++i) {
    const char* path = files[i];
    GenotypeRead read = read_genotype_file(path);
    if (read.status != ReadStatus::kOk) {
      report_failure(program, path, read_failure_reason(read));
      any_failed = true;
      continue;
    }
    GenotypeUnit unit;
    unit.label = path;
    unit.table = std::move(read.parse.table);
    unit.k = read.parse.k;
    unit.two_n = read.parse.two_n;

    progress_begin_file(progress, i + 1);
    UnitResult r = analyse_unit(std::move(unit), options, hooks);
    progress_erase(progress);
    if (!r.ok) {
      report_failure(program, path, r.reason);
      any_failed = true;
      continue;
    }

    WriteSection section;
    if (!write_stdout(count_file_row(path, r, options))) {
      report_failure(program, "standard output", "write error");
      return 1;
    }
    if (with_report) {
      const FileResults results{path, &r.locus, r.with_mc ? &r.mc : nullptr};
      const AppendResult appended = append_report(options.report.c_str(), results, local_now());
      if (appended != AppendResult::kDone) {
        report_failure(program, options.report,
                       appended == AppendResult::kOpenFailed ? "failure at opening"
                                                             : "failure at writing");
        any_failed = true;
      }
    }
  }
  return any_failed ? 1 : 0;
}
