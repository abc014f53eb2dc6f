#include "genepop/classic_letters.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "genotype/genotype_parse.h"

#include "genepop/genepop_parse.h"
#include "genepop/genepop_test_util.h"

namespace {

GenepopTally tally_of_classes(int32_t k) {
  GenepopTally t;
  t.population = 1;
  t.pop_name = std::string("p");
  t.locus_name = std::string("L");
  t.digits = 3;
  for (int32_t i = 0; i < k; ++i) {
    t.allele_codes.push_back(100 + i);
    t.allele_copies.push_back(2);
  }
  t.genotype_counts.assign(static_cast<size_t>(k * (k + 1) / 2), 0);
  for (int32_t i = 0; i < k; ++i) t.genotype_counts[static_cast<size_t>(tri_index(i, i, k))] = 1;
  t.n = k;
  return t;
}

TEST(ClassicLetters, HeadingNamesFilePopulationLocusAndEveryCode) {
  const GenepopRead r = read_genepop_data("widths.gen");
  ASSERT_EQ(r.status, GenepopStatus::kOk);
  EXPECT_EQ(format_genepop_heading("widths.gen", tally_at(r.data, 1, 1)),
            "Genepop file \"widths.gen\", population 1 (A1), locus Long: A=098 B=101 C=104\n");
  EXPECT_EQ(format_genepop_heading("w", tally_at(r.data, 1, 0)),
            "Genepop file \"w\", population 1 (A1), locus Short: A=10 B=15\n");
  const GenepopRead none = parse_genepop_text("T\nL\nPop\nx , 0000\n");
  ASSERT_EQ(none.status, GenepopStatus::kOk);
  EXPECT_EQ(format_genepop_heading("f", none.data.tallies[0]),
            "Genepop file \"f\", population 1 (x), locus L: no alleles\n");
}

TEST(ClassicLetters, UpTo128ClassesEndingAtCharacter192) {
  GenotypeTable table;
  int32_t k = 0;
  int32_t two_n = 0;
  ASSERT_TRUE(fill_classic_table(tally_of_classes(128), table, k, two_n));
  EXPECT_EQ(k, 128);
  EXPECT_EQ(two_n, 256);
  const GenotypeCell& last = table[static_cast<size_t>(tri_index(127, 127, 128))];
  EXPECT_EQ(static_cast<unsigned char>(last.allele1), 192);
  EXPECT_EQ(allele_index(static_cast<unsigned char>(last.allele1)), 127);
  EXPECT_EQ(allele_character(26), '[');
  EXPECT_EQ(allele_character(32), 'a');

  EXPECT_FALSE(fill_classic_table(tally_of_classes(129), table, k, two_n));
  EXPECT_FALSE(fill_classic_table(tally_of_classes(0), table, k, two_n));
  EXPECT_EQ(k, 128);  // untouched by the refusals
  EXPECT_EQ(table.size, cell_count_for(128));
  EXPECT_EQ(format_genepop_heading("f", tally_of_classes(129)),
            "Genepop file \"f\", population 1 (p), locus L: 129 alleles, more than 128 letters\n");
}

// The table must be the one the count-file reader builds from the same
// genotypes written with the same letters, so the analysis sees no
// difference; 60 classes reach past 'Z' and into lower case.
TEST(ClassicLetters, TableEqualsTheCountFileReadersTable) {
  const int32_t k = 60;
  GenepopTally t = tally_of_classes(k);
  std::mt19937 gen(7);
  std::string count_file;
  t.n = 0;
  for (int32_t i = 0; i < k; ++i)
    for (int32_t j = i; j < k; ++j) {
      const int32_t c = (i == 0 && j == 0) ? 1 : static_cast<int32_t>(gen() % 4);
      t.genotype_counts[static_cast<size_t>(tri_index(i, j, k))] = c;
      t.n += c;
      if (c == 0) continue;
      count_file += allele_character(i);
      count_file += allele_character(j);
      count_file.append(":").append(std::to_string(c)).append("\n");
    }
  GenotypeTable table;
  int32_t filled_k = 0;
  int32_t two_n = 0;
  ASSERT_TRUE(fill_classic_table(t, table, filled_k, two_n));
  const GenotypeParse read = parse_genotype_bytes(
      reinterpret_cast<const unsigned char*>(count_file.data()), count_file.size());
  ASSERT_EQ(read.status, GenotypeParseStatus::kOk);
  EXPECT_EQ(read.k, filled_k);
  EXPECT_EQ(read.two_n, two_n);
  ASSERT_EQ(read.table.size, table.size);
  for (size_t pos = 0; pos < table.size; ++pos) {
    EXPECT_EQ(read.table[pos].count, table[pos].count) << pos;
    EXPECT_EQ(read.table[pos].allele1, table[pos].allele1) << pos;
    EXPECT_EQ(read.table[pos].allele2, table[pos].allele2) << pos;
  }
  const Buffer<char> letters = make_allele_letters(table.data, k);
  for (int32_t i = 0; i < k; ++i) EXPECT_EQ(letters[static_cast<size_t>(i)], 'A' + i);
}

}  // namespace
