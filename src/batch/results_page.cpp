#include "batch/results_page.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "cli/program_identity.h"
#include "fileio/fd_io.h"
#include "fileio/text_escape.h"
#include "html/figure_files.h"
#include "html/page_writer.h"
#include "tsv/tsv_read.h"

namespace {

uint32_t name_index(PageNames& names, std::string_view text) {
  const auto it = names.index.find(text);
  if (it != names.index.end()) return static_cast<uint32_t>(it->second);
  names.index.emplace(std::string(text), names.text.size());
  names.text.emplace_back(text);
  return static_cast<uint32_t>(names.text.size() - 1);
}

}  // namespace

PageRow page_row(ResultsPage& page, const SourceUnit& unit, const RowFigures& figures,
                 const UnitResult* r) {
  PageRow row;
  row.p = figures.lead.p;
  row.k = figures.k;
  row.n = figures.n;
  if (r != nullptr) {
    row.d = static_cast<float>(figures.stat[Statistic::kD]);
    row.f_is = figures.stat[Statistic::kFIs];
    if (r->locus.k == 2)
      for (size_t g = 0; g < 3; ++g) row.genotypes[g] = r->locus.table[g].count;
    if (r->exact) {
      row.p_u_deficit = r->exact->test[ExactTest::kUDeficit].p;
      row.p_u_excess = r->exact->test[ExactTest::kUExcess].p;
    }
  }
  set_page_names(page, split_cells(unit.id.text), row);
  return row;
}

void set_page_names(ResultsPage& page, std::span<const std::string_view> cells, PageRow& row) {
  // The names as their source wrote them: the cells' escapes undone (the
  // page escapes what it must itself, and shows a bad byte as U+FFFD).
  if (page.names.text.empty()) name_index(page.names, "");
  const std::vector<KindColumn>& columns = page.kind.id_columns;
  const bool named_populations = id_column_with(page.kind, IdRole::kPopulationName).has_value();
  for (size_t i = 0; i < columns.size() && i < cells.size(); ++i) {
    const KindColumn& column = columns[i];
    const std::string_view cell = cells[i];
    const auto name = [&] { return name_index(page.names, unescape_text(cell)); };
    switch (column.role) {
      case IdRole::kFile:
        row.file = name();
        break;
      case IdRole::kPopulation:
        row.population = static_cast<int32_t>(integer_cell(cell).value_or(0));
        if (!named_populations) row.population_name = name();
        break;
      case IdRole::kPopulationName:
        row.population_name = name();
        break;
      case IdRole::kLocus:
        row.locus = name();
        break;
      case IdRole::kChrom:
        row.chrom = name();
        break;
      case IdRole::kPos:
        row.pos = integer_cell(cell).value_or(0);
        break;
      case IdRole::kSiteId:
      case IdRole::kOther:
        break;
    }
  }
}

void add_row_to_page(ResultsPage& page, const PageRow& row, double q_bh, const UnitResult* r) {
  const std::vector<std::string>& names = page.names.text;
  UnitFigures u;
  u.style = page.kind.page_style;
  u.file = names[row.file];
  u.population = row.population;
  u.population_name = names[row.population_name];
  u.locus = names[row.locus];
  u.chrom = names[row.chrom];
  u.pos = row.pos;
  u.k = row.k;
  u.n = row.n;
  u.p = row.p;
  u.q_bh = q_bh;
  u.f_is = row.f_is;
  u.d = row.d;
  for (size_t g = 0; g < 3; ++g) u.genotypes[g] = row.genotypes[g];
  u.p_u_deficit = row.p_u_deficit;
  u.p_u_excess = row.p_u_excess;
  std::vector<double> observed, expected;
  if (r != nullptr && u.style == PageStyle::kCountFile) {
    const LocusAnalysis& a = r->locus;
    for (int32_t c = 0; c < a.cells; ++c) {
      observed.push_back(a.table[static_cast<size_t>(c)].count);
      expected.push_back(a.expected[static_cast<size_t>(c)]);
    }
    u.alleles = a.allele_letters.data != nullptr ? std::string_view(a.allele_letters.data) : "";
    u.observed = observed;
    u.expected = expected;
  }
  add_unit(page.data, u);
}

