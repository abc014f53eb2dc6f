// The top K singular vectors of the centred genotype matrix of the PCA
// sites, by randomized subspace iteration (Halko, Martinsson and Tropp
// 2011) on the implicit operator X X^T: each pass multiplies a block of
// K + oversampling vectors by X^T and then by X straight from the one-byte
// codes, a few hundred sites at a time, so no samples x samples or sites x
// sites matrix is ever formed. After each pass the Rayleigh-Ritz step gives
// the current vectors; the passes stop (from the second on) when the
// residual |A u - theta u| of every one of the K that stands out of the
// rest of the spectrum (theta above 1.5 x the block's last Ritz value) is
// within tolerance x the largest eigenvalue, or after max_iterations.
// Vectors within the rest are many of nearly one eigenvalue: they never
// settle, and any of them serves. The products are taken in single
// precision, the rest in double.
//
// The work is split into pieces of fixed size, whatever the number of
// workers, so the vectors are the same bits with any number of threads.
// Each vector's sign is chosen so that its entry of largest magnitude is
// positive.
#pragma once

#include <cstdint>

#include "structure/pca_sites.h"
#include "structure/structure_model.h"

struct SvdSettings {
  int32_t oversampling = 10;
  int32_t max_iterations = 6;
  double tolerance = 1e-4;
  uint64_t seed = 1;  // of the random start
};

// Fits K = components (>= 1) vectors to the kept sites on up to `workers`
// threads (0: one per core).
StructureStatus fit_structure(const PcaSites& sites, int32_t components,
                              const SvdSettings& settings, unsigned workers, StructureModel& out);
