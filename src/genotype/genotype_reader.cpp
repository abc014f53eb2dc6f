#include "genotype/genotype_reader.h"

#include <string>
#include <utility>

#include "app/exit_path.h"
#include "console/console.h"
#include "genotype/genotype_file.h"

namespace {

constexpr size_t kExcerptLimit = 24;

// The record as written, fit for one screen line: white space and the
// writer's control codes become blanks, and a long record is cut short.
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

void show_record_error(const char* what, const GenotypeParse& parse, const char* path) {
  const std::string message = std::string(what) + " \"" +
                              record_excerpt(parse.record_text, 0,
                                             parse.record_end - parse.record_start) +
                              "\" of file";
  show_error(message.c_str());
  con_printf(" \"%s\"\n\r", path);
}

void show_memory_error() {
  show_error("\r\nmemory allocation error - program abort");
  show_error("Try to re-designate alleles. Cut empty allele classes");
}

[[noreturn]] void fail_to_open(const char* path) {
  con_printf("%s%s%s", "\r\nfailure at opening \"", path, "\" - the file is possibly missing\r\n");
  exit_at_once(1);
}

}  // namespace

void show_parse_failure(const GenotypeParse& parse, const unsigned char* /*data*/,
                        const char* path) {
  using Status = GenotypeParseStatus;
  switch (parse.status) {
    case Status::kOk:
      return;
    case Status::kNotInputFile:
      con_goto_clear(2, 23);
      con_set_color(12);
      con_printf("\n\rthe file \"%s\" is not input file - abort\n\r", path);
      return;
    case Status::kDuplicateEntry:
      show_duplicate_entry(parse.c1, parse.c2, path);
      return;
    case Status::kNoAlleleIndex:
      show_record_error("invalid allele character in record", parse, path);
      return;
    case Status::kNegativeCount:
      show_record_error("negative count in record", parse, path);
      return;
    case Status::kCountTooLarge:
      show_record_error("count too large in record", parse, path);
      return;
    case Status::kTotalTooLarge:
      show_record_error("sum of counts too large at record", parse, path);
      return;
    case Status::kOutOfMemory:
      show_memory_error();
      return;
  }
}

GenotypeTable read_genotype_file(const char* path, int32_t& k, int32_t& two_n) {
  GenotypeFileParse file = parse_genotype_file(path);
  switch (file.load) {
    case TextLoadStatus::kOk:
      break;
    case TextLoadStatus::kCannotOpen:
    case TextLoadStatus::kReadError:  // e.g. a directory: it opens but cannot be read
      fail_to_open(path);
    case TextLoadStatus::kOutOfMemory:
      show_error("\r\nmemory allocation error - program abort");
      exit_program(1);
  }

  GenotypeParse& parse = file.parse;
  if (parse.status == GenotypeParseStatus::kDuplicateEntry)
    report_duplicate_entry(parse.c1, parse.c2, path);
  if (parse.status != GenotypeParseStatus::kOk) {
    show_parse_failure(parse, nullptr, path);
    exit_program(1);
  }
  k = parse.k;
  two_n = parse.two_n;
  return std::move(parse.table);
}
