// One genotype-count file, by name, into a parse (genotype_parse.h), read
// through a bounded window (text_window.h): memory is bounded by the table,
// never by the file, and an endless input that does not start like a
// genotype file is refused as soon as its first bytes are seen.
//
// `load` is kOk when the file was read as far as the records needed; then
// `parse` holds the result. Otherwise (kCannotOpen: it does not open;
// kReadError: it opens but a read fails, e.g. a directory; kOutOfMemory: no
// room for the window) `parse` is empty.
#pragma once

#include "genotype/genotype_parse.h"
#include "genotype/text_bytes.h"

struct GenotypeFileParse {
  TextLoadStatus load = TextLoadStatus::kOk;
  GenotypeParse parse;
};

GenotypeFileParse parse_genotype_file(const char* path);
