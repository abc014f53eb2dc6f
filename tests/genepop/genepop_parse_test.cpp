#include "genepop/genepop_parse.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <ostream>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "genotype/genotype_table.h"

#include "genepop/genepop_test_util.h"

namespace {

using Status = GenepopStatus;
using V = std::vector<int32_t>;

void expect_tally(const GenepopTally& t, const V& codes, const V& copies, const V& counts,
                  int32_t n, int32_t missing) {
  EXPECT_EQ(t.allele_codes, codes);
  EXPECT_EQ(t.allele_copies, copies);
  EXPECT_EQ(t.genotype_counts, counts);
  EXPECT_EQ(t.n, n);
  EXPECT_EQ(t.missing, missing);
}

TEST(GenepopRead, MissingAllelesLeaveTheIndividualOutOfThatLocusOnly) {
  const GenepopRead r = read_genepop_data("missing.gen");
  ASSERT_EQ(r.status, Status::kOk) << describe_genepop_failure(r);
  const GenepopData& d = r.data;
  EXPECT_EQ(d.title, "Missing data, half-missing genotypes");
  EXPECT_EQ(d.loci, (std::vector<std::string>{"Loc1", "Loc2"}));
  EXPECT_EQ(d.populations, 2);
  ASSERT_EQ(d.tallies.size(), 4u);
  expect_tally(tally_at(d, 1, 0), {1, 2}, {3, 3}, {1, 1, 1}, 3, 1);
  expect_tally(tally_at(d, 1, 1), {2, 3}, {1, 3}, {0, 1, 1}, 2, 2);
  expect_tally(tally_at(d, 2, 0), {1}, {4}, {2}, 2, 0);
  expect_tally(tally_at(d, 2, 1), {2}, {4}, {2}, 2, 0);
  // Population names come from the first individual, trimmed; the tab-
  // separated second individual counts like the others.
  EXPECT_EQ(tally_at(d, 1, 1).pop_name, "ind1");
  EXPECT_EQ(tally_at(d, 2, 0).pop_name, "b1");
  EXPECT_EQ(tally_at(d, 2, 1).population, 2);
  EXPECT_EQ(tally_at(d, 2, 1).locus, 1);
  EXPECT_EQ(tally_at(d, 2, 1).locus_name, "Loc2");
}

TEST(GenepopRead, EachLocusKeepsItsOwnCodeWidth) {
  const GenepopRead r = read_genepop_data("widths.gen");
  ASSERT_EQ(r.status, Status::kOk) << describe_genepop_failure(r);
  const GenepopData& d = r.data;
  // Names one per line, comma-separated, and a comma continuing the list.
  EXPECT_EQ(d.loci, (std::vector<std::string>{"Short", "Long", "Third", "Fourth"}));
  ASSERT_EQ(d.tallies.size(), 4u);
  expect_tally(tally_at(d, 1, 0), {10, 15}, {4, 2}, {1, 2, 0}, 3, 0);
  expect_tally(tally_at(d, 1, 1), {98, 101, 104}, {1, 2, 3}, {0, 1, 0, 0, 1, 1}, 3, 0);
  expect_tally(tally_at(d, 1, 2), {98, 101}, {1, 1}, {0, 1, 0}, 1, 2);
  expect_tally(tally_at(d, 1, 3), {12, 13}, {3, 3}, {1, 1, 1}, 3, 0);
  EXPECT_EQ(tally_at(d, 1, 0).digits, 2);
  EXPECT_EQ(tally_at(d, 1, 1).digits, 3);
  EXPECT_EQ(tally_at(d, 1, 2).digits, 3);
}

TEST(GenepopRead, CrLfLineEndsReadLikeLf) {
  const GenepopRead r = read_genepop_data("crlf.gen");
  ASSERT_EQ(r.status, Status::kOk) << describe_genepop_failure(r);
  EXPECT_EQ(r.data.title, "CRLF file");
  EXPECT_EQ(r.data.loci, (std::vector<std::string>{"L1", "L2"}));
  expect_tally(tally_at(r.data, 1, 0), {1, 2}, {1, 3}, {0, 1, 1}, 2, 0);
  expect_tally(tally_at(r.data, 1, 1), {1, 2}, {3, 1}, {1, 1, 0}, 2, 0);
  EXPECT_EQ(tally_at(r.data, 1, 1).pop_name, "x1");
}

TEST(GenepopRead, MonomorphicLocusHasOneClass) {
  const GenepopRead r = read_genepop_data("monomorphic.gen");
  ASSERT_EQ(r.status, Status::kOk) << describe_genepop_failure(r);
  expect_tally(tally_at(r.data, 1, 0), {5}, {6}, {3}, 3, 0);
  expect_tally(tally_at(r.data, 1, 1), {1, 2}, {3, 3}, {1, 1, 1}, 3, 0);
}

struct Malformed {
  const char* file;
  Status status;
  size_t line;
  const char* reason;
};

void PrintTo(const Malformed& m, std::ostream* os) { *os << m.file; }

class MalformedFile : public ::testing::TestWithParam<Malformed> {};

TEST_P(MalformedFile, NamesTheLineAndGivesNoData) {
  const Malformed& m = GetParam();
  const GenepopRead r = read_genepop_data(m.file);
  EXPECT_EQ(r.status, m.status);
  EXPECT_EQ(r.line, m.line);
  EXPECT_EQ(describe_genepop_failure(r), m.reason);
  EXPECT_TRUE(r.data.loci.empty());
  EXPECT_TRUE(r.data.tallies.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Files, MalformedFile,
    ::testing::Values(
        // The individual's line is blamed, not the end of the file.
        Malformed{"no_pop.gen", Status::kIndividualBeforePop, 4,
                  "line 4: an individual before the first Pop line (is it missing?)"},
        Malformed{"empty_pop.gen", Status::kEmptyPopulation, 5,
                  "line 5: Pop line without individuals"},
        Malformed{"bad_width.gen", Status::kGenotypeWidth, 6,
                  "line 6: genotype \"01012\" is not 4 or 6 digits"},
        Malformed{"wrong_count.gen", Status::kGenotypeCount, 6,
                  "line 6: 3 genotypes for 2 loci"},
        Malformed{"mixed_width.gen", Status::kMixedWidth, 6,
                  "line 6: genotype \"001001\" at locus \"L1\" has 3-digit alleles, line 4 has "
                  "2-digit alleles"},
        Malformed{"missing_comma.gen", Status::kMissingComma, 6,
                  "line 6: no comma after the individual's name"},
        Malformed{"non_digit.gen", Status::kGenotypeNotDigits, 6,
                  "line 6: genotype \"01O1\" has a character that is not a digit"}),
    [](const ::testing::TestParamInfo<Malformed>& info) {
      const std::string file = info.param.file;
      std::string name;
      for (char c : file.substr(0, file.find('.')))
        if (c != '_') name += c;
      return name;
    });

struct BadText {
  const char* name;
  const char* text;
  Status status;
  size_t line;
};

void PrintTo(const BadText& b, std::ostream* os) { *os << b.name; }

class MalformedText : public ::testing::TestWithParam<BadText> {};

TEST_P(MalformedText, IsRejectedAtItsLine) {
  const GenepopRead r = parse_genepop_text(GetParam().text);
  EXPECT_EQ(r.status, GetParam().status) << describe_genepop_failure(r);
  EXPECT_EQ(r.line, GetParam().line);
  EXPECT_FALSE(r.reason.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MalformedText,
    ::testing::Values(
        BadText{"EmptyFile", "", Status::kEmptyFile, 0},
        BadText{"TitleOnly", "Title only\n", Status::kNoPopLine, 1},
        BadText{"NoLocusNames", "T\nPop\na , 0101\n", Status::kNoLocusNames, 2},
        BadText{"EmptyNameBetweenCommas", "T\nL1,,L2\nPop\na , 0101 0101\n", Status::kEmptyLocusName, 2},
        BadText{"LeadingComma", "T\n, L1\nPop\na , 0101\n", Status::kEmptyLocusName, 2},
        BadText{"LoneComma", "T\nL1\n,\nPop\na , 0101\n", Status::kEmptyLocusName, 3},
        // "Pop" must be the line's only word, the first Pop line too.
        BadText{"PopWithANumber", "T\nL1\nPop\na , 0101\nPop 2\nb , 0101\n", Status::kPopLineWithText, 5},
        BadText{"FirstPopWithANumber", "T\nL1\nL2\nPop 1\na , 0101 0101\n", Status::kPopLineWithText, 4},
        BadText{"MissingFirstPop", "T\nL1\nL2\nL3\na , 0101 0101 0202\n", Status::kIndividualBeforePop, 5},
        BadText{"TitleWithoutLineFeed", "T", Status::kNoPopLine, 1},
        BadText{"EmptyLastPopulation", "T\nL1\nPop\na , 0101\nPop\n\n  \n", Status::kEmptyPopulation, 5},
        BadText{"NoGenotypes", "T\nL1\nPop\na , \n", Status::kGenotypeCount, 4},
        BadText{"DashInGenotype", "T\nL1\nPop\na , 01-1\n", Status::kGenotypeNotDigits, 4},
        BadText{"TwoDigits", "T\nL1\nPop\na , 01\n", Status::kGenotypeWidth, 4},
        BadText{"EightDigits", "T\nL1\nPop\na , 01010101\n", Status::kGenotypeWidth, 4},
        // A missing genotype written with the other width is still a mix.
        BadText{"MissingWithOtherWidth", "T\nL1\nPop\na , 101101\nb , 0000\n", Status::kMixedWidth, 5},
        BadText{"CarriageReturnInLine", "T\nL1\nPop\na , 0101\rb , 0101\n", Status::kStrayCarriageReturn, 4},
        BadText{"CarriageReturnLineEnds", "Old\rMac\rfile\r", Status::kStrayCarriageReturn, 1}),
    [](const ::testing::TestParamInfo<BadText>& info) { return std::string(info.param.name); });

TEST(GenepopParse, ReasonsShowInputOnlyAsShortEscapedText) {
  const GenepopRead r =
      parse_genepop_text("T\nL1\nPop\na , 01\x1b[2J\x07" + std::string(100, '9') + "\n");
  EXPECT_EQ(describe_genepop_failure(r),
            "line 4: genotype \"01\\x1B[2J\\x079999999999999...\" has a character that is not a "
            "digit");
  // A tab cannot reach a quote (it separates genotypes), a locus name can.
  const GenepopRead mixed = parse_genepop_text("T\nL\\1\xff\nPop\na , 0101\nb , 001001\n");
  EXPECT_EQ(describe_genepop_failure(mixed),
            "line 5: genotype \"001001\" at locus \"L\\\\1\\xFF\" has 3-digit alleles, line 4 has "
            "2-digit alleles");
}

TEST(GenepopParse, NumberedLociAndPopWordsInNamesAreNoMistakes) {
  // Numbered loci in a comma list, and a locus whose name starts "Pop"
  // without being the word, stay locus names.
  // An individual may be called "pop 2".
  const GenepopRead r =
      parse_genepop_text("T\n1001, 1002\nPopulus\nPop\npop 2 , 0101 0102 0202\n");
  ASSERT_EQ(r.status, Status::kOk) << describe_genepop_failure(r);
  EXPECT_EQ(r.data.loci, (std::vector<std::string>{"1001", "1002", "Populus"}));
  EXPECT_EQ(r.data.tallies[0].pop_name, "pop 2");
}

TEST(GenepopParse, LinesBeyondTheLimitAreRefusedAtTheirLine) {
  GenepopParser p;
  const size_t title_limit = genepop_line_limit(p);
  EXPECT_FALSE(feed_genepop_line(p, std::string(title_limit + 1, 'T')));
  EXPECT_EQ(describe_genepop_failure(finish_genepop(p)), "line 1: line too long");

  // The title may reach its limit; a later line may be longer than a title.
  GenepopParser q;
  EXPECT_TRUE(feed_genepop_line(q, std::string(title_limit, 'T') + "\r"));
  const size_t limit = genepop_line_limit(q);
  EXPECT_GT(limit, title_limit);
  EXPECT_TRUE(feed_genepop_line(q, std::string(limit, 'L')));
  EXPECT_FALSE(feed_genepop_line(q, std::string(limit + 1, 'L')));
  EXPECT_EQ(describe_genepop_failure(finish_genepop(q)), "line 3: line too long");
}

TEST(GenepopParse, PopLinesInAnyCaseWithBlanksAndBlankLinesBetween) {
  const GenepopRead r = parse_genepop_text(
      "Title, with a comma\n\n L1 \n\n\tpOP \t\n\n  first one\t, 0102\nsecond,0202\n"
      "PoP\nthird , 0303");
  ASSERT_EQ(r.status, Status::kOk) << describe_genepop_failure(r);
  EXPECT_EQ(r.data.title, "Title, with a comma");
  EXPECT_EQ(r.data.loci, (std::vector<std::string>{"L1"}));
  EXPECT_EQ(r.data.populations, 2);
  ASSERT_EQ(r.data.tallies.size(), 2u);
  EXPECT_EQ(r.data.tallies[0].pop_name, "first one");
  EXPECT_EQ(r.data.tallies[0].genotype_counts, (V{0, 1, 1}));
  EXPECT_EQ(r.data.tallies[1].pop_name, "third");
  EXPECT_EQ(r.data.tallies[1].allele_codes, (V{3}));
}

TEST(GenepopParse, LocusWithoutTypedIndividualsHasNoClasses) {
  const GenepopRead r = parse_genepop_text("T\nL1\nL2\nPop\na , 0000 0101\nb , 0100 0202\n");
  ASSERT_EQ(r.status, Status::kOk) << describe_genepop_failure(r);
  const GenepopTally& t = r.data.tallies[0];
  EXPECT_EQ(tally_k(t), 0);
  EXPECT_TRUE(t.genotype_counts.empty());
  EXPECT_EQ(t.n, 0);
  EXPECT_EQ(t.missing, 2);
  EXPECT_EQ(r.data.tallies[1].n, 2);
}

// Random populations against a count kept independently, genotype by
// genotype, including the highest 3-digit code and unordered pairs.
TEST(GenepopParse, TalliesMatchAnIndependentCount) {
  std::mt19937 gen(20261208);
  const int loci = 3;
  const int pops = 4;
  const std::vector<int> pool = {0, 1, 7, 42, 500, 998, 999};
  std::string text = "random\nA,B,C\n";
  // counts[pop][locus][{a, b}] with a <= b, and missing per pop x locus.
  std::vector<std::vector<std::map<std::pair<int, int>, int>>> counts(
      pops, std::vector<std::map<std::pair<int, int>, int>>(loci));
  std::vector<std::vector<int>> missing(pops, std::vector<int>(loci, 0));
  for (int p = 0; p < pops; ++p) {
    text += "Pop\n";
    const int individuals = 1 + static_cast<int>(gen() % 40);
    for (int i = 0; i < individuals; ++i) {
      text.append("i").append(std::to_string(i)).append(" ,");
      for (int l = 0; l < loci; ++l) {
        const int a = pool[gen() % pool.size()];
        const int b = pool[gen() % pool.size()];
        char g[8];
        std::snprintf(g, sizeof g, " %03d%03d", a, b);
        text += g;
        if (a == 0 || b == 0)
          ++missing[p][l];
        else
          ++counts[p][l][{std::min(a, b), std::max(a, b)}];
      }
      text += "\n";
    }
  }
  const GenepopRead r = parse_genepop_text(text);
  ASSERT_EQ(r.status, Status::kOk) << describe_genepop_failure(r);
  for (int p = 0; p < pops; ++p) {
    for (int l = 0; l < loci; ++l) {
      const GenepopTally& t = tally_at(r.data, p + 1, l);
      std::map<int, int> copies;
      int n = 0;
      for (const auto& [g, c] : counts[p][l]) {
        copies[g.first] += c;
        copies[g.second] += c;
        n += c;
      }
      V codes, copy_counts;
      for (const auto& [code, c] : copies) {
        codes.push_back(code);
        copy_counts.push_back(c);
      }
      EXPECT_EQ(t.allele_codes, codes);
      EXPECT_EQ(t.allele_copies, copy_counts);
      EXPECT_EQ(t.n, n);
      EXPECT_EQ(t.missing, missing[p][l]);
      const int32_t k = tally_k(t);
      ASSERT_EQ(t.genotype_counts.size(), static_cast<size_t>(k * (k + 1) / 2));
      for (int32_t i = 0; i < k; ++i)
        for (int32_t j = i; j < k; ++j) {
          const auto it = counts[p][l].find({codes[i], codes[j]});
          EXPECT_EQ(t.genotype_counts[tri_index(i, j, k)], it == counts[p][l].end() ? 0 : it->second)
              << "pop " << p + 1 << " locus " << l << " " << codes[i] << "/" << codes[j];
        }
    }
  }
}

}  // namespace

namespace {

TEST(GenepopParse, AMiscountAtTheFirstIndividualNamesTheLinesTakenForLocusNames) {
  // An individual of one locus before a missing first Pop line reads as
  // locus names ("a" and "0101").
  GenepopRead r = parse_genepop_text("title\nL1\na , 0101\nPop\nb , 0101\n");
  EXPECT_EQ(r.status, GenepopStatus::kGenotypeCount);
  EXPECT_EQ(describe_genepop_failure(r),
            "line 5: 1 genotype for 3 loci, whose names were taken from lines 2 to 3 (is the "
            "first Pop line missing?)");
  r = parse_genepop_text("title\nL1, L2\nPop\nb , 0101 0101 0101\n");
  EXPECT_EQ(describe_genepop_failure(r),
            "line 4: 3 genotypes for 2 loci, whose names were taken from line 2 (is the first "
            "Pop line missing?)");
  // Later individuals have shown the names right.
  r = parse_genepop_text("title\nL1\nL2\nPop\na , 0101 0101\nPop\nb , 0101\n");
  EXPECT_EQ(describe_genepop_failure(r), "line 7: 1 genotype for 2 loci");
}

}  // namespace
