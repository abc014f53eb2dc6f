#include "genepop/genepop_reader.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "genepop/genepop_parse.h"
#include "report/temp_dir.h"

namespace {

void expect_same_data(const GenepopData& a, const GenepopData& b) {
  EXPECT_EQ(a.title, b.title);
  EXPECT_EQ(a.loci, b.loci);
  EXPECT_EQ(a.populations, b.populations);
  ASSERT_EQ(a.tallies.size(), b.tallies.size());
  for (size_t i = 0; i < a.tallies.size(); ++i) {
    const GenepopTally& x = a.tallies[i];
    const GenepopTally& y = b.tallies[i];
    EXPECT_EQ(x.pop_name, y.pop_name) << i;
    EXPECT_EQ(x.allele_codes, y.allele_codes) << i;
    EXPECT_EQ(x.genotype_counts, y.genotype_counts) << i;
    EXPECT_EQ(x.n, y.n) << i;
    EXPECT_EQ(x.missing, y.missing) << i;
  }
}

// Lines of many lengths, CR LF, no line end at the very end: lines (and CR
// LF pairs) cross the reader's block boundaries at many offsets.
std::string long_file(size_t individuals) {
  std::string text = "Long names\r\nL1, L2\r\n";
  for (size_t i = 0; i < individuals; ++i) {
    if (i % 500 == 0) text += "Pop\r\n";
    text += "individual_" + std::string(i % 97, 'x') + " , ";
    text += std::to_string(10 + i % 7) + std::to_string(10 + i % 11) + " 0" +
            std::to_string(i % 3) + "0" + std::to_string(1 + i % 5);
    if (i + 1 < individuals) text += "\r\n";
  }
  return text;
}

TEST(GenepopReader, ReadsAcrossBlocksLikeTheWholeText) {
  TempDir dir;
  const std::string text = long_file(3000);
  ASSERT_GT(text.size(), 3u * 65536);
  const GenepopRead from_file = read_genepop_file(dir.write("long.gen", text).c_str());
  const GenepopRead from_text = parse_genepop_text(text);
  ASSERT_EQ(from_file.status, GenepopStatus::kOk) << describe_genepop_failure(from_file);
  ASSERT_EQ(from_text.status, GenepopStatus::kOk);
  EXPECT_EQ(from_file.data.populations, 6);
  EXPECT_EQ(from_file.data.tallies[0].n, 500);
  EXPECT_EQ(from_file.data.tallies[0].pop_name, "individual_");
  expect_same_data(from_file.data, from_text.data);
}

TEST(GenepopReader, FailureFarDownNamesItsLine) {
  TempDir dir;
  std::string text = long_file(3000) + "\r\nlast , 0101\r\n";
  const GenepopRead r = read_genepop_file(dir.write("bad.gen", text).c_str());
  EXPECT_EQ(r.status, GenepopStatus::kGenotypeCount);
  // Title, locus line, 6 Pop lines and 3000 individuals come before it.
  EXPECT_EQ(r.line, 3009u);
  EXPECT_TRUE(r.data.tallies.empty());
}

// The reader hands out one population at a time, as soon as the next Pop
// line closes it: what it holds never grows with the populations.
TEST(GenepopReader, HandsOutOnePopulationAtATime) {
  TempDir dir;
  const std::string text = long_file(3000);
  const std::string path = dir.write("long.gen", text);
  const GenepopRead whole = parse_genepop_text(text);
  ASSERT_EQ(whole.status, GenepopStatus::kOk);
  GenepopFileReader reader;
  open_genepop_reader(reader, path.c_str());
  std::vector<GenepopTally> population;
  size_t seen = 0;
  for (int32_t pop = 1; pop <= 6; ++pop) {
    ASSERT_EQ(next_genepop_population(reader, population), GenepopPull::kPopulation) << pop;
    ASSERT_EQ(population.size(), 2u);
    EXPECT_TRUE(reader.parser.result.data.tallies.empty());
    for (const GenepopTally& t : population) {
      EXPECT_EQ(t.population, pop);
      EXPECT_EQ(t.genotype_counts, whole.data.tallies[seen].genotype_counts) << seen;
      EXPECT_EQ(t.locus, whole.data.tallies[seen].locus) << seen;
      ++seen;
    }
    // Only the population handed out has been read, not the next one.
    if (pop < 6) {
      EXPECT_EQ(reader.parser.individuals, 0) << pop;
    }
  }
  EXPECT_EQ(next_genepop_population(reader, population), GenepopPull::kEnd);
  EXPECT_TRUE(population.empty());
  EXPECT_EQ(next_genepop_population(reader, population), GenepopPull::kEnd);
  EXPECT_EQ(reader.outcome.data.loci, (std::vector<std::string>{"L1", "L2"}));
}

TEST(GenepopReader, AFailureInTheLastPopulationComesAfterTheEarlierOnes) {
  TempDir dir;
  const std::string path = dir.write("bad.gen", long_file(3000) + "\r\nlast , 0101\r\n");
  GenepopFileReader reader;
  open_genepop_reader(reader, path.c_str());
  std::vector<GenepopTally> population;
  for (int pop = 1; pop <= 5; ++pop)
    ASSERT_EQ(next_genepop_population(reader, population), GenepopPull::kPopulation) << pop;
  EXPECT_EQ(next_genepop_population(reader, population), GenepopPull::kFailed);
  EXPECT_TRUE(population.empty());
  EXPECT_EQ(describe_genepop_failure(reader.outcome), "line 3009: 1 genotype for 2 loci");
  EXPECT_FALSE(reader.file);  // closed at once
  EXPECT_EQ(next_genepop_population(reader, population), GenepopPull::kFailed);

  GenepopFileReader absent;
  open_genepop_reader(absent, dir.file("absent.gen").c_str());
  EXPECT_EQ(next_genepop_population(absent, population), GenepopPull::kFailed);
  EXPECT_EQ(describe_genepop_failure(absent.outcome), "cannot open file: No such file or directory");
}

TEST(GenepopReader, UnreadableFilesAreStatuses) {
  TempDir dir;
  const GenepopRead missing = read_genepop_file(dir.file("absent.gen").c_str());
  EXPECT_EQ(missing.status, GenepopStatus::kCannotOpen);
  EXPECT_EQ(describe_genepop_failure(missing), "cannot open file: No such file or directory");
  const GenepopRead folder = read_genepop_file(dir.path.c_str());
  EXPECT_EQ(folder.status, GenepopStatus::kReadError);
  EXPECT_EQ(folder.line, 0u);
  EXPECT_EQ(read_genepop_file(dir.write("empty.gen", "").c_str()).status, GenepopStatus::kEmptyFile);
}

TEST(GenepopReader, InputWithoutLineFeedsStopsAtTheFirstLine) {
  TempDir dir;
  const GenepopRead one_line =
      read_genepop_file(dir.write("one_line.gen", std::string(300000, 'x')).c_str());
  EXPECT_EQ(describe_genepop_failure(one_line), "line 1: line too long");
  // An endless one is refused as soon, and in the same bounded memory.
  if (::access("/dev/zero", R_OK) != 0) GTEST_SKIP() << "no /dev/zero";
  EXPECT_EQ(describe_genepop_failure(read_genepop_file("/dev/zero")), "line 1: line too long");
}

TEST(GenepopReader, APopulationHoldsItsGenotypesNotItsIndividuals) {
  GenepopParser p;
  for (const char* line : {"T", "L1, L2", "Pop"}) ASSERT_TRUE(feed_genepop_line(p, line));
  for (int i = 0; i < 20000; ++i)
    ASSERT_TRUE(feed_genepop_line(p, i % 2 == 0 ? "a , 0102 0303" : "b , 0201 0000"));
  ASSERT_EQ(p.counters.size(), 2u);
  EXPECT_EQ(p.counters[0].used, 1u);  // 01/02 and 02/01 are one genotype
  EXPECT_EQ(p.counters[1].used, 1u);
  EXPECT_LE(p.counters[0].slots.size(), 16u);
  const GenepopRead r = finish_genepop(p);
  ASSERT_EQ(r.status, GenepopStatus::kOk);
  EXPECT_EQ(r.data.tallies[0].genotype_counts, (std::vector<int32_t>{0, 20000, 0}));
  EXPECT_EQ(r.data.tallies[1].n, 10000);
  EXPECT_EQ(r.data.tallies[1].missing, 10000);
}

}  // namespace

