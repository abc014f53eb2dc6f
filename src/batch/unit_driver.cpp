#include "batch/unit_driver.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <new>
#include <string_view>
#include <system_error>
#include <utility>

#include "batch/row_columns.h"
#include "batch/summary_output.h"
#include "batch/unit_analysis.h"
#include "batch/write_guard.h"
#include "format/number_format.h"
#include "genepop/classic_letters.h"
#include "parallel/worker_pool.h"
#include "report/report_append.h"
#include "report/report_text.h"
#include "stats/multiple_testing.h"
#include "tsv/tsv_read.h"

void report_sink_failure(const BatchRun& run, const SinkResult& result) {
  report_failure(run.diagnostics, "report " + run.outputs.report.path,
                 std::generic_category().message(result.error));
}

namespace {

// A block's units once finished: a failure, nothing tested, or a result;
// and the row's figures and cells, made beside the analysis.
struct Analysed {
  std::string failure;
  bool tested = false;
  UnitResult result;
  RowFigures figures;
  TsvLine line;
};

// work(i) for every unit of a block, on the workers. An allocation that
// fails on a worker fails the file as it would on the calling thread: the
// first one keeps the others from taking more units and is thrown again
// here.
void run_on_units(size_t count, unsigned workers, const std::function<void(size_t)>& work) {
  std::atomic<bool> out_of_memory{false};
  run_in_parallel(count, workers, [&](size_t i) {
    if (out_of_memory.load(std::memory_order_relaxed)) return;
    try {
      work(i);
    } catch (const std::bad_alloc&) {
      out_of_memory.store(true);
    }
  });
  if (out_of_memory.load()) throw std::bad_alloc();
}

// The log-factorials are made before any worker starts, and kept from
// block to block while they cover the block's largest sample (2N as read:
// dropping empty classes leaves it as it is).
void prepare_block_tables(const std::vector<SourceUnit>& units, const std::vector<Analysed>& block,
                          ExactTables& prepared) {
  int64_t max_two_n = 0;
  for (size_t u = 0; u < units.size(); ++u) {
    if (block[u].tested) max_two_n = std::max<int64_t>(max_two_n, units[u].genotypes.two_n);
  }
  if (max_two_n > prepared.max_two_n) prepared = prepare_exact_tables(max_two_n);
}

// A block's units analysed and finished, with their rows' figures and
// cells. The exact tests are what takes time: they run side by side, one
// unit per thread, each on its own seed, so that the figures are those of a
// unit-by-unit run; each unit's statistics and row go with its exact tests.
// The permutation test stays on this thread, unit by unit, before them: it
// draws the progress line and hears of a stop. A block with fewer units
// than threads gives each unit's sampler the threads instead. Without the
// exact tests the work per unit is too small to pay for starting threads.
std::vector<Analysed> analyse_block(UnitAnalysis& analysis, const InputKind& kind,
                                    std::vector<SourceUnit>& units, size_t number,
                                    ExactTables& prepared) {
  const BatchOptions& options = analysis.options;
  std::vector<Analysed> block(units.size());
  size_t tested = 0;
  for (size_t u = 0; u < units.size(); ++u) {
    block[u].failure = units[u].failure;
    block[u].tested = block[u].failure.empty() && units[u].testable;
    tested += block[u].tested;
  }
  if (options.exact) prepare_block_tables(units, block, prepared);
  // The statistics and, with --runs, the experiment.
  auto analyse = [&](size_t u) {
    Analysed& a = block[u];
    if (a.tested)
      a.failure = analyse_unit(std::move(units[u].genotypes), options, analysis.hooks, a.result);
  };
  if (options.runs > 0) {
    for (size_t u = 0; u < units.size(); ++u) {
      if (!block[u].tested) continue;
      progress_begin_file(analysis.progress, number);
      analyse(u);
      progress_erase(analysis.progress);
      unit_progress_done(analysis.units_progress, units[u]);
    }
  }
  // Whatever is left of the analysis, the exact tests, then the figures and
  // the row.
  auto complete = [&](size_t u, unsigned exact_threads) {
    Analysed& a = block[u];
    if (options.runs == 0) analyse(u);
    if (a.tested && a.failure.empty()) a.result.structure = units[u].structure;
    if (options.exact && a.tested && a.failure.empty())
      a.failure =
          add_exact_tests(a.result, options, exact_threads, &prepared, analysis.keep_u_laws);
    const SourceUnit& unit = units[u];
    XLinkedResult x;
    bool x_tested = false;
    if (a.failure.empty() && unit.by_sex && unit.x_linked.k >= 2) {
      a.failure = run_x_linked_test(unit.x_linked, unit.x_linked_key, options, exact_threads, x);
      x_tested = a.failure.empty();
    }
    if (!a.failure.empty()) return;
    const UnitResult* r = a.tested ? &a.result : nullptr;
    a.figures = row_figures(r, units[u].k, units[u].n, analysis.lead);
    if (unit.by_sex)
      add_sex_figures(a.figures, unit.males, unit.females, unit.male_het, x_tested ? &x : nullptr);
    if (r != nullptr) a.figures.hwe = unit_hwe_verdict(analysis.hwe, units[u], a.figures.lead);
    a.line = row_cells(kind, options, RowUnit{units[u], r, a.figures});
  };
  // With an experiment, a unit was counted done as its experiment ended.
  auto finish = [&](size_t u, unsigned exact_threads) {
    complete(u, exact_threads);
    if (options.runs == 0) unit_progress_done(analysis.units_progress, units[u]);
  };
  const unsigned workers = resolve_workers(options.threads);
  if (options.exact && tested >= workers) {
    run_on_units(units.size(), workers, [&](size_t u) { finish(u, 1); });
  } else {
    for (size_t u = 0; u < units.size(); ++u) finish(u, options.threads);
  }
  return block;
}

// The report of one unit, headed by its source's heading, in one append.
// False after telling why.
bool append_unit_report(BatchRun& run, const char* path, const SourceUnit& unit,
                        const UnitResult& r) {
  const std::string text = unit.report_heading + build_report_text(path, r, local_now());
  const SinkResult appended = append_to_sink(run.outputs.report.sink, to_crlf(text));
  if (appended.status == AppendResult::kDone) return true;
  report_sink_failure(run, appended);
  return false;
}

// The path as the rows' file cell shows it.
std::string file_cell(const char* path) {
  TsvLine line;
  add_text_cell(line, path);
  return std::move(line.text);
}

void report_spool_failure(const BatchRun& run, int error) {
  report_failure(run.diagnostics, "temporary file in " + run.outputs.pending.directory,
                 std::strerror(error));
}

// A file that failed loses the rows it had set aside, and its units in the
// summary.
void drop_file(BatchRun& run, const char* path, SpoolMark before) {
  RunOutputs& out = run.outputs;
  drop_failed_file(out.failed);
  if (out.summary) drop_summary_file(*out.summary, file_cell(path));
  if (out.page != nullptr) out.page->waiting.resize(before.rows);
  if (spool_rollback(out.pending, before)) return;
  report_spool_failure(run, errno);
  run.output_failed = true;
}

// The classic report names allele classes by letter: a unit of more
// classes (as its source counts them) gets a note instead.
bool has_report(const SourceUnit& unit) { return unit.k <= kMaxLetterClasses; }

// The records kept with a block (figures[u]: its unit u's, null where it
// failed) to the annotated copy; false after saying why they could not be
// written.
bool write_kept_records(BatchRun& run, KeptRecords& kept,
                        std::span<const RowFigures* const> figures) {
  const std::string failure = annotate_records(run.outputs.annotate, kept, figures);
  if (failure.empty()) return true;
  report_failure(run.diagnostics, run.outputs.annotate.path, failure);
  run.output_failed = true;
  return false;
}

// Each finished unit of a block to the outputs, in unit order, then the
// block's records to the annotated copy; false when standard output, the
// temporary file or the copy failed.
bool write_block(BatchRun& run, const char* path, const std::vector<SourceUnit>& units,
                 std::vector<Analysed>& block, KeptRecords& kept) {
  RunOutputs& out = run.outputs;
  const std::string file = out.summary ? file_cell(path) : std::string();
  for (size_t u = 0; u < units.size(); ++u) {
    const SourceUnit& unit = units[u];
    Analysed& a = block[u];
    if (!a.failure.empty()) {
      report_failure(run.diagnostics, unit.name, a.failure);
      run.any_failed = true;
      continue;
    }
    const UnitResult* r = a.tested ? &a.result : nullptr;
    if (r != nullptr && r->mc_beyond_memory)
      report_failure(run.diagnostics, unit.name, mc_memory_note(*r));
    if (out.summary) add_unit_to_summary(*out.summary, run.kind, file, unit, a.figures, r);
    note_failed_unit(out.failed, run.kind, unit, a.figures.hwe);
    WriteSection section;
    if (run.kind.adjusts_p) {
      if (!spool_row(out.pending, a.line.text, a.figures.lead.p)) {
        report_spool_failure(run, errno);
        run.output_failed = true;
        return false;
      }
      // The page takes the unit with its q_bh, when the row is written.
      if (out.page != nullptr) out.page->waiting.push_back(page_row(*out.page, unit, a.figures, r));
    } else {
      if (out.page != nullptr)
        add_row_to_page(*out.page, page_row(*out.page, unit, a.figures, r), kNoValue, r);
      if (!out.columns.empty()) {
        std::string chosen;
        append_cells_at(chosen, a.line.text, out.columns);
        a.line.text = std::move(chosen);
      }
      if (run.rows_shown && !write_stdout(finish_line(a.line))) {
        report_failure(run.diagnostics, "standard output", "write error");
        run.output_failed = true;
        return false;
      }
    }
    if (r == nullptr || !out.report.open) continue;
    if (!has_report(unit)) {
      report_failure(
          run.diagnostics, unit.name,
          "more than " + std::to_string(kMaxLetterClasses) + " alleles, not in the report");
    } else if (!append_unit_report(run, path, unit, *r)) {
      run.any_failed = true;
      out.report.open = false;
    }
  }
  if (kept.list.empty() && !kept.header) return true;
  std::vector<const RowFigures*> figures(block.size());
  for (size_t u = 0; u < block.size(); ++u)
    figures[u] = block[u].failure.empty() ? &block[u].figures : nullptr;
  return write_kept_records(run, kept, figures);
}

}  // namespace

