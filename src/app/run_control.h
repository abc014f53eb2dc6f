// The interactive caller of the Monte Carlo experiment: the runs dialogue,
// the progress screen with its bar and figures, Esc as the stop, and the
// final probabilities with their 95% confidence intervals. The seed is the
// calendar time.
#pragma once

#include "montecarlo/experiment.h"
#include "stats/locus_analysis.h"

enum class McScreenStatus {
  kDone,
  kNoRuns,       // 0 runs were asked for; "exit" is shown
  kOutOfMemory,  // the replicates' arrays could not be had; nothing shown
};

// Runs after the answer 'y'.
McScreenStatus run_monte_carlo(LocusAnalysis& locus, McResults& results);
