// The combined tests of a run: one row per locus (over its populations),
// per population (over its loci) and per input file, built from per-unit
// figures as they come, so that a run of millions of units keeps only a few
// sums per row. Fed by the batch driver as it analyses, or by a merge from
// the rows of earlier runs (every figure of a SummaryUnit is in a row).
//
// Per row: Fisher's method over the units' leading p-values (the p q_bh
// uses), and over each further p-value the layout combines (the exact
// tests' directions, when they ran); q_bh (Benjamini-Hochberg) over the rows of the same scope in
// the run; over the units with a he (n >= 2): f_is = 1 - sum Ho / sum he (the ratio of sums, Weir &
// Cockerham's multilocus form), h_obs and he their plain means, so that f_is = 1 - h_obs / he.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "summary/fisher_method.h"

struct SummaryLayout {
  bool loci = false;         // a row per locus of each file
  bool populations = false;  // a row per population of each file
  // false where the units are linked (neighbouring sites of a sequence):
  // no Fisher combination, its figures NaN.
  bool combine_p = true;
  // p-values combined besides the leading one, SummaryUnit::tests of each unit.
  size_t tests = 0;
  // The Hardy-Weinberg filter ran: a count of the failing units per row.
  bool hwe = false;
};

// One unit as its row shows it. file, population and locus are the row's
// cells (a file is known by its cell: shards of one file are one file);
// population and locus are ignored where the layout has no such rows.
// NaN: no such figure (an untested unit has only NaN).
struct SummaryUnit {
  std::string_view file;
  std::string_view population;
  std::string_view locus;
  double p_lead = 0;  // the p q_bh uses
  // The layout's further p-values (valid p-values); fewer than the layout
  // combines count as NaN.
  std::span<const double> tests;
  double h_obs = 0;  // Ho, the proportion of heterozygous individuals
  double he = 0;     // Nei & Chesser's unbiased expected heterozygosity
  int64_t n = 0;     // individuals typed
  bool hwe_fail = false;  // the filter failed it
};

struct HeterozygositySums {
  int64_t units = 0;
  long double h_obs = 0;
  long double he = 0;
};

struct ScopeSums {
  FisherSums lead;
  std::vector<FisherSums> tests;  // as the layout's tests
  HeterozygositySums het;
  int64_t hwe_failing = 0;
};

// Looked up by a view of the unit's cell, without making a string of it.
struct NameHash {
  using is_transparent = void;
  size_t operator()(std::string_view name) const { return std::hash<std::string_view>{}(name); }
};
using NameIndex = std::unordered_map<std::string, size_t, NameHash, std::equal_to<>>;

struct NamedScopes {
  std::vector<std::pair<std::string, ScopeSums>> scopes;  // in order of first appearance
  NameIndex index;
};

struct FileScopes {
  std::string file;
  NamedScopes loci;
  NamedScopes populations;
  ScopeSums whole;
};

struct SummaryTable {
  SummaryLayout layout;
  std::vector<FileScopes> files;  // in order of first appearance
  NameIndex file_index;
};

void add_summary_unit(SummaryTable& table, const SummaryUnit& unit);

// Forgets a file's units (a file that failed part way gives no rows).
void drop_summary_file(SummaryTable& table, std::string_view file);

enum class SummaryScope { kLocus, kPopulation, kFile };

const char* summary_scope_name(SummaryScope scope);

// A combined p with its adjustment; all NaN (df 0) where no unit has a p
// or the layout combines none.
struct CombinedP {
  double x2;
  int64_t df;
  double p;
  double q;
};

struct SummaryRow {
  std::string file;
  SummaryScope scope;
  std::string name;  // the locus or population cell; empty for a file
  int64_t units;     // units with a leading p
  CombinedP lead;
  std::vector<CombinedP> tests;  // as the layout's tests
  double f_is;  // NaN without a unit with a he, or when sum he is 0
  double h_obs;
  double he;
  int64_t hwe_failing = 0;  // units the filter failed (with SummaryLayout::hwe)
};

// Every row: for each file its loci, its populations, then the file itself.
std::vector<SummaryRow> summary_rows(const SummaryTable& table);
