// A row table read line by line as raw bytes: each line comes with its line
// feed (none on an unfinished last line), so that it can be copied unchanged.
// Only regular files: a merge reads every table twice, and the stamp taken at
// opening tells whether the file changed in between. Failures are reasons in
// words (no file name); nothing here writes to the terminal.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>
#include <string_view>

struct TableStamp {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  timespec modified{};
};

bool same_stamp(const TableStamp& a, const TableStamp& b);

struct TableFile {
  std::FILE* file = nullptr;
  char* buffer = nullptr;  // getline's, grown as needed
  size_t capacity = 0;
  uint64_t line_number = 0;  // of the last line read, 1-based
  TableStamp stamp;

  TableFile() = default;
  TableFile(const TableFile&) = delete;
  TableFile& operator=(const TableFile&) = delete;
  ~TableFile();
};

// Empty on success, else why the file cannot be read as a table.
std::string open_table_file(const std::string& path, TableFile& table);

enum class LineStatus { kLine, kEnd, kError };

// The next line in `line` (valid until the next call); kError leaves the
// reason in `error`.
LineStatus read_table_line(TableFile& table, std::string_view& line, std::string& error);
