// VCF and BCF input from pipes, standard input and damaged or unsupported
// files, end to end through the batch front end: the rows of a stream are
// those of the file, a file that cannot be read whole gives no rows and a
// message, and the other files go on.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <htslib/bgzf.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "batch/vcf_run.h"
#include "report/temp_dir.h"
#include "vcf/simulated_vcf.h"
#include "vcf/vcf_test_files.h"

namespace {

// The offsets where the BGZF blocks of a file start.
std::vector<size_t> block_starts(const std::string& bytes) {
  std::vector<size_t> starts;
  for (size_t at = 0; at + 18 <= bytes.size();) {
    starts.push_back(at);
    at += (static_cast<unsigned char>(bytes[at + 16]) | static_cast<unsigned char>(bytes[at + 17])
                                                            << 8) +
          1u;
  }
  return starts;
}

bool has_control_byte(const std::string& text) {
  return std::any_of(text.begin(), text.end(), [](char c) {
    const unsigned char u = static_cast<unsigned char>(c);
    return (u < 0x20 && c != '\n') || u == 0x7F;
  });
}

class VcfInputs : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    // Over 100 kB of text: several BGZF blocks.
    files_ = new VcfTriple(make_vcf_triple(*dir_, "sim", simulate_vcf(60, 900, 29).text));
    whole_ = new Output(run_hwmc({"--vcf", "--exact", "--seed", "4", files_->vcf}));
  }
  static void TearDownTestSuite() {
    delete whole_;
    delete files_;
    delete dir_;
  }
  static std::vector<Row> rows(const Output& o) { return without(rows_of(o.out), {"file"}); }
  static TempDir* dir_;
  static VcfTriple* files_;
  static Output* whole_;
};
TempDir* VcfInputs::dir_ = nullptr;
VcfTriple* VcfInputs::files_ = nullptr;
Output* VcfInputs::whole_ = nullptr;

}  // namespace

TEST_F(VcfInputs, EveryKindOfStreamGivesTheRowsOfTheFile) {
  ASSERT_EQ(whole_->status, 0) << whole_->err;
  const std::vector<Row> want = rows(*whole_);
  ASSERT_GT(want.size(), 800u);
  ASSERT_GT(block_starts(read_bytes(files_->gz)).size(), 3u);
  const std::vector<std::string> options = {"--vcf", "--exact", "--seed", "4"};
  auto run = [&](const std::string& path) {
    std::vector<std::string> args = options;
    args.push_back(path);
    return run_hwmc(args);
  };
  struct Form {
    const char* what;
    std::string bytes;
    bool as_stdin;
    const char* path;
  };
  const std::string text = read_bytes(files_->vcf), gz = read_bytes(files_->gz),
                    bcf = read_bytes(files_->bcf);
  const std::vector<Form> forms = {
      {"zcat f.vcf.gz | hwmc /dev/stdin", text, true, "/dev/stdin"},
      {"cat f.vcf.gz | hwmc -", gz, true, "-"},
      {"cat f.vcf.gz | hwmc /dev/stdin", gz, true, "/dev/stdin"},
      {"cat f.bcf | hwmc -", bcf, true, "-"},
      {"hwmc <(zcat f.vcf.gz)", text, false, nullptr},
      {"hwmc <(cat f.vcf.gz)", gz, false, nullptr},
  };
  for (const Form& f : forms) {
    SCOPED_TRACE(f.what);
    FedPipe pipe(f.bytes);
    Output o;
    if (f.as_stdin) {
      StdinFrom in(pipe.read_fd);
      o = run(f.path);
      // Descriptor 0 is still standard input, for no later file to take.
      EXPECT_NE(::fcntl(STDIN_FILENO, F_GETFD), -1);
    } else {
      o = run(pipe.path());
    }
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.err, "");
    EXPECT_TRUE(rows(o) == want) << rows(o).size() << " rows of " << want.size();
  }
  // Standard input that is the file itself.
  for (const std::string* file : {&files_->vcf, &files_->gz}) {
    const int fd = ::open(file->c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    Output o;
    {
      StdinFrom in(fd);
      o = run("-");
    }
    ::close(fd);
    EXPECT_EQ(o.status, 0) << *file;
    EXPECT_EQ(o.err, "");
    EXPECT_TRUE(rows(o) == want) << "hwmc - < " << *file;
  }
}

TEST_F(VcfInputs, AStreamCannotBeReadThroughAnIndex) {
  for (const std::vector<std::string>& ask :
       {std::vector<std::string>{"--vcf", "--region", "chr1"},
        std::vector<std::string>{"--vcf", "--list-regions", "2"}}) {
    FedPipe pipe(read_bytes(files_->gz));
    Output o;
    {
      StdinFrom in(pipe.read_fd);
      std::vector<std::string> args = ask;
      args.push_back("-");
      o = run_hwmc(args);
    }
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(rows_of(o.out).size(), 0u);
    EXPECT_NE(o.err.find("hwmc: -: "), std::string::npos) << o.err;
    EXPECT_NE(o.err.find("standard input has none (a stream cannot be read twice)"),
              std::string::npos)
        << o.err;
  }
}

