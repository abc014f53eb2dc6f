#include "batch/batch_run.h"

#include <fcntl.h>
#include <unistd.h>

#include <ctime>
#include <memory>
#include <optional>
#include <string>

#include "batch/count_file_source.h"
#include "batch/genepop_source.h"
#include "batch/results_page.h"
#include "batch/row_columns.h"
#include "batch/summary_output.h"
#include "batch/unit_driver.h"
#include "batch/vcf_source.h"
#include "batch/write_guard.h"
#include "fileio/fd_io.h"
#include "fileio/unique_fd.h"
#include "report/report_sink.h"

namespace {

void on_replicate(void* ctx, uint32_t done, const HitCounts&) {
  progress_replicate(*static_cast<ProgressLine*>(ctx), done);
}

// The summary after the rows; false after telling why.
bool write_summary(const BatchRun& run, UniqueFd& file) {
  const std::string text = summary_text(*run.summary);
  if (write_all(file.fd, text.data(), text.size()) && file.close_now() == 0) return true;
  report_failure(run.program, run.options.summary, "failure at writing");
  return false;
}

}  // namespace

int run_batch(const BatchOptions& given, const std::vector<char*>& files, const char* program) {
  if (given.vcf && given.list_regions > 0) return list_vcf_regions(files, given.list_regions, program);
  BatchOptions options = given;
  std::optional<InputKind> vcf_kind;
  if (options.vcf) {
    auto settings = std::make_shared<VcfRunSettings>();
    bool usage = false;
    if (!prepare_vcf_run(options, program, *settings, usage)) return usage ? 2 : 1;
    vcf_kind = vcf_input(std::move(settings));
    // Every site's streams are keyed under one seed for the whole run.
    if (!options.seed_given) {
      options.seed = static_cast<uint32_t>(std::time(nullptr));
      options.seed_given = true;
    }
  }
  if (!standard_streams_open()) {
    report_failure(program, "standard output", "not open");
    return 1;
  }
  install_interrupt_handler();
  BatchRun run{options, program, ProgressLine{}, McHooks{}};
  run.progress.enabled = options.runs > 0 && ::isatty(STDERR_FILENO) == 1;
  run.progress.files_total = files.size();
  run.progress.runs = options.runs;
  run.hooks.ctx = &run.progress;
  run.hooks.replicate_done = run.progress.enabled ? on_replicate : nullptr;

  // Without the temporary file for the rows nothing is written or touched.
  const InputKind& kind =
      vcf_kind ? *vcf_kind : options.genepop ? genepop_input() : count_file_input();
  if (kind.adjusts_p && !open_pending_rows(run)) return 1;
  // The page's file is opened before anything is written, so that a run
  // never ends without the page it was asked for; what it holds stays until
  // the new page is written over it, so a run that fails keeps the old one.
  UniqueFd page_file(options.html.empty()
                         ? -1
                         : ::open(options.html.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666));
  std::optional<ResultsPage> page;
  if (!options.html.empty()) {
    if (!page_file.is_open()) {
      report_failure(program, options.html, "failure at opening");
      return 1;
    }
    page.emplace(ResultsPage{kind, PageData{}, {}});
    page->data.header = page_header(options, std::time(nullptr));
    run.page = &*page;
  }

  // Opened before any work, so that a summary that cannot be written is
  // known at once, not after hours of analysis.
  UniqueFd summary_file(-1);
  if (!options.summary.empty()) {
    summary_file.fd =
        ::open(options.summary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (!summary_file.is_open()) {
      report_failure(program, options.summary, "failure at opening");
      return 1;
    }
    run.summary = SummaryTable{summary_layout(kind, options), {}, {}};
  }
  // One sink for the whole run: a FIFO gets every report, in order.
  if (!options.report.empty()) {
    const SinkResult opened = open_report_sink(run.report, options.report.c_str(), true);
    if (opened.status == AppendResult::kDone) {
      run.with_report = true;
    } else {
      report_sink_failure(run, opened);
      run.any_failed = true;
    }
  }

  {
    WriteSection section;
    if (!write_stdout(row_header(kind, options))) {
      report_failure(program, "standard output", "write error");
      return 1;
    }
  }

  for (size_t i = 0; i < files.size() && !run.output_failed; ++i)
    run_input_file(run, kind, files[i], i + 1);
  if (run.output_failed) return 1;
  if (!write_pending_rows(run)) return 1;
  if (run.with_report) {
    const SinkResult closed = close_report_sink(run.report);
    if (closed.status != AppendResult::kDone) {
      report_sink_failure(run, closed);
      run.any_failed = true;
    }
  }
  if (run.summary && !write_summary(run, summary_file)) return 1;
  if (page) {
    if (run.summary) add_summary_rows(page->data, *run.summary);
    WriteSection section;
    if (!write_page_over(page_file, page->data)) {
      report_failure(program, options.html, "failure at writing");
      return 1;
    }
  }
  return run.any_failed ? 1 : 0;
}
