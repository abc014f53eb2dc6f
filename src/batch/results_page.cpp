#include "batch/results_page.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "cli/program_version.h"
#include "fileio/fd_io.h"
#include "html/page_writer.h"
#include "stats/unit_heterozygosity.h"

PageRow page_row(const SourceUnit& unit, const UnitResult* r, double lead) {
  PageRow row;
  row.p = lead;
  if (r == nullptr) {
    row.k = unit.k;
    row.n = unit.n;
    return row;
  }
  const LocusAnalysis& a = r->locus;
  row.k = a.k;
  row.n = a.two_n / 2;
  row.d = a.d_obs;
  row.f_is = static_cast<float>(
      unit_heterozygosity(a.allele_total.data, a.k, a.two_n, a.het_observed).f_is);
  if (a.k == 2)
    for (size_t g = 0; g < 3; ++g) row.genotypes[g] = a.table[g].count;
  return row;
}

namespace {

// A text cell as its source named it: the escapes of add_text_cell undone
// (the page escapes what it must itself, and shows a bad byte as U+FFFD).
std::string unescape_cell(std::string_view cell) {
  std::string out;
  out.reserve(cell.size());
  for (size_t i = 0; i < cell.size(); ++i) {
    if (cell[i] != '\\' || i + 1 == cell.size()) {
      out += cell[i];
      continue;
    }
    switch (cell[++i]) {
      case 't': out += '\t'; break;
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      case 'x': {
        unsigned byte = 0;
        const char* digits = cell.data() + i + 1;
        const char* stop = cell.data() + std::min(cell.size(), i + 3);
        const auto [end, error] = std::from_chars(digits, stop, byte, 16);
        if (error == std::errc{} && end == digits + 2) {
          out += static_cast<char>(byte);
          i += 2;
        } else {
          out += "\\x";
        }
        break;
      }
      default: out += cell[i];
    }
  }
  return out;
}

template <class Int>
Int cell_number(std::string_view cell) {
  Int value = 0;
  std::from_chars(cell.data(), cell.data() + cell.size(), value);
  return value;
}

}  // namespace

void add_row_to_page(ResultsPage& page, std::string_view cells, const PageRow& row, double q_bh,
                     const UnitResult* r) {
  UnitFigures u;
  u.kind = page.kind.page_kind;
  // The names, read while the row's text is at hand; the views below point
  // into these.
  std::string file, population_name, locus, chrom, id;
  for (const std::string& column : page.kind.id_columns) {
    const size_t tab = cells.find('\t');
    const std::string_view cell = cells.substr(0, tab);
    cells = tab == std::string_view::npos ? std::string_view{} : cells.substr(tab + 1);
    if (column == "file") {
      file = unescape_cell(cell);
    } else if (column == "population" && u.kind != UnitKind::kVcf) {
      u.population = cell_number<int32_t>(cell);
    } else if (column == "population" || column == "pop_name") {
      population_name = unescape_cell(cell);
    } else if (column == "locus") {
      locus = unescape_cell(cell);
    } else if (column == "chrom") {
      chrom = unescape_cell(cell);
    } else if (column == "pos") {
      u.pos = cell_number<int64_t>(cell);
    } else if (column == "id") {
      id = unescape_cell(cell);
    }
  }
  u.file = file;
  u.population_name = population_name;
  u.locus = locus;
  u.chrom = chrom;
  u.id = id;
  u.k = row.k;
  u.n = row.n;
  u.p = row.p;
  u.q_bh = q_bh;
  u.f_is = row.f_is;
  u.d = row.d;
  for (size_t g = 0; g < 3; ++g) u.genotypes[g] = row.genotypes[g];
  std::vector<double> observed, expected;
  if (r != nullptr && u.kind == UnitKind::kCountFile) {
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
  for (const SummaryRow& row : summary_rows(summary)) {
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

bool write_page_over(UniqueFd& file, const PageData& page) {
  const std::string text = render_page(page);
  struct stat st {};
  if (::fstat(file.fd, &st) != 0) return false;
  if (S_ISREG(st.st_mode) && ::ftruncate(file.fd, 0) != 0) return false;
  const bool written = write_all(file.fd, text.data(), text.size());
  return file.close_now() == 0 && written;
}
