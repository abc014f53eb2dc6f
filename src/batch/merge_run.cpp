#include "batch/merge_run.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

#include "batch/diagnostics.h"
#include "batch/heap_pages.h"
#include "batch/hwe_outputs.h"
#include "batch/input_kind.h"
#include "batch/merged_page.h"
#include "batch/output_clash.h"
#include "batch/results_page.h"
#include "batch/row_columns.h"
#include "batch/summary_output.h"
#include "batch/write_guard.h"
#include "figures/unit_statistics.h"
#include "fileio/file_identity.h"
#include "fileio/output_stream.h"
#include "fileio/text_escape.h"
#include "html/page_writer.h"
#include "merge/row_merge.h"
#include "merge/row_summary.h"
#include "tsv/tsv_line.h"
#include "tsv/tsv_read.h"

namespace {

int report(const Diagnostics& diagnostics, const MergeFailure& failure) {
  // A reader gone ends quietly, as with the rows of a run.
  if (failure.output && failure.error == EPIPE) return kReaderGoneStatus;
  report_failure(diagnostics, failure.output ? "standard output" : failure.file, failure.reason);
  return 1;
}

// The registered kind a row table is, by its header's identifying columns,
// as the summary needs it.
SummaryKind summary_kind_of(std::string_view header) {
  const std::vector<std::string_view> names = split_cells(header);
  const InputKind& kind = kind_of_header(names);
  const auto column = [&](IdRole role) {
    const std::optional<size_t> i = id_column_with(kind, role);
    return i ? std::string(kind.id_columns[*i].name) : std::string();
  };
  return SummaryKind{kind.summary, column(IdRole::kFile), column(IdRole::kPopulation),
                     column(IdRole::kLocus)};
}

// The waiting rows to the page with their merged q_bh, the header that of
// the merge (the seeds are the parts' own).
void draw_merged_page(ResultsPage& page, const RowScan& scan, const BatchOptions& options) {
  page.data.header = page_header(options, std::time(nullptr));
  page.data.header.seed = "as each part's run drew it (each row's seed column)";
  for (size_t i = 0; i < page.waiting.size(); ++i)
    add_row_to_page(page, page.waiting[i], i < scan.q.size() ? scan.q[i] : kNoValue, nullptr);
  page.waiting = {};
}

// The merge reads every table twice and each must count once: a table
// that is not a regular file (a FIFO would block, then be read once), or
// one given twice under any name, fails before anything is opened. False
// after telling why.
bool tables_readable_once_each(const Diagnostics& diagnostics,
                               const std::vector<std::string>& paths) {
  std::vector<std::optional<FileIdentity>> seen;
  for (const std::string& path : paths) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
      report_failure(diagnostics, path,
                     "not a regular file (the merge reads each table twice)");
      return false;
    }
    seen.push_back(identify_file(path, false));
    for (size_t i = 0; i + 1 < seen.size(); ++i) {
      if (seen.back() && !seen.back()->missing_name.empty()) break;
      if (seen[i] && seen[i] == seen.back()) {
        report_failure(diagnostics, path,
                       "the same file as '" + escape_text(paths[i]) +
                           "': each part may be merged once");
        return false;
      }
    }
  }
  return true;
}

// A table of chosen columns (--columns) is one when it names the
// identifying columns of a registered kind.
std::vector<std::vector<std::string>> identifying_columns_of_kinds() {
  std::vector<std::vector<std::string>> kinds;
  for (const InputKind* kind : input_kinds()) {
    std::vector<std::string>& names = kinds.emplace_back();
    for (const KindColumn& column : kind->id_columns) names.emplace_back(column.name);
  }
  return kinds;
}

// --failed from the merged rows: the rows the parts' --hwe failed
// (hwe_fail 1), named as a single run names them, in the order merged.
struct MergedFailed {
  const InputKind* kind = nullptr;
  size_t id_cells = 0;
  size_t fail_cell = 0;
  FailedList list;
};

// The header's kind and its hwe_fail column; the reason when it has none.
std::string start_merged_failed(MergedFailed& failed, std::string_view header) {
  const std::vector<std::string_view> names = split_cells(header);
  failed.kind = &kind_of_header(names);
  failed.id_cells = failed.kind->id_columns.size();
  const auto column = std::find(names.begin(), names.end(), std::string_view(kHweFailColumn));
  if (column == names.end())
    return std::string("no column '") + kHweFailColumn +
           "' for --failed: run the parts with --hwe P (and --hwe-pops, --hwe-midp as wanted)";
  failed.fail_cell = static_cast<size_t>(column - names.begin());
  return "";
}

void add_merged_failed_row(MergedFailed& failed, std::string_view row) {
  const std::vector<std::string_view> cells = split_cells(row);
  if (failed.fail_cell >= cells.size() || cells[failed.fail_cell] != "1") return;
  SourceUnit unit;
  for (size_t i = 0; i < failed.id_cells && i < cells.size(); ++i) {
    if (i > 0) unit.id.text += '\t';
    unit.id.text.append(cells[i]);
  }
  note_failed_unit(failed.list, *failed.kind, unit, HweVerdict::kFail);
}

}  // namespace

