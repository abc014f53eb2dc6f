// How a failed analysis is worded, once for every front end: each chooses
// only where the words go and in which colour.
#pragma once

#include "stats/locus_analysis.h"

// "possibly incorrect data in file", ...; empty for kOk.
const char* analysis_failure_words(AnalysisStatus status);
