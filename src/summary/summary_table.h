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
//
// With the global U tests (exact/u_global.h) each file keeps its units'
// genotype counts and, where enumerated, their laws of U, once per unit
// (a scope holds their indices): 8 bytes a genotype cell, 16 a point of a
// law, 4 per unit and scope, at most kUGlobalKeptBytes over the run. A
// file that would pass it keeps none and its global tests are NA
// (u_dropped), as are those of a scope with a tested unit that came
// without its counts (a merge of rows).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "exact/u_global.h"
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
  // The global U tests over each scope (where combine_p: linked units have
  // none).
  bool u_global = false;
};

inline constexpr uint64_t kUGlobalKeptBytes = uint64_t{256} << 20;

// How the global U tests are drawn where they cannot be convolved.
struct UGlobalSettings {
  uint64_t draws = kDefaultUGlobalDraws;
  uint64_t max_points = kDefaultUGlobalPoints;
  unsigned threads = 0;  // 0: one per core
  uint64_t kept_bytes = kUGlobalKeptBytes;
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
  // For the global U tests: the counts the exact tests ran on and, when
  // enumerated, the law of U (null: none); the seed the unit drew from.
  const ExactSample* u_sample = nullptr;
  const ULaw* u_law = nullptr;
  uint64_t seed = 0;
  bool seed_known = true;  // false: a merged row that does not show it
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
  std::vector<uint32_t> u_units;  // indices into FileScopes::u_units
  bool u_missing = false;         // a unit with a p came without its counts
};

// A unit as the global U tests need it.
struct KeptUUnit {
  ExactSample sample;
  ULaw law;
  bool has_law = false;
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
  std::vector<KeptUUnit> u_units;
  uint64_t u_bytes = 0;
  bool u_dropped = false;  // past the budget: no global U tests for the file
};

struct SummaryTable {
  SummaryLayout layout;
  std::vector<FileScopes> files;  // in order of first appearance
  NameIndex file_index;
  UGlobalSettings u{};
  // The seed of the global tests' draws: the first kept unit's that knows
  // it (the run's seed, or the clock's when none was given).
  uint64_t u_seed = 0;
  bool u_seeded = false;
  uint64_t u_bytes = 0;  // kept over every file
};

void add_summary_unit(SummaryTable& table, const SummaryUnit& unit);

// Forgets a file's units (a file that failed part way gives no rows).
void drop_summary_file(SummaryTable& table, std::string_view file);

enum class SummaryScope { kLocus, kPopulation, kFile };

inline constexpr double kSummaryNaN = std::numeric_limits<double>::quiet_NaN();

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
  // The global U tests would need draws, but no unit showed the seed.
  bool u_unseeded = false;
  // The global U tests: the result where they ran; p the valid p
  // (u_global_valid_p), q its q_bh over the scopes of a kind (NaN without).
  std::optional<UGlobalResult> u_global{};
  CombinedP u_deficit{kSummaryNaN, 0, kSummaryNaN, kSummaryNaN};
  CombinedP u_excess{kSummaryNaN, 0, kSummaryNaN, kSummaryNaN};
};

// Every row: for each file its loci, its populations, then the file itself.
// The global U tests are computed here (drawn ones on table.u.threads).
std::vector<SummaryRow> summary_rows(const SummaryTable& table);

// The name a scope's draws are keyed by: "file<TAB>scope<TAB>name".
std::string u_scope_name(const std::string& file, SummaryScope scope, const std::string& name);
