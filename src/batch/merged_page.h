// The results page of merged row tables (--merge --html, --merge --figures):
// each row read back into what the page keeps of a unit (page_row's
// PageRow), so that the page of the parts is the page one run over all the
// data draws. The rows give the names (the kind's identifying cells), k, n,
// f_is, d, p_lead and, once merged, q_bh; a two-allele unit's genotype
// counts from genotype_counts (or, without it, n_hom_ref n_het n_hom_alt)
// where the rows have them (without them the site plots lack the counts),
// and its U score tests from p_u_deficit and p_u_excess where the exact
// tests ran. A count file's page draws each table's triangle from its
// analysis, which the rows do not hold: its tables get no page.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "batch/input_kind.h"
#include "batch/results_page.h"

struct PageRowColumns {
  std::vector<size_t> id;  // per identifying column of the kind
  size_t cells = 0;
  size_t k = 0, n = 0, f_is = 0, d = 0, lead = 0;
  std::optional<size_t> genotypes[3];
  std::optional<size_t> genotype_counts;
  std::optional<size_t> p_u_deficit, p_u_excess;
};

// The kind the header is (kind_of_header) and the columns the page reads;
// nothing, with `reason` set, when the page cannot be drawn from such rows.
std::optional<PageRowColumns> page_row_columns(std::string_view header, const InputKind*& kind,
                                               std::string& reason);

// One row (no line feed) into the page's waiting rows; the reason when a
// cell the page reads is not what hwmc writes there (empty when taken).
std::string take_page_row(ResultsPage& page, const PageRowColumns& columns, std::string_view row);
