#include "genotype/genotype_reader.h"

#include <string_view>
#include <utility>

#include "fileio/text_escape.h"

namespace {

GenotypeFileParse parse_opened_window(TextWindow& window, TextLoadStatus opened) {
  GenotypeFileParse file;
  file.load = opened;
  if (file.load != TextLoadStatus::kOk) return file;
  GenotypeParse parse = parse_genotype_window(window);
  // A failed read cut the text short, so whatever the parse made of it is not
  // the file's result.
  if (window.failed) {
    file.load = TextLoadStatus::kReadError;
    return file;
  }
  file.parse = std::move(parse);
  return file;
}

}  // namespace

GenotypeFileParse parse_genotype_file(const char* path) {
  TextWindow window;
  const TextLoadStatus opened = open_text_window(path, &window);
  return parse_opened_window(window, opened);
}

namespace {

// A failed parse keeps this many bytes of its record, all a message shows.
constexpr size_t kExcerptLimit = kRecordTextKept;

GenotypeRead failed(ReadStatus status) {
  GenotypeRead read;
  read.status = status;
  return read;
}

// The record for a line of text rather than the screen: its bytes escaped.
std::string escaped_excerpt(const GenotypeParse& p) {
  const size_t length = p.record_end - p.record_start;
  const size_t kept = length < kExcerptLimit ? length : kExcerptLimit;
  std::string text =
      escape_text(std::string_view(reinterpret_cast<const char*>(p.record_text), kept));
  if (length > kExcerptLimit) text += "...";
  return text;
}

}  // namespace

std::string record_excerpt(const unsigned char* data, size_t start, size_t end) {
  std::string text;
  for (size_t i = start; i < end && text.size() < kExcerptLimit; ++i) {
    const unsigned char c = data[i];
    const bool control = c == 0 || c == 7 || c == 8 || (c >= 9 && c <= 13);
    text.push_back(control ? ' ' : static_cast<char>(c));
  }
  if (end - start > kExcerptLimit) text += "...";
  return text;
}

const char* record_failure_words(GenotypeParseStatus status) {
  switch (status) {
    case GenotypeParseStatus::kNoAlleleIndex:
      return "invalid allele character in record";
    case GenotypeParseStatus::kNegativeCount:
      return "negative count in record";
    case GenotypeParseStatus::kCountTooLarge:
      return "count too large in record";
    case GenotypeParseStatus::kTotalTooLarge:
      return "sum of counts too large at record";
    default:
      return nullptr;
  }
}

std::string read_failure_reason(const GenotypeRead& read) {
  switch (read.status) {
    case ReadStatus::kOk:
      return "";
    case ReadStatus::kCannotOpen:
      return std::string(kOpenFailureText) + kPossiblyMissingText;
    case ReadStatus::kOutOfMemory:
      return kMemoryErrorText;
    case ReadStatus::kParseFailed:
      break;
  }
  const GenotypeParse& p = read.parse;
  switch (p.status) {
    case GenotypeParseStatus::kNotInputFile:
      return kNotInputFileText;
    case GenotypeParseStatus::kDuplicateEntry:
      if (p.c1 == p.c2)
        return std::string("the entry \"") + p.c1 + p.c2 + "\"" + kRepeatedEntryText;
      return std::string("the entry \"") + p.c1 + p.c2 + "\" (or \"" + p.c2 + p.c1 + "\")" +
             kRepeatedEntryText;
    case GenotypeParseStatus::kOutOfMemory:
      return kMemoryErrorText;
    default: {
      const char* words = record_failure_words(p.status);
      return std::string(words != nullptr ? words : kIncorrectDataText) + " \"" +
             escaped_excerpt(p) + "\"";
    }
  }
}

namespace {

GenotypeRead read_parsed(GenotypeFileParse file) {
  switch (file.load) {
    case TextLoadStatus::kOk:
      break;
    case TextLoadStatus::kCannotOpen:
    case TextLoadStatus::kReadError:  // e.g. a directory: it opens but cannot be read
      return failed(ReadStatus::kCannotOpen);
    case TextLoadStatus::kOutOfMemory:
      return failed(ReadStatus::kOutOfMemory);
  }

  GenotypeRead read;
  read.parse = std::move(file.parse);
  if (read.parse.status != GenotypeParseStatus::kOk) {
    read.status = ReadStatus::kParseFailed;
    // The window has moved on by now: the parse keeps the record's first bytes.
    if (record_failure_words(read.parse.status) != nullptr)
      read.excerpt = record_excerpt(read.parse.record_text, 0,
                                    read.parse.record_end - read.parse.record_start);
  }
  return read;
}

}  // namespace

GenotypeRead read_genotype_file(const char* path) { return read_parsed(parse_genotype_file(path)); }

GenotypeRead read_genotype_descriptor(int fd) {
  if (fd < 0) return failed(ReadStatus::kCannotOpen);
  TextWindow window;
  const TextLoadStatus opened = adopt_text_window(fd, &window);
  // Read once from where it stands: a rewind would go back to the start of
  // a file that standard input is only a part of.
  window.seekable = false;
  return read_parsed(parse_opened_window(window, opened));
}
