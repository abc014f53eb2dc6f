#include "figures/genotype_counts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

RowGenotypeCounts counts_of(const std::vector<int64_t>& triangle,
                            const std::vector<std::string>& labels) {
  return unit_genotype_counts(
      static_cast<int32_t>(labels.size()),
      [&](int32_t c) { return triangle[static_cast<size_t>(c)]; },
      [&](int32_t i) { return labels[static_cast<size_t>(i)]; });
}

std::string reason_of(std::string_view text) {
  std::string reason;
  EXPECT_FALSE(parse_genotype_counts(text, reason)) << text;
  return reason;
}

TEST(GenotypeCounts, ZeroCellsAreLeftOutAndTwoAllelesAreThoseWithCopies) {
  // Alleles 0 1 2, allele 1 without copies: 0/0 4, 0/2 3, 2/2 1.
  const RowGenotypeCounts c = counts_of({4, 0, 3, 0, 0, 1}, {"0", "1", "2"});
  EXPECT_EQ(c.text, "0/0:4,0/2:3,2/2:1");
  EXPECT_EQ(c.two_allele, (std::array<int64_t, 3>{4, 3, 1}));
  // Three alleles with copies, or one: no two-allele counts.
  EXPECT_EQ(counts_of({1, 1, 0, 0, 0, 1}, {"a", "b", "c"}).two_allele,
            (std::array<int64_t, 3>{-1, -1, -1}));
  const RowGenotypeCounts one = counts_of({7}, {"A"});
  EXPECT_EQ(one.text, "A/A:7");
  EXPECT_EQ(one.two_allele[0], -1);
  EXPECT_EQ(counts_of({0, 0, 0}, {"A", "B"}).text, "");
}

// Past the alleles kept on the stack, and labels too long for one piece:
// the text and the two alleles with copies as a plain walk of the triangle
// gives them.
TEST(GenotypeCounts, ManyAllelesAndLongLabels) {
  constexpr int64_t kPrime = 1000000007;  // counts past 32 bits
  for (const size_t k : {size_t{16}, size_t{17}, size_t{40}}) {
    for (const size_t label_length : {size_t{1}, size_t{30}}) {
      std::vector<std::string> labels;
      for (size_t i = 0; i < k; ++i)
        labels.push_back(std::to_string(i) + std::string(label_length - 1, 'x'));
      // Copies of alleles 3 and k - 1 only.
      std::vector<int64_t> triangle(k * (k + 1) / 2, 0);
      std::string expected;
      for (size_t i = 0, cell = 0; i < k; ++i) {
        for (size_t j = i; j < k; ++j, ++cell) {
          const bool kept = (i == 3 || i == k - 1) && (j == 3 || j == k - 1);
          if (!kept) continue;
          triangle[cell] = kPrime * static_cast<int64_t>(i + 1) + static_cast<int64_t>(j);
          expected += (expected.empty() ? "" : ",") + labels[i] + "/" + labels[j] + ":" +
                      std::to_string(triangle[cell]);
        }
      }
      const RowGenotypeCounts c = counts_of(triangle, labels);
      EXPECT_EQ(c.text, expected) << k;
      const int64_t a = kPrime * 4 + 3, b = kPrime * 4 + static_cast<int64_t>(k - 1),
                    d = kPrime * static_cast<int64_t>(k) + static_cast<int64_t>(k - 1);
      EXPECT_EQ(c.two_allele, (std::array<int64_t, 3>{a, b, d})) << k;
    }
  }
}

TEST(GenotypeCounts, ReadBackInTheUnitsAlleleOrder) {
  // Numbers order by value: 9 before 10, which byte order would reverse.
  const std::vector<std::string> codes = {"9", "10", "104"};
  const RowGenotypeCounts written = counts_of({2, 0, 5, 1, 3, 4}, codes);
  std::string reason;
  const std::optional<CountedGenotypes> read = parse_genotype_counts(written.text, reason);
  ASSERT_TRUE(read) << reason;
  EXPECT_EQ(read->alleles, codes);
  EXPECT_EQ(read->sample.k, 3);
  EXPECT_EQ(read->sample.counts, (std::vector<int64_t>{2, 0, 5, 1, 3, 4}));
  // Letters by byte, beyond ASCII too (a count file's allele 70 is 0x87).
  const std::vector<std::string> letters = {"Z", "a", "\x87"};
  const RowGenotypeCounts l = counts_of({1, 2, 0, 0, 3, 6}, letters);
  const std::optional<CountedGenotypes> back = parse_genotype_counts(l.text, reason);
  ASSERT_TRUE(back) << reason;
  EXPECT_EQ(back->alleles, letters);
  EXPECT_EQ(back->sample.counts, (std::vector<int64_t>{1, 2, 0, 0, 3, 6}));
  // An allele seen only in heterozygotes keeps its place.
  const std::optional<CountedGenotypes> het = parse_genotype_counts("1/2:3,1/3:1", reason);
  ASSERT_TRUE(het) << reason;
  EXPECT_EQ(het->alleles, (std::vector<std::string>{"1", "2", "3"}));
  EXPECT_EQ(het->sample.counts, (std::vector<int64_t>{0, 3, 1, 0, 0, 0}));
  const std::optional<CountedGenotypes> na = parse_genotype_counts("NA", reason);
  ASSERT_TRUE(na);
  EXPECT_EQ(na->sample.k, 0);
}

TEST(GenotypeCounts, TextNotAsWrittenIsRefused) {
  for (const char* text : {"", "0/0", "0:3", "0/0:x", "0/0:0", "0/0:-2", "/0:1", "0/0:1,",
                           "0/0:1,,0/1:2"})
    EXPECT_NE(reason_of(text), "") << text;
  // Out of the triangle's order: a higher allele first, or a cell again.
  EXPECT_EQ(reason_of("1/0:3"), "the genotypes are not in the triangle's order of their alleles");
  EXPECT_NE(reason_of("0/1:3,0/0:1"), "");
  EXPECT_NE(reason_of("0/1:3,0/1:1"), "");
}

}  // namespace
