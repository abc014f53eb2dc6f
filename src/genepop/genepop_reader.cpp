#include "genepop/genepop_reader.h"

#include <cerrno>
#include <cstdio>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <system_error>

#include "genepop/genepop_parse.h"

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

constexpr size_t kBlock = 1 << 16;

GenepopRead io_failure(GenepopStatus status, const char* what, int error) {
  GenepopRead r;
  r.status = status;
  r.reason = std::string(what) + ": " + std::generic_category().message(error);
  return r;
}

}  // namespace

GenepopRead read_genepop_file(const char* path) {
  errno = 0;
  UniqueFile file(std::fopen(path, "rb"));
  if (!file) return io_failure(GenepopStatus::kCannotOpen, "cannot open file", errno);

  GenepopParser parser;
  try {
    std::string block(kBlock, '\0');
    std::string partial;  // the start of a line that crosses a block boundary
    bool going = true;
    while (going) {
      const size_t got = std::fread(block.data(), 1, block.size(), file.get());
      if (got == 0) {
        if (std::ferror(file.get())) return io_failure(GenepopStatus::kReadError, "read error", errno);
        break;
      }
      const std::string_view bytes(block.data(), got);
      size_t start = 0;
      while (going) {
        const size_t end = bytes.find('\n', start);
        if (end == std::string_view::npos) {
          partial.append(bytes.substr(start));
          // A line without an end in sight is refused before it fills memory.
          if (partial.size() > genepop_line_limit(parser) + 1)
            going = feed_genepop_line(parser, partial);
          break;
        }
        if (partial.empty()) {
          going = feed_genepop_line(parser, bytes.substr(start, end - start));
        } else {
          partial.append(bytes.substr(start, end - start));
          going = feed_genepop_line(parser, partial);
          partial.clear();
        }
        start = end + 1;
      }
    }
    if (going && !partial.empty()) feed_genepop_line(parser, partial);
  } catch (const std::bad_alloc&) {
    GenepopRead r;
    r.status = GenepopStatus::kOutOfMemory;
    r.reason = "out of memory";
    return r;
  }
  return finish_genepop(parser);
}
