#include "batch/row_columns.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "exact/exact_report.h"
#include "fileio/text_escape.h"
#include "stats/proportion_limits.h"
#include "tsv/tsv_read.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

bool always(const BatchOptions&, const InputKind&) { return true; }
bool with_missing(const BatchOptions&, const InputKind& kind) { return kind.counts_missing; }
bool with_runs(const BatchOptions& options, const InputKind&) { return options.runs > 0; }
bool with_exact(const BatchOptions& options, const InputKind&) { return options.exact; }
bool with_sex(const BatchOptions& options, const InputKind& kind) {
  return !options.sex.empty() || kind.knows_sexes;
}
// In every row, but not asked of a table by the merge: rows of earlier runs
// lack it.
bool every_run(const BatchOptions&, const InputKind&) { return true; }
bool with_hwe(const BatchOptions& options, const InputKind&) { return options.hwe; }

Column cell(const char* name, void (*write)(TsvLine&, const UnitResult&)) {
  return Column{name, [write](TsvLine& line, const RowUnit& u) { write(line, *u.result); }};
}

// Whether an experiment drew from the unit's seed: the Monte Carlo one, or
// the exact tests by sampling.
bool seed_drawn(const UnitResult& r) {
  return r.mc || (r.exact && r.exact->method == ExactMethod::kSampling);
}

// An analysed unit shows the figures its analysis kept (the classes with
// copies), an untested one what its source counted.
ColumnGroup size_group() {
  return {
      "size",
      always,
      {Column{kKColumn, [](TsvLine& line, const RowUnit& u) { add_int_cell(line, u.figures.k); },
              nullptr},
       Column{kNColumn, [](TsvLine& line, const RowUnit& u) { add_int_cell(line, u.figures.n); },
              nullptr}}};
}

ColumnGroup missing_group() {
  return {"missing",
          with_missing,
          {Column{kMissingColumn,
                  [](TsvLine& line, const RowUnit& u) { add_int_cell(line, u.unit.missing); },
                  nullptr}}};
}

// The counts as the source gave them, tested or not.
ColumnGroup genotype_counts_group() {
  ColumnGroup g{"genotype counts", every_run, {}};
  for (size_t i = 0; i < std::size(kGenotypeCountColumns); ++i) {
    g.columns.push_back({kGenotypeCountColumns[i],
                         [i](TsvLine& l, const RowUnit& u) {
                           const int64_t count = u.unit.counts.two_allele[i];
                           if (count < 0) {
                             add_na_cell(l);
                           } else {
                             add_int_cell(l, count);
                           }
                         },
                         nullptr});
  }
  g.columns.push_back({kGenotypeCountsColumn,
                       [](TsvLine& l, const RowUnit& u) {
                         if (u.unit.counts.text.empty()) {
                           add_na_cell(l);
                         } else {
                           add_text_cell(l, u.unit.counts.text);
                         }
                       },
                       nullptr});
  return g;
}

void add_statistic_cell(TsvLine& line, CellForm form, double value) {
  switch (form) {
    case CellForm::kFloat:
      add_float_cell(line, static_cast<float>(value));
      break;
    case CellForm::kInt:
      add_int_cell(line, static_cast<int64_t>(value));
      break;
    case CellForm::kDouble:
      add_double_cell(line, value);
      break;
    case CellForm::kDoubleOrNa:
      add_double_or_na_cell(line, value);
      break;
  }
}

// The statistics' own table gives the names and the cells; the seed ends
// the group, empty where nothing drew from it.
ColumnGroup stats_group() {
  ColumnGroup g{"statistics", always, {}};
  for (const StatisticEntry& entry : statistic_entries()) {
    g.columns.push_back({entry.column, [&entry](TsvLine& l, const RowUnit& u) {
                           add_statistic_cell(l, entry.form, u.figures.stat[entry.id]);
                         }});
  }
  Column seed = cell(kSeedColumn, [](TsvLine& l, const UnitResult& r) {
    if (seed_drawn(r)) {
      add_int_cell(l, r.seed);
    } else {
      add_cell(l, "");
    }
  });
  seed.untested = "";
  g.columns.push_back(std::move(seed));
  return g;
}

// The three cells of one Monte Carlo probability: P, and the 95%
// Clopper-Pearson limits of its hits out of the replicates made (defined at
// no hit and at every replicate a hit, unlike the report's classic
// intervals); NA where no replicate was made.
struct McProbability {
  const char* stem;
  float McResults::*p;
  uint32_t McResults::*hits;
};

