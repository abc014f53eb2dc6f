#include "app/run_control.h"

#include <ctime>

#include "app/progress_bar.h"
#include "app/progress_screen.h"
#include "app/runs_dialogue.h"
#include "console/console.h"

namespace {

struct ProgressView {
  uint32_t runs_asked;
  float runs_asked_f;
  int32_t bar_length;
  int32_t bar_x, bar_y;
  int32_t refresh_every;
  int32_t until_refresh;
  float blocks_done;
  float next_step_at;
  uint32_t next_block_at;
};

// Esc ends the run; any other key waiting is taken and dropped.
bool esc_pressed(void*) { return con_kbhit() && con_getch() == kKeyEsc; }

void show_progress(void* ctx, uint32_t done, const HitCounts& hits) {
  ProgressView& v = *static_cast<ProgressView*>(ctx);
  const uint32_t i = done - 1;
  if (i == v.next_block_at) {
    if (v.blocks_done != 0.0f) {
      con_goto(v.bar_x, v.bar_y);
      ++v.bar_x;
      con_printf("%c", kGlyphFullBlock);
    }
    v.blocks_done += 1.0f;
    v.next_step_at = static_cast<float>(static_cast<long double>(v.blocks_done) / v.bar_length);
    v.next_block_at = next_progress_step(v.next_step_at, done, v.runs_asked_f, v.runs_asked);
  }
  if (--v.until_refresh == 0) {
    v.until_refresh = v.refresh_every;
    show_runs_made(v.bar_length, done);
    show_probabilities(mc_proportion(hits.hw, done), mc_proportion(hits.d_one, done),
                       mc_proportion(hits.d_both, done));
    con_goto(v.bar_x, v.bar_y);
  }
}

}  // namespace

McScreenStatus run_monte_carlo(LocusAnalysis& locus, McResults& results) {
  const uint32_t runs_asked = static_cast<uint32_t>(ask_runs());
  if (runs_asked == 0) return McScreenStatus::kNoRuns;

  ProgressView v{};
  v.runs_asked = runs_asked;
  v.runs_asked_f = static_cast<float>(runs_asked);
  con_clear_screen();
  v.bar_length = bar_length_for_runs(kGlyphLightShade, &v.bar_x, &v.bar_y, runs_asked);
  con_set_attr(kColorWhite);
  v.refresh_every = refresh_interval(locus.two_n);
  v.until_refresh = v.refresh_every;
  draw_progress_labels(locus.df, v.bar_length);

  McWorkspace work;
  // An experiment beyond the memory the process may use gets the message of
  // one that could not allocate, before it could take the machine down.
  if (prepare_workspace(work, locus) != WorkspaceStatus::kReady)
    return McScreenStatus::kOutOfMemory;

  draw_esc_note();
  const uint32_t seed = static_cast<uint32_t>(std::time(nullptr));
  con_set_color(kColorWhite);
  con_set_cursor_type(kCursorHidden);
  const time_t start = std::time(nullptr);
  v.next_block_at = next_progress_step(0.0f, 0, v.runs_asked_f, runs_asked);

  McHooks hooks;
  hooks.ctx = &v;
  hooks.stop_requested = esc_pressed;
  hooks.replicate_done = show_progress;
  run_replicates(locus, work, runs_asked, seed, hooks, results);
  if (results.stopped) {
    con_goto_clear(3, 14);
    con_printf("calculations interrupted by user");
  }

  con_set_cursor_type(kCursorNormal);
  con_goto(v.bar_x, v.bar_y);
  ++v.bar_x;
  con_printf("%c", kGlyphFullBlock);
  // A clock set back during the run must not show as some four billion seconds.
  const time_t now = std::time(nullptr);
  const uint32_t elapsed = now > start ? static_cast<uint32_t>(now - start) : 0;
  con_goto_clear(3, 16);
  con_printf("time elapsed since beginning of randomization: %-u sec\r\n", elapsed);
  work.slots.reset();
  work.sim_table.reset();

  show_runs_made(v.bar_length, results.runs_made);
  show_probabilities(results.p_hw, results.p_d_one, results.p_d_both);
  show_confidence_intervals(results);
  return McScreenStatus::kDone;
}
