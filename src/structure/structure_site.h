// The per-site test against individual allele frequencies: for a site with
// centred genotypes x, c the least-squares fit of x over the called
// samples on the model's basis B (structure_model.h) and
//   pi_i = clip((B c)_i / 2 + mean, 1e-4, 1 - 1e-4),
// then, for each population (a subset of the samples; the frequencies come
// from all of them), the inbreeding fit of inbreeding_fit.h over the
// population's called samples. A missing call is left out of both: of the
// fit of c (where the site mean would pull the sample's frequency, and with
// it every frequency, toward the mean) and of the likelihood. The normal
// equations are (B^T B - sum over the missing of b_i b_i^T) c = B^T x with
// x 0 where missing, solved by Cholesky; a site called at every sample on
// U itself has c = U^T x (U^T U = I). A direction the called samples do
// not determine (a pivot below kPivotFloor of its diagonal) gets 0.
//
// O(samples x K) a site. Nothing is allocated per site: the scratch space
// is a workspace of the caller's, one per thread; the model and the groups
// are only read, so threads may test different sites at the same time.
#pragma once

#include <cstdint>
#include <vector>

#include "genotype/buffer.h"
#include "structure/genotype_codes.h"
#include "structure/inbreeding_fit.h"
#include "structure/structure_model.h"

inline constexpr double kFrequencyClip = 1e-4;
inline constexpr double kPivotFloor = 1e-9;

// The populations as lists of samples.
struct StructureGroups {
  std::vector<int32_t> members;  // sample indices, population after population, ascending
  std::vector<int32_t> start;    // populations + 1 offsets into members
};

// population_of_sample: one entry per sample, its population in
// [0, populations) or -1 for a sample in none (still in the model).
StructureGroups group_samples(const std::vector<int32_t>& population_of_sample,
                              int32_t populations);
// Every sample in one population.
StructureGroups one_group(int32_t samples);

inline int32_t group_count(const StructureGroups& g) {
  return static_cast<int32_t>(g.start.size()) - 1;
}

struct StructureWorkspace {
  Buffer<double> centred;     // per sample: x
  Buffer<double> fitted;      // per sample: (U c)_i
  Buffer<double> ratio;       // per sample: r of the homozygotes, population by population
  Buffer<double> projection;  // per component: c
  Buffer<double> gram;        // K x K: B^T B
  Buffer<double> normal;      // K x K: the site's normal matrix, then its factor
  int32_t gram_components = 0;  // K of the gram
};

// False when out of memory. The workspace serves the model it is prepared
// for and the models leading_components cuts from it.
bool prepare_structure_workspace(const StructureModel& model, StructureWorkspace& work);

// The whole test of one site: results has one entry per population.
void test_site_structure(const StructureModel& model, const uint8_t* codes,
                         const StructureGroups& groups, StructureWorkspace& work,
                         InbreedingTest* results);

// Its two steps, for a caller that tries several K on the same site:
// c = B^T x over all model.components (work.centred holds x after it) ...
void project_site(const StructureModel& model, const uint8_t* codes, double mean,
                  StructureWorkspace& work, double* c);
// ... and the tests with the first k of them (k <= model.components),
// which fit the coefficients from those products.
void test_projected_site(const StructureModel& model, int32_t k, const uint8_t* codes,
                         const SiteMean& mean, const double* c, const StructureGroups& groups,
                         StructureWorkspace& work, InbreedingTest* results);
