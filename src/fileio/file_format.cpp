#include "fileio/file_format.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <zlib.h>

#include <string>

#include "fileio/fd_io.h"
#include "fileio/unique_fd.h"

namespace {

bool starts_with(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

std::string_view trimmed(std::string_view line) {
  const size_t first = line.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  return line.substr(first, line.find_last_not_of(" \t\r") - first + 1);
}

bool is_pop(std::string_view line) {
  return line.size() == 3 && (line[0] | 0x20) == 'p' && (line[1] | 0x20) == 'o' &&
         (line[2] | 0x20) == 'p';
}

// A title line, the locus names (one line or more), then a Pop line and an
// individual, all within the bytes seen.
bool looks_like_genepop(std::string_view data) {
  size_t line_number = 0;
  bool after_pop = false;
  for (size_t start = 0; start < data.size(); ++line_number) {
    const size_t end = data.find('\n', start);
    if (end == std::string_view::npos) return false;  // a line cut short proves nothing
    const std::string_view line = trimmed(data.substr(start, end - start));
    start = end + 1;
    if (after_pop) return line.find(',') != std::string_view::npos;
    if (line_number >= 2 && is_pop(line)) after_pop = true;
  }
  return false;
}

FileContent content_of(std::string_view data) {
  if (starts_with(data, "##fileformat=VCF")) return FileContent::kVcf;
  if (starts_with(data, std::string_view("BCF\x02", 4)) ||
      starts_with(data, std::string_view("BCF\x04", 4)))
    return FileContent::kBcf;
  if (starts_with(data, "\x6c\x1b\x01")) return FileContent::kPlinkBed;
  if (looks_like_genepop(data)) return FileContent::kGenepop;
  return FileContent::kUnknown;
}

// gzip's header with the extra subfield "BC" that makes it a BGZF block.
bool is_bgzf_header(std::string_view h) {
  if (h.size() < 18 || (static_cast<unsigned char>(h[3]) & 4) == 0) return false;
  const size_t extra = static_cast<unsigned char>(h[10]) | static_cast<unsigned char>(h[11]) << 8;
  for (size_t at = 12; at + 4 <= 12 + extra && at + 4 <= h.size();) {
    const size_t length =
        static_cast<unsigned char>(h[at + 2]) | static_cast<unsigned char>(h[at + 3]) << 8;
    if (h[at] == 'B' && h[at + 1] == 'C' && length == 2) return true;
    at += 4 + length;
  }
  return false;
}

// The first bytes the gzip data at the start of head inflates to (what the
// bytes given hold of them; empty when they cannot be inflated).
std::string inflate_start(std::string_view head) {
  z_stream z{};
  if (inflateInit2(&z, 16 + MAX_WBITS) != Z_OK) return {};
  std::string out(64, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(head.data()));
  z.avail_in = static_cast<uInt>(head.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  // An empty first block (BGZF's end-of-file marker) may be followed by more.
  while (z.avail_out > 0 && z.avail_in > 0) {
    const int rc = inflate(&z, Z_NO_FLUSH);
    if (rc == Z_STREAM_END) {
      if (inflateReset(&z) != Z_OK) break;
      continue;
    }
    if (rc != Z_OK) break;
  }
  out.resize(out.size() - z.avail_out);
  inflateEnd(&z);
  return out;
}

}  // namespace

FileFormat detect_file_format(std::string_view head) {
  FileFormat f;
  if (starts_with(head, "\x1f\x8b")) {
    f.compression = is_bgzf_header(head) ? FileCompression::kBgzf : FileCompression::kGzip;
    f.content = content_of(inflate_start(head));
    return f;
  }
  if (starts_with(head, "BZh"))
    f.compression = FileCompression::kBzip2;
  else if (starts_with(head, std::string_view("\xfd"
                                              "7zXZ\x00",
                                              6)))
    f.compression = FileCompression::kXz;
  else if (starts_with(head, "\x28\xb5\x2f\xfd"))
    f.compression = FileCompression::kZstd;
  else
    f.content = content_of(head);
  return f;
}

std::optional<FileFormat> detect_file_format_of(const char* path) {
  UniqueFd file(::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  struct stat st {};
  if (!file.is_open() || ::fstat(file.fd, &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  std::string head(kFormatProbeBytes, '\0');
  size_t got = 0;
  while (got < head.size()) {
    const ssize_t n =
        read_at(file.fd, head.data() + got, head.size() - got, static_cast<off_t>(got));
    if (n < 0) return std::nullopt;
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  head.resize(got);
  return detect_file_format(head);
}

const char* content_name(FileContent c) {
  switch (c) {
    case FileContent::kUnknown:
      return "";
    case FileContent::kVcf:
      return "VCF";
    case FileContent::kBcf:
      return "BCF";
    case FileContent::kPlinkBed:
      return "PLINK .bed";
    case FileContent::kGenepop:
      return "Genepop";
  }
  return "";
}

const char* compression_name(FileCompression c) {
  switch (c) {
    case FileCompression::kNone:
      return "";
    case FileCompression::kGzip:
      return "gzip";
    case FileCompression::kBgzf:
      return "BGZF";
    case FileCompression::kBzip2:
      return "bzip2";
    case FileCompression::kXz:
      return "xz";
    case FileCompression::kZstd:
      return "zstd";
  }
  return "";
}
