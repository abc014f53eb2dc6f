// The --sex file: codes, .fam files, the lines that fail and why, and the
// sexes of a data set's samples.
#include "sex/sex_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "report/temp_dir.h"

namespace {

SexFile read_text(const std::string& text) {
  TempDir dir;
  return read_sex_file(dir.write("sex.txt", text).c_str());
}

TEST(SexFile, CodesInAnyCaseTabsAndSpaces) {
  const SexFile f = read_text(
      "# samples\n"
      "s1\t1\n"
      "s2 M\n"
      "  s3 \t male  \r\n"
      "\n"
      "s4 2\ns5 f\ns6 FEMALE\ns7 0\ns8 na\ns9 Unknown");  // no newline at the end
  ASSERT_EQ(f.failure.status, SexFileStatus::kOk) << describe_sex_failure(f.failure);
  EXPECT_FALSE(f.fam);
  const std::vector<Sex> want = {Sex::kMale,    Sex::kMale,    Sex::kMale,
                                 Sex::kFemale,  Sex::kFemale,  Sex::kFemale,
                                 Sex::kUnknown, Sex::kUnknown, Sex::kUnknown};
  ASSERT_EQ(f.entries.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(f.entries[i].id, std::string("s").append(std::to_string(i + 1)));
    EXPECT_EQ(f.entries[i].sex, want[i]) << i;
  }
  Sex s;
  for (const char* bad : {"3", "-9", "x", "males", "", "mal"}) EXPECT_FALSE(parse_sex_code(bad, s));
}

TEST(SexFile, ReadsPlinkFamAndPsamHeaders) {
  const SexFile fam = read_text("fam1 ind1 0 0 1 -9\nfam1 ind2 0 0 2 2\nfam2 ind3 ind1 ind2 0 1\n");
  ASSERT_EQ(fam.failure.status, SexFileStatus::kOk) << describe_sex_failure(fam.failure);
  EXPECT_TRUE(fam.fam);
  ASSERT_EQ(fam.entries.size(), 3u);
  EXPECT_EQ(fam.entries[0].id, "ind1");
  EXPECT_EQ(fam.entries[0].sex, Sex::kMale);
  EXPECT_EQ(fam.entries[1].sex, Sex::kFemale);
  EXPECT_EQ(fam.entries[2].sex, Sex::kUnknown);
  // A .psam of IID and SEX reads as a plain file under its # header.
  const SexFile psam = read_text("#IID\tSEX\nA\t2\nB\t1\n");
  ASSERT_EQ(psam.failure.status, SexFileStatus::kOk);
  ASSERT_EQ(psam.entries.size(), 2u);
  EXPECT_EQ(psam.entries[1].sex, Sex::kMale);
}

TEST(SexFile, FailuresNameTheLine) {
  struct Case {
    const char* text;
    SexFileStatus status;
    uint64_t line;
    const char* words;
  };
  for (const Case& c : std::vector<Case>{
           {"a 1\nb 2 extra\n", SexFileStatus::kFieldCount, 2,
            "line 2: 3 fields where a line has 2 (sample ID and sex), or 6 for a .fam"},
           {"a\n", SexFileStatus::kFieldCount, 1, "line 1: 1 fields"},
           {"f a 0 0 1 1\nb 2\n", SexFileStatus::kFieldCount, 2,
            "line 2: 2 fields where a .fam line has 6"},
           {"a 1\n\nb X\n", SexFileStatus::kUnknownCode, 3,
            "line 3: unknown sex code \"X\" (1/M/male, 2/F/female, 0/NA/unknown)"},
           {"f a 0 0 -9 1\n", SexFileStatus::kUnknownCode, 1, "unknown sex code \"-9\""},
           {"a 1\nb 2\na 2\n", SexFileStatus::kDuplicateId, 3,
            "line 3: sample \"a\" listed twice (first on line 1)"},
           {"# only a comment\n\n", SexFileStatus::kNoSamples, 0, "no samples in the sex file"},
           {"", SexFileStatus::kNoSamples, 0, "no samples"},
       }) {
    SCOPED_TRACE(c.text);
    const SexFile f = read_text(c.text);
    EXPECT_EQ(f.failure.status, c.status);
    EXPECT_EQ(f.failure.line, c.line);
    EXPECT_TRUE(f.entries.empty());
    EXPECT_NE(describe_sex_failure(f.failure).find(c.words), std::string::npos)
        << describe_sex_failure(f.failure);
  }
  const SexFile missing = read_sex_file("/nonexistent/sex.txt");
  EXPECT_EQ(missing.failure.status, SexFileStatus::kCannotOpen);
  EXPECT_EQ(describe_sex_failure(missing.failure), "cannot open the sex file");
}

TEST(SexFile, AssignsTheDataSamples) {
  const std::vector<SexEntry> entries = {
      {"m1", Sex::kMale}, {"ghost", Sex::kFemale}, {"f1", Sex::kFemale}, {"u1", Sex::kUnknown}};
  const SampleSexes s = assign_sexes(entries, {"f1", "x", "m1", "u1"});
  EXPECT_EQ(s.of_sample,
            (std::vector<Sex>{Sex::kFemale, Sex::kUnknown, Sex::kMale, Sex::kUnknown}));
  EXPECT_EQ(s.absent, std::vector<std::string>{"ghost"});
  EXPECT_EQ(s.males, 1);
  EXPECT_EQ(s.females, 1);
  EXPECT_EQ(s.unknown, 2);  // u1 by its code, x by its absence from the file
}

}  // namespace
