// Whole rows and reports under Ctrl-C, and standard output's state. An
// interrupt ends the process with status 130 at once, except while a
// WriteSection is open: what is being written is finished first.
#pragma once

#include <string>

inline constexpr int kInterruptedStatus = 130;

void install_interrupt_handler();

struct WriteSection {
  WriteSection();
  ~WriteSection();
  WriteSection(const WriteSection&) = delete;
  WriteSection& operator=(const WriteSection&) = delete;
};

// A temporary file that must not outlive the process when it ends at once
// (interrupt, reader gone): removed then, as long as the guard lives. The
// string is read at that moment, so it may change (be emptied once the file
// is renamed into place).
struct RemovedOnExit {
  explicit RemovedOnExit(const std::string& path);
  ~RemovedOnExit();
  RemovedOnExit(const RemovedOnExit&) = delete;
  RemovedOnExit& operator=(const RemovedOnExit&) = delete;
  int slot = -1;
};

// Writes every byte; false on a write error. A reader gone ends the process
// quietly with kReaderGoneStatus, an interrupt during the write with 130.
bool write_stdout(const std::string& text);

// A standard stream that was closed must not be reopened by accident as a
// report or input file: rows or messages would land in it. Standard input
// and error get /dev/null; false when standard output is closed, as there is
// nowhere to write.
bool standard_streams_open();
