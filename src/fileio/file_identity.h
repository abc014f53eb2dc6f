// Which named files are one and the same, before anything is opened for
// writing: an output over an input, or two outputs on one file, would
// destroy data. A file is known by device and inode, so a second name, a
// symbolic or a hard link is the same file; a file not there yet by its
// directory's device and inode and its last name, so two outputs that would
// create one file are seen too. Standard input and output ("-") are known
// by their descriptors. Also: writing a file through a temporary file
// beside it, renamed over it once complete, so that a failed or concurrent
// run never leaves a short or empty file.
#pragma once

#include <sys/types.h>

#include <optional>
#include <span>
#include <string>
#include <vector>

struct NamedFile {
  std::string role;  // how a message names it: "--summary", "input", "index"
  std::string path;  // "-": standard input (as an input) or output (as an output)
};

struct FileIdentity {
  dev_t dev = 0;
  ino_t ino = 0;
  std::string missing_name;  // set when the file is not there: its last name
  bool operator==(const FileIdentity&) const = default;
};

// The identity of a path; none when neither it nor its directory can be
// looked at (then it cannot clash with anything that exists).
std::optional<FileIdentity> identify_file(const std::string& path, bool is_output);

struct FileClash {
  const NamedFile* output = nullptr;  // null: no clash
  const NamedFile* other = nullptr;   // an input, or an earlier output
  bool other_is_output = false;
};

// The first output that is an input or an earlier output.
FileClash find_file_clash(std::span<const NamedFile> outputs, std::span<const NamedFile> inputs);

// The index files htslib would take for a data file, of those present.
std::vector<std::string> index_files_of(const std::string& path);

// A file written whole or not at all. Where the target is a regular file or
// not there, the bytes go to a temporary file in its directory, renamed over
// it by commit_replacing; a FIFO or device is written directly. What is not
// committed is removed when the record goes.
struct ReplacingFile {
  int fd = -1;
  std::string target;
  std::string temp;  // empty: written directly
  ReplacingFile() = default;
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;
  ~ReplacingFile();
};

// False with errno set when neither can be opened.
bool open_replacing(ReplacingFile& file, const std::string& target);
// Writes `text` and puts the file in place; false with errno on failure
// (the target then stays as it was).
bool commit_replacing(ReplacingFile& file, const std::string& text);
// Puts a file written through other means (its descriptor closed or handed
// on, fd -1) in place; false with errno on failure.
bool put_in_place(ReplacingFile& file);
