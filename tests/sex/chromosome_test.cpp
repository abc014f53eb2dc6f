// Which sites are X outside the pseudo-autosomal regions, Y or
// mitochondrial, and how a male's call counts on X.
#include "sex/chromosome.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "sex/male_call.h"

namespace {

TEST(Chromosome, NamesOfTheSexChromosomesAndMitochondria) {
  for (const char* x : {"X", "chrX", "23", "x", "chrx", "CHRX", "chr23"}) {
    EXPECT_EQ(classify_contig(x), ContigKind::kX) << x;
  }
  for (const char* y : {"Y", "chrY", "24"}) EXPECT_EQ(classify_contig(y), ContigKind::kY) << y;
  for (const char* par : {"XY", "chrXY", "25"}) {
    EXPECT_EQ(classify_contig(par), ContigKind::kPar) << par;
  }
  for (const char* mt : {"MT", "chrM", "M", "26", "chrMT"}) {
    EXPECT_EQ(classify_contig(mt), ContigKind::kMito) << mt;
  }
  for (const char* other : {"1", "chr1", "22", "X2", "chrX_KI270880v1_alt", "Xp", "chr", "", "27",
                            "chrUn", "XX", "chrXYZ"}) {
    EXPECT_EQ(classify_contig(other), ContigKind::kAutosome) << other;
  }
}

TEST(Chromosome, PseudoAutosomalRegionsByBuild) {
  // Each region's first and last position, and the positions just outside.
  const std::vector<std::tuple<ParBuild, int64_t, int64_t>> regions = {
      {ParBuild::kB37, 60001, 2699520},
      {ParBuild::kB37, 154931044, 155260560},
      {ParBuild::kB38, 10001, 2781479},
      {ParBuild::kB38, 155701383, 156030895},
  };
  for (const auto& [build, first, last] : regions) {
    SCOPED_TRACE(first);
    EXPECT_EQ(classify_site("X", first, build), SiteKind::kAutosomal);
    EXPECT_EQ(classify_site("chrX", last, build), SiteKind::kAutosomal);
    EXPECT_EQ(classify_site("X", first - 1, build), SiteKind::kXNonPar);
    EXPECT_EQ(classify_site("23", last + 1, build), SiteKind::kXNonPar);
    EXPECT_EQ(classify_site("X", first, ParBuild::kNone), SiteKind::kXNonPar);
  }
  // A b38 region is not one in b37, nor the other way.
  EXPECT_EQ(classify_site("X", 20000, ParBuild::kB37), SiteKind::kXNonPar);
  EXPECT_EQ(classify_site("X", 20000, ParBuild::kB38), SiteKind::kAutosomal);
  EXPECT_EQ(classify_site("X", 2750000, ParBuild::kB37), SiteKind::kXNonPar);
  EXPECT_EQ(classify_site("X", 155000000, ParBuild::kB38), SiteKind::kXNonPar);
  // Off X the position does not matter.
  EXPECT_EQ(classify_site("XY", 5, ParBuild::kNone), SiteKind::kAutosomal);
  EXPECT_EQ(classify_site("Y", 20000, ParBuild::kB38), SiteKind::kY);
  EXPECT_EQ(classify_site("chrM", 20000, ParBuild::kB38), SiteKind::kMito);
  EXPECT_EQ(classify_site("7", 20000, ParBuild::kB38), SiteKind::kAutosomal);

  ParBuild b = ParBuild::kNone;
  EXPECT_TRUE(parse_par_build("b37", b));
  EXPECT_EQ(b, ParBuild::kB37);
  EXPECT_TRUE(parse_par_build("none", b));
  EXPECT_EQ(b, ParBuild::kNone);
  EXPECT_TRUE(parse_par_build("b38", b));
  EXPECT_EQ(b, ParBuild::kB38);
  for (const char* bad : {"B38", "hg38", "", "b36"}) EXPECT_FALSE(parse_par_build(bad, b));
  EXPECT_EQ(kDefaultParBuild, ParBuild::kB38);
}

TEST(Chromosome, MaleCallsOnX) {
  struct Case {
    int32_t ploidy, first, second;
    MaleCallKind kind;
    int32_t allele;
  };
  for (const Case& c : std::vector<Case>{
           {1, 0, -1, MaleCallKind::kOneCopy, 0},       // 0
           {1, 2, -1, MaleCallKind::kOneCopy, 2},       // 2
           {1, -1, -1, MaleCallKind::kMissing, -1},     // .
           {2, 1, 1, MaleCallKind::kOneCopy, 1},        // 1/1: one copy, not two
           {2, 0, 0, MaleCallKind::kOneCopy, 0},        // 0/0
           {2, 0, 1, MaleCallKind::kHeterozygous, -1},  // 0/1: an error call
           {2, 2, 1, MaleCallKind::kHeterozygous, -1},  // 2|1
           {2, 0, -1, MaleCallKind::kMissing, -1},      // 0/.
           {2, -1, -1, MaleCallKind::kMissing, -1},     // ./.
           {3, 0, 0, MaleCallKind::kMissing, -1},       // 0/0/0
           {0, 0, 0, MaleCallKind::kMissing, -1},
       }) {
    SCOPED_TRACE(std::to_string(c.ploidy) + " " + std::to_string(c.first) + " " +
                 std::to_string(c.second));
    const MaleCall m = count_male_x_call(c.ploidy, c.first, c.second);
    EXPECT_EQ(m.kind, c.kind);
    if (c.kind == MaleCallKind::kOneCopy) {
      EXPECT_EQ(m.allele, c.allele);
    }
  }
}

}  // namespace
