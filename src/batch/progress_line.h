// The one-line progress display of a batch run on standard error, while an
// experiment runs and standard error is a terminal: files and runs done, the
// rate and the time left. Redrawn at most five times a second and erased
// when the file's experiment ends.
#pragma once

#include <cstddef>
#include <cstdint>

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