TEST_F(VcfInputs, ACutOrDamagedBgzfFileGivesNoRowsAndTheOthersGoOn) {
  const std::string gz = read_bytes(files_->gz);
  const std::vector<size_t> starts = block_starts(gz);
  const std::string good = files_->vcf;
  const size_t per_file = rows(*whole_).size();
  // Cut at a block boundary: the last block kept ends inside a record.
  const std::string at_block = dir_->write("block.vcf.gz", gz.substr(0, starts[2]));
  Output o = run_hwmc({"--vcf", "--seed", "4", good, at_block, good});
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(rows_of(o.out).size(), 2 * per_file);
  EXPECT_EQ(o.err,
            "hwmc: " + at_block +
                ": no BGZF end-of-file marker: the file is truncated (or still being written)\n");
  // The same bytes through a pipe: found at the end, and none of its rows kept.
  {
    FedPipe pipe(gz.substr(0, starts[2]));
    StdinFrom in(pipe.read_fd);
    o = run_hwmc({"--vcf", "--seed", "4", "-"});
  }
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(rows_of(o.out).size(), 0u);
  EXPECT_NE(o.err.find("hwmc: -: the data ends after line "), std::string::npos) << o.err;
  EXPECT_NE(o.err.find(" without BGZF's end-of-file marker: it is truncated\n"), std::string::npos);
  // Cut inside a block, and read with the old index beside it.
  const std::string inside = dir_->write("inside.vcf.gz", gz.substr(0, starts[2] + 500));
  std::system(("cp " + files_->gz + ".tbi " + inside + ".tbi").c_str());
  for (const std::vector<std::string>& region :
       {std::vector<std::string>{}, std::vector<std::string>{"--region", "chr2"}}) {
    std::vector<std::string> args = {"--vcf", "--seed", "4"};
    args.insert(args.end(), region.begin(), region.end());
    args.push_back(inside);
    o = run_hwmc(args);
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(rows_of(o.out).size(), 0u);
    EXPECT_NE(o.err.find("no BGZF end-of-file marker"), std::string::npos) << o.err;
  }
  // A damaged block in the middle, the end-of-file marker intact.
  std::string damaged = gz;
  damaged[starts[1] + 400] = static_cast<char>(damaged[starts[1] + 400] ^ 0x55);
  const std::string bad = dir_->write("damaged.vcf.gz", damaged);
  o = run_hwmc({"--vcf", "--seed", "4", bad, good});
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(rows_of(o.out).size(), per_file);
  EXPECT_EQ(o.err.rfind("hwmc: " + bad + ": damaged compressed (BGZF) block after line ", 0), 0u)
      << o.err;
}

TEST_F(VcfInputs, CompressionsHtslibCannotReadFailThatFileAlone) {
  const std::string good = files_->vcf;
  const size_t per_file = rows(*whole_).size();
  int tried = 0;
  for (const char* tool : {"xz", "bzip2", "zstd"}) {
    if (std::system(("command -v " + std::string(tool) + " >/dev/null 2>&1").c_str()) != 0) {
      std::printf("%s is not installed: its case is skipped\n", tool);
      continue;
    }
    ++tried;
    const std::string packed = dir_->file(std::string("sim.vcf.") + tool);
    ASSERT_EQ(std::system((std::string(tool) + " -c " + good + " > " + packed).c_str()), 0);
    const Output o = run_hwmc({"--vcf", "--seed", "4", good, packed, good});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(rows_of(o.out).size(), 2 * per_file);
    const std::string name = std::string(tool) == "bzip2" ? "bzip2" : tool;
    EXPECT_EQ(o.err, "hwmc: " + packed + ": unsupported compression (" + name + "); use bgzip\n");
  }
  if (tried == 0) GTEST_SKIP() << "none of xz, bzip2 and zstd is installed";
}

