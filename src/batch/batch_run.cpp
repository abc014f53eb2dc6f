#include "batch/batch_run.h"

#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <csignal>
#include <cstdio>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "batch/genepop_units.h"
#include "batch/parallel_units.h"
#include "batch/progress_line.h"
#include "batch/unit_analysis.h"
#include "batch/unit_columns.h"
#include "exact/exact_report.h"
#include "fileio/output_stream.h"
#include "fileio/text_escape.h"
#include "genepop/bh_adjust.h"
#include "genepop/genepop_reader.h"
#include "genotype/genotype_reader.h"
#include "report/file_results.h"
#include "report/report_append.h"
#include "report/report_sink.h"
#include "report/report_text.h"

namespace {

constexpr int kInterruptedStatus = 130;

volatile std::sig_atomic_t g_writing = 0;
volatile std::sig_atomic_t g_interrupted = 0;

void on_interrupt(int) {
  progress_erase_on_signal();
  if (g_writing == 0) _exit(kInterruptedStatus);
  g_interrupted = 1;
}

void install_interrupt_handler() {
  struct sigaction action {};
  action.sa_handler = on_interrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  std::signal(SIGPIPE, SIG_IGN);  // a reader gone is a write result
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
  std::fprintf(stderr, "%s: %s: %s\n", program, escape_text(what).c_str(), reason.c_str());
}

// "hwmc: report FILE: Is a directory", once for the run.
void report_sink_failure(const char* program, const BatchOptions& options, const SinkResult& r) {
  report_failure(program, "report " + options.report, std::generic_category().message(r.error));
}

bool write_stdout(const std::string& text) {
  switch (write_stream(STDOUT_FILENO, text, g_interrupted)) {
    case StreamWrite::kDone: return true;
    case StreamWrite::kReaderGone: _exit(kReaderGoneStatus);
    case StreamWrite::kInterrupted: _exit(kInterruptedStatus);
    case StreamWrite::kFailed: break;
  }
  return false;
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

// The report of one unit, with the exact section after it, in one append;
// heading (bare line feeds) goes first. False after telling why.
bool append_unit_report(ReportSink& sink, const BatchOptions& options, const char* program,
                        const char* name, const UnitResult& r, const std::string& heading) {
  const FileResults results{name, &r.locus, r.with_mc ? &r.mc : nullptr};
  std::string text = heading + build_report_text(results, local_now());
  if (r.with_exact) text += build_exact_report_text(r.exact);
  const SinkResult appended = append_to_sink(sink, to_crlf(text));
  if (appended.status == AppendResult::kDone) return true;
  report_sink_failure(program, options, appended);
  return false;
}

struct BatchState {
  const BatchOptions& options;
  const char* program;
  ProgressLine progress;
  McHooks hooks;
  bool with_report = false;  // until the report fails: said once, then no more
  ReportSink report{};
  bool any_failed = false;
  bool output_failed = false;  // standard output took no more: stop at once
};

void run_count_file(BatchState& s, const char* path, size_t number) {
  GenotypeRead read = read_genotype_file(path);
  if (read.status != ReadStatus::kOk) {
    report_failure(s.program, path, read_failure_reason(read));
    s.any_failed = true;
    return;
  }
  GenotypeUnit unit;
  unit.table = std::move(read.parse.table);
  unit.k = read.parse.k;
  unit.two_n = read.parse.two_n;

  progress_begin_file(s.progress, number);
  UnitResult r = analyse_unit(std::move(unit), s.options, s.hooks);
  progress_erase(s.progress);
  if (!r.ok) {
    report_failure(s.program, path, r.reason);
    s.any_failed = true;
    return;
  }

  WriteSection section;
  if (!write_stdout(count_file_row(path, r, s.options))) {
    report_failure(s.program, "standard output", "write error");
    s.output_failed = true;
    return;
  }
  if (s.with_report && !append_unit_report(s.report, s.options, s.program, path, r, "")) {
    s.any_failed = true;
    s.with_report = false;
  }
}

// A Genepop row waits for the q values of the whole run.
struct PendingRow {
  TsvLine line;
  double lead = 0;
};

// The exact tests of a file's units are what takes time: they run side by
// side, one unit per thread, each on its own seed, so that the figures are
// those of a unit-by-unit run. With fewer units than threads each unit's
// sampler gets the threads instead.
void add_exact_tests_to_units(std::vector<UnitResult>& units, const BatchOptions& options) {
  std::vector<UnitResult*> tested;
  for (UnitResult& r : units) {
    if (r.ok) tested.push_back(&r);
  }
  const unsigned workers = resolve_workers(options.threads);
  if (tested.size() < workers) {
    for (UnitResult* r : tested) add_exact_tests(*r, options, options.threads);
    return;
  }
  run_in_parallel(tested.size(), workers,
                  [&](size_t i) { add_exact_tests(*tested[i], options, 1); });
}

void run_genepop_file(BatchState& s, const char* path, size_t number,
                      std::vector<PendingRow>& rows) {
  const GenepopRead read = read_genepop_file(path);
  if (read.status != GenepopStatus::kOk) {
    report_failure(s.program, path, describe_genepop_failure(read));
    s.any_failed = true;
    return;
  }
  const std::vector<GenepopTally>& tallies = read.data.tallies;

  // The classic statistics and the experiment, unit by unit (the progress
  // line follows the experiment); a unit with nothing to test stays !ok with
  // an empty reason.
  BatchOptions classic = s.options;
  classic.exact = false;
  std::vector<UnitResult> units(tallies.size());
  for (size_t u = 0; u < tallies.size(); ++u) {
    const GenepopTally& t = tallies[u];
    if (!genepop_testable(t)) continue;
    GenotypeUnit unit;
    if (!make_genepop_unit(t, unit)) {
      units[u].reason = kMemoryErrorText;
      continue;
    }
    progress_begin_file(s.progress, number);
    units[u] = analyse_unit(std::move(unit), classic, s.hooks);
    progress_erase(s.progress);
  }
  if (s.options.exact) add_exact_tests_to_units(units, s.options);

  for (size_t u = 0; u < tallies.size(); ++u) {
    const GenepopTally& t = tallies[u];
    const UnitResult& r = units[u];
    const std::string unit_name = std::string(path) + ": " + genepop_unit_name(t);
    if (!r.ok && !r.reason.empty()) {
      report_failure(s.program, unit_name, r.reason);
      s.any_failed = true;
      continue;
    }
    PendingRow row;
    add_text_cell(row.line, path);
    add_int_cell(row.line, t.population);
    add_text_cell(row.line, t.pop_name);
    add_text_cell(row.line, t.locus_name);
    add_int_cell(row.line, tally_k(t));
    add_int_cell(row.line, t.n);
    add_int_cell(row.line, t.missing);
    if (!r.ok) {
      add_untested_cells(row.line, s.options);
      row.lead = std::nan("");
      rows.push_back(std::move(row));
      continue;
    }
    add_test_cells(row.line, r, s.options);
    row.lead = leading_p(r, s.options);
    rows.push_back(std::move(row));

    if (!s.with_report) continue;
    if (tally_k(t) > kMaxLetterClasses) {
      report_failure(s.program, unit_name,
                     "more than " + std::to_string(kMaxLetterClasses) +
                         " alleles, not in the report");
      continue;
    }
    // A report without an experiment ends without a line feed: the heading
    // starts with one, as every report does, to stand on a line of its own.
    WriteSection section;
    const std::string heading = "\n" + format_genepop_heading(path, t);
    if (!append_unit_report(s.report, s.options, s.program, path, r, heading)) {
      s.any_failed = true;
      s.with_report = false;
    }
  }
}

bool write_genepop_rows(std::vector<PendingRow>& rows) {
  std::vector<double> leads;
  leads.reserve(rows.size());
  for (const PendingRow& row : rows) leads.push_back(row.lead);
  const std::vector<double> q = adjust_benjamini_hochberg(leads);
  for (size_t i = 0; i < rows.size(); ++i) {
    if (std::isnan(q[i])) {
      add_na_cell(rows[i].line);
    } else {
      add_double_cell(rows[i].line, q[i]);
    }
    WriteSection section;
    if (!write_stdout(finish_line(rows[i].line))) return false;
  }
  return true;
}

}  // namespace

int run_batch(const BatchOptions& options, const std::vector<char*>& files, const char* program) {
  if (!standard_streams_open()) {
    report_failure(program, "standard output", "not open");
    return 1;
  }
  install_interrupt_handler();
  BatchState s{options, program, ProgressLine{}, McHooks{}};
  s.progress.enabled = options.runs > 0 && ::isatty(STDERR_FILENO) == 1;
  s.progress.files_total = files.size();
  s.progress.runs = options.runs;
  s.hooks.ctx = &s.progress;
  s.hooks.replicate_done = s.progress.enabled ? on_replicate : nullptr;

  s.with_report = !options.report.empty();
  if (s.with_report) {
    const SinkResult opened = open_report_sink(s.report, options.report.c_str(), true);
    if (opened.status != AppendResult::kDone) {
      report_sink_failure(program, options, opened);
      s.any_failed = true;
      s.with_report = false;
    }
  }

  {
    WriteSection section;
    const std::string header =
        options.genepop ? genepop_header(options) : count_file_header(options);
    if (!write_stdout(header)) {
      report_failure(program, "standard output", "write error");
      return 1;
    }
  }

  std::vector<PendingRow> genepop_rows;
  for (size_t i = 0; i < files.size() && !s.output_failed; ++i) {
    if (options.genepop) {
      run_genepop_file(s, files[i], i + 1, genepop_rows);
    } else {
      run_count_file(s, files[i], i + 1);
    }
  }
  if (s.output_failed) return 1;
  if (options.genepop && !write_genepop_rows(genepop_rows)) {
    report_failure(program, "standard output", "write error");
    return 1;
  }
  if (s.with_report) {
    const SinkResult closed = close_report_sink(s.report);
    if (closed.status != AppendResult::kDone) {
      report_sink_failure(program, options, closed);
      s.any_failed = true;
    }
  }
  return s.any_failed ? 1 : 0;
}
