#include "genepop/genepop_reader.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <string_view>
#include <system_error>
#include <utility>

namespace {

constexpr size_t kBlock = 1 << 16;

GenepopRead out_of_memory() {
  GenepopRead r;
  r.status = GenepopStatus::kOutOfMemory;
  r.reason = "out of memory";
  return r;
}

GenepopPull fail_io(GenepopFileReader& r, GenepopStatus status, const char* what, int error) {
  r.outcome = GenepopRead{};
  r.outcome.status = status;
  r.outcome.reason = std::string(what) + ": " + std::generic_category().message(error);
  r.ended = true;
  r.file.reset();
  return GenepopPull::kFailed;
}

// The parse's end: the last population's tallies, or the failure.
GenepopPull finish(GenepopFileReader& r, std::vector<GenepopTally>& tallies) {
  r.ended = true;
  r.file.reset();
  r.outcome = finish_genepop(r.parser);
  if (r.outcome.status != GenepopStatus::kOk) return GenepopPull::kFailed;
  tallies = std::move(r.outcome.data.tallies);
  r.outcome.data.tallies = {};
  return tallies.empty() ? GenepopPull::kEnd : GenepopPull::kPopulation;
}

// Feeds lines until a population closes (its tallies wait in the parser),
// the parse fails, or the input ends. False when the input has ended or
// the parse failed.
bool feed_until_population(GenepopFileReader& r) {
  GenepopParser& parser = r.parser;
  std::vector<GenepopTally>& closed = parser.result.data.tallies;
  for (;;) {
    if (r.start >= r.got) {
      errno = 0;
      r.got = std::fread(r.block.data(), 1, r.block.size(), r.file.get());
      r.start = 0;
      if (r.got == 0) {
        if (std::ferror(r.file.get())) return false;
        if (!r.partial.empty()) feed_genepop_line(parser, r.partial);
        r.partial.clear();
        return false;
      }
    }
    const std::string_view bytes(r.block.data(), r.got);
    while (r.start < r.got) {
      const size_t end = bytes.find('\n', r.start);
      bool going;
      if (end == std::string_view::npos) {
        r.partial.append(bytes.substr(r.start));
        r.start = r.got;
        // A line without an end in sight is refused before it fills memory.
        if (r.partial.size() <= genepop_line_limit(parser) + 1) break;
        going = feed_genepop_line(parser, r.partial);
      } else if (r.partial.empty()) {
        going = feed_genepop_line(parser, bytes.substr(r.start, end - r.start));
        r.start = end + 1;
      } else {
        r.partial.append(bytes.substr(r.start, end - r.start));
        going = feed_genepop_line(parser, r.partial);
        r.partial.clear();
        r.start = end + 1;
      }
      if (!going) return false;
      if (!closed.empty()) return true;
    }
  }
}

}  // namespace

void open_genepop_reader(GenepopFileReader& reader, const char* path) {
  reader = GenepopFileReader{};
  errno = 0;
  if (std::strcmp(path, "-") == 0) {
    // Standard input, read once; a copy of the descriptor, so that closing
    // the reader leaves standard input open.
    const int fd = ::dup(STDIN_FILENO);
    reader.file.reset(fd >= 0 ? ::fdopen(fd, "rb") : nullptr);
    if (fd >= 0 && !reader.file) ::close(fd);
  } else {
    reader.file.reset(std::fopen(path, "rb"));
  }
  if (!reader.file) fail_io(reader, GenepopStatus::kCannotOpen, "cannot open file", errno);
}

GenepopPull next_genepop_population(GenepopFileReader& reader,
                                    std::vector<GenepopTally>& tallies) {
  tallies.clear();
  if (reader.ended)
    return reader.outcome.status == GenepopStatus::kOk ? GenepopPull::kEnd : GenepopPull::kFailed;
  try {
    if (reader.block.empty()) reader.block.assign(kBlock, '\0');
    if (feed_until_population(reader)) {
      tallies = std::move(reader.parser.result.data.tallies);
      reader.parser.result.data.tallies = {};
      return GenepopPull::kPopulation;
    }
    if (reader.file && std::ferror(reader.file.get()))
      return fail_io(reader, GenepopStatus::kReadError, "read error", errno);
    return finish(reader, tallies);
  } catch (const std::bad_alloc&) {
    tallies = {};
    reader.parser = GenepopParser{};
    reader.outcome = out_of_memory();
    reader.ended = true;
    reader.file.reset();
    return GenepopPull::kFailed;
  }
}

GenepopRead read_genepop_file(const char* path) {
  GenepopFileReader reader;
  open_genepop_reader(reader, path);
  std::vector<GenepopTally> all;
  std::vector<GenepopTally> population;
  try {
    for (;;) {
      switch (next_genepop_population(reader, population)) {
        case GenepopPull::kPopulation:
          all.insert(all.end(), std::make_move_iterator(population.begin()),
                     std::make_move_iterator(population.end()));
          continue;
        case GenepopPull::kFailed:
          return std::move(reader.outcome);
        case GenepopPull::kEnd:
          break;
      }
      break;
    }
  } catch (const std::bad_alloc&) {
    return out_of_memory();
  }
  GenepopRead r = std::move(reader.outcome);
  r.data.tallies = std::move(all);
  return r;
}