void add_summary_rows(PageData& page, const SummaryTable& summary) {
  add_summary_rows(page, summary_rows(summary));
}

void add_summary_rows(PageData& page, const std::vector<SummaryRow>& rows) {
  for (const SummaryRow& row : rows) {
    SummaryFigures s;
    s.file = row.file;
    switch (row.scope) {
      case SummaryScope::kLocus: s.scope = PageScope::kLocus; break;
      case SummaryScope::kPopulation: s.scope = PageScope::kPopulation; break;
      case SummaryScope::kFile: s.scope = PageScope::kFile; break;
    }
    s.name = row.name;
    s.p_fisher = row.lead.p;
    s.q_bh = row.lead.q;
    s.f_is = row.f_is;
    if (row.u_global) {
      s.p_u_deficit_global = row.u_global->deficit.p;
      s.p_u_excess_global = row.u_global->excess.p;
    }
    add_summary(page, s);
  }
}

std::string english_date(std::time_t t) {
  static constexpr const char* kDays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                          "Thursday", "Friday", "Saturday"};
  static constexpr const char* kMonths[] = {"January", "February", "March",     "April",
                                            "May",     "June",     "July",      "August",
                                            "September", "October", "November", "December"};
  std::tm tm{};
  gmtime_r(&t, &tm);
  char clock[16];
  std::snprintf(clock, sizeof clock, "%02d:%02d:%02d", tm.tm_hour, tm.tm_min, tm.tm_sec);
  return std::string(kDays[tm.tm_wday]) + " " + std::to_string(tm.tm_mday) + " " +
         kMonths[tm.tm_mon] + " " + std::to_string(tm.tm_year + 1900) + ", " + clock + " UTC";
}

PageHeader page_header(const BatchOptions& options, std::time_t now) {
  PageHeader h;
  h.command_line = options.command_text;
  h.date = english_date(now);
  h.version = program_version();
  h.seed = options.seed_given ? std::to_string(options.seed)
                              : "from the clock, unit by unit (each row's seed column)";
  return h;
}

namespace {

std::string lower_first(const char* text) {
  std::string s = text;
  if (!s.empty() && s[0] >= 'A' && s[0] <= 'Z') s[0] = static_cast<char>(s[0] - 'A' + 'a');
  return s;
}

}  // namespace

bool prepare_figure_folder(const Diagnostics& diagnostics, const std::string& folder) {
  int error = 0;
  if (::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) error = errno;
  struct stat st {};
  if (error == 0 && ::stat(folder.c_str(), &st) != 0) error = errno;
  if (error == 0 && !S_ISDIR(st.st_mode)) error = ENOTDIR;
  if (error == 0 && ::access(folder.c_str(), W_OK | X_OK) != 0) error = errno;
  if (error == 0) return true;
  report_failure(diagnostics, folder,
                 "cannot write the figures there: " + lower_first(std::strerror(error)));
  return false;
}

bool write_page_figures(const Diagnostics& diagnostics, const std::string& folder,
                        const PageData& page, const std::string& converter) {
  const FigureFolderResult result = write_figure_files(folder, figure_files(page), converter);
  if (result.folder_error != 0) {
    report_failure(diagnostics, folder,
                   "cannot write the figures there: " + lower_first(std::strerror(result.folder_error)));
    return false;
  }
  bool written = true;
  for (const FigureFileStatus& file : result.files) {
    if (file.svg_error != 0) {
      report_failure(diagnostics, file.svg_path,
                     "failure at writing: " + lower_first(std::strerror(file.svg_error)));
      written = false;
    } else if (file.pdf == PdfStatus::kFailed) {
      report_failure(diagnostics, file.pdf_path,
                     converter + " failed (exit status " + std::to_string(file.pdf_exit) + ")");
      written = false;
    }
  }
  if (result.converter_missing)
    report_failure(diagnostics, converter,
                   "not found; the figures are written as SVG only, without PDF (it comes with "
                   "librsvg2-bin)");
  return written;
}
