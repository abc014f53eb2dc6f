#include "batch/unit_driver.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "batch/batch_units.h"
#include "batch/row_columns.h"

namespace {

// A kind of input made up for the test: blocks of units as scripted, then
// the end or a failure.
struct Script {
  std::vector<std::vector<std::string>> blocks;  // unit names; "-" untested
  bool fails_at_end = false;
};

std::shared_ptr<Script> g_script;

UnitSource open_scripted(const char*) {
  auto at = std::make_shared<size_t>(0);
  return UnitSource{[at](std::vector<SourceUnit>& block, std::string& failure) {
    if (*at == g_script->blocks.size()) {
      if (!g_script->fails_at_end) return SourceStatus::kEnd;
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

const InputKind kScripted{{"name"}, false, true, open_scripted, {}};

TEST(UnitDriver, RowsWaitInUnitOrderAndAFailedFileLosesItsOwn) {
  BatchOptions options;
  BatchRun run{options, "hwmc", ProgressLine{}, McHooks{}};
  g_script = std::make_shared<Script>(Script{{{"a", "-"}, {"b"}}, false});
  run_input_file(run, kScripted, "one", 1);
  ASSERT_EQ(run.pending.size(), 3u);
  EXPECT_EQ(run.pending[0].line.text.substr(0, 2), "a\t");
  EXPECT_EQ(run.pending[1].line.text.substr(0, 9), "-\t0\t0\tNA\t");  // nothing tested
  EXPECT_TRUE(std::isnan(run.pending[1].lead));
  EXPECT_EQ(run.pending[2].lead, run.pending[0].lead);
  EXPECT_FALSE(run.any_failed);

  g_script = std::make_shared<Script>(Script{{{"c"}, {"d"}}, true});
  testing::internal::CaptureStderr();
  run_input_file(run, kScripted, "two", 2);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "hwmc: two: line 9: broken\n");
  EXPECT_EQ(run.pending.size(), 3u);  // c and d dropped, the first file's rows kept
  EXPECT_TRUE(run.any_failed);
}

}  // namespace