bool open_pending_rows(BatchRun& run) {
  const int error = open_row_spool(run.outputs.pending);
  if (error == 0) return true;
  report_spool_failure(run, error);
  return false;
}

namespace {

// A file's units, analysed, written and set aside block by block.
void run_blocks(BatchRun& run, const char* path, size_t number, SpoolMark before) {
  UnitSource source = run.open(path);
  if (!run.progress_over_files)
    unit_progress_begin_file(run.analysis.units_progress, number, source.extent);
  bool noted_not_uniform = false;
  ExactTables prepared;
  std::vector<SourceUnit> units;
  std::string failure;
  KeptRecords kept;
  bool any_units = false;
  for (;;) {
    const SourceStatus status = source.next(units, failure);
    if (source.records) kept = source.records();
    switch (status) {
      case SourceStatus::kEnd:
        // The records after the last unit.
        if (!write_kept_records(run, kept, {})) return;
        run.outputs.annotate.complete = true;
        return;
      case SourceStatus::kFailed: {
        // A file that gave nothing may be another kind's: say which option
        // reads it rather than what this kind's reader stumbled on.
        const std::string hint = any_units ? std::string() : reading_hint(run.kind, path);
        report_failure(run.diagnostics, path, hint.empty() ? failure : hint);
        run.any_failed = true;
        drop_file(run, path, before);
        return;
      }
      case SourceStatus::kUnits:
        any_units = true;
        break;
    }
    std::vector<Analysed> block = analyse_block(run.analysis, run.kind, units, number, prepared);
    for (const Analysed& a : block) {
      if (noted_not_uniform || !a.tested || !a.failure.empty()) continue;
      if (!mc_not_uniform(a.result)) continue;
      report_failure(run.diagnostics, path, kMcUniformNote);
      noted_not_uniform = true;
    }
    if (!write_block(run, path, units, block, kept)) return;
  }
}

}  // namespace

