#include "genotype/genotype_table.h"

#include <gtest/gtest.h>

#include <cstring>

#include "genotype/genotype_test_util.h"

namespace {

TEST(GenotypeTable, TriangleIsStoredRowByRow) {
  EXPECT_EQ(tri_index(0, 0, 1), 0);
  const int32_t expected[3][3] = {{0, 1, 2}, {-1, 3, 4}, {-1, -1, 5}};
  for (int i = 0; i < 3; ++i)
    for (int j = i; j < 3; ++j) EXPECT_EQ(tri_index(i, j, 3), expected[i][j]);
  EXPECT_EQ(cell_count_for(3), 6);
  EXPECT_EQ(cell_count_for(128), 8256);
  EXPECT_EQ(tri_index(127, 127, 128), 8255);
}

TEST(GenotypeTable, ClearZeroesEveryField) {
  GenotypeCell cells[6];
  std::memset(cells, 0x5A, sizeof cells);
  clear_genotype_table(cells, 6);
  for (const GenotypeCell& c : cells) {
    EXPECT_EQ(c.count, 0);
    EXPECT_EQ(c.allele1, 0);
    EXPECT_EQ(c.allele2, 0);
  }
}

// A compacted table as the statistics leave it: the sample's alleles a b c d
// e g at ranks 0..5.
TEST(GenotypeTable, AlleleLettersOfCompactedSample) {
  GenotypeTable t;
  ASSERT_TRUE(t.allocate_zeroed(21));
  auto put = [&](int i, int j, char a, char b) {
    t[tri_index(i, j, 6)].count = 1;
    t[tri_index(i, j, 6)].allele1 = a;
    t[tri_index(i, j, 6)].allele2 = b;
  };
  put(1, 2, 'b', 'c');
  put(0, 0, 'a', 'a');
  put(4, 5, 'e', 'g');
  put(0, 3, 'a', 'd');
  put(1, 3, 'b', 'd');
  const Buffer<char> letters = make_allele_letters(t.data, 6);
  EXPECT_STREQ(letters.data, "abcdeg");
}

TEST(GenotypeTable, AlleleLettersOfOneAlleleAndOfMixedCase) {
  GenotypeCell one{10, 'a', 'a'};
  EXPECT_STREQ(make_allele_letters(&one, 1).data, "a");

  // A and a in one heterozygote, both homozygote cells never seen.
  GenotypeCell mixed[3] = {};
  mixed[1] = GenotypeCell{5, 'A', 'a'};
  EXPECT_STREQ(make_allele_letters(mixed, 2).data, "Aa");
}

TEST(GenotypeTable, AlleleLettersFromParsedTableWithLetterOnlyCell) {
  // b/b was read without a count: its letters still name allele b.
  const GenotypeParse p = parse_text("AA:5\nBB:");
  ASSERT_EQ(p.status, GenotypeParseStatus::kOk);
  EXPECT_STREQ(make_allele_letters(p.table.data, p.k).data, "AB");
}

}  // namespace
