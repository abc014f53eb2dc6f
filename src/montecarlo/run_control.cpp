#include "montecarlo/run_control.h"

#include <ctime>

#include "app/exit_path.h"
#include "console/console.h"
#include "genotype/buffer.h"
#include "montecarlo/progress_bar.h"
#include "montecarlo/progress_screen.h"
#include "montecarlo/replicate.h"
#include "montecarlo/replicate_hits.h"
#include "montecarlo/rng.h"
#include "montecarlo/runs_dialogue.h"
#include "stats/prob_ci.h"

namespace {

constexpr int kEsc = 27;

[[noreturn]] void out_of_memory() {
  show_error("\r\nmemory allocation error - program abort");
  show_error("Try to re-designate alleles. Cut empty allele classes");
  exit_program(1);
}

float proportion(uint32_t hits, uint32_t runs) {
  return static_cast<float>(static_cast<long double>(hits) / static_cast<long double>(runs));
}

}  // namespace

void run_monte_carlo(const McInputs& in, McState& state) {
  const uint32_t runs_asked = static_cast<uint32_t>(ask_runs());
  const float runs_asked_f = static_cast<float>(runs_asked);

  con_clear_screen();
  int32_t bar_x = 0;
  int32_t bar_y = 0;
  const int32_t bar_length = bar_length_for_runs(0xB0, &bar_x, &bar_y, runs_asked);
  con_set_attr(15);
  const int32_t refresh_every = refresh_interval(in.two_n);
  draw_progress_labels(in.df, bar_length);

  Buffer<AlleleSlot> slots;
  if (!slots.allocate_zeroed(static_cast<size_t>(in.two_n))) out_of_memory();
  Buffer<int32_t> sim_table;
  if (!sim_table.allocate(static_cast<size_t>(in.cells))) out_of_memory();

  draw_esc_note();
  rng_seed(static_cast<uint32_t>(std::time(nullptr)));
  con_set_color(15);
  const ObservedScaled observed = scale_observed(in.x2_obs, in.d_obs);
  con_set_cursor_type(kCursorHidden);
  const time_t start = std::time(nullptr);

  // Kept in registers during the loop and written back once it ends.
  HitCounts hits{state.hits_hw, state.hits_d_one, state.hits_d_both};
  uint32_t next_block_at = next_progress_step(state.next_step_at, 0, runs_asked_f, runs_asked);
  int32_t until_refresh = refresh_every;

  state.runs_made = runs_asked;
  for (uint32_t i = 0; i < runs_asked; ++i) {
    float d_sim = 0.0f;
    const float x2_sim = mc_replicate(in.two_n, in.k, in.allele_total, in.expected, slots.data,
                                      sim_table.data, in.cells, in.het_expected, &d_sim, in.table,
                                      &state.slots_filled);
    count_replicate_hits(observed, x2_sim, d_sim, hits);

    if (con_kbhit() && con_getch() == kEsc) {
      state.runs_made = i + 1;
      con_goto_clear(3, 14);
      con_printf("calculations interrupted by user");
      break;
    }

    if (i == next_block_at) {
      if (state.blocks_done != 0.0f) {
        con_goto(bar_x, bar_y);
        ++bar_x;
        con_printf("%c", 0xDB);
      }
      state.blocks_done += 1.0f;
      state.next_step_at = static_cast<float>(static_cast<long double>(state.blocks_done) / bar_length);
      next_block_at = next_progress_step(state.next_step_at, i + 1, runs_asked_f, runs_asked);
    }

    if (--until_refresh == 0) {
      until_refresh = refresh_every;
      show_runs_made(bar_length, i + 1);
      state.p_hw = proportion(hits.hw, i + 1);
      state.p_d_one = proportion(hits.d_one, i + 1);
      state.p_d_both = proportion(hits.d_both, i + 1);
      show_probabilities(state.p_hw, state.p_d_one, state.p_d_both);
      con_goto(bar_x, bar_y);
    }
  }
  state.hits_hw = hits.hw;
  state.hits_d_one = hits.d_one;
  state.hits_d_both = hits.d_both;

  con_set_cursor_type(kCursorNormal);
  con_goto(bar_x, bar_y);
  ++bar_x;
  con_printf("%c", 0xDB);
  // A clock set back during the run must not show as some four billion seconds.
  const time_t now = std::time(nullptr);
  const uint32_t elapsed = now > start ? static_cast<uint32_t>(now - start) : 0;
  con_goto_clear(3, 16);
  con_printf("time elapsed since beginning of randomization: %-u sec\r\n", elapsed);
  slots.reset();
  sim_table.reset();

  show_runs_made(bar_length, state.runs_made);
  state.p_hw = proportion(state.hits_hw, state.runs_made);
  state.p_d_one = proportion(state.hits_d_one, state.runs_made);
  state.p_d_both = proportion(state.hits_d_both, state.runs_made);
  show_probabilities(state.p_hw, state.p_d_one, state.p_d_both);

  const double runs = static_cast<double>(state.runs_made);
  prob_ci_95(state.p_hw, &state.ci_hw_low, &state.ci_hw_high, runs);
  prob_ci_95(state.p_d_one, &state.ci_d_one_low, &state.ci_d_one_high, runs);
  prob_ci_95(state.p_d_both, &state.ci_d_both_low, &state.ci_d_both_high, runs);
  if (state.hits_hw == 0) state.ci_hw_low = 0.0;
  if (state.hits_d_one == 0) state.ci_d_one_low = 0.0;
  if (state.hits_d_both == 0) state.ci_d_both_low = 0.0;

  show_confidence_intervals(state);
}
