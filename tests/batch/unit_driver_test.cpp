#include "batch/unit_driver.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "batch/batch_units.h"
#include "batch/row_columns.h"
#include "batch/spooled_rows.h"
#include "batch/tsv_cells.h"
#include "stats/multiple_testing.h"

namespace {

// A kind of input made up for the test: blocks of units as scripted, then
// the end, a failure, or memory running out.
struct Script {
  std::vector<std::vector<std::string>> blocks;  // unit names; "-" untested
  enum { kEnd, kFails, kOutOfMemory } then = kEnd;
};

std::shared_ptr<Script> g_script;

UnitSource open_scripted(const char*) {
  auto at = std::make_shared<size_t>(0);
  return UnitSource{[at](std::vector<SourceUnit>& block, std::string& failure) {
    if (*at == g_script->blocks.size()) {
      if (g_script->then == Script::kOutOfMemory) throw std::bad_alloc();
      if (g_script->then == Script::kEnd) return SourceStatus::kEnd;
      failure = "line 9: broken";
      return SourceStatus::kFailed;
    }
    block.clear();
    for (const std::string& name : g_script->blocks[(*at)++]) {
      SourceUnit& unit = block.emplace_back();
      add_text_cell(unit.id, name);
      unit.name = name;
      unit.testable = name != "-";
      if (unit.testable) unit.genotypes = unit_of({{0, 3}, {1, 4}, {2, 5}}, 2);
    }
    return SourceStatus::kUnits;
  }};
}

const InputKind kScripted{.id_columns = {{"name", IdRole::kOther}}, .adjusts_p = true};

TEST(UnitDriver, RowsWaitInUnitOrderAndAFailedFileLosesItsOwn) {
  BatchOptions options;
  BatchRun run = test_run(kScripted, options, open_scripted);
  ASSERT_TRUE(open_pending_rows(run));
  g_script = std::make_shared<Script>(Script{{{"a", "-"}, {"b"}}, Script::kEnd});
  run_input_file(run, "one", 1);
  ASSERT_EQ(run.outputs.pending.leads.size(), 3u);
  EXPECT_TRUE(std::isnan(run.outputs.pending.leads[1]));
  EXPECT_EQ(run.outputs.pending.leads[2], run.outputs.pending.leads[0]);
  EXPECT_FALSE(run.any_failed);

  g_script = std::make_shared<Script>(Script{{{"c"}, {"d"}}, Script::kFails});
  testing::internal::CaptureStderr();
  run_input_file(run, "two", 2);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "hwmc: two: line 9: broken\n");
  EXPECT_TRUE(run.any_failed);

  // Memory running out is the file's failure; the next file goes on.
  g_script = std::make_shared<Script>(Script{{{"e"}}, Script::kOutOfMemory});
  testing::internal::CaptureStderr();
  run_input_file(run, "three", 3);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "hwmc: three: out of memory\n");
  g_script = std::make_shared<Script>(Script{{{"f"}}, Script::kEnd});
  run_input_file(run, "four", 4);

  const std::vector<std::string> rows = spooled_rows(run.outputs.pending);
  ASSERT_EQ(rows.size(), 4u);  // c, d and e dropped, the others kept
  EXPECT_EQ(rows[0].substr(0, 2), "a\t");
  EXPECT_EQ(rows[1].substr(0, 9), "-\t0\t0\tNA\t");  // nothing tested
  EXPECT_EQ(rows[1].substr(rows[1].size() - 3), "\tNA");  // and no p_lead
  EXPECT_EQ(rows[2].substr(0, 2), "b\t");
  EXPECT_EQ(rows[3].substr(0, 2), "f\t");
}

// What the rows would be if they had waited in memory: the row, its
// p_lead, and q_bh over the leads.
std::string rows_in_memory(const BatchOptions& options,
                           const std::vector<std::vector<std::string>>& blocks) {
  std::vector<TsvLine> lines;
  std::vector<double> leads;
  for (const auto& names : blocks) {
    for (const std::string& name : names) {
      SourceUnit unit;
      add_text_cell(unit.id, name);
      const Analysed a = analysed(unit_of({{0, 3}, {1, 4}, {2, 5}}, 2), options);
      const UnitResult* r = name != "-" ? &a.result : nullptr;
      lines.push_back(row_line(kScripted, options, unit, r));
      leads.push_back(r != nullptr ? lead_of(*r, options) : std::nan(""));
    }
  }
  const std::vector<double> q = adjust_benjamini_hochberg(leads);
  std::string out;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (std::isnan(q[i])) {
      add_na_cell(lines[i]);
    } else {
      add_double_cell(lines[i], q[i]);
    }
    out += finish_line(lines[i]);
  }
  return out;
}

TEST(UnitDriver, RowsFromTheTemporaryFileAreThoseOfMemory) {
  BatchOptions options;
  options.runs = 30;
  options.seed_given = true;
  options.seed = 3;
  // Enough rows that the file holds several chunks.
  std::vector<std::vector<std::string>> blocks;
  for (int b = 0; b < 40; ++b) {
    blocks.emplace_back();
    for (int u = 0; u < 60; ++u)
      blocks.back().push_back(u % 7 == 3 ? "-" : "unit " + std::to_string(b * 60 + u));
  }
  // The rows held in memory, then the same rows through the file.
  std::string out;
  constexpr size_t kWhole = size_t{32} << 20, kSmall = size_t{1} << 14;
  for (const size_t memory : {kWhole, kSmall}) {
    BatchRun run = test_run(kScripted, options, open_scripted);
    run.outputs.pending.memory = memory;
    ASSERT_TRUE(open_pending_rows(run));
    g_script = std::make_shared<Script>(Script{blocks, Script::kEnd});
    run_input_file(run, "f", 1);
    if (memory == kWhole) {
      ASSERT_EQ(run.outputs.pending.written, 0u);
    } else {
      ASSERT_GT(run.outputs.pending.written, 65536u);
    }
    testing::internal::CaptureStdout();
    EXPECT_TRUE(write_pending_rows(run));
    out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, rows_in_memory(options, blocks)) << memory;
  }
  // Every row ends in p_lead and q_bh, a q never below its p.
  const std::vector<std::string> header = tsv_cells(row_header(kScripted, options));
  EXPECT_EQ(header[header.size() - 2], "p_lead");
  EXPECT_EQ(header.back(), "q_bh");
  const std::string first_row = out.substr(0, out.find('\n') + 1);
  const std::vector<std::string> cells = tsv_cells(first_row);
  ASSERT_EQ(cells.size(), header.size());
  EXPECT_GE(std::stod(cells.back()), std::stod(cells[cells.size() - 2]));
}

}  // namespace
