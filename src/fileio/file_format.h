// What a file holds, told from its first bytes: the compression (gzip,
// BGZF, bzip2, xz, zstd, or none) and, where the bytes inside can be seen,
// the content (VCF text, BCF, a PLINK .bed file, a Genepop file). For a front end to say
// which option reads a file given without it; nothing here opens a stream
// that cannot be read twice.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

enum class FileCompression { kNone, kGzip, kBgzf, kBzip2, kXz, kZstd };
// kGenepop: text whose third line or a later one is "Pop" alone (any case,
// blanks around it) and whose next line holds a comma, an individual.
enum class FileContent { kUnknown, kVcf, kBcf, kPlinkBed, kGenepop };

struct FileFormat {
  FileCompression compression = FileCompression::kNone;
  FileContent content = FileContent::kUnknown;
  bool operator==(const FileFormat&) const = default;
};

// Enough bytes to see inside the first BGZF block (at most 64 KiB).
inline constexpr size_t kFormatProbeBytes = size_t{1} << 16;

// The format of a file whose first bytes are `head` (up to
// kFormatProbeBytes of them; fewer when the file is shorter). The content
// of gzip and BGZF data is told from the start of what it inflates to; that
// of bzip2, xz and zstd data stays unknown.
FileFormat detect_file_format(std::string_view head);

// The same from the file at path: nullopt when it is not a regular file (a
// pipe or a terminal is never read here) or cannot be read.
std::optional<FileFormat> detect_file_format_of(const char* path);

// "VCF", "BCF", "PLINK .bed", "Genepop"; "" for kUnknown.
const char* content_name(FileContent c);

// "gzip", "BGZF", "bzip2", "xz", "zstd"; "" for none.
const char* compression_name(FileCompression c);
