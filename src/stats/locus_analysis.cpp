#include "stats/locus_analysis.h"

#include <utility>

#include "genotype/genotype_reader.h"
#include "stats/chi_square.h"
#include "stats/expected_x2.h"
#include "stats/heterozygosity.h"

AnalysisStatus analyse_locus(GenotypeTable table, int32_t k, int32_t two_n, LocusAnalysis& a) {
  if (two_n == 0) return AnalysisStatus::kNoData;
  a.table = std::move(table);
  a.k = k;
  a.two_n = two_n;

  const size_t cells_read = static_cast<size_t>(cell_count_for(a.k));
  const size_t alleles_read = static_cast<size_t>(a.k);
  if (!a.expected.allocate(cells_read) || !a.allele_freq.allocate(alleles_read) ||
      !a.allele_total.allocate(alleles_read) || !a.cell_x2.allocate(cells_read))
    return AnalysisStatus::kOutOfMemory;

  a.x2_obs = compute_expected_x2(a.table.data, a.expected.data, a.k, a.two_n, a.allele_freq.data,
                                 a.allele_total.data, a.cell_x2.data);
  // With a single allele class there are no degrees of freedom, no critical
  // value and no expected heterozygotes.
  if (a.k < 2) return AnalysisStatus::kOneAllele;

  a.cells = cell_count_for(a.k);
  const size_t cells = static_cast<size_t>(a.cells);
  const size_t alleles = static_cast<size_t>(a.k);
  if (!a.table.resize(cells) || !a.cell_x2.resize(cells) || !a.expected.resize(cells) ||
      !a.allele_freq.resize(alleles) || !a.allele_total.resize(alleles))
    return AnalysisStatus::kOutOfMemoryShrink;

  a.df = a.k * (a.k - 1) / 2;
  a.x2_crit = static_cast<float>(chi2_crit_05(a.df));
  het_stats(a.table.data, a.cells, a.allele_total.data, a.k, a.two_n, &a.het_observed,
            &a.het_expected, &a.d_obs);
  a.allele_letters = make_allele_letters(a.table.data, a.k);
  if (a.allele_letters.data == nullptr) return AnalysisStatus::kOutOfMemoryShrink;
  return AnalysisStatus::kOk;
}

long double selander_statistic(float d_obs, int32_t two_n, int32_t k) {
  const long double d = d_obs;
  return ((d * d) * static_cast<long double>(two_n / 2)) * static_cast<long double>(k - 1);
}

double observed_heterozygosity(const LocusAnalysis& a) {
  return static_cast<double>(static_cast<long double>(a.het_observed) /
                             static_cast<long double>(a.two_n) * 2);
}

double expected_heterozygosity(const LocusAnalysis& a) {
  return static_cast<double>(static_cast<long double>(a.het_expected) /
                             static_cast<long double>(a.two_n) * 2);
}

const char* analysis_failure_words(AnalysisStatus status) {
  switch (status) {
    case AnalysisStatus::kOk:
      return "";
    case AnalysisStatus::kNoData:
      return kIncorrectDataText;
    case AnalysisStatus::kOneAllele:
      return "only one allele class in file - nothing to test";
    case AnalysisStatus::kOutOfMemory:
    case AnalysisStatus::kOutOfMemoryShrink:
      return kMemoryErrorText;
  }
  return "";
}
