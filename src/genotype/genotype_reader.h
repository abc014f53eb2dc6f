// The reader: one genotype-count file into a new genotype table.
//
// read_genotype_file never shows or ends anything: every failure comes back
// as a status, with the offending record for the parse failures. The front
// ends word the failure: read_failure_reason gives the one-line reason in the
// screen's words (without the file name).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "genotype/genotype_parse.h"
#include "genotype/genotype_table.h"
#include "genotype/text_bytes.h"

// One genotype-count file, by name, into a parse (genotype_parse.h), read
// through a bounded window (text_window.h): memory is bounded by the table,
// never by the file, and an endless input that does not start like a
// genotype file is refused as soon as its first bytes are seen.
//
// `load` is kOk when the file was read as far as the records needed; then
// `parse` holds the result. Otherwise (kCannotOpen: it does not open;
// kReadError: it opens but a read fails, e.g. a directory; kOutOfMemory: no
// room for the window) `parse` is empty.
struct GenotypeFileParse {
  TextLoadStatus load = TextLoadStatus::kOk;
  GenotypeParse parse;
};

GenotypeFileParse parse_genotype_file(const char* path);

enum class ReadStatus {
  kOk,
  kCannotOpen,   // missing, unreadable, or opens but cannot be read (a directory)
  kParseFailed,  // see parse.status
  kOutOfMemory,  // the file's bytes could not be held
};

struct GenotypeRead {
  ReadStatus status = ReadStatus::kOk;
  GenotypeParse parse;   // table, k and two_n when kOk; the failure when kParseFailed
  std::string excerpt;   // the offending record as the messages show it
};

GenotypeRead read_genotype_file(const char* path);
// The same from an open descriptor, which the reader owns from then on and
// reads once, from where it stands (standard input, a pipe).
GenotypeRead read_genotype_descriptor(int fd);

// The record as written, fit for one screen line: white space and the
// writer's control codes become blanks, and a long record is cut short.
std::string record_excerpt(const unsigned char* data, size_t start, size_t end);

// The text of a failed record's message before the record excerpt, e.g.
// "negative count in record"; null for the failures without a record.
const char* record_failure_words(GenotypeParseStatus status);

// "failure at opening - the file is possibly missing", "is not input file",
// "negative count in record \"bb:-1\"", ... for any status but kOk; the
// record's bytes escaped (text_escape.h), as a line of text needs them.
std::string read_failure_reason(const GenotypeRead& read);

// The memory failure message, as every phase words it.
inline constexpr const char kMemoryErrorText[] = "memory allocation error - program abort";
// The words of the reader's failures, which every front end's message uses.
inline constexpr const char kOpenFailureText[] = "failure at opening";
inline constexpr const char kPossiblyMissingText[] = " - the file is possibly missing";
inline constexpr const char kNotInputFileText[] = "is not input file";
inline constexpr const char kRepeatedEntryText[] = " is encountered more than once";
// What data that cannot be read as counts is called, by the reader and the
// analysis alike.
inline constexpr const char kIncorrectDataText[] = "possibly incorrect data in file";