TEST(GenepopReader, StandardInputIsReadAsTheFileIs) {
  TempDir dir;
  const std::string text = long_file(1200);
  const std::string path = dir.write("long.gen", text);
  auto read_all = [](const char* name) {
    GenepopFileReader reader;
    open_genepop_reader(reader, name);
    std::vector<GenepopTally> population, all;
    while (next_genepop_population(reader, population) == GenepopPull::kPopulation)
      all.insert(all.end(), population.begin(), population.end());
    EXPECT_EQ(reader.outcome.status, GenepopStatus::kOk);
    return all;
  };
  const std::vector<GenepopTally> from_file = read_all(path.c_str());
  ASSERT_EQ(from_file.size(), 6u);
  const int saved = ::dup(STDIN_FILENO);
  const int fd = ::open(path.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  ::dup2(fd, STDIN_FILENO);
  ::close(fd);
  const std::vector<GenepopTally> from_stdin = read_all("-");
  // Standard input stays open for whoever reads it next.
  EXPECT_NE(::fcntl(STDIN_FILENO, F_GETFD), -1);
  ::dup2(saved, STDIN_FILENO);
  ::close(saved);
  ASSERT_EQ(from_stdin.size(), from_file.size());
  for (size_t i = 0; i < from_file.size(); ++i)
    EXPECT_EQ(from_stdin[i].genotype_counts, from_file[i].genotype_counts) << i;
}
