#include "batch/hwe_outputs.h"

#include <algorithm>
#include <string_view>

#include "fileio/fd_io.h"
#include "tsv/tsv_line.h"
#include "tsv/tsv_read.h"

namespace {

std::optional<size_t> named_column(const InputKind& kind, std::string_view name) {
  for (size_t i = 0; i < kind.id_columns.size(); ++i) {
    if (name == kind.id_columns[i].name) return i;
  }
  return std::nullopt;
}

}  // namespace

HweRule hwe_rule(const InputKind& kind, const BatchOptions& options) {
  HweRule rule;
  if (!options.hwe) return rule;
  rule.threshold = HweThreshold{options.hwe_p, options.hwe_log10, options.hwe_midp};
  for (const std::string& name : options.hwe_pops) {
    TsvLine cell;
    add_text_cell(cell, name);
    rule.deciding.push_back(cell.text);
  }
  for (size_t i = 0; i < kind.id_columns.size(); ++i) {
    const IdRole role = kind.id_columns[i].role;
    if (role == IdRole::kPopulation || role == IdRole::kPopulationName)
      rule.population_cells.push_back(i);
  }
  return rule;
}

HweVerdict unit_hwe_verdict(const HweRule& rule, const SourceUnit& unit, const LeadP& lead) {
  if (!rule.threshold) return HweVerdict::kNone;
  const HweVerdict verdict = hwe_verdict_of(*rule.threshold, lead);
  if (verdict != HweVerdict::kFail || rule.deciding.empty()) return verdict;
  const std::vector<std::string_view> cells = split_cells(unit.id.text);
  for (size_t i : rule.population_cells) {
    if (i < cells.size() &&
        std::find(rule.deciding.begin(), rule.deciding.end(), cells[i]) != rule.deciding.end())
      return verdict;
  }
  return HweVerdict::kPass;
}

std::string failed_unit_name(const InputKind& kind, const SourceUnit& unit) {
  const std::vector<std::string_view> cells = split_cells(unit.id.text);
  auto cell = [&](std::optional<size_t> i) {
    return i && *i < cells.size() ? std::string(cells[*i]) : std::string();
  };
  const std::optional<size_t> id = id_column_with(kind, IdRole::kSiteId);
  if (id) {
    const std::string name = cell(id);
    if (!name.empty() && name != ".") return name;
    return cell(id_column_with(kind, IdRole::kChrom)) + ":" +
           cell(id_column_with(kind, IdRole::kPos)) + ":" + cell(named_column(kind, "ref")) +
           ":" + cell(named_column(kind, "alt"));
  }
  const std::optional<size_t> locus = id_column_with(kind, IdRole::kLocus);
  if (!locus) return "";
  return cell(id_column_with(kind, IdRole::kPopulation)) + "\t" + cell(locus);
}

void note_failed_unit(FailedList& list, const InputKind& kind, const SourceUnit& unit,
                      HweVerdict verdict) {
  if (verdict != HweVerdict::kFail || !list.file.is_open()) return;
  std::string name = failed_unit_name(kind, unit);
  if (name.empty() || name == list.last) return;
  list.pending += name;
  list.pending += '\n';
  list.last = std::move(name);
}

void drop_failed_file(FailedList& list) {
  list.pending.clear();
  list.last.clear();
}

bool write_failed_file(FailedList& list) {
  if (!list.file.is_open() || list.pending.empty()) return true;
  const bool written = write_all(list.file.fd, list.pending.data(), list.pending.size());
  list.pending.clear();
  return written;
}

bool close_failed_list(FailedList& list) {
  if (!list.file.is_open()) return true;
  const bool written = write_failed_file(list);
  return list.file.close_now() == 0 && written;
}
