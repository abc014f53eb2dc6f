// The analysis of one batch unit: a genotype table in memory through the
// statistics and, when asked, the Monte Carlo experiment and the exact
// tests, into the one record of an analysed unit. Both experiments of a
// unit share its one seed.
#pragma once

#include <cstdint>
#include <string>

#include "cli/command_line.h"
#include "genotype/genotype_table.h"
#include "exact/x_linked_exact.h"
#include "montecarlo/experiment.h"
#include "report/unit_result.h"

// The most allele classes the permutation test takes: all it can hold (a
// count file's classes never exceed them), and, from the sources whose
// classes get their letters only for the test (Genepop, VCF), the 127 it
// can name by letter.
inline constexpr int32_t kMaxMcClasses = 128;
inline constexpr int32_t kLetteredMcClasses = 127;

struct GenotypeUnit {
  GenotypeTable table;  // k(k+1)/2 cells as read
  int32_t k = 0;        // as read
  int32_t two_n = 0;
  // The permutation test's limit: a unit with more allele classes gets no
  // experiment (its Monte Carlo cells are NA) but every other test.
  int32_t mc_max_k = kMaxMcClasses;
  // Nonzero: the unit's random draws come from the run's seed and this key
  // (a variant site's identity), never from its place in the run.
  uint64_t stream_key = 0;
};

// The statistics and, with --runs, the experiment (the hooks are handed to
// it: stop and progress); not the exact tests. The seed is options.seed, or
// the clock when none was given. Gives the failure in the screen's words,
// empty when the unit was analysed.
std::string analyse_unit(GenotypeUnit unit, const BatchOptions& options, const McHooks& hooks,
                         UnitResult& r);

// The permutation test's seed: the run's seed itself, or for a keyed unit
// the high 32 bits of splitmix64(key XOR seed).
uint32_t permutation_seed(uint32_t seed, uint64_t stream_key);

// The exact tests of an analysed unit, on its table with the empty classes
// dropped, seeded with its seed, the sampler on `threads` threads (0: one per
// core), with the run's prepared tables when given, keeping the law of U
// from an enumeration when asked. Gives the failure that fails the unit,
// empty on success.
std::string add_exact_tests(UnitResult& r, const BatchOptions& options, unsigned threads,
                            const ExactTables* prepared = nullptr, bool keep_u_law = false);

// The counts the exact tests run on: the analysed table (its classes with
// copies).
ExactSample exact_sample_of(const LocusAnalysis& a);

// The X-linked exact test of a unit counted by sex, under the run's
// limits and seed and the unit's key, on `threads` threads. Gives the
// failure in words, empty on success.
std::string run_x_linked_test(const XLinkedSample& sample, uint64_t key,
                              const BatchOptions& options, unsigned threads,
                              XLinkedResult& result);

// The notes for standard error: on a unit whose permutation test would need
// more memory than the process may use (empty when there is nothing to say),
// and once per file whose units had an experiment above 32768 copies.
std::string mc_memory_note(const UnitResult& r);
bool mc_not_uniform(const UnitResult& r);
extern const char* const kMcUniformNote;
