// Reads a Genepop file (see genepop_parse.h for the format) in one pass, in
// blocks, a population at a time: memory follows one population's tallies,
// not the file's size. A file that cannot be opened or read comes back as a
// status like any bad input.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "genepop/genepop_data.h"
#include "genepop/genepop_parse.h"

struct GenepopFileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

// One open file being read; closes it when it goes.
struct GenepopFileReader {
  std::unique_ptr<std::FILE, GenepopFileCloser> file;
  GenepopParser parser;
  std::string block;     // the bytes read and not yet fed, from start to got
  size_t start = 0;
  size_t got = 0;
  std::string partial;   // the start of a line that crosses a block boundary
  bool ended = false;    // the end of the file was fed (or the parse failed)
  GenepopRead outcome;   // the failure, once there is one; the title and loci
};

enum class GenepopPull { kPopulation, kEnd, kFailed };

// Opens path ("-": standard input); a failure shows at the first pull.
void open_genepop_reader(GenepopFileReader& reader, const char* path);

// Replaces tallies with the next population's, one per locus in locus order
// (kPopulation), or says the file is done (kEnd) or bad (kFailed, the
// failure in reader.outcome). A population is handed out once the next Pop
// line or the end of the file closes it; what came before a failure stays
// valid as read, the caller decides whether to keep it.
GenepopPull next_genepop_population(GenepopFileReader& reader, std::vector<GenepopTally>& tallies);

// The whole file at once (all populations' tallies).
GenepopRead read_genepop_file(const char* path);
