#include "genotype/genotype_parse.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

#include "genotype/genotype_test_util.h"

namespace {

using Status = GenotypeParseStatus;

int32_t total_count(const GenotypeParse& p) {
  int64_t sum = 0;
  for (size_t pos = 0; pos < p.table.size; ++pos) sum += p.table[pos].count;
  return static_cast<int32_t>(sum);
}

// Cells other than the listed positions must be all zero.
void expect_only_cells(const GenotypeParse& p, std::initializer_list<int32_t> used) {
  for (size_t pos = 0; pos < p.table.size; ++pos) {
    bool listed = false;
    for (int32_t u : used) listed = listed || static_cast<size_t>(u) == pos;
    if (listed) continue;
    const GenotypeCell& c = p.table[pos];
    EXPECT_TRUE(c.count == 0 && c.allele1 == 0 && c.allele2 == 0)
        << "cell " << pos;
  }
}

class SampleFile : public ::testing::TestWithParam<const char*> {};

TEST_P(SampleFile, FillsTheFiveGenotypeCells) {
  std::string text;
  for (const char* record : {"bc:1", "aa:10", "eg:25", "ad:16", "bd:1"})
    text += std::string(record) + GetParam();
  const GenotypeParse p = parse_text(text);
  ASSERT_EQ(p.status, Status::kOk);
  EXPECT_EQ(p.k, 39);
  EXPECT_EQ(p.table.size, 780u);
  EXPECT_EQ(p.two_n, 106);
  EXPECT_EQ(p.table[760].count, 1);
  EXPECT_EQ(p.table[752].count, 10);
  EXPECT_EQ(p.table[776].count, 25);
  EXPECT_EQ(p.table[755].count, 16);
  EXPECT_EQ(p.table[761].count, 1);
  EXPECT_EQ(p.table[776].allele1, 'e');
  EXPECT_EQ(p.table[776].allele2, 'g');
  EXPECT_EQ(p.table[752].allele1, 'a');
  EXPECT_EQ(p.table[752].allele2, 'a');
  expect_only_cells(p, {752, 755, 760, 761, 776});
}

INSTANTIATE_TEST_SUITE_P(LineEnds, SampleFile,
                         ::testing::Values("\n", "\r\n", "\n\r", "\r", " ", "\n\n  \t", "\v\f"));

TEST(GenotypeParse, UpperCaseSampleHasSevenAlleles) {
  const GenotypeParse p = parse_text("BC:1\nAA:10\nEG:25\nAD:16\nBD:1\n");
  ASSERT_EQ(p.status, Status::kOk);
  EXPECT_EQ(p.k, 7);
  EXPECT_EQ(p.table.size, 28u);
  EXPECT_EQ(p.two_n, 106);
  EXPECT_EQ(cell_of(p, 'E', 'G').count, 25);
}

TEST(GenotypeParse, ReversedGenotypeIsStoredLowerIndexFirst) {
  const GenotypeParse p = parse_text("ba:4\n");
  ASSERT_EQ(p.status, Status::kOk);
  const GenotypeCell& c = p.table[tri_index(32, 33, p.k)];
  EXPECT_EQ(c.count, 4);
  EXPECT_EQ(c.allele1, 'a');
  EXPECT_EQ(c.allele2, 'b');
}

TEST(GenotypeParse, UpperAndLowerCaseAreDifferentAlleles) {
  const GenotypeParse p = parse_text("aA:5");
  ASSERT_EQ(p.status, Status::kOk);
  EXPECT_EQ(p.k, 33);
  EXPECT_EQ(p.table[tri_index(0, 32, 33)].allele1, 'A');
  EXPECT_EQ(p.table[tri_index(0, 32, 33)].allele2, 'a');
}

TEST(GenotypeParse, DuplicateKeepsTheCharactersAsWritten) {
  const GenotypeParse p = parse_text("ab:3\nba:2\n");
  EXPECT_EQ(p.status, Status::kDuplicateEntry);
  EXPECT_EQ(p.c1, 'b');
  EXPECT_EQ(p.c2, 'a');
  EXPECT_EQ(p.table.data, nullptr);
}

TEST(GenotypeParse, ZeroOrMissingCountIsNoDuplicate) {
  GenotypeParse p = parse_text("aa:0\naa:7\n");
  ASSERT_EQ(p.status, Status::kOk);
  EXPECT_EQ(cell_of(p, 'a', 'a').count, 7);
  EXPECT_EQ(p.two_n, 14);

  p = parse_text("aa:5\nbb:\nbb:3\n");
  ASSERT_EQ(p.status, Status::kOk);
  EXPECT_EQ(cell_of(p, 'b', 'b').count, 3);
}

TEST(GenotypeParse, FirstRecordMustBeLettersSeparatorDigit) {
  for (const char* text : {"aa: 10", "aa:+10", "aa:\n10", "a1:5", "1a:5", "aa;5", "aa:x",
                           "", "\n\n  ", "aa:", "ab", "[a:5", "\xC0\xC0:5", "a :5"}) {
    const GenotypeParse p = parse_text(text);
    EXPECT_EQ(p.status, Status::kNotInputFile) << '"' << text << '"';
    EXPECT_EQ(p.table.data, nullptr);
  }
}

TEST(GenotypeParse, BlankLinesBeforeFirstRecordAndDashSeparator) {
  GenotypeParse p = parse_text("\n\n   \t\naa-10");
  ASSERT_EQ(p.status, Status::kOk);
  EXPECT_EQ(cell_of(p, 'a', 'a').count, 10);

  p = parse_text("bb:1\naa-10\n");
  ASSERT_EQ(p.status, Status::kOk);
  EXPECT_EQ(cell_of(p, 'a', 'a').count, 10);
}

TEST(GenotypeParse, LaterRecordsTakeSpaceSignAndLineEndBeforeCount) {
  const GenotypeParse p = parse_text("aa:1\nbb: 10\ncc:+10\ndd:\n\n10\nee:\t-0\n");
  ASSERT_EQ(p.status, Status::kOk);
  EXPECT_EQ(cell_of(p, 'b', 'b').count, 10);
  EXPECT_EQ(cell_of(p, 'c', 'c').count, 10);
  EXPECT_EQ(cell_of(p, 'd', 'd').count, 10);
  EXPECT_EQ(cell_of(p, 'e', 'e').count, 0);
  EXPECT_EQ(cell_of(p, 'e', 'e').allele1, 'e');
  EXPECT_EQ(p.two_n, 62);
}

TEST(GenotypeParse, BadSeparatorEndsReadingInBothPasses) {
  const GenotypeParse p = parse_text("aa:10\nbb;4\ncc:2\n");
  ASSERT_EQ(p.status, Status::kOk);
  EXPECT_EQ(p.k, 33);  // "c" of the ignored record does not widen the table
  EXPECT_EQ(p.two_n, 20);
  expect_only_cells(p, {tri_index(32, 32, 33)});
}

TEST(GenotypeParse, RecordsNeedNothingBetweenThem) {
  const GenotypeParse p = parse_text("aa:10bb:3");
  ASSERT_EQ(p.status, Status::kOk);
  EXPECT_EQ(cell_of(p, 'a', 'a').count, 10);
  EXPECT_EQ(cell_of(p, 'b', 'b').count, 3);
  EXPECT_EQ(p.two_n, 26);
}

TEST(GenotypeParse, TrailingWhiteSpaceAndMissingFinalLineEnd) {
  GenotypeParse p = parse_text("aa:10\n\n  bb:3   \n\n\t \n");
  ASSERT_EQ(p.status, Status::kOk);
  EXPECT_EQ(p.two_n, 26);
  p = parse_text("aa:10\nbb:3");
  ASSERT_EQ(p.status, Status::kOk);
  EXPECT_EQ(cell_of(p, 'b', 'b').count, 3);
}

TEST(GenotypeParse, SeparatorAtTheVeryEndSetsLettersOnly) {
  const GenotypeParse p = parse_text("aa:5\nbb:");
  ASSERT_EQ(p.status, Status::kOk);
  EXPECT_EQ(p.k, 34);
  EXPECT_EQ(cell_of(p, 'b', 'b').count, 0);
  EXPECT_EQ(cell_of(p, 'b', 'b').allele1, 'b');
  EXPECT_EQ(cell_of(p, 'b', 'b').allele2, 'b');
  EXPECT_EQ(p.two_n, 10);
}

TEST(GenotypeParse, IncompleteLastRecordIsIgnored) {
  for (const char* text : {"aa:5\nb", "aa:5\nbb", "aa:5 \n bc"}) {
    const GenotypeParse p = parse_text(text);
    ASSERT_EQ(p.status, Status::kOk) << text;
    EXPECT_EQ(p.k, 33) << text;
  }
}

TEST(GenotypeParse, CtrlZEndsTheData) {
  const GenotypeParse p = parse_text("aa:5\nbb:3\x1A\ncc:4\n");
  ASSERT_EQ(p.status, Status::kOk);
  EXPECT_EQ(p.k, 34);
  EXPECT_EQ(p.two_n, 16);
}

TEST(GenotypeParse, AllZeroCountsGiveZeroCopies) {
  const GenotypeParse p = parse_text("aa:0\nab:0\n");
  ASSERT_EQ(p.status, Status::kOk);
  EXPECT_EQ(p.two_n, 0);
}

TEST(GenotypeParse, CountThatIsNotANumberIsReadAgainAsNextRecord) {
  GenotypeParse p = parse_text("aa:7\nbb:\ncc:5\n");
  ASSERT_EQ(p.status, Status::kOk);
  EXPECT_EQ(cell_of(p, 'b', 'b').count, 0);
  EXPECT_EQ(cell_of(p, 'b', 'b').allele1, 'b');
  EXPECT_EQ(cell_of(p, 'c', 'c').count, 5);

  p = parse_text("aa:7\nbb:cc:5");
  ASSERT_EQ(p.status, Status::kOk);
  EXPECT_EQ(cell_of(p, 'c', 'c').count, 5);
}

TEST(GenotypeParse, LoneSignIsReadAgainAndEndsAtTheMalformedRecord) {
  // "-\nc" is the next record head; its third byte is no separator.
  GenotypeParse p = parse_text("aa:7\nbb:-\ncc:5\n");
  ASSERT_EQ(p.status, Status::kOk);
  EXPECT_EQ(p.k, 34);
  EXPECT_EQ(p.two_n, 14);
  EXPECT_EQ(cell_of(p, 'b', 'b').allele1, 'b');

  // Here the sign lands in an allele position and has no allele index.
  p = parse_text("aa:7\nbb:+c:5\n");
  EXPECT_EQ(p.status, Status::kNoAlleleIndex);
}

TEST(GenotypeParse, CharactersUpToC0AreAlleles) {
  GenotypeParse p = parse_text("aa:1\n[{:2\n");
  ASSERT_EQ(p.status, Status::kOk);
  EXPECT_EQ(p.k, 59);
  EXPECT_EQ(p.table[tri_index(26, 58, 59)].count, 2);

  p = parse_text("aa:1\n\xC0\xC0:2\n");
  ASSERT_EQ(p.status, Status::kOk);
  EXPECT_EQ(p.k, 128);
  EXPECT_EQ(p.table.size, 8256u);
  EXPECT_EQ(p.table[8255].count, 2);
  EXPECT_EQ(p.table[8255].allele1, '\xC0');
}

TEST(GenotypeParse, LaterRecordWithoutAlleleIndexIsRejected) {
  for (const char* bad : {"a1:5", "1a:5", "a\xC1:5", "a :5", "@a:5"}) {
    std::string t = "aa:5\nbb:2\n" + std::string(bad) + "\ncc:1\n";
    const GenotypeParse p = parse_text(t);
    EXPECT_EQ(p.status, Status::kNoAlleleIndex) << bad;
    EXPECT_EQ(t.substr(p.record_start, p.record_end - p.record_start), bad);
    EXPECT_EQ(p.table.data, nullptr);
  }
}

TEST(GenotypeParse, NegativeCountIsRejected) {
  const GenotypeParse p = parse_text("aa:5\nbb:-3\n");
  EXPECT_EQ(p.status, Status::kNegativeCount);
  EXPECT_EQ(p.c1, 'b');
  EXPECT_EQ(p.record_end - p.record_start, 5u);
}

TEST(GenotypeParse, CountsMustFitTheAlleleCopyCounter) {
  GenotypeParse p = parse_text("aa:1073741823");
  ASSERT_EQ(p.status, Status::kOk);
  EXPECT_EQ(p.two_n, 2147483646);

  EXPECT_EQ(parse_text("aa:1073741824").status, Status::kTotalTooLarge);
  EXPECT_EQ(parse_text("aa:2147483647").status, Status::kTotalTooLarge);
  EXPECT_EQ(parse_text("aa:2147483648").status, Status::kCountTooLarge);
  EXPECT_EQ(parse_text("aa:4294967306").status, Status::kCountTooLarge);  // 2^32 + 10
  EXPECT_EQ(parse_text("aa:1\nbb:99999999999999999999999999\n").status, Status::kCountTooLarge);

  p = parse_text("aa:1000000000\nbb:73741823\ncc:1\n");
  EXPECT_EQ(p.status, Status::kTotalTooLarge);
  EXPECT_EQ(p.c1, 'c');
}

TEST(GenotypeParse, FirstProblemInRecordOrderIsReported) {
  EXPECT_EQ(parse_text("aa:5\naa:1\nb1:1\n").status, Status::kDuplicateEntry);
  EXPECT_EQ(parse_text("aa:5\nb1:1\naa:1\n").status, Status::kNoAlleleIndex);
  // After a malformed record nothing more is looked at.
  EXPECT_EQ(parse_text("aa:5\nbb;1\naa:1\nb1:-4\n").status, Status::kOk);
}

// Random text of genotype-like bytes: the parser never reads or writes out
// of bounds (run under the sanitizer build) and every table it returns is
// consistent with its k and two_n.
TEST(GenotypeParse, RandomTextKeepsTheInvariants) {
  const std::string alphabet = "aAbBzZ[{:-:- \n\t+-0123456789\xC0\xC1\x1A\r\x01";
  std::mt19937 gen(12345);
  int accepted = 0;
  for (int round = 0; round < 3000; ++round) {
    std::string text = "ab:1";
    const size_t length = gen() % 40;
    for (size_t i = 0; i < length; ++i) text += alphabet[gen() % alphabet.size()];
    const GenotypeParse p = parse_text(text);
    if (p.status != Status::kOk) {
      EXPECT_EQ(p.table.data, nullptr);
      continue;
    }
    ++accepted;
    ASSERT_GE(p.k, 34);
    ASSERT_LE(p.k, 128);
    ASSERT_EQ(p.table.size, static_cast<size_t>(cell_count_for(p.k)));
    EXPECT_EQ(p.two_n, 2 * total_count(p));
    for (size_t pos = 0; pos < p.table.size; ++pos) {
      const GenotypeCell& c = p.table[pos];
      ASSERT_GE(c.count, 0);
      if (c.count != 0) {
        ASSERT_NE(c.allele1, 0);
      }
      if (c.allele1 != 0) {
        const int32_t i = allele_index(static_cast<unsigned char>(c.allele1));
        const int32_t j = allele_index(static_cast<unsigned char>(c.allele2));
        ASSERT_LE(i, j);
        ASSERT_EQ(static_cast<size_t>(tri_index(i, j, p.k)), pos);
      }
    }
  }
  EXPECT_GT(accepted, 100);
}

}  // namespace
