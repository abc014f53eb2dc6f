#include "batch/genepop_source.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "batch/input_kind.h"
#include "report/temp_dir.h"

namespace {

UnitSource open_genepop(const std::string& path) {
  BatchOptions options;
  return find_input_kind("genepop").prepare(options, Diagnostics{}).open(path.c_str());
}

// Populations of two individuals at two loci; with bad_last, one more
// population whose individual lacks a genotype.
std::string populations(int count, bool bad_last) {
  std::string text = "Many populations\nL1, L2\n";
  for (int p = 0; p < count; ++p) text += "Pop\nx" + std::to_string(p) + " , 0101 0102\ny , 0202 0102\n";
  if (bad_last) text += "Pop\nlast , 0101\n";
  return text;
}

// The source reads a population at a time: the first blocks go out before
// the rest of the file is read, and a fault at the end fails the pull that
// reaches it, with the line.
TEST(GenepopSource, BlocksGoOutBeforeTheFileIsReadWhole) {
  TempDir dir;
  const std::string path = dir.write("many.gen", populations(150, true));
  UnitSource source = open_genepop(path);
  std::vector<SourceUnit> block;
  std::string failure;
  ASSERT_EQ(source.next(block, failure), SourceStatus::kUnits) << failure;
  ASSERT_EQ(block.size(), 256u);
  EXPECT_EQ(block[0].name, path + ": population 1, locus L1");
  EXPECT_EQ(block[255].name, path + ": population 128, locus L2");
  EXPECT_EQ(source.next(block, failure), SourceStatus::kFailed);
  EXPECT_TRUE(block.empty());
  EXPECT_EQ(failure, "line 454: 1 genotype for 2 loci");
}

TEST(GenepopSource, UnitsInFileOrderAcrossPopulationsAndBlocks) {
  TempDir dir;
  const std::string path = dir.write("many.gen", populations(150, false));
  UnitSource source = open_genepop(path);
  std::vector<SourceUnit> block;
  std::string failure;
  std::vector<std::string> names;
  while (source.next(block, failure) == SourceStatus::kUnits) {
    for (const SourceUnit& unit : block) names.push_back(unit.name);
  }
  EXPECT_TRUE(failure.empty());
  ASSERT_EQ(names.size(), 300u);
  for (size_t i = 0; i < names.size(); ++i) {
    EXPECT_EQ(names[i], path + ": population " + std::to_string(i / 2 + 1) + ", locus L" +
                            std::to_string(i % 2 + 1));
  }
  EXPECT_EQ(source.next(block, failure), SourceStatus::kEnd);
}

}  // namespace