// Text from the file reaches standard error escaped: no control byte of a
// sample ID, a population file's ID or a contig name gets through.
TEST(VcfMessages, InputTextInMessagesIsEscaped) {
  TempDir dir;
  const std::string evil = "A\x1b[2J\x1b]0;pwned\x07\rhwmc: all fine";
  const std::string header =
      "##fileformat=VCFv4.2\n"
      "##FORMAT=<ID=GT,Number=1,Type=String,Description=\"Genotype\">\n"
      "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\tB\t" +
      evil + "\n";
  const std::string path = dir.write("evil.vcf", header + "1\t5\t.\tA\tG\t.\t.\t.\tGT\t0/1\t0/x\n");
  Output o = run_hwmc({"--vcf", path});
  EXPECT_EQ(o.status, 1);
  EXPECT_FALSE(has_control_byte(o.err)) << o.err;
  EXPECT_NE(o.err.find("sample A\\x1B[2J\\x1B]0;pwned\\x07\\rhwmc: all fine"), std::string::npos)
      << o.err;

  // IDs in a --pops file end at a blank, so this one holds no space or CR.
  const std::string id = "A\x1b[2J\x1b]0;pwned\x07";
  const std::string pops = dir.write("pops.txt", id + " x\nB y\n" + id + " y\n");
  o = run_hwmc({"--vcf", "--pops", pops, path});
  EXPECT_EQ(o.status, 1);
  EXPECT_FALSE(has_control_byte(o.err)) << o.err;
  EXPECT_NE(o.err.find("line 3: sample \"A\\x1B[2J"), std::string::npos) << o.err;

  // A contig's name in a record read through the index.
  const VcfTriple t = make_vcf_triple(dir, "chrom",
                                      "##fileformat=VCFv4.2\n##contig=<ID=c\x1b[2J>\n" +
                                          header.substr(header.find("##FORMAT")) +
                                          "c\x1b[2J\t5\t.\tA\tG\t.\t.\t.\tGT\t0/1\t3/1\n");
  o = run_hwmc({"--vcf", "--region", "c\x1b[2J", t.gz});
  EXPECT_EQ(o.status, 1);
  EXPECT_FALSE(has_control_byte(o.err)) << o.err;
  EXPECT_NE(o.err.find("c\\x1B[2J:5: GT of sample A\\x1B"), std::string::npos) << o.err;
  // And a --region naming a contig the file lacks lists the file's.
  o = run_hwmc({"--vcf", "--region", "chr\x07", t.gz});
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "hwmc: " + t.gz + ": no contig chr\\x07 in the file (contigs: c\\x1B[2J)\n");
}

TEST_F(VcfInputs, WhatTheIndexAndTheRegionsLeaveOutIsSaid) {
  const std::string gz = dir_->file("copy.vcf.gz");
  std::filesystem::copy_file(files_->gz, gz);
  std::filesystem::copy_file(files_->gz + ".tbi", gz + ".tbi");
  std::filesystem::last_write_time(
      gz, std::filesystem::last_write_time(gz + ".tbi") + std::chrono::seconds(5));
  Output o = run_hwmc({"--vcf", "--seed", "4", "--region", "chr2", "--region", "chrX:1-5", gz});
  EXPECT_EQ(o.status, 0);
  EXPECT_GT(rows_of(o.out).size(), 100u);
  EXPECT_EQ(o.err, "hwmc: " + gz + ": the index " + gz +
                       ".tbi is older than the file: sites added since it was made are not read "
                       "through it; make it again (tabix -f -p vcf, or bcftools index -f)\n"
                       "hwmc: " +
                       gz +
                       ": no contig chrX in the file (contigs: chr1, chr2): their "
                       "regions match nothing here\n");
}

// A --pops file is a claim about every file of the run: one that names none
// of a file's samples fails that file (rows of n = 0 would look like
// results), and one that leaves most of them out is said once.
TEST(VcfPops, NoSampleMatchedFailsThatFileAndMostLeftOutIsWarnedOnce) {
  TempDir dir;
  const std::string head =
      "##fileformat=VCFv4.2\n"
      "##FORMAT=<ID=GT,Number=1,Type=String,Description=\"Genotype\">\n"
      "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\t";
  const std::string iid = dir.write("iid.vcf", head + "A\tB\tC\n1\t5\t.\tA\tG\t.\t.\t.\tGT\t0/1\t0/0\t1/1\n");
  const std::string fid = dir.write("fid.vcf", head + "F_A\tF_B\tF_C\tF_D\n1\t5\t.\tA\tG\t.\t.\t.\tGT\t0/1\t0/0\t1/1\t0/1\n");
  const std::string evil = "X\x1b]0;pwned\x07";
  const std::string pops = dir.write("pops.txt", "F_A north\n" + evil + " south\n");
  Output o = run_hwmc({"--vcf", "--pops", pops, iid, fid, iid});
  EXPECT_EQ(o.status, 1);
  EXPECT_FALSE(has_control_byte(o.err)) << o.err;
  // The two runs over iid.vcf fail; fid.vcf gives its site's rows.
  const std::vector<Row> got = rows_of(o.out);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].at("file"), fid);
  EXPECT_EQ(got[0].at("n"), "1");
  EXPECT_EQ(got[1].at("file"), fid);
  const std::string none = "hwmc: " + iid + ": no sample is in the --pops file " + pops +
                           " (samples here: A, B, C; IDs there: F_A, X\\x1B]0;pwned\\x07)\n";
  size_t first = o.err.find(none);
  ASSERT_NE(first, std::string::npos) << o.err;
  EXPECT_NE(o.err.find(none, first + 1), std::string::npos) << o.err;
  EXPECT_NE(o.err.find("hwmc: " + fid + ": 3 of 4 samples are not in the --pops file " + pops +
                       " and are left out: F_B, F_C, F_D\n"),
            std::string::npos)
      << o.err;
  EXPECT_NE(o.err.find("left out: F_A X\\x1B]0;pwned\\x07\n"), std::string::npos) << o.err;
  // Half left out is not most.
  const std::string half = dir.write("half.txt", "F_A north\nF_B south\n");
  o = run_hwmc({"--vcf", "--pops", half, fid});
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.err, "");
}