constexpr McProbability kMcProbabilities[] = {
    {"mc_p_x2", &McResults::p_hw, &McResults::hits_hw},
    {"mc_p_d_one", &McResults::p_d_one, &McResults::hits_d_one},
    {"mc_p_d_both", &McResults::p_d_both, &McResults::hits_d_both},
};

bool mc_made(const UnitResult& r) { return r.mc && r.mc->runs_made > 0; }

// One limit of a probability's interval, or NA.
void add_mc_limit(TsvLine& l, const UnitResult& r, const McProbability& p,
                  double ProportionLimits::*limit) {
  if (!mc_made(r)) {
    add_na_cell(l);
    return;
  }
  add_double_cell(l, clopper_pearson_95((*r.mc).*p.hits, r.mc->runs_made).*limit);
}

ColumnGroup monte_carlo_group() {
  ColumnGroup g{"monte carlo", with_runs, {}};
  g.columns.push_back(cell(kMcRunsColumn, [](TsvLine& l, const UnitResult& r) {
    if (r.mc) {
      add_int_cell(l, r.mc->runs_made);
    } else {
      add_na_cell(l);
    }
  }));
  for (const McProbability& p : kMcProbabilities) {
    const std::string stem = p.stem;
    g.columns.push_back({stem, [&p](TsvLine& l, const RowUnit& u) {
                           if (mc_made(*u.result)) {
                             add_float_cell(l, (*u.result->mc).*p.p);
                           } else {
                             add_na_cell(l);
                           }
                         }});
    g.columns.push_back({stem + "_low", [&p](TsvLine& l, const RowUnit& u) {
                           add_mc_limit(l, *u.result, p, &ProportionLimits::low);
                         }});
    g.columns.push_back({stem + "_high", [&p](TsvLine& l, const RowUnit& u) {
                           add_mc_limit(l, *u.result, p, &ProportionLimits::high);
                         }});
  }
  return g;
}

// The exact tests' own list gives the names and the cells.
ColumnGroup exact_group() {
  ColumnGroup g{"exact", with_exact, {}};
  const std::vector<std::string>& names = exact_column_names();
  for (size_t i = 0; i < names.size(); ++i) {
    g.columns.push_back({names[i], [i](TsvLine& l, const RowUnit& u) {
                           if (u.result->exact) {
                             append_exact_cell(open_cell(l), *u.result->exact, i);
                           } else {
                             add_na_cell(l);
                           }
                         }});
  }
  return g;
}

// The sexes' counts and the X-linked tests of a row counted by sex; NA on
// every other row, and where the X-linked test had fewer than two alleles.
ColumnGroup sex_group() {
  ColumnGroup g{"sex", with_sex, {}};
  constexpr int32_t SexFigures::*kCounts[] = {&SexFigures::males, &SexFigures::females,
                                              &SexFigures::male_het};
  constexpr const char* kCountNames[] = {kMalesColumn, kFemalesColumn, kMaleHetColumn};
  for (size_t i = 0; i < std::size(kCounts); ++i) {
    g.columns.push_back({kCountNames[i],
                         [field = kCounts[i]](TsvLine& l, const RowUnit& u) {
                           if (u.figures.sex.by_sex) {
                             add_int_cell(l, u.figures.sex.*field);
                           } else {
                             add_na_cell(l);
                           }
                         },
                         nullptr});
  }
  constexpr double SexFigures::*kPs[] = {&SexFigures::p_sex_af, &SexFigures::p_x_prob,
                                         &SexFigures::p_x_prob_mid};
  constexpr const char* kPNames[] = {kPSexAfColumn, kPXProbColumn, kPXProbMidColumn};
  for (size_t i = 0; i < std::size(kPs); ++i) {
    g.columns.push_back({kPNames[i],
                         [field = kPs[i]](TsvLine& l, const RowUnit& u) {
                           add_double_or_na_cell(l, u.figures.sex.*field);
                         },
                         nullptr});
  }
  return g;
}

bool with_structure(const BatchOptions& options, const InputKind&) { return options.structure; }

// The structure-robust test's F^ and its three P; NA where the unit's site
// had no such test or its population nothing to test.
struct StructureCell {
  const char* name;
  double InbreedingTest::*value;
};

constexpr StructureCell kStructureCells[] = {
    {"f_struct", &InbreedingTest::f},
    {"p_struct", &InbreedingTest::p},
    {"p_struct_deficit", &InbreedingTest::p_deficit},
    {"p_struct_excess", &InbreedingTest::p_excess},
};

