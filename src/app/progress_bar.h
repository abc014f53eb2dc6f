// The progress bar of the Monte Carlo screen (row 13 from column 3): its width
// for a number of runs, the empty bar, and the replicates at which it grows.
//
// A block is due at replicate i when next_step_at - i / runs_asked (extended
// precision, runs_asked as float32) is below 0.00001. That test only turns from
// false to true as i grows, so the run control asks once per block for the
// replicate where it turns, instead of dividing at every replicate.
#pragma once

#include <cstdint>

// 2, 10, 15, 20, 25, 30 or 45 cells.
int32_t bar_length_for(uint32_t runs_asked);

// Sets bar_x = 3 and bar_y = 13, draws bar_length_for(runs_asked) fill
// characters there in cyan and returns the length; leaves colour 7 set.
int32_t bar_length_for_runs(int fill, int32_t* bar_x, int32_t* bar_y, uint32_t runs_asked);

bool progress_step_due(float next_step_at, uint32_t i, float runs_asked);

// The first i in [from, limit) with progress_step_due, or limit if none.
uint32_t next_progress_step(float next_step_at, uint32_t from, float runs_asked, uint32_t limit);
