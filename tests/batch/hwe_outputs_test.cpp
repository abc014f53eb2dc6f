#include "batch/hwe_outputs.h"

#include <gtest/gtest.h>

#include <fcntl.h>

#include <cmath>

namespace {

SourceUnit unit_with_cells(const std::string& cells) {
  SourceUnit unit;
  unit.id.text = cells;
  unit.id.empty = false;
  return unit;
}

LeadP lead_of(double p) {
  LeadP lead;
  lead.p = p;
  lead.log10 = std::log10(p);
  return lead;
}

TEST(HweOutputs, VariantsByIdOrByPositionAndAlleles) {
  const InputKind& vcf = find_input_kind("vcf");
  EXPECT_EQ(failed_unit_name(vcf, unit_with_cells("a.vcf\tchr2\t1500\trs7\tA\tG\tall")), "rs7");
  EXPECT_EQ(failed_unit_name(vcf, unit_with_cells("a.vcf\tchr2\t1500\t.\tA\tG,T\tall")),
            "chr2:1500:A:G,T");
  const InputKind& genepop = find_input_kind("genepop");
  const std::vector<KindColumn>& columns = genepop.id_columns;
  ASSERT_EQ(columns.size(), 4u);  // file population pop_name locus
  EXPECT_EQ(failed_unit_name(genepop, unit_with_cells("g.gen\t3\tNorth\tLoc7")), "3\tLoc7");
  EXPECT_EQ(failed_unit_name(find_input_kind(""), unit_with_cells("x.txt")), "");
}

TEST(HweOutputs, OnlyTheNamedPopulationsDecide) {
  BatchOptions options;
  options.hwe = true;
  options.hwe_p = 1e-3;
  options.hwe_log10 = -3;
  options.hwe_pops = {"controls"};
  const InputKind& vcf = find_input_kind("vcf");
  const HweRule rule = hwe_rule(vcf, options);
  const SourceUnit controls = unit_with_cells("a.vcf\t1\t5\trs1\tA\tG\tcontrols");
  const SourceUnit cases = unit_with_cells("a.vcf\t1\t5\trs1\tA\tG\tcases");
  EXPECT_EQ(unit_hwe_verdict(rule, controls, lead_of(1e-4)), HweVerdict::kFail);
  EXPECT_EQ(unit_hwe_verdict(rule, cases, lead_of(1e-4)), HweVerdict::kPass);
  EXPECT_EQ(unit_hwe_verdict(rule, controls, lead_of(0.5)), HweVerdict::kPass);
  EXPECT_EQ(unit_hwe_verdict(rule, cases, LeadP{}), HweVerdict::kNone);
  options.hwe = false;
  EXPECT_EQ(unit_hwe_verdict(hwe_rule(vcf, options), controls, lead_of(1e-4)), HweVerdict::kNone);
}

TEST(HweOutputs, ASiteIsListedOnceAndAFailedFileLosesItsLines) {
  FailedList list;
  list.file.fd = ::open("/dev/null", O_WRONLY);
  ASSERT_TRUE(list.file.is_open());
  const InputKind& vcf = find_input_kind("vcf");
  const SourceUnit a = unit_with_cells("a.vcf\t1\t5\trs1\tA\tG\tcases");
  const SourceUnit b = unit_with_cells("a.vcf\t1\t5\trs1\tA\tG\tcontrols");
  const SourceUnit c = unit_with_cells("a.vcf\t1\t9\trs2\tA\tG\tcases");
  note_failed_unit(list, vcf, a, HweVerdict::kFail);
  note_failed_unit(list, vcf, b, HweVerdict::kFail);
  note_failed_unit(list, vcf, c, HweVerdict::kPass);
  EXPECT_EQ(list.pending, "rs1\n");
  note_failed_unit(list, vcf, c, HweVerdict::kFail);
  EXPECT_EQ(list.pending, "rs1\nrs2\n");
  drop_failed_file(list);
  EXPECT_EQ(list.pending, "");
  note_failed_unit(list, vcf, c, HweVerdict::kFail);  // named again in the next file
  EXPECT_EQ(list.pending, "rs2\n");
  EXPECT_TRUE(write_failed_file(list));
  EXPECT_EQ(list.pending, "");
  EXPECT_TRUE(close_failed_list(list));
}

}  // namespace