void run_input_file(BatchRun& run, const char* path, size_t number) {
  const SpoolMark before = spool_mark(run.outputs.pending);
  try {
    run_blocks(run, path, number, before);
    if (!run.progress_over_files) unit_progress_erase(run.analysis.units_progress);
    if (!write_failed_file(run.outputs.failed)) {
      report_failure(run.diagnostics, run.outputs.failed.path, "failure at writing");
      run.output_failed = true;
    }
  } catch (const std::bad_alloc&) {
    progress_erase(run.analysis.progress);
    unit_progress_erase(run.analysis.units_progress);
    report_failure(run.diagnostics, path, "out of memory");
    run.any_failed = true;
    drop_file(run, path, before);
  }
}

bool write_pending_rows(BatchRun& run) {
  RowSpool& spool = run.outputs.pending;
  ResultsPage* page = run.outputs.page;
  if (!spool.file.is_open()) return true;
  try {
    // The leads become their q values; each row's p_lead is in its text.
    adjust_benjamini_hochberg_in_place(spool.leads);
  } catch (const std::bad_alloc&) {
    report_failure(run.diagnostics, kQColumn, "out of memory");
    return false;
  }
  bool written = true;
  std::string out, full;
  const std::vector<size_t>& columns = run.outputs.columns;
  const int error = spool_replay(spool, [&](std::string_view rows, size_t first) {
    out.clear();
    // A q adds some 20 bytes to a row of hundreds: room for them at once.
    out.reserve(rows.size() + rows.size() / 8);
    size_t i = first;
    for (size_t start = 0; start < rows.size(); ++i) {
      const size_t end = rows.find('\n', start);
      const double q = spool.leads[i];
      if (page != nullptr) add_row_to_page(*page, page->waiting[i], q, nullptr);
      if (columns.empty()) {
        out.append(rows.substr(start, end - start));
        out += '\t';
        append_shortest_or_na(out, q);
      } else {
        full.assign(rows.substr(start, end - start));
        full += '\t';
        append_shortest_or_na(full, q);
        append_cells_at(out, full, columns);
      }
      out += '\n';
      start = end + 1;
    }
    WriteSection section;
    written = !run.rows_shown || write_stdout(out);
    return written;
  });
  if (error != 0) {
    report_spool_failure(run, error);
    return false;
  }
  if (!written) report_failure(run.diagnostics, "standard output", "write error");
  return written;
}
