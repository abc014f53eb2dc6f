// The fixed parts of the Monte Carlo progress screen and the figures it shows
// during and after the run: runs made (row 12), the three probabilities
// (rows 19-21, from column 40) and, at the end, the confidence intervals.
#pragma once

#include <cstdint>

#include "montecarlo/experiment.h"

// Replicates between two refreshes of the figures: 150 for fewer than 5 allele
// copies, 10 above 500, in between a fitted quartic, always a multiple of 10.
int32_t refresh_interval(int32_t two_n);

// 45 upper half blocks in light blue across row 18; leaves colour 15 set.
void draw_frame_line();

// "df: ..." on row 17, "runs made" with its arrow above the bar, the frame
// line and the three probability labels on rows 19-21.
void draw_progress_labels(int32_t df, int32_t bar_length);

// The note on rows 2-3 that Esc ends the run and keeps the results.
void draw_esc_note();

void show_runs_made(int32_t bar_length, uint32_t runs);
void show_probabilities(float p_hw, float p_d_one, float p_d_both);

// Clears rows 2-6 and lists, from row 2, the intervals whose probability is
// not 1 (a probability of 1 has no interval worth showing).
void show_confidence_intervals(const McResults& results);
