#include "batch/progress_line.h"

#include <gtest/gtest.h>

#include <string>

#include "batch/input_kind.h"

namespace {

SourceUnit unit_with_cells(const std::string& cells) {
  SourceUnit unit;
  unit.id.text = cells;
  return unit;
}

}  // namespace

TEST(UnitProgressLine, TotalRateAndTimeLeftOnlyWhereTheTotalHolds) {
  UnitProgressText t;
  t.file_number = 1;
  t.files_total = 1;
  t.done = 7168;
  t.total = 20000;
  t.noun = "sites";
  t.where = "21:1972326";
  t.per_second = 1000;
  // 12832 sites at 1000 a second: 12.832 s, rounded up.
  EXPECT_EQ(format_unit_progress(t),
            "hwmc: 7168 of 20000 sites, at 21:1972326, 1000 sites/s, 13 s left");
  // Before the last file the time left is the file's.
  t.files_total = 3;
  EXPECT_EQ(format_unit_progress(t), "hwmc: file 1 of 3, 7168 of 20000 sites, at 21:1972326, "
                                     "1000 sites/s, 13 s left in this file");
  t.files_total = 1;
  // Past a total the source did not foresee (an index's count is of records),
  // and without one: no total, no time left.
  t.done = 20001;
  EXPECT_EQ(format_unit_progress(t), "hwmc: 20001 sites, at 21:1972326, 1000 sites/s");
  t.total = 0;
  t.done = 5;
  t.per_second = 0;
  t.where.clear();
  EXPECT_EQ(format_unit_progress(t), "hwmc: 5 sites, 0 sites/s");
}

TEST(UnitProgressLine, WhereTheRunIsByTheKindsColumns) {
  const InputKind* vcf = nullptr;
  const InputKind* genepop = nullptr;
  for (const InputKind* kind : input_kinds()) {
    if (std::string(kind->syntax.name) == "vcf") vcf = kind;
    if (std::string(kind->syntax.name) == "genepop") genepop = kind;
  }
  ASSERT_TRUE(vcf != nullptr && genepop != nullptr);
  EXPECT_EQ(unit_place(*vcf, unit_with_cells("w.vcf\tchr21\t1234567\trs1\tA\tG\tCEU")),
            "chr21:1234567");
  EXPECT_EQ(unit_place(*genepop, unit_with_cells("s.gen\t2\tNorth\tLoc3")),
            "population North, locus Loc3");
  EXPECT_EQ(unit_place(find_input_kind(""), unit_with_cells("counts.txt")), "counts.txt");
}
