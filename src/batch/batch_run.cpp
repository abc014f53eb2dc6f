#include "batch/batch_run.h"

#include <fcntl.h>
#include <unistd.h>

#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "batch/heap_pages.h"
#include "batch/input_kind.h"
#include "batch/output_clash.h"
#include "batch/results_page.h"
#include "batch/row_columns.h"
#include "batch/summary_output.h"
#include "batch/unit_driver.h"
#include "batch/write_guard.h"
#include "tsv/tsv_read.h"
#include "fileio/file_identity.h"
#include "html/page_writer.h"
#include "report/report_sink.h"

namespace {

void on_replicate(void* ctx, uint32_t done, const HitCounts&) {
  progress_replicate(*static_cast<ProgressLine*>(ctx), done);
}

// What the line of units counts: sites, a Genepop file's population ×
// locus units, or the run's files where a file is one unit.
const char* progress_noun(const InputKind& kind) {
  if (id_column_with(kind, IdRole::kChrom)) return "sites";
  if (id_column_with(kind, IdRole::kLocus)) return "units";
  return "files";
}

// The progress lines and the experiment's hooks, with the files' count: a
// count file's experiment has its line of runs, every other run the line
// of units.
void set_up_progress(BatchRun& run, UnitProgress& units, size_t files) {
  UnitAnalysis& analysis = run.analysis;
  analysis.units_progress = &units;
  units.kind = &run.kind;
  units.noun = progress_noun(run.kind);
  run.progress_over_files = std::string_view(units.noun) == "files";
  const bool runs_line = run.progress_over_files && analysis.options.runs > 0;
  units.enabled = units.enabled && !runs_line;
  if (units.enabled && run.progress_over_files) {
    units.files_total = 1;
    auto extent = std::make_shared<SourceExtent>();
    extent->total.store(files);
    unit_progress_begin_file(&units, 1, std::move(extent));
  } else {
    units.files_total = files;
  }
  ProgressLine& progress = analysis.progress;
  progress.enabled = runs_line && progress_wanted();
  progress.files_total = files;
  progress.runs = analysis.options.runs;
  analysis.hooks.ctx = &progress;
  analysis.hooks.replicate_done = progress.enabled ? on_replicate : nullptr;
}

// The outputs besides the rows, opened before anything is written so that
// one that cannot be written is known at once, not after hours of
// analysis: the page and the summary as temporary files beside their
// targets (what the targets hold stays until the new file is complete, so a
// run that fails keeps the old ones), and the report sink. False after
// telling why; a report sink that cannot be had only fails the run at its
// end.
bool open_outputs(BatchRun& run, const BatchOptions& options, ReplacingFile& page_file,
                  std::optional<ResultsPage>& page, ReplacingFile& summary_file) {
  RunOutputs& out = run.outputs;
  if (!options.html.empty()) {
    if (!open_replacing(page_file, options.html)) {
      report_failure(run.diagnostics, options.html, "failure at opening");
      return false;
    }
  }
  if (!options.figures.empty() && !prepare_figure_folder(run.diagnostics, options.figures))
    return false;
  if (!options.html.empty() || !options.figures.empty()) {
    page.emplace(ResultsPage{run.kind, PageData{}, {}, {}});
    page->data.header = page_header(options, std::time(nullptr));
    out.page = &*page;
  }
  if (!options.summary.empty()) {
    if (!open_replacing(summary_file, options.summary)) {
      report_failure(run.diagnostics, options.summary, "failure at opening");
      return false;
    }
    out.summary = summary_table_for(run.kind, options);
    run.analysis.keep_u_laws = keeps_u_laws(run.kind, options);
  }
  if (!options.failed.empty()) {
    out.failed.path = options.failed;
    out.failed.file.fd =
        ::open(options.failed.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (!out.failed.file.is_open()) {
      report_failure(run.diagnostics, options.failed, "failure at opening");
      return false;
    }
  }
  if (!open_annotate_output(out.annotate, options, run.diagnostics)) return false;
  if (!options.report.empty()) {
    out.report.path = options.report;
    const SinkResult opened = open_report_sink(out.report.sink, options.report.c_str(), true);
    if (opened.status == AppendResult::kDone) {
      out.report.open = true;
    } else {
      report_sink_failure(run, opened);
      run.any_failed = true;
    }
  }
  return true;
}

// What comes after the rows: the report sink closed, the summary, the page
// (with the summary's rows). False after telling what failed.
bool finish_outputs(BatchRun& run, const BatchOptions& options, ReplacingFile& page_file,
                    ReplacingFile& summary_file) {
  RunOutputs& out = run.outputs;
  if (out.report.open) {
    const SinkResult closed = close_report_sink(out.report.sink);
    if (closed.status != AppendResult::kDone) {
      report_sink_failure(run, closed);
      run.any_failed = true;
    }
  }
  if (!close_failed_list(out.failed)) {
    report_failure(run.diagnostics, options.failed, "failure at writing");
    return false;
  }
  if (!finish_annotate_output(out.annotate, run.diagnostics)) return false;
  // The summary's rows once: the global U tests may draw.
  std::vector<SummaryRow> summary_rows_made;
  if (out.summary) {
    summary_rows_made = summary_rows(*out.summary);
    const std::string note = u_global_note(*out.summary);
    if (!note.empty()) report_failure(run.diagnostics, options.summary, note);
    if (!commit_replacing(summary_file, summary_text(*out.summary, summary_rows_made))) {
      report_failure(run.diagnostics, options.summary, "failure at writing");
      return false;
    }
  }
  if (out.page != nullptr) {
    if (out.summary) add_summary_rows(out.page->data, summary_rows_made);
    WriteSection section;
    if (!options.html.empty() && !commit_replacing(page_file, render_page(out.page->data))) {
      report_failure(run.diagnostics, options.html, "failure at writing");
      return false;
    }
    if (!options.figures.empty() &&
        !write_page_figures(run.diagnostics, options.figures, out.page->data))
      return false;
  }
  return true;
}

}  // namespace

int run_batch(const BatchOptions& given, const std::vector<char*>& files, const char* program) {
  const bool large_pages = prefer_large_heap_pages();
  // On a terminal every message goes by the progress line's lock, which
  // erases the line first (sources may warn from their read-ahead thread).
  UnitProgress units_progress;
  units_progress.enabled = progress_wanted();
  Diagnostics diagnostics{program, nullptr};
  if (units_progress.enabled)
    diagnostics.write = [&units_progress](const std::string& line) {
      unit_progress_message(units_progress, line);
    };
  BatchOptions options = given;
  if (!outputs_clear_of_inputs(diagnostics, options.output_files, options.input_files,
                               std::vector<std::string>(files.begin(), files.end())))
    return 1;
  if (!options.annotate.empty() && files.size() != 1) {
    report_failure(diagnostics, "--annotate",
                   "takes one input file (" + std::to_string(files.size()) +
                       " given): run once per file");
    return 2;
  }
  const InputKind& kind = find_input_kind(options.kind);
  PreparedKind prepared = kind.prepare(options, diagnostics);
  if (prepared.instead) return prepared.instead(files);
  if (!prepared.open) return prepared.status;
  std::string unknown_column;
  std::optional<std::vector<size_t>> columns = chosen_columns(kind, options, unknown_column);
  if (!columns) {
    report_failure(diagnostics, "--columns", unknown_column);
    return 2;
  }
  if (!standard_streams_open()) {
    report_failure(diagnostics, "standard output", "not open");
    return 1;
  }
  install_interrupt_handler();
  BatchRun run{kind, std::move(prepared.open), diagnostics,
               UnitAnalysis{options, lead_test_for(options.exact, options.runs > 0, options.structure)}};
  run.outputs.columns = std::move(*columns);
  set_up_progress(run, units_progress, files.size());
  run.rows_shown = options.annotate != "-";
  run.analysis.hwe = hwe_rule(kind, options);

  // Held in memory, rows cost a fault per page on the thread that writes
  // them: only on large pages do they stay there rather than go to the file.
  if (large_pages) run.outputs.pending.memory = kSpoolMemoryOnLargePages;
  // Without the temporary file for the rows nothing is written or touched.
  if (kind.adjusts_p && !open_pending_rows(run)) return 1;
  ReplacingFile page_file;
  ReplacingFile summary_file;
  const RemovedOnExit page_removed(page_file.temp);
  const RemovedOnExit summary_removed(summary_file.temp);
  const RemovedOnExit copy_removed(run.outputs.annotate.file.temp);
  const RemovedOnExit copy_index_removed(run.outputs.annotate.index.temp);
  std::optional<ResultsPage> page;
  if (!open_outputs(run, options, page_file, page, summary_file)) return 1;
  {
    WriteSection section;
    std::string header = row_header(kind, options);
    if (!run.outputs.columns.empty()) {
      std::string chosen;
      append_cells_at(chosen, std::string_view(header).substr(0, header.size() - 1),
                          run.outputs.columns);
      header = chosen + '\n';
    }
    if (run.rows_shown && !write_stdout(header)) {
      report_failure(diagnostics, "standard output", "write error");
      return 1;
    }
  }
  for (size_t i = 0; i < files.size() && !run.output_failed; ++i)
    run_input_file(run, files[i], i + 1);
  unit_progress_erase(&units_progress);
  if (run.output_failed) return 1;
  if (page && prepared.structure_fits) page->data.structure = prepared.structure_fits();
  if (!write_pending_rows(run)) return 1;
  if (!finish_outputs(run, options, page_file, summary_file)) return 1;
  return run.any_failed ? 1 : 0;
}
