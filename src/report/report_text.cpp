#include "report/report_text.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "exact/exact_report.h"
#include "montecarlo/interval_text.h"

namespace {

constexpr const char* kWeekdays[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

constexpr const char kTableHeader[] =
    "\n\n------------------------------------------------------------------------\n"
    " gntp |     obs     |    exp      |      X2     |  M-Carlo Probability\n"
    "------------------------------------------------------------------------\n";
static_assert(sizeof(kTableHeader) - 1 == kReportHeaderLength);

// Where "M-Carlo Probability" stands in the header: after the empty line and
// the first dashed line, at offset 51 of the title line.
constexpr size_t kMcTitleOffset = 2 + 73 + 51;
constexpr size_t kMcTitleLength = 19;

// Offsets of the row fields: letters, count, expected, X2, Monte Carlo.
constexpr size_t kFieldOffset[5] = {2, 12, 25, 41, 57};

__attribute__((format(printf, 2, 3))) void append_format(std::string& out, const char* format,
                                                         ...) {
  char small[256];
  va_list ap;
  va_start(ap, format);
  int n = std::vsnprintf(small, sizeof small, format, ap);
  va_end(ap);
  if (n < 0) return;
  if (static_cast<size_t>(n) < sizeof small) {
    out.append(small, static_cast<size_t>(n));
    return;
  }
  std::string big(static_cast<size_t>(n) + 1, '\0');
  va_start(ap, format);
  std::vsnprintf(big.data(), big.size(), format, ap);
  va_end(ap);
  out.append(big.data(), static_cast<size_t>(n));
}

// The file's name as the report shows it: a-z upper-cased, every other byte
// as it is (no locale may turn other bytes into letters).
std::string upper_ascii(const char* text) {
  std::string out = text != nullptr ? text : "";
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

int wrap(int value, int modulus) { return ((value % modulus) + modulus) % modulus; }

// Writes one field's text at its offset of the row buffer and returns where
// its terminating zero byte went. Text running past the buffer is cut at
// its last byte, which keeps the zero byte there.
size_t put_field(char (&row)[kReportRowBuffer], size_t offset, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
size_t put_field(char (&row)[kReportRowBuffer], size_t offset, const char* format, ...) {
  va_list ap;
  va_start(ap, format);
  int n = std::vsnprintf(row + offset, kReportRowBuffer - offset, format, ap);
  va_end(ap);
  if (n < 0) n = 0;
  size_t end = offset + static_cast<size_t>(n);
  return end < kReportRowBuffer - 1 ? end : kReportRowBuffer - 1;
}

// After every field but the last its zero byte becomes a blank again, so the
// row goes on; the last one ends the row.
void join_field(char (&row)[kReportRowBuffer], size_t zero_at) {
  if (zero_at < kReportRowBuffer - 1) row[zero_at] = ' ';
}

}  // namespace

std::string format_report_date(const std::tm& when) {
  std::string out;
  append_format(out, "%s %s %02d %02d:%02d:%02d %4d%s", kWeekdays[wrap(when.tm_wday, 7)],
                kMonths[wrap(when.tm_mon, 12)], when.tm_mday, when.tm_hour, when.tm_min,
                when.tm_sec, when.tm_year + 1900, "\n");
  return out;
}

std::string format_table_header(bool with_mc) {
  char row[kReportRowBuffer];
  std::memcpy(row, kTableHeader, sizeof kTableHeader);
  if (!with_mc) std::memset(row + kMcTitleOffset, ' ', kMcTitleLength);
  return std::string(row);
}

std::string format_table_row(char allele1, char allele2, int32_t count, float expected,
                             float cell_x2, const double* mc_probability) {
  char row[kReportRowBuffer];
  std::memset(row, ' ', kReportRowBuffer - 1);
  row[kReportRowBuffer - 1] = '\0';

  join_field(row, put_field(row, kFieldOffset[0], "%c%c", allele1, allele2));
  join_field(row, put_field(row, kFieldOffset[1], "%-d", count));
  join_field(row, put_field(row, kFieldOffset[2], "%.4f", static_cast<double>(expected)));
  size_t zero_at = put_field(row, kFieldOffset[3], "%.4f", static_cast<double>(cell_x2));
  if (mc_probability != nullptr) {
    join_field(row, zero_at);
    put_field(row, kFieldOffset[4], "%.4f", *mc_probability);
  }
  return std::string(row);
}

std::string build_report_text(const char* input_name, const UnitResult& r, const std::tm& when) {
  const LocusAnalysis& a = r.locus;
  const McResults* mc = r.mc ? &*r.mc : nullptr;
  const int32_t k = a.k;
  const bool with_mc = mc != nullptr;
  std::string out;

  append_format(out, "\n\tName of input file: \"%-s\"\n\t", upper_ascii(input_name).c_str());
  out.append(34, '-');
  append_format(out, "\n\ncalculated on %s\n\n", format_report_date(when).c_str());

  out += " allelic frequencies:\n";
  for (int32_t i = 0; i < k; ++i) {
    if (i % 5 == 0) out += "\n";
    append_format(out, " %c:%-.5f", a.allele_letters[i], static_cast<double>(a.allele_freq[i]));
  }

  out += format_table_header(with_mc);

  float expected_sum = 0.0f;
  for (int32_t i = 0; i < k; ++i) {
    for (int32_t j = i; j < k; ++j) {
      const int32_t cell = tri_index(i, j, k);
      expected_sum = static_cast<float>(expected_sum + a.expected[cell]);
      double mc_probability = 0.0;
      // Without a complete replicate there is no estimate: 0, never 0/0.
      if (with_mc && mc->runs_made != 0) {
        mc_probability = static_cast<double>(mc->cell_hits[cell]) /
                         static_cast<double>(mc->runs_made);
      }
      out += format_table_row(a.allele_letters[i], a.allele_letters[j], a.table[cell].count,
                              a.expected[cell], a.cell_x2[cell],
                              with_mc ? &mc_probability : nullptr);
      out += "\n";
    }
  }

  out += "\n";
  out.append(72, '_');

  const int32_t n_individuals = a.two_n / 2;
  append_format(out, "\n\ntotals:     %d          %-g             %-g\n", n_individuals,
                static_cast<double>(expected_sum), static_cast<double>(a.x2_obs));
  append_format(out, "\n\ndf = %-d, X2 = %-g, chi-sq_05 = %-7.3f\n", a.df,
                static_cast<double>(a.x2_obs), static_cast<double>(a.x2_crit));

  // Proportions and the D statistic in extended precision, each rounded to
  // double once, where it is handed to the formatting.
  append_format(out,
                "\n\n\t\t\tH_obs = %.5f\n\t\t\tH_exp = %.5f\n\t\t Selander's D = %.5f\n"
                "\t\t  (k-1)*N*D*D = %.3f <- chi-sq_05 = 3.841",
                observed_heterozygosity(a), expected_heterozygosity(a),
                static_cast<double>(a.d_obs),
                static_cast<double>(selander_statistic(a.d_obs, a.two_n, k)));

  if (with_mc) {
    append_format(out, "\n\n\tMonte Carlo testing:\n\t%-u runs made:\n", mc->runs_made);
    append_format(out, "\t\testimated probability (P) of agreement to H-W is %-g\n",
                  static_cast<double>(mc->p_hw));
    append_format(out, "\t\testimated probability (P) of D=0   (one tail) is %-g\n",
                  static_cast<double>(mc->p_d_one));
    append_format(out, "\t\testimated probability (P) of D=0 (both tails) is %-g\n",
                  static_cast<double>(mc->p_d_both));
    append_format(out, "\n\n95%% confidence intervals for probabilities (P):\n");
    out += format_interval_list(*mc, IntervalStyle{"for H-W", "-> ", "\n"});
  }
  if (r.exact) out += build_exact_report_text(*r.exact, r.seed);
  return out;
}

std::string to_crlf(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

std::string build_report_bytes(const char* input_name, const UnitResult& r, const std::tm& when) {
  return to_crlf(build_report_text(input_name, r, when));
}
