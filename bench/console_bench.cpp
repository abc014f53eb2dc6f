// The console's share of a Monte Carlo replicate: the key poll made once per
// replicate must stay far below the ~1 us a replicate of a small sample
// costs, and a progress update must not redraw the screen.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <string>

#include "console/console.h"
#include "tests/console/console_script.h"
#include "console/key_source.h"
#include "console/screen_render.h"

namespace {

// No key waiting on a pipe: the common case, answered mostly without a
// system call.
void BM_KeyPollNothingWaiting(benchmark::State& state) {
  int fds[2];
  if (pipe(fds) != 0) {
    state.SkipWithError("pipe");
    return;
  }
  KeySource source;
  key_source_open(source, fds[0], false);
  for (auto _ : state) benchmark::DoNotOptimize(key_source_waiting(source));
  close(fds[0]);
  close(fds[1]);
}
BENCHMARK(BM_KeyPollNothingWaiting);

// con_kbhit through the console with a backend that has no key.
void BM_ConKbhit(benchmark::State& state) {
  int fds[2];
  if (pipe(fds) != 0) {
    state.SkipWithError("pipe");
    return;
  }
  static KeySource source;
  key_source_open(source, fds[0], false);
  con_reset_for_test();
  ConsoleBackend b;
  b.key_waiting = [](void*) { return key_source_waiting(source); };
  con_attach_backend(b);
  for (auto _ : state) benchmark::DoNotOptimize(con_kbhit());
  con_reset_for_test();
  close(fds[0]);
  close(fds[1]);
}
BENCHMARK(BM_ConKbhit);

// One progress update (a counter rewritten on one row) as bytes.
void BM_RenderCounterUpdate(benchmark::State& state) {
  con_reset_for_test();
  ShownScreen shown;
  std::string out;
  render_update(con_model(), TerminalSize{}, shown, out);
  long n = 0;
  for (auto _ : state) {
    con_goto(54, 12);
    con_printf("%ld", ++n);
    out.clear();
    render_update(con_model(), TerminalSize{}, shown, out);
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["bytes"] = static_cast<double>(out.size());
}
BENCHMARK(BM_RenderCounterUpdate);

}  // namespace

BENCHMARK_MAIN();