ColumnGroup structure_group() {
  ColumnGroup g{"structure", with_structure, {}};
  for (const StructureCell& c : kStructureCells) {
    g.columns.push_back({c.name, [&c](TsvLine& l, const RowUnit& u) {
                           const std::optional<InbreedingTest>* t =
                               u.result != nullptr ? &u.result->structure : nullptr;
                           if (t != nullptr && *t && (*t)->outcome == FitOutcome::kTested) {
                             add_double_cell(l, (**t).*c.value);
                           } else {
                             add_na_cell(l);
                           }
                         }});
  }
  return g;
}

// The leading p's log10, exact below the double range; NA where no p.
ColumnGroup lead_group() {
  return {"lead",
          every_run,
          {Column{kLog10LeadColumn, [](TsvLine& l, const RowUnit& u) {
                    // log10 0 of an underflowed p_x2 is no figure.
                    const double v = u.figures.lead.log10;
                    add_double_or_na_cell(l, std::isfinite(v) ? v : kNaN);
                  }}}};
}

ColumnGroup hwe_group() {
  return {"hwe",
          with_hwe,
          {Column{kHweFailColumn, [](TsvLine& l, const RowUnit& u) {
                    switch (u.figures.hwe) {
                      case HweVerdict::kNone:
                        add_na_cell(l);
                        break;
                      case HweVerdict::kPass:
                        add_cell(l, "0");
                        break;
                      case HweVerdict::kFail:
                        add_cell(l, "1");
                        break;
                    }
                  }}}};
}

}  // namespace

const std::vector<ColumnGroup>& column_groups() {
  static const std::vector<ColumnGroup> groups = {
      size_group(), missing_group(), genotype_counts_group(), stats_group(), monte_carlo_group(),
      exact_group(), sex_group(), structure_group(),     lead_group(),  hwe_group()};
  return groups;
}

std::vector<std::string> columns_of_every_row() {
  std::vector<std::string> names;
  for (const ColumnGroup& group : column_groups()) {
    if (group.present != always) continue;
    for (const Column& column : group.columns) names.push_back(column.name);
  }
  return names;
}

std::string row_header(const InputKind& kind, const BatchOptions& options) {
  TsvLine line;
  for (const KindColumn& column : kind.id_columns) add_cell(line, column.name);
  for (const ColumnGroup& group : column_groups()) {
    if (!group.present(options, kind)) continue;
    for (const Column& column : group.columns) add_cell(line, column.name);
  }
  if (kind.adjusts_p) {
    add_cell(line, kLeadColumn);
    add_cell(line, kQColumn);
  }
  return finish_line(line);
}

namespace {

// Room for a cell of a figure in most rows: a p in full takes 18 to 24
// bytes, a count or NA far fewer. Reserving a row once spares growing it
// cell by cell.
constexpr size_t kCellGuess = 20;

}  // namespace

TsvLine row_cells(const InputKind& kind, const BatchOptions& options, const RowUnit& row) {
  const std::vector<ColumnGroup>& groups = column_groups();
  size_t cells = 1;  // p_lead
  for (const ColumnGroup& group : groups) {
    if (group.present(options, kind)) cells += group.columns.size();
  }
  TsvLine line;
  line.text.reserve(row.unit.id.text.size() + cells * kCellGuess);
  line.text = row.unit.id.text;
  line.empty = row.unit.id.empty;
  for (const ColumnGroup& group : groups) {
    if (!group.present(options, kind)) continue;
    for (const Column& column : group.columns) {
      if (row.result == nullptr && column.untested != nullptr) {
        add_cell(line, column.untested);
      } else {
        column.write(line, row);
      }
    }
  }
  if (kind.adjusts_p) add_double_or_na_cell(line, row.figures.lead.p);
  return line;
}

std::optional<std::vector<size_t>> pick_columns(std::span<const std::string_view> names,
                                                const std::vector<std::string>& chosen,
                                                std::string& reason) {
  std::vector<size_t> picks;
  for (const std::string& name : chosen) {
    const std::optional<size_t> column = find_column(names, name);
    if (!column) {
      std::string valid;
      for (std::string_view n : names) valid.append(valid.empty() ? "" : ",").append(n);
      reason = "no column '" + escape_text(name) + "' in these rows; they have " + valid;
      return std::nullopt;
    }
    if (std::find(picks.begin(), picks.end(), *column) != picks.end()) {
      reason = "column '" + escape_text(name) + "' named twice";
      return std::nullopt;
    }
    picks.push_back(*column);
  }
  return picks;
}

std::optional<std::vector<size_t>> chosen_columns(const InputKind& kind,
                                                  const BatchOptions& options,
                                                  std::string& reason) {
  if (options.columns.empty()) return std::vector<size_t>{};
  const std::string header = row_header(kind, options);
  return pick_columns(split_cells(std::string_view(header).substr(0, header.size() - 1)),
                      options.columns, reason);
}
