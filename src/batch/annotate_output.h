// --annotate OUT: the run's one VCF or BCF input written again, every record
// with all its fields, plus INFO tags from its units' figures: HWE_P (the
// leading p, as a Float: 0 below the Float range), HWE_LOG10P (its log10 at
// any size), HWE_MIDP (where the leading test has a mid-p) and HWE_FIS;
// with --pops one set per population, HWE_P_<name> and so on (the name made
// a valid INFO key, the population named in the tag's description). With
// --hwe a record one of whose units fails gets the FILTER HWE, which the
// others lose; --drop-failed leaves failing records out instead. A record
// without a unit's p has none of that unit's tags.
//
// OUT's ending chooses the form (vcf_copy.h); it is written into a
// temporary file beside OUT, put in place with its index (.tbi, .csi) only
// once the input was read to its end with every unit finished, so that a
// failed run leaves OUT and its index as they were. "-" writes VCF text on
// standard output, in place of the rows.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "batch/diagnostics.h"
#include "cli/command_line.h"
#include "figures/row_figures.h"
#include "fileio/file_identity.h"
#include "vcf/kept_records.h"
#include "vcf/vcf_copy.h"

struct AnnotateOutput {
  std::string path;  // empty: no copy in this run
  CopyFormat format = CopyFormat::kVcf;
  bool per_population = false;  // --pops
  bool filter = false;          // --hwe
  bool drop_failed = false;
  std::string threshold;        // --hwe's P, for the FILTER's description
  std::string command;
  int threads = 0;
  ReplacingFile file;
  ReplacingFile index;
  VcfCopy copy;
  bool opened = false;    // the header is written
  bool complete = false;  // the input was read to its end
  bool damaged = false;   // a unit had no figures: the copy is not put in place
  std::vector<float> values;
};

// The tags' keys for the populations, four each (P, LOG10P, MIDP, FIS),
// suffixed with the name made a valid INFO key (unique) when per_population.
std::vector<CopyTag> annotation_tags(const std::vector<std::string>& populations,
                                     bool per_population);

// Readies the copy from the options (nothing without --annotate): the
// temporary file beside OUT. False after saying why.
bool open_annotate_output(AnnotateOutput& out, const BatchOptions& options,
                          const Diagnostics& diagnostics);

// The kept records, each with its units' figures (figures[u] for the
// block's unit u; null where the unit failed). The first records of the
// input open the copy with its header. Returns the reason of a failure.
std::string annotate_records(AnnotateOutput& out, KeptRecords& kept,
                             std::span<const RowFigures* const> figures);

// After the run: the copy closed and, when it is complete, indexed and put
// in place. False after saying what failed.
bool finish_annotate_output(AnnotateOutput& out, const Diagnostics& diagnostics);
