// What the report of one input file is written from: the file's name as
// given, its analysis and, when an experiment ran, its Monte Carlo results.
// The record only points at them.
#pragma once

#include "montecarlo/experiment.h"
#include "stats/locus_analysis.h"

struct FileResults {
  const char* input_name;      // the report shows it upper-cased
  const LocusAnalysis* locus;  // analysed without failure
  const McResults* mc;         // null without an experiment
};
