#include "exact/exact_report.h"

#include <charconv>
#include <cstdint>

namespace {

struct NamedP {
  const char* column;  // the batch columns' stem
  const char* title;   // the report's label, padded to one width
  ExactTest test;
};

constexpr NamedP kTests[] = {
    {"p_prob", "probability test         ", ExactTest::kProb},
    {"p_x2e", "chi-square (X2)          ", ExactTest::kX2e},
    {"p_llr", "likelihood ratio (G2)    ", ExactTest::kLlr},
    {"p_deficit", "heterozygote deficit     ", ExactTest::kDeficit},
    {"p_excess", "heterozygote excess      ", ExactTest::kExcess},
};

// printf's "%.{precision}g" in the C locale.
std::string format_g(double value, int precision) {
  char text[64];
  const auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::general,
                                 precision);
  return std::string(text, end.ptr);
}

std::string format_u64(uint64_t value) {
  char text[24];
  const auto end = std::to_chars(text, text + sizeof text, value);
  return std::string(text, end.ptr);
}

}  // namespace

const char* exact_method_name(ExactMethod method) {
  return method == ExactMethod::kSampling ? "sampling" : "enumeration";
}

std::string build_exact_report_text(const ExactResult& result) {
  const bool sampled = result.method == ExactMethod::kSampling;
  std::string out = "\n\n\tExact conditional tests:\n\t";
  out += format_u64(result.tables);
  if (sampled) {
    out += " tables drawn (seed " + format_u64(result.seed) + "):\n";
  } else {
    out += " tables, complete enumeration:\n";
  }
  for (const NamedP& test : kTests) {
    const ExactP& p = result.test[test.test];
    out += "\t\t";
    out += test.title;
    out += "P = " + format_g(p.p, 6);
    if (sampled) out += "  (95%: " + format_g(p.low, 6) + " - " + format_g(p.high, 6) + ")";
    out += "\n";
  }
  return out;
}

const std::vector<std::string>& exact_column_names() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> n = {"exact_method", "exact_tables"};
    for (const NamedP& test : kTests) {
      n.push_back(test.column);
      n.push_back(std::string(test.column) + "_low");
      n.push_back(std::string(test.column) + "_high");
    }
    return n;
  }();
  return names;
}

std::vector<std::string> format_exact_cells(const ExactResult& result) {
  std::vector<std::string> cells = {exact_method_name(result.method), format_u64(result.tables)};
  for (const NamedP& test : kTests) {
    const ExactP& p = result.test[test.test];
    cells.push_back(format_g(p.p, 17));
    cells.push_back(format_g(p.low, 17));
    cells.push_back(format_g(p.high, 17));
  }
  return cells;
}
