#include "exact/exact_report.h"

#include <cstdint>

#include "format/number_format.h"

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

}  // namespace

const char* exact_method_name(ExactMethod method) {
  return method == ExactMethod::kSampling ? "sampling" : "enumeration";
}

std::string build_exact_report_text(const ExactResult& result, uint64_t seed) {
  const bool sampled = result.method == ExactMethod::kSampling;
  std::string out = "\n\n\tExact conditional tests:\n\t";
  out += format_unsigned(result.tables);
  if (sampled) {
    out += " tables drawn (seed " + format_unsigned(seed) + "):\n";
  } else {
    out += " tables, complete enumeration:\n";
  }
  for (const NamedP& test : kTests) {
    const ExactP& p = result.test[test.test];
    out += "\t\t";
    out += test.title;
    out += "P = " + format_general(p.p, 6);
    if (sampled) out += "  (95%: " + format_general(p.low, 6) + " - " + format_general(p.high, 6) + ")";
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

std::string format_exact_cell(const ExactResult& result, size_t column) {
  if (column == 0) return exact_method_name(result.method);
  if (column == 1) return format_unsigned(result.tables);
  const ExactP& p = result.test[kTests[(column - 2) / 3].test];
  switch ((column - 2) % 3) {
    case 0:
      return format_general(p.p, 17);
    case 1:
      return format_general(p.low, 17);
    default:
      return format_general(p.high, 17);
  }
}

std::vector<std::string> format_exact_cells(const ExactResult& result) {
  std::vector<std::string> cells;
  for (size_t column = 0; column < exact_column_names().size(); ++column)
    cells.push_back(format_exact_cell(result, column));
  return cells;
}
