#include "batch/unit_driver.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <system_error>
#include <utility>

#include "batch/row_columns.h"
#include "batch/unit_analysis.h"
#include "batch/write_guard.h"
#include "fileio/text_escape.h"
#include "genepop/bh_adjust.h"
#include "parallel/worker_pool.h"
#include "report/report_append.h"
#include "report/report_text.h"

void report_failure(const char* program, const std::string& what, const std::string& reason) {
  std::fprintf(stderr, "%s: %s: %s\n", program, escape_text(what).c_str(), reason.c_str());
}

void report_sink_failure(const BatchRun& run, const SinkResult& result) {
  report_failure(run.program, "report " + run.options.report,
                 std::generic_category().message(result.error));
}

namespace {

// A block's units after the analysis: a failure, nothing tested, or a result.
struct Analysed {
  std::string failure;
  bool tested = false;
  UnitResult result;
};

// The exact tests are what takes time: they run side by side, one unit per
// thread, each on its own seed, so that the figures are those of a
// unit-by-unit run. With fewer units than threads each unit's sampler gets
// the threads instead.
void add_exact_tests_to_block(std::vector<Analysed>& block, const BatchOptions& options) {
  std::vector<Analysed*> tested;
  for (Analysed& a : block) {
    if (a.tested && a.failure.empty()) tested.push_back(&a);
  }
  // The log-factorials are built once, before any worker starts.
  int64_t max_two_n = 0;
  for (const Analysed* a : tested) max_two_n = std::max<int64_t>(max_two_n, a->result.locus.two_n);
  const ExactTables prepared = prepare_exact_tables(max_two_n);
  const unsigned workers = resolve_workers(options.threads);
  if (tested.size() < workers) {
    for (Analysed* a : tested)
      a->failure = add_exact_tests(a->result, options, options.threads, &prepared);
    return;
  }
  run_in_parallel(tested.size(), workers, [&](size_t i) {
    tested[i]->failure = add_exact_tests(tested[i]->result, options, 1, &prepared);
  });
}

// The statistics and the experiment unit by unit (the progress line follows
// the experiment), then the exact tests.
std::vector<Analysed> analyse_block(BatchRun& run, std::vector<SourceUnit>& units,
                                    size_t number) {
  std::vector<Analysed> block(units.size());
  for (size_t u = 0; u < units.size(); ++u) {
    SourceUnit& unit = units[u];
    Analysed& a = block[u];
    a.failure = unit.failure;
    if (!a.failure.empty() || !unit.testable) continue;
    a.tested = true;
    progress_begin_file(run.progress, number);
    a.failure = analyse_unit(std::move(unit.genotypes), run.options, run.hooks, a.result);
    progress_erase(run.progress);
  }
  if (run.options.exact) add_exact_tests_to_block(block, run.options);
  return block;
}

// The report of one unit, headed by its source's heading, in one append.
// False after telling why.
bool append_unit_report(BatchRun& run, const char* path, const SourceUnit& unit,
                        const UnitResult& r) {
  const std::string text = unit.report_heading + build_report_text(path, r, local_now());
  const SinkResult appended = append_to_sink(run.report, to_crlf(text));
  if (appended.status == AppendResult::kDone) return true;
  report_sink_failure(run, appended);
  return false;
}

// Rows and reports in unit order; false when standard output failed.
bool write_block(BatchRun& run, const InputKind& kind, const char* path,
                 const std::vector<SourceUnit>& units, const std::vector<Analysed>& block) {
  const BatchOptions& options = run.options;
  for (size_t u = 0; u < units.size(); ++u) {
    const SourceUnit& unit = units[u];
    const Analysed& a = block[u];
    if (!a.failure.empty()) {
      report_failure(run.program, unit.name, a.failure);
      run.any_failed = true;
      continue;
    }
    const UnitResult* r = a.tested ? &a.result : nullptr;
    if (r != nullptr && r->mc_beyond_memory)
      report_failure(run.program, unit.name, mc_memory_note(*r));
    TsvLine line = row_cells(kind, options, RowUnit{unit, r});
    WriteSection section;
    if (kind.adjusts_p) {
      const double lead = r != nullptr ? leading_p(*r, options) : std::nan("");
      run.pending.push_back(PendingRow{std::move(line), lead});
    } else if (!write_stdout(finish_line(line))) {
      report_failure(run.program, "standard output", "write error");
      run.output_failed = true;
      return false;
    }
    if (r == nullptr || !run.with_report) continue;
    if (!unit.not_reported.empty()) {
      report_failure(run.program, unit.name, unit.not_reported);
    } else if (!append_unit_report(run, path, unit, *r)) {
      run.any_failed = true;
      run.with_report = false;
    }
  }
  return true;
}

}  // namespace

void run_input_file(BatchRun& run, const InputKind& kind, const char* path, size_t number) {
  UnitSource source = kind.open(path);
  const size_t pending_before = run.pending.size();
  bool noted_not_uniform = false;
  std::vector<SourceUnit> units;
  std::string failure;
  for (;;) {
    switch (source.next(units, failure)) {
      case SourceStatus::kEnd:
        return;
      case SourceStatus::kFailed:
        report_failure(run.program, path, failure);
        run.any_failed = true;
        run.pending.resize(pending_before);
        return;
      case SourceStatus::kUnits:
        break;
    }
    const std::vector<Analysed> block = analyse_block(run, units, number);
    for (const Analysed& a : block) {
      if (noted_not_uniform || !a.tested || !a.failure.empty()) continue;
      if (!mc_not_uniform(a.result)) continue;
      report_failure(run.program, path, kMcUniformNote);
      noted_not_uniform = true;
    }
    if (!write_block(run, kind, path, units, block)) return;
  }
}

bool write_pending_rows(BatchRun& run) {
  std::vector<double> leads;
  leads.reserve(run.pending.size());
  for (const PendingRow& row : run.pending) leads.push_back(row.lead);
  const std::vector<double> q = adjust_benjamini_hochberg(leads);
  for (size_t i = 0; i < run.pending.size(); ++i) {
    TsvLine& line = run.pending[i].line;
    if (std::isnan(q[i])) {
      add_na_cell(line);
    } else {
      add_double_cell(line, q[i]);
    }
    WriteSection section;
    if (!write_stdout(finish_line(line))) return false;
  }
  return true;
}
