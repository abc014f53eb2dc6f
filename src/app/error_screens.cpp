#include "app/error_screens.h"

#include <string>

#include "app/exit_path.h"
#include "console/console.h"
#include "stats/locus_analysis.h"

namespace {

void show_error_with_path(const char* message, const char* path) {
  show_error(message);
  con_printf(" \"%s\"\n\r", path);
}

}  // namespace

void show_duplicate_entry(char c1, char c2, const char* path) {
  con_goto_clear(1, 21);
  con_set_color(kColorWhite);
  con_printf("The entry ");
  if (c1 == c2) {
    con_set_color(kColorLightBlue);
    con_printf("\"%c%c\"", c1, c2);
    con_set_color(kColorWhite);
    con_printf("%s,", kRepeatedEntryText);
    con_printf("\n\rcheck input file ");
    con_set_color(kColorLightBlue);
    con_printf("\"%-s\"", path);
  } else {
    con_printf("\"%c%c\" (or \"%c%c\")", c1, c2, c2, c1);
    con_set_color(kColorLightBlue);
    con_printf("%s,", kRepeatedEntryText);
    con_printf("\n\rcheck input file ");
    con_set_color(kColorWhite);
    con_printf("\"%-s\"", path);
  }
  // The triangles keep whichever colour the file name was shown in.
  con_goto_clear(1, 23);
  con_printf("%c%c%c ", kGlyphRightTriangle, kGlyphRightTriangle, kGlyphRightTriangle);
  con_set_color(kColorLightRed);
  con_printf("\r\nexit");
  con_clear_eol();
}

void show_memory_error(bool with_hint) {
  show_error((std::string("\r\n") + kMemoryErrorText).c_str());
  if (!with_hint) return;
  show_error("Try to re-designate alleles. Cut empty allele classes");
  // The hint stands above the first line; the closing lines start after the
  // first line, so that neither is overwritten or cleared.
  con_goto(static_cast<int>(sizeof kMemoryErrorText), kScreenHeight);
}

void show_parse_failure(const GenotypeParse& parse, const std::string& excerpt, const char* path) {
  using Status = GenotypeParseStatus;
  switch (parse.status) {
    case Status::kOk:
      return;
    case Status::kNotInputFile:
      con_goto_clear(2, 23);
      con_set_color(kColorLightRed);
      con_printf("\n\rthe file \"%s\" %s - abort\n\r", path, kNotInputFileText);
      return;
    case Status::kDuplicateEntry:
      show_duplicate_entry(parse.c1, parse.c2, path);
      return;
    case Status::kOutOfMemory:
      show_memory_error(true);
      return;
    default: {
      const std::string message =
          std::string(record_failure_words(parse.status)) + " \"" + excerpt + "\" of file";
      show_error_with_path(message.c_str(), path);
      return;
    }
  }
}

int show_read_failure(const GenotypeRead& read, const char* path, bool* at_once) {
  *at_once = false;
  switch (read.status) {
    case ReadStatus::kOk:
      return 0;
    case ReadStatus::kCannotOpen:
      con_printf("\r\n%s \"%s\"%s\r\n", kOpenFailureText, path, kPossiblyMissingText);
      *at_once = true;
      return 1;
    case ReadStatus::kOutOfMemory:
      show_memory_error(false);
      return 1;
    case ReadStatus::kParseFailed:
      show_parse_failure(read.parse, read.excerpt, path);
      return 1;
  }
  return 1;
}

void show_analysis_failure(AnalysisStatus status, const char* path) {
  switch (status) {
    case AnalysisStatus::kOk:
      return;
    case AnalysisStatus::kNoData:
    case AnalysisStatus::kOneAllele:
      show_error_with_path(analysis_failure_words(status), path);
      return;
    case AnalysisStatus::kOutOfMemory:
      show_memory_error(true);
      return;
    case AnalysisStatus::kOutOfMemoryShrink:
      show_memory_error(false);
      return;
  }
}
