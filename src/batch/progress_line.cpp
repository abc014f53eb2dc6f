#include "batch/progress_line.h"

#include <unistd.h>

#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string_view>

#include "batch/input_kind.h"

namespace {

constexpr int64_t kRedrawNs = 200'000'000;
constexpr int64_t kUnitRedrawNs = 100'000'000;
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

bool progress_wanted() { return ::isatty(STDERR_FILENO) == 1; }

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

std::string format_unit_progress(const UnitProgressText& t) {
  char text[96];
  std::string out = "hwmc: ";
  if (t.files_total > 1) {
    std::snprintf(text, sizeof text, "file %zu of %zu, ", t.file_number, t.files_total);
    out += text;
  }
  const bool total_known = t.total > 0 && t.done <= t.total;
  if (total_known) {
    std::snprintf(text, sizeof text, "%llu of %llu %s", static_cast<unsigned long long>(t.done),
                  static_cast<unsigned long long>(t.total), t.noun);
  } else {
    std::snprintf(text, sizeof text, "%llu %s", static_cast<unsigned long long>(t.done), t.noun);
  }
  out += text;
  if (!t.where.empty()) out.append(", at ").append(t.where);
  std::snprintf(text, sizeof text, ", %.0f %s/s", t.per_second, t.noun);
  out += text;
  if (total_known && t.per_second > 0) {
    const double left = std::ceil(static_cast<double>(t.total - t.done) / t.per_second);
    std::snprintf(text, sizeof text, ", %.0f s left%s", left,
                  t.file_number < t.files_total ? " in this file" : "");
    out += text;
  }
  return out;
}

namespace {

// The cell of the column with the role, as written in the row.
std::string_view cell_with(const InputKind& kind, const SourceUnit& unit, IdRole role) {
  const std::optional<size_t> column = id_column_with(kind, role);
  if (!column) return {};
  std::string_view cells = unit.id.text;
  for (size_t i = 0; i < *column; ++i) {
    const size_t tab = cells.find('\t');
    if (tab == std::string_view::npos) return {};
    cells.remove_prefix(tab + 1);
  }
  return cells.substr(0, cells.find('\t'));
}

}  // namespace

std::string unit_place(const InputKind& kind, const SourceUnit& unit) {
  const std::string_view chrom = cell_with(kind, unit, IdRole::kChrom);
  if (!chrom.empty())
    return std::string(chrom) + ":" + std::string(cell_with(kind, unit, IdRole::kPos));
  const std::string_view locus = cell_with(kind, unit, IdRole::kLocus);
  if (!locus.empty()) {
    std::string_view population = cell_with(kind, unit, IdRole::kPopulationName);
    if (population.empty()) population = cell_with(kind, unit, IdRole::kPopulation);
    return "population " + std::string(population) + ", locus " + std::string(locus);
  }
  return std::string(cell_with(kind, unit, IdRole::kFile));
}

void unit_progress_begin_file(UnitProgress* line, size_t file_number,
                              std::shared_ptr<SourceExtent> extent) {
  if (line == nullptr || !line->enabled) return;
  UnitProgress& p = *line;
  const std::lock_guard<std::mutex> hold(p.lock);
  p.file_number = file_number;
  p.extent = std::move(extent);
  p.done.store(0);
  p.file_start_ns = now_ns();
  p.next_draw_ns = p.file_start_ns + kUnitRedrawNs;
  p.last_look_ns.store(p.file_start_ns);
  p.look_every.store(1);
}

void unit_progress_done(UnitProgress* line, const SourceUnit& unit) {
  if (line == nullptr || !line->enabled) return;
  UnitProgress& p = *line;
  const uint64_t done = p.done.fetch_add(1, std::memory_order_relaxed) + 1;
  const uint64_t every = p.look_every.load(std::memory_order_relaxed);
  if (done % every != 0) return;
  // Whoever holds the line draws it; the others go on.
  std::unique_lock<std::mutex> hold(p.lock, std::try_to_lock);
  if (!hold.owns_lock()) return;
  const int64_t now = now_ns();
  const int64_t since = now - p.last_look_ns.load(std::memory_order_relaxed);
  p.last_look_ns.store(now, std::memory_order_relaxed);
  if (since < 10'000'000 && every < (uint64_t{1} << 20)) p.look_every.store(every * 2);
  if (since > 40'000'000 && every > 1) p.look_every.store(every / 2);
  if (now < p.next_draw_ns) return;
  p.next_draw_ns = now + kUnitRedrawNs;
  const uint64_t per_item = p.extent ? std::max<uint32_t>(p.extent->per_item.load(), 1) : 1;
  UnitProgressText t;
  t.file_number = p.file_number;
  t.files_total = p.files_total;
  t.done = done / per_item;
  t.total = p.extent ? p.extent->total.load() : 0;
  t.noun = p.noun;
  if (p.kind != nullptr) t.where = unit_place(*p.kind, unit);
  const double seconds = static_cast<double>(now - p.file_start_ns) / 1e9;
  t.per_second = seconds > 0 ? static_cast<double>(t.done) / seconds : 0;
  // A long contig or population name is cut, so that the line stays one
  // line of an 80-column terminal and "\r" can erase it.
  std::string text = std::string(kEraseLine) + format_unit_progress(t);
  if (text.size() > 79 + sizeof kEraseLine - 1) text.resize(79 + sizeof kEraseLine - 1);
  g_shown = 1;
  p.shown = true;
  write_stderr(text.data(), text.size());
}

void unit_progress_erase(UnitProgress* line) {
  if (line == nullptr || !line->enabled) return;
  UnitProgress& p = *line;
  const std::lock_guard<std::mutex> hold(p.lock);
  if (!p.shown) return;
  write_stderr(kEraseLine, sizeof kEraseLine - 1);
  p.shown = false;
  g_shown = 0;
}

void unit_progress_message(UnitProgress& p, const std::string& line) {
  const std::lock_guard<std::mutex> hold(p.lock);
  if (p.shown) {
    write_stderr(kEraseLine, sizeof kEraseLine - 1);
    p.shown = false;
    g_shown = 0;
  }
  write_stderr(line.data(), line.size());
}
