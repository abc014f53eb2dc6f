// The analysis phase of one input file: allocates the statistics buffers,
// computes allele frequencies, expected counts, chi-square, its critical
// value, heterozygosity and Selander's D, shrinks the buffers to the alleles
// present, shows the results block on rows 1 to 4 and asks for the Monte
// Carlo experiment.
//
// Requires the table as read and two_n > 0. Fills k (lowered), cells, df,
// x2_obs, x2_crit, het_observed, het_expected, d_obs and mc_answer, and the
// buffers expected, allele_freq, allele_total and cell_x2. Ends the program
// (exit code 1) on an allocation failure and on a file with only one allele
// class, which leaves nothing to test. After 'n' the screen is cleared; after
// 'y' it stays, the cursor after the question.
#pragma once

#include "app/file_state.h"

void analyse_file(FileState& f);

// The first key that folds (ASCII only) to 'y' or 'n', returned folded; no
// echo. Other keys, extended keys included, are ignored.
char wait_yes_no();
