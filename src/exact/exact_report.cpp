#include "exact/exact_report.h"

#include <bit>
#include <cmath>
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
    {"p_u_deficit", "U score test, deficit    ", ExactTest::kUDeficit},
    {"p_u_excess", "U score test, excess     ", ExactTest::kUExcess},
};

}  // namespace

const char* exact_test_column(ExactTest test) {
  for (const NamedP& named : kTests) {
    if (named.test == test) return named.column;
  }
  return "";
}

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
  out += "\t\tscore of the sample      U = " + format_general(result.u_score, 6) + "\n";
  return out;
}

namespace {

// One column of the exact group: its name and how its cell is written.
struct ExactColumn {
  std::string name;
  std::string (*cell)(const ExactResult& result, ExactTest test);
  ExactTest test = ExactTest::kProb;
};

// A probability as the shortest decimal that reads back; NA where it has
// no value. A row's p, low and high are mostly one value (every enumerated
// test's): the last text written on this thread is reused for the same bits.
std::string probability_cell(double p) {
  thread_local uint64_t last_bits = 0;
  thread_local std::string last_text;
  const uint64_t bits = std::bit_cast<uint64_t>(p);
  if (last_text.empty() || bits != last_bits) {
    last_text = format_shortest_or_na(p);
    last_bits = bits;
  }
  return last_text;
}

const std::vector<ExactColumn>& exact_columns() {
  static const std::vector<ExactColumn> columns = [] {
    std::vector<ExactColumn> c = {
        {kExactMethodColumn, [](const ExactResult& r, ExactTest) -> std::string {
           return exact_method_name(r.method);
         }},
        {kExactTablesColumn,
         [](const ExactResult& r, ExactTest) { return format_unsigned(r.tables); }},
    };
    for (const NamedP& test : kTests) {
      const std::string stem = test.column;
      if (test.test == ExactTest::kUDeficit) {
        c.push_back({"u_score",
                     [](const ExactResult& r, ExactTest) { return format_shortest(r.u_score); }});
      }
      c.push_back({stem, [](const ExactResult& r, ExactTest t) {
                     return probability_cell(r.test[t].p);
                   }, test.test});
      c.push_back({stem + "_low", [](const ExactResult& r, ExactTest t) {
                     return probability_cell(r.test[t].low);
                   }, test.test});
      c.push_back({stem + "_high", [](const ExactResult& r, ExactTest t) {
                     return probability_cell(r.test[t].high);
                   }, test.test});
      if (test.test == ExactTest::kProb) {
        c.push_back({"p_prob_mid", [](const ExactResult& r, ExactTest) {
                       return probability_cell(r.prob_mid);
                     }});
      }
    }
    return c;
  }();
  return columns;
}

}  // namespace

const std::vector<std::string>& exact_column_names() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> n;
    for (const ExactColumn& column : exact_columns()) n.push_back(column.name);
    return n;
  }();
  return names;
}

std::string format_exact_cell(const ExactResult& result, size_t column) {
  const ExactColumn& c = exact_columns()[column];
  return c.cell(result, c.test);
}

std::vector<std::string> format_exact_cells(const ExactResult& result) {
  std::vector<std::string> cells;
  for (size_t column = 0; column < exact_column_names().size(); ++column)
    cells.push_back(format_exact_cell(result, column));
  return cells;
}
