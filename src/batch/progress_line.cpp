#include "batch/progress_line.h"

#include <unistd.h>

#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

constexpr int64_t kRedrawNs = 200'000'000;
constexpr char kEraseLine[] = "\r\033[K";

volatile std::sig_atomic_t g_shown = 0;

int64_t now_ns() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

void write_stderr(const char* text, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(STDERR_FILENO, text, size);
    if (n <= 0) return;  // a progress line is not worth a retry
    text += n;
    size -= static_cast<size_t>(n);
  }
}

}  // namespace

void progress_erase_on_signal() {
  if (g_shown != 0) write_stderr(kEraseLine, sizeof kEraseLine - 1);
}

void progress_begin_file(ProgressLine& p, size_t file_number) {
  p.file_number = file_number;
  p.file_start_ns = now_ns();
  p.next_draw_ns = p.file_start_ns + kRedrawNs;
  p.last_look_ns = p.file_start_ns;
  p.look_every = 1;
  p.until_look = 1;
}

void format_progress(char* out, size_t size, const ProgressLine& p, uint32_t done,
                     double runs_per_second) {
  const double runs_left =
      static_cast<double>(p.runs - done) +
      static_cast<double>(p.files_total - p.file_number) * static_cast<double>(p.runs);
  const double seconds_left = runs_per_second > 0 ? std::ceil(runs_left / runs_per_second) : 0;
  std::snprintf(out, size, "hwmc: file %zu of %zu, %u of %u runs, %.0f runs/s, %.0f s left",
                p.file_number, p.files_total, done, p.runs, runs_per_second, seconds_left);
}

void progress_replicate(ProgressLine& p, uint32_t done) {
  if (!p.enabled) return;
  // Small samples make millions of replicates a second, a huge one may take
  // seconds for one: the clock is read about every 10 to 40 ms.
  if (--p.until_look != 0) return;
  const int64_t now = now_ns();
  const int64_t since = now - p.last_look_ns;
  p.last_look_ns = now;
  if (since < 10'000'000 && p.look_every < (1u << 20)) p.look_every *= 2;
  if (since > 40'000'000 && p.look_every > 1) p.look_every /= 2;
  p.until_look = p.look_every;
  if (now < p.next_draw_ns) return;
  p.next_draw_ns = now + kRedrawNs;
  const double seconds = static_cast<double>(now - p.file_start_ns) / 1e9;
  char text[160];
  std::memcpy(text, kEraseLine, sizeof kEraseLine - 1);
  format_progress(text + sizeof kEraseLine - 1, sizeof text - sizeof kEraseLine + 1, p, done,
                  seconds > 0 ? done / seconds : 0);
  g_shown = 1;
  p.shown = true;
  write_stderr(text, std::strlen(text));
}

void progress_erase(ProgressLine& p) {
  if (!p.shown) return;
  write_stderr(kEraseLine, sizeof kEraseLine - 1);
  p.shown = false;
  g_shown = 0;
}
