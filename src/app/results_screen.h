// The results block of one analysed file on rows 1 to 4 and the question
// whether to run the Monte Carlo experiment.
//
// Returns 'y' or 'n'. After 'n' the screen is cleared; after 'y' it stays,
// the cursor after the question.
#pragma once

#include "stats/locus_analysis.h"

char show_results_and_ask(const LocusAnalysis& a, const char* path);

// The first key that folds (ASCII only) to 'y' or 'n', returned folded; no
// echo. Other keys, extended keys included, are ignored.
char wait_yes_no();
