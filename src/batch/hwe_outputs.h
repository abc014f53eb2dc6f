// What the Hardy-Weinberg filter (--hwe) makes of a run's units: each unit's
// verdict, decided only in the populations --hwe-pops names (all without
// it), and the list of failing units --failed writes, one line each: a
// variant site by its ID, or CHROM:POS:REF:ALT where the ID is '.', once
// however many of its populations fail it (the form `plink --exclude` and
// `bcftools view -e ID=@FILE` read); a population's locus as
// population<TAB>locus.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "batch/input_kind.h"
#include "cli/command_line.h"
#include "figures/row_figures.h"
#include "fileio/unique_fd.h"

struct HweRule {
  std::optional<HweThreshold> threshold;  // none: no filter in this run
  std::vector<std::string> deciding;      // population cells as rows write them; empty: all
  std::vector<size_t> population_cells;   // the kind's identifying cells naming a population
};

HweRule hwe_rule(const InputKind& kind, const BatchOptions& options);

// kNone where the run has no filter or the unit no p; a unit of a
// population that does not decide passes.
HweVerdict unit_hwe_verdict(const HweRule& rule, const SourceUnit& unit, const LeadP& lead);

// The line of a failing unit in --failed (without its line feed); empty
// where the kind has no such name.
std::string failed_unit_name(const InputKind& kind, const SourceUnit& unit);

// The lines of an input file wait until the file is read to its end: a
// file that fails half way loses its rows, and so its lines.
struct FailedList {
  std::string path;
  UniqueFd file{-1};
  std::string last;     // the last line, so that a site is named once
  std::string pending;  // the current input file's lines
};

// Adds the unit's line when it failed (nothing without an open file).
void note_failed_unit(FailedList& list, const InputKind& kind, const SourceUnit& unit,
                      HweVerdict verdict);
// The current input file failed: its lines go.
void drop_failed_file(FailedList& list);
// The current input file is done: its lines are written; false after a
// write error.
bool write_failed_file(FailedList& list);
// Writes what is left and closes the file; false after a write error.
bool close_failed_list(FailedList& list);