int run_merge(const std::vector<char*>& tables, const BatchOptions& options, const char* program) {
  prefer_large_heap_pages();
  const std::string& summary_path = options.summary;
  const Diagnostics diagnostics{program, nullptr};
  if (!standard_streams_open()) {
    report_failure(diagnostics, "standard output", "not open");
    return 1;
  }
  std::signal(SIGPIPE, SIG_IGN);  // a reader gone is a write result
  const std::vector<std::string> paths(tables.begin(), tables.end());
  std::vector<OptionFile> outputs;
  if (!summary_path.empty()) outputs.push_back(OptionFile{"--summary", summary_path});
  if (!options.html.empty()) outputs.push_back(OptionFile{"--html", options.html});
  if (!options.failed.empty()) outputs.push_back(OptionFile{"--failed", options.failed});
  if (!outputs_clear_of_inputs(diagnostics, outputs, {}, paths)) return 1;
  if (!tables_readable_once_each(diagnostics, paths)) return 1;
  // The summary is fed as the scan reads the rows, so that a table it
  // cannot read fails the merge before anything is written.
  const bool with_summary = !summary_path.empty();
  SummaryTable summary;
  // The parts' seed given again: the global U tests draw from it (rows of
  // enumerated units do not show it).
  if (options.seed_given) {
    summary.u_seed = options.seed;
    summary.u_seeded = true;
  }
  std::optional<RowSummaryColumns> summary_columns;
  // So is the page, its rows kept as compactly as a run keeps them.
  const bool with_page = !options.html.empty() || !options.figures.empty();
  std::optional<ResultsPage> page;
  std::optional<PageRowColumns> page_columns;
  const bool with_failed = !options.failed.empty();
  MergedFailed failed;
  // Lines are noted only with an open file: a stand-in until the scan is done.
  if (with_failed) failed.list.file.fd = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  RowVisitor visitor;
  visitor.header = [&](std::string_view header) {
    std::string reason;
    if (with_failed) reason = start_merged_failed(failed, header);
    if (!reason.empty()) return reason;
    if (with_summary)
      summary_columns = row_summary_columns(header, summary_kind_of(header), summary, reason);
    if (with_page && reason.empty()) {
      const InputKind* kind = nullptr;
      page_columns = page_row_columns(header, kind, reason);
      if (page_columns) page.emplace(ResultsPage{*kind, PageData{}, {}, {}});
    }
    return reason;
  };
  visitor.row = [&](std::string_view row) {
    std::string reason;
    if (with_summary) reason = add_row_to_summary(summary, *summary_columns, row);
    if (with_page && reason.empty()) reason = take_page_row(*page, *page_columns, row);
    if (with_failed && reason.empty()) add_merged_failed_row(failed, row);
    return reason;
  };
  // A unit is known by its identifying cells: every kind's identifying
  // columns the header has (a table that lacks some of its kind's, made by
  // hand or by another program, still keys its units by all it has).
  const UnitKeyColumns unit_key = [](std::string_view) {
    std::vector<std::string> key;
    for (const InputKind* kind : input_kinds())
      for (const KindColumn& column : kind->id_columns)
        if (std::find(key.begin(), key.end(), column.name) == key.end())
          key.emplace_back(column.name);
    return key;
  };
  const RowScan scan = scan_row_tables(paths, columns_of_every_row(), visitor,
                                        identifying_columns_of_kinds(), unit_key);
  if (scan.failure.failed) return report(diagnostics, scan.failure);
  std::string unknown_column;
  const std::optional<std::vector<size_t>> picks = pick_columns(
      split_cells(std::string_view(scan.header).substr(0, scan.header.size() - 1)),
      options.columns, unknown_column);
  if (!picks) {
    report_failure(diagnostics, "--columns", unknown_column);
    return 2;
  }
  ReplacingFile page_file;
  if (!options.html.empty() && !open_replacing(page_file, options.html)) {
    report_failure(diagnostics, options.html, "failure at opening");
    return 1;
  }
  if (!options.figures.empty() && !prepare_figure_folder(diagnostics, options.figures)) return 1;
  ReplacingFile summary_file;
  if (with_summary) {
    if (!open_replacing(summary_file, summary_path)) {
      report_failure(diagnostics, summary_path, "failure at opening");
      return 1;
    }
  }
  if (with_failed) {
    failed.list.file.close_now();
    failed.list.file.fd =
        ::open(options.failed.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (!failed.list.file.is_open()) {
      report_failure(diagnostics, options.failed, "failure at opening");
      return 1;
    }
  }
  // q_bh in the row writer's format, so that it reads as a single run's.
  const MergeFailure written = write_merged_rows(scan, paths, stdout, format_double, *picks);
  if (written.failed) return report(diagnostics, written);
  if (with_failed && !close_failed_list(failed.list)) {
    report_failure(diagnostics, options.failed, "failure at writing");
    return 1;
  }
  // The global U tests are computed once, for the summary and the page.
  std::vector<SummaryRow> summary_lines;
  if (with_summary) {
    summary_lines = summary_rows(summary);
    const std::string note = u_global_note(summary, summary_lines);
    if (!note.empty()) report_failure(diagnostics, summary_path, note);
    if (!commit_replacing(summary_file, summary_text(summary, summary_lines))) {
      report_failure(diagnostics, summary_path, "failure at writing");
      return 1;
    }
  }
  if (!with_page) return 0;
  draw_merged_page(*page, scan, options);
  if (with_summary) add_summary_rows(page->data, summary_lines);
  if (!options.html.empty() && !commit_replacing(page_file, render_page(page->data))) {
    report_failure(diagnostics, options.html, "failure at writing");
    return 1;
  }
  if (!options.figures.empty() && !write_page_figures(diagnostics, options.figures, page->data))
    return 1;
  return 0;
}
