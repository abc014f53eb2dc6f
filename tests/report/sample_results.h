// The help screen's sample file (bc:1, aa:10, eg:25, ad:16, bd:1) as the
// analysis leaves it: k = 6 (a b c d e g), 21 cells, N = 53, with the float32
// frequencies, expected counts and chi-square contributions it produces.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "genotype/genotype_table.h"
#include "genotype/buffer.h"
#include "report/file_results.h"

// The values a report is written from, flat, as tests like to set them one
// by one; view() builds the analysis and experiment records the report reads.
struct FlatResults {
  int32_t arg_count;
  char** args;
  int32_t allele_count;
  int file_index;
  const char* allele_letters;
  const float* allele_freq;
  const float* expected;
  const float* cell_x2;
  const GenotypeCell* table;
  const uint32_t* cell_hits;  // with mc_answer 'y'
  int32_t two_n;
  float het_expected;
  float d_obs;
  float p_d_one;
  float p_d_both;
  float x2_obs;
  float x2_crit;
  int32_t df;
  int32_t het_observed;
  float p_hw;
  double ci_hw_low;
  double ci_hw_high;
  double ci_d_one_low;
  double ci_d_one_high;
  double ci_d_both_low;
  double ci_d_both_high;
  uint32_t runs_made;
  uint32_t hits_hw;
  uint32_t hits_d_one;
  uint32_t hits_d_both;
  char mc_answer;
};

template <class T>
void fill_buffer(Buffer<T>& b, const T* from, size_t n) {
  b.allocate(n);
  for (size_t i = 0; i < n; ++i) b[i] = from[i];
}

struct ReportModel {
  LocusAnalysis locus;
  McResults mc;
  FileResults results{};

  const FileResults& build(const FlatResults& r) {
    const int32_t k = r.allele_count;
    const size_t cells = static_cast<size_t>(cell_count_for(k));
    locus = LocusAnalysis{};
    locus.k = k;
    locus.two_n = r.two_n;
    locus.cells = static_cast<int32_t>(cells);
    locus.df = r.df;
    locus.x2_obs = r.x2_obs;
    locus.x2_crit = r.x2_crit;
    locus.het_observed = r.het_observed;
    locus.het_expected = r.het_expected;
    locus.d_obs = r.d_obs;
    fill_buffer(locus.table, r.table, cells);
    fill_buffer(locus.expected, r.expected, cells);
    fill_buffer(locus.cell_x2, r.cell_x2, cells);
    fill_buffer(locus.allele_freq, r.allele_freq, static_cast<size_t>(k));
    fill_buffer(locus.allele_letters, r.allele_letters, static_cast<size_t>(k) + 1);
    mc = McResults{};
    mc.runs_made = r.runs_made;
    mc.hits_hw = r.hits_hw;
    mc.hits_d_one = r.hits_d_one;
    mc.hits_d_both = r.hits_d_both;
    mc.p_hw = r.p_hw;
    mc.p_d_one = r.p_d_one;
    mc.p_d_both = r.p_d_both;
    mc.ci_hw_low = r.ci_hw_low;
    mc.ci_hw_high = r.ci_hw_high;
    mc.ci_d_one_low = r.ci_d_one_low;
    mc.ci_d_one_high = r.ci_d_one_high;
    mc.ci_d_both_low = r.ci_d_both_low;
    mc.ci_d_both_high = r.ci_d_both_high;
    if (r.cell_hits != nullptr) fill_buffer(mc.cell_hits, r.cell_hits, cells);
    results = FileResults{r.args[r.file_index], &locus, r.mc_answer == 'y' ? &mc : nullptr};
    return results;
  }
};

struct SampleResults {
  std::vector<char> input_name;
  std::vector<char> output_name;
  std::vector<char*> args;
  std::vector<GenotypeCell> table;
  std::vector<uint32_t> cell_hits;
  std::vector<float> freq;
  std::vector<float> expected;
  std::vector<float> cell_x2;
  FlatResults r{};
  ReportModel model;

  const FileResults& view() {
    r.allele_freq = freq.data();
    r.expected = expected.data();
    r.cell_x2 = cell_x2.data();
    r.table = table.data();
    r.cell_hits = cell_hits.empty() ? nullptr : cell_hits.data();
    return model.build(r);
  }

  explicit SampleResults(const char* input = "sample.txt", const char* output = "out.txt") {
    input_name.assign(input, input + std::strlen(input) + 1);
    output_name.assign(output, output + std::strlen(output) + 1);
    args = {const_cast<char*>("hwmc"), input_name.data(), output_name.data()};

    freq = {0x1.5bc60ap-2f, 0x1.3521dp-6f, 0x1.3521dp-7f,
            0x1.4873ecp-3f, 0x1.e304d4p-3f, 0x1.e304d4p-3f};
    // Cell order: aa ab ac ad ae ag bb bc bd be bg cc cd ce cg dd de dg ee eg gg.
    expected = {0x1.873eccp+2f, 0x1.5bc60ap-1f, 0x1.5bc60ap-2f, 0x1.71826ap+2f, 0x1.0fb2b8p+3f,
                0x1.0fb2b8p+3f, 0x1.3521dp-6f,  0x1.3521dp-6f,  0x1.4873ecp-2f, 0x1.e304d4p-2f,
                0x1.e304d4p-2f, 0x1.3521dp-8f,  0x1.4873ecp-3f, 0x1.e304d4p-3f, 0x1.e304d4p-3f,
                0x1.5cfb2ap+0f, 0x1.009a9p+2f,  0x1.009a9p+2f,  0x1.795bc6p+1f, 0x1.795bc6p+2f,
                0x1.795bc6p+1f};
    cell_x2 = expected;  // an unobserved genotype contributes its expected count
    cell_x2[0] = 0x1.3c5152p+1f;   // aa
    cell_x2[3] = 0x1.21d0b6p+4f;   // ad
    cell_x2[7] = 0x1.9826a4p+5f;   // bc
    cell_x2[8] = 0x1.703b1ap+0f;   // bd
    cell_x2[19] = 0x1.ef2b78p+5f;  // eg

    table.assign(21, GenotypeCell{0, 0, 0});
    table[0].count = 10;
    table[3].count = 16;
    table[7].count = 1;
    table[8].count = 1;
    table[19].count = 25;

    r.arg_count = 3;
    r.args = args.data();
    r.allele_count = 6;
    r.file_index = 1;
    r.allele_letters = "abcdeg";
    r.allele_freq = freq.data();
    r.expected = expected.data();
    r.cell_x2 = cell_x2.data();
    r.table = table.data();
    r.two_n = 106;
    r.het_expected = 0x1.3cd488p+5f;  // 39.603775
    r.d_obs = 0x1.5f40b8p-4f;         // 0.0857551
    r.x2_obs = 0x1.53a18cp+7f;        // 169.81552124023438
    r.x2_crit = 24.996f;
    r.df = 15;
    r.het_observed = 43;
    r.mc_answer = 'n';
  }
};
