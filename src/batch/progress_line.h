// The one-line progress display of a batch run on standard error, only
// while standard error is a terminal. Two forms: while a count file's
// experiment runs, its files and runs done, the rate and the time left
// (ProgressLine, redrawn at most five times a second and erased when the
// file's experiment ends); for every other run, the units done of the
// file's total where its source knows one, where the run is (CHROM:POS,
// population and locus, the file), units per second and the time left
// (UnitProgress, at most ten times a second). Every other message on
// standard error goes through the same lock and erases the line first, so
// that nothing is garbled; the line is erased at the end of each file.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "batch/unit_source.h"

struct InputKind;

// Standard error is a terminal: a progress line is wanted.
bool progress_wanted();

struct ProgressLine {
  bool enabled = false;     // standard error is a terminal
  size_t files_total = 0;
  size_t file_number = 0;   // 1-based, the file being analysed
  uint32_t runs = 0;        // replicates per file
  int64_t file_start_ns = 0;
  int64_t next_draw_ns = 0;
  int64_t last_look_ns = 0;
  uint32_t look_every = 1;  // replicates between two looks at the clock
  uint32_t until_look = 1;
  bool shown = false;
};

void progress_begin_file(ProgressLine& p, size_t file_number);
// Called after every replicate; cheap between two draws.
void progress_replicate(ProgressLine& p, uint32_t done);
void progress_erase(ProgressLine& p);

// The text of the line, without any terminal control.
void format_progress(char* out, size_t size, const ProgressLine& p, uint32_t done,
                     double runs_per_second);

// Erases the line if one stands on the terminal now; safe in a signal
// handler.
void progress_erase_on_signal();

struct UnitProgress {
  bool enabled = false;
  const InputKind* kind = nullptr;  // its columns' roles name where the run is
  const char* noun = "units";       // what is counted: "sites", "files", ...
  size_t files_total = 0;
  size_t file_number = 0;
  std::shared_ptr<SourceExtent> extent;  // the file's total, where known
  std::atomic<uint64_t> done{0};          // units of the file finished
  std::atomic<uint64_t> look_every{1};    // units between two looks at the clock
  std::atomic<int64_t> last_look_ns{0};
  // Under `lock`: the drawing and every message on standard error.
  std::mutex lock;
  int64_t file_start_ns = 0;
  int64_t next_draw_ns = 0;
  bool shown = false;
};

// What the line says, without terminal control: done and total in the
// noun's items (units / per_item), where, the rate and the time left
// (total known and not passed; "in this file" before the last file).
struct UnitProgressText {
  size_t file_number = 0, files_total = 0;
  uint64_t done = 0, total = 0;  // items; total 0: not known
  const char* noun = "units";
  std::string where;
  double per_second = 0;
};
std::string format_unit_progress(const UnitProgressText& t);

// The cells of `unit` the kind's roles pick: "CHROM:POS", "population P,
// locus L", or the file.
std::string unit_place(const InputKind& kind, const SourceUnit& unit);

// These do nothing with a null or disabled line.
void unit_progress_begin_file(UnitProgress* p, size_t file_number,
                              std::shared_ptr<SourceExtent> extent);
// A unit finished, on any thread: cheap but for every look_every-th unit,
// which reads the clock (about every 10 to 40 ms) and may draw.
void unit_progress_done(UnitProgress* p, const SourceUnit& unit);
void unit_progress_erase(UnitProgress* p);
// A whole message line to standard error, with the line erased first.
void unit_progress_message(UnitProgress& p, const std::string& line);
