#include "merge/table_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <system_error>

namespace {

std::string io_reason(const char* what, int error) {
  return std::string(what) + ": " + std::generic_category().message(error);
}

}  // namespace

bool same_stamp(const TableStamp& a, const TableStamp& b) {
  return a.device == b.device && a.inode == b.inode && a.size == b.size &&
         a.modified.tv_sec == b.modified.tv_sec && a.modified.tv_nsec == b.modified.tv_nsec;
}

TableFile::~TableFile() {
  std::free(buffer);
  if (file != nullptr) std::fclose(file);
}

std::string open_table_file(const std::string& path, TableFile& table) {
  errno = 0;
  table.file = std::fopen(path.c_str(), "rb");
  if (table.file == nullptr) return io_reason("cannot open file", errno);
  struct stat st {};
  if (::fstat(::fileno(table.file), &st) != 0) return io_reason("cannot open file", errno);
  if (S_ISDIR(st.st_mode)) return "is a directory";
  if (!S_ISREG(st.st_mode)) return "not a regular file (a merge reads every table twice)";
  table.stamp = TableStamp{st.st_dev, st.st_ino, st.st_size, st.st_mtim};
  return "";
}

LineStatus read_table_line(TableFile& table, std::string_view& line, std::string& error) {
  errno = 0;
  const ssize_t got = ::getline(&table.buffer, &table.capacity, table.file);
  if (got < 0) {
    if (std::ferror(table.file) == 0 && std::feof(table.file) != 0) return LineStatus::kEnd;
    error = io_reason("read error", errno != 0 ? errno : EIO);
    return LineStatus::kError;
  }
  ++table.line_number;
  line = std::string_view(table.buffer, static_cast<size_t>(got));
  return LineStatus::kLine;
}
