// Every way a fileset can be malformed gets its status, the file at fault,
// the line and a reason that says what is wrong; and what PLINK allows
// (monomorphic variants without A1, repeated IIDs of different families,
// blank lines, CRLF) is read.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plink/plink_test_files.h"

namespace {

const char* const kFam = "fa a 0 0 1 1\nfa b 0 0 2 2\nfb c 0 0 0 -9\n";
const char* const kBim = "1 rs1 0 100 A G\n1 rs2 0.5 200 C T\n2 rs3 0 300 G T\n";
const std::vector<std::vector<int>> kCodes = {{0, 1, 2}, {3, 3, 2}, {1, 0, 0}};

struct Fileset {
  TempDir dir;
  PlinkPaths paths;
  explicit Fileset(const std::string& fam = kFam, const std::string& bim = kBim,
                   const std::vector<std::vector<int>>& codes = kCodes)
      : paths(write_fileset(dir, "set", fam, bim, codes)) {}
  void bed(const std::string& bytes) const { dir.write("set.bed", bytes); }
};

void expect_failure(const PlinkFailure& f, PlinkStatus status, const std::string& file,
                    uint64_t line, const std::string& words) {
  EXPECT_EQ(f.status, status) << describe_plink_failure(f);
  EXPECT_EQ(f.file, file);
  EXPECT_EQ(f.line, line) << describe_plink_failure(f);
  EXPECT_NE(describe_plink_failure(f).find(words), std::string::npos) << describe_plink_failure(f);
}

TEST(PlinkFailure, BedFilesThatAreNotSnpMajorOrOfTheWrongSize) {
  const Fileset good;
  const std::string bytes = read_bytes(good.paths.bed);  // 3 + 1 x 3
  ASSERT_EQ(bytes.size(), 6u);
  struct Case {
    std::string bytes;
    PlinkStatus status;
    std::string words;
  };
  const Case cases[] = {
      {"\x6c\x1c\x01" + bytes.substr(3), PlinkStatus::kNotBed,
       "does not start with the bytes 0x6c 0x1b"},
      {"#fileformat=VCF", PlinkStatus::kNotBed, "not a PLINK .bed"},
      {std::string("\x6c\x1b\x00", 3) + bytes.substr(3), PlinkStatus::kIndividualMajor,
       "individual-major"},
      {"\x6c\x1b\x02" + bytes.substr(3), PlinkStatus::kNotBed, "mode byte is 0x02"},
      {bytes + std::string(1, '\0'), PlinkStatus::kBadBedSize,
       "7 bytes, but 3 samples (.fam) and 3 variants (.bim) take 3 + 1 x 3 = 6"},
      {bytes.substr(0, 5), PlinkStatus::kBadBedSize, "truncated: 5 bytes hold 2 of the variants"},
      {"\x6c\x1b", PlinkStatus::kBadBedSize, "truncated: 2 bytes, not even the 3-byte header"},
      {"", PlinkStatus::kBadBedSize, "truncated: 0 bytes"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.words);
    const Fileset f;
    f.bed(c.bytes);
    expect_failure(read_plink_flat(f.paths).failure, c.status, f.paths.bed, 0, c.words);
  }
}

TEST(PlinkFailure, BimLinesNamedByLine) {
  struct Case {
    std::string bim;
    uint64_t line;
    std::string words;
  };
  const Case cases[] = {
      {"1 rs1 0 100 A G\n\n1 rs2 0 200 C\n2 rs3 0 300 G T\n", 3,
       "expected 6 fields (chromosome, ID, cM, position, A1, A2), found 5"},
      {"1 rs1 0 100 A G\n1 rs2 0 200 C T x\n2 rs3 0 300 G T\n", 2, "found 7"},
      {"1 rs1 0 100 A G\n1 rs2 0 2e5 C T\n2 rs3 0 300 G T\n", 2,
       "the position \"2e5\" is not a whole number"},
      {"1 rs1 0 100 A G\n1 rs2 0 200 C T\n2 rs3 0 3000000000 G T\n", 3,
       "\"3000000000\" is not a whole number"},
      {"1 rs1 cM 100 A G\n1 rs2 0 200 C T\n2 rs3 0 300 G T\n", 1,
       "the cM position \"cM\" is not a number"},
      {"1 rs1 0 100 A G\n1 rs2 0 200 T T\n2 rs3 0 300 G T\n", 2, "A1 and A2 are both \"T\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.words);
    const Fileset f(kFam, c.bim);
    expect_failure(read_plink_flat(f.paths).failure, PlinkStatus::kBadBim, f.paths.bim, c.line,
                   c.words);
  }
}

TEST(PlinkFailure, FamLinesNamedByLine) {
  struct Case {
    std::string fam;
    uint64_t line;
    std::string words;
  };
  const Case cases[] = {
      {"fa a 0 0 1 1\nfa b 0 0 2\nfb c 0 0 0 -9\n", 2,
       "expected 6 fields (FID, IID, father, mother, sex, phenotype), found 5"},
      {"fa a 0 0 1 1\nfa b 0 0 x 1\nfb c 0 0 0 -9\n", 2,
       "sex (column 5) is \"x\", not 1 (male), 2 (female) or 0 (unknown)"},
      {"fa a 0 0 1 1\n\nfa b 0 0 2 1\nfa a 0 0 0 -9\n", 4,
       "FID \"fa\" and IID \"a\" listed twice (first on line 1)"},
      // IIDs repeat, so FID_IID: and a_b_c names two samples.
      {"a_b c 0 0 1 1\nx c 0 0 2 1\na b_c 0 0 0 -9\n", 3,
       "\"a_b_c\" names two samples (first on line 1)"},
      {"\n \n", 0, "lists no samples"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.words);
    const Fileset f(c.fam);
    expect_failure(read_plink_flat(f.paths).failure, PlinkStatus::kBadFam, f.paths.fam, c.line,
                   c.words);
  }
  // A quantitative phenotype is only wrong when it is to make case and control groups.
  const Fileset f("fa a 0 0 1 1\nfa b 0 0 2 2.5\nfb c 0 0 0 -9\n");
  EXPECT_TRUE(plink_ok(read_plink_flat(f.paths).failure));
  PlinkReadOptions options;
  options.by_phenotype = true;
  expect_failure(read_plink_flat(f.paths, options).failure, PlinkStatus::kBadFam, f.paths.fam, 2,
                 "quantitative");
  const std::vector<PopsEntry> pops = {{"a", "x"}};
  options.pops = &pops;
  EXPECT_EQ(read_plink_flat(f.paths, options).failure.status, PlinkStatus::kBadOptions);
}

TEST(PlinkFailure, FilesThatCannotBeOpened) {
  for (int missing = 0; missing < 3; ++missing) {
    const Fileset f;
    const std::string& path = missing == 0 ? f.paths.bed : missing == 1 ? f.paths.bim : f.paths.fam;
    ASSERT_EQ(std::remove(path.c_str()), 0);
    expect_failure(read_plink_flat(f.paths).failure, PlinkStatus::kCannotOpen, path, 0,
                   "cannot open");
  }
}

// A1 of 0 is a monomorphic variant; genotypes that carry it are at fault.
TEST(PlinkFailure, NoAlleleA1IsMonomorphicUnlessCarried) {
  const std::string bim = "1 rs1 0 100 0 G\n1 rs2 0 200 0 0\n1 rs3 0 300 . C\n";
  const Fileset f(kFam, bim, {{3, 1, 3}, {1, 1, 3}, {3, 3, 3}});
  const PlinkFlat got = read_plink_flat(f.paths);
  ASSERT_TRUE(plink_ok(got.failure)) << describe_plink_failure(got.failure);
  ASSERT_EQ(got.units.size(), 3u);
  const std::string ref_alt[3][2] = {{"G", "."}, {"N", "."}, {"C", "."}};
  const int32_t n[3] = {2, 1, 3};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(got.units[i].ref, ref_alt[i][0]);
    EXPECT_EQ(got.units[i].alt, ref_alt[i][1]);
    EXPECT_EQ(got.units[i].k, 1);
    EXPECT_EQ(got.units[i].counts, std::vector<int32_t>{n[i]});
    EXPECT_EQ(got.units[i].missing, 3 - n[i]);
  }
  // A heterozygote (10) on rs2, after a block already handed out.
  const Fileset carried(kFam, bim, {{3, 1, 3}, {1, 2, 3}, {3, 3, 3}});
  const PlinkFlat bad = read_plink_flat(carried.paths, {}, 1);
  expect_failure(
      bad.failure, PlinkStatus::kBadGenotypes, carried.paths.bed, 0,
      "variant 2 (rs2, line 2 of the .bim): 1 samples carry A1, which the .bim gives as no allele");
  EXPECT_EQ(bad.units.size(), 1u);
}

// What PLINK writes and reads besides the plain form.
TEST(PlinkFailure, BlankLinesCrlfAndIidsOfSeveralFamilies) {
  const Fileset f("fa a 0 0 1 1\r\n\r\nfb a 0 0 2 2\r\nfb c 0 0 0 -9\r\n",
                  "1\trs1\t0\t100\tA\tG\r\n\n1  rs2  0.5  200  C  T\n2 rs3 0 300 G T");
  PlinkReader reader;
  ASSERT_TRUE(plink_ok(open_plink(f.paths, {}, reader)));
  EXPECT_EQ(fam_names(reader.fam), (std::vector<std::string>{"fa_a", "fb_a", "fb_c"}));
  EXPECT_EQ(fam_sexes(reader.fam),
            (std::vector<FamSex>{FamSex::kMale, FamSex::kFemale, FamSex::kUnknown}));
  PlinkBlock block;
  ASSERT_TRUE(plink_ok(read_plink_block(reader, block, 10)));
  ASSERT_EQ(block.block.sites.size(), 3u);
  EXPECT_EQ(block.block.sites[1].record, 3u);  // the .bim line
  EXPECT_EQ(site_id(block.block, block.block.sites[2]), "rs3");
  EXPECT_EQ(site_alt(block.block, block.block.sites[0]), "A");
  ASSERT_TRUE(plink_ok(read_plink_block(reader, block, 10)));
  EXPECT_TRUE(block.block.sites.empty());
}

}  // namespace
