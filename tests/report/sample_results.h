// Report records for the tests, built in a few named steps: the unit as the
// analysis leaves it, whose figures a test then changes where it needs to.
// sample_results() is the help screen's sample file (bc:1, aa:10, eg:25,
// ad:16, bd:1): k = 6 (a b c d e g), 21 cells, N = 53, with the float32
// frequencies, expected counts and chi-square contributions it produces.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "genotype/buffer.h"
#include "genotype/genotype_table.h"
#include "report/report_text.h"
#include "report/unit_result.h"

template <class T>
void fill(Buffer<T>& b, const std::vector<T>& values) {
  b.allocate(values.size());
  for (size_t i = 0; i < values.size(); ++i) b[i] = values[i];
}

struct ReportSample {
  std::string input;
  UnitResult unit;

  LocusAnalysis& locus() { return unit.locus; }
  // The experiment's results, made (empty) on first use.
  McResults& mc() { return unit.mc ? *unit.mc : unit.mc.emplace(); }

  std::string text(const std::tm& when) const {
    return build_report_text(input.c_str(), unit, when);
  }
  std::string bytes(const std::tm& when) const {
    return build_report_bytes(input.c_str(), unit, when);
  }
};

// The locus of k classes named by letters, with these cells and figures.
inline ReportSample report_sample(const char* input, const std::string& letters,
                                  const std::vector<GenotypeCell>& table,
                                  const std::vector<float>& freq,
                                  const std::vector<float>& expected,
                                  const std::vector<float>& cell_x2) {
  ReportSample s;
  s.input = input;
  LocusAnalysis& a = s.unit.locus;
  a.k = static_cast<int32_t>(letters.size());
  a.cells = static_cast<int32_t>(table.size());
  fill(a.table, table);
  fill(a.allele_freq, freq);
  fill(a.expected, expected);
  fill(a.cell_x2, cell_x2);
  fill(a.allele_letters, std::vector<char>(letters.c_str(), letters.c_str() + letters.size() + 1));
  return s;
}

inline ReportSample sample_results(const char* input = "sample.txt") {
  const std::vector<float> freq = {0x1.5bc60ap-2f, 0x1.3521dp-6f, 0x1.3521dp-7f,
                                   0x1.4873ecp-3f, 0x1.e304d4p-3f, 0x1.e304d4p-3f};
  // Cell order: aa ab ac ad ae ag bb bc bd be bg cc cd ce cg dd de dg ee eg gg.
  const std::vector<float> expected = {
      0x1.873eccp+2f, 0x1.5bc60ap-1f, 0x1.5bc60ap-2f, 0x1.71826ap+2f, 0x1.0fb2b8p+3f,
      0x1.0fb2b8p+3f, 0x1.3521dp-6f,  0x1.3521dp-6f,  0x1.4873ecp-2f, 0x1.e304d4p-2f,
      0x1.e304d4p-2f, 0x1.3521dp-8f,  0x1.4873ecp-3f, 0x1.e304d4p-3f, 0x1.e304d4p-3f,
      0x1.5cfb2ap+0f, 0x1.009a9p+2f,  0x1.009a9p+2f,  0x1.795bc6p+1f, 0x1.795bc6p+2f,
      0x1.795bc6p+1f};
  std::vector<float> cell_x2 = expected;  // an unobserved genotype contributes its expected count
  cell_x2[0] = 0x1.3c5152p+1f;   // aa
  cell_x2[3] = 0x1.21d0b6p+4f;   // ad
  cell_x2[7] = 0x1.9826a4p+5f;   // bc
  cell_x2[8] = 0x1.703b1ap+0f;   // bd
  cell_x2[19] = 0x1.ef2b78p+5f;  // eg
  std::vector<GenotypeCell> table(21, GenotypeCell{0, 0, 0});
  table[0].count = 10;
  table[3].count = 16;
  table[7].count = 1;
  table[8].count = 1;
  table[19].count = 25;

  ReportSample s = report_sample(input, "abcdeg", table, freq, expected, cell_x2);
  LocusAnalysis& a = s.locus();
  a.two_n = 106;
  a.het_expected = 0x1.3cd488p+5f;  // 39.603775
  a.d_obs = 0x1.5f40b8p-4f;         // 0.0857551
  a.x2_obs = 0x1.53a18cp+7f;        // 169.81552124023438
  a.x2_crit = 24.996f;
  a.df = 15;
  a.het_observed = 43;
  return s;
}
