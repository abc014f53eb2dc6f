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
  void (*cell)(std::string& out, const ExactResult& result, ExactTest test);
  ExactTest test = ExactTest::kProb;
};

// A probability as the shortest decimal that reads back; NA where it has
// no value. A row's p, low and high are mostly one value (every enumerated
// test's), and with two alleles the U score tests' p are those by count a
// few cells before: the last few texts written on this thread are kept and
// reused for the same bits, the oldest giving way to a new one.
void append_probability(std::string& out, double p) {
  struct Written {
    uint64_t bits = 0;
    std::string text;  // empty: nothing yet
  };
  constexpr size_t kKept = 4;
  thread_local Written kept[kKept];
  thread_local size_t next = 0;
  const uint64_t bits = std::bit_cast<uint64_t>(p);
  for (const Written& w : kept) {
    if (w.bits == bits && !w.text.empty()) {
      out += w.text;
      return;
    }
  }
  Written& w = kept[next];
  next = (next + 1) % kKept;
  w.text.clear();
  append_shortest_or_na(w.text, p);
  w.bits = bits;
  out += w.text;
}

const std::vector<ExactColumn>& exact_columns() {
  static const std::vector<ExactColumn> columns = [] {
    std::vector<ExactColumn> c = {
        {kExactMethodColumn,
         [](std::string& out, const ExactResult& r, ExactTest) {
           out += exact_method_name(r.method);
         }},
        {kExactTablesColumn,
         [](std::string& out, const ExactResult& r, ExactTest) { append_unsigned(out, r.tables); }},
    };
    for (const NamedP& test : kTests) {
      const std::string stem = test.column;
      if (test.test == ExactTest::kUDeficit) {
        c.push_back({"u_score", [](std::string& out, const ExactResult& r, ExactTest) {
                       append_shortest(out, r.u_score);
                     }});
      }
      c.push_back({stem, [](std::string& out, const ExactResult& r, ExactTest t) {
                     append_probability(out, r.test[t].p);
                   }, test.test});
      c.push_back({stem + "_low", [](std::string& out, const ExactResult& r, ExactTest t) {
                     append_probability(out, r.test[t].low);
                   }, test.test});
      c.push_back({stem + "_high", [](std::string& out, const ExactResult& r, ExactTest t) {
                     append_probability(out, r.test[t].high);
                   }, test.test});
      if (test.test == ExactTest::kProb) {
        c.push_back({"p_prob_mid", [](std::string& out, const ExactResult& r, ExactTest) {
                       append_probability(out, r.prob_mid);
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

void append_exact_cell(std::string& out, const ExactResult& result, size_t column) {
  const ExactColumn& c = exact_columns()[column];
  c.cell(out, result, c.test);
}

std::string format_exact_cell(const ExactResult& result, size_t column) {
  std::string cell;
  append_exact_cell(cell, result, column);
  return cell;
}

std::vector<std::string> format_exact_cells(const ExactResult& result) {
  std::vector<std::string> cells;
  for (size_t column = 0; column < exact_column_names().size(); ++column)
    cells.push_back(format_exact_cell(result, column));
  return cells;
}
