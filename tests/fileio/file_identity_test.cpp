#include "fileio/file_identity.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

struct Folder {
  fs::path dir;
  Folder() {
    std::string pattern = (fs::temp_directory_path() / "identity-XXXXXX").string();
    dir = ::mkdtemp(pattern.data());
  }
  ~Folder() { fs::remove_all(dir); }
  std::string file(const std::string& name, const std::string& text) const {
    std::ofstream(dir / name) << text;
    return (dir / name).string();
  }
  std::string path(const std::string& name) const { return (dir / name).string(); }
};

std::string read_whole(const std::string& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(FileClash, LinksAndSecondNamesAreTheSameFileAndMissingTargetsMeetByName) {
  Folder f;
  const std::string data = f.file("in.vcf", "x");
  fs::create_hard_link(data, f.path("hard.vcf"));
  fs::create_symlink(data, f.path("soft.vcf"));
  const std::string other = f.file("other.vcf", "x");
  const NamedFile inputs[] = {{"input", other}, {"input", data}};
  for (const std::string& name :
       {data, f.path("hard.vcf"), f.path("soft.vcf"), (f.dir / "." / "in.vcf").string()}) {
    const NamedFile outputs[] = {{"--summary", f.path("new.tsv")}, {"--html", name}};
    const FileClash clash = find_file_clash(outputs, inputs);
    ASSERT_NE(clash.output, nullptr) << name;
    EXPECT_EQ(clash.output->role, "--html");
    EXPECT_EQ(clash.other, &inputs[1]);
    EXPECT_FALSE(clash.other_is_output);
  }
  // Two outputs that would both create one file.
  const NamedFile same[] = {{"--summary", f.path("x")}, {"--html", (f.dir / "." / "x").string()}};
  const FileClash both = find_file_clash(same, inputs);
  ASSERT_NE(both.output, nullptr);
  EXPECT_TRUE(both.other_is_output);
  EXPECT_EQ(both.other, &same[0]);
  // Different names in one folder, and one name in two folders, are apart.
  fs::create_directory(f.dir / "sub");
  const NamedFile apart[] = {{"--summary", f.path("x")}, {"--html", f.path("y")},
                             {"--report", f.path("sub/x")}};
  EXPECT_EQ(find_file_clash(apart, inputs).output, nullptr);
}

TEST(FileClash, IndexesBesideADataFileAreFound) {
  Folder f;
  const std::string data = f.file("a.vcf.gz", "x");
  EXPECT_TRUE(index_files_of(data).empty());
  f.file("a.vcf.gz.tbi", "i");
  f.file("a.vcf.gz.csi", "i");
  EXPECT_EQ(index_files_of(data),
            (std::vector<std::string>{data + ".tbi", data + ".csi"}));
  EXPECT_EQ(index_files_of(data + "##idx##" + f.path("elsewhere.csi")),
            std::vector<std::string>{f.path("elsewhere.csi")});
  EXPECT_TRUE(index_files_of("-").empty());
}

TEST(ReplacingFile, TargetKeepsItsBytesUntilTheCommitAndNoTemporaryStays) {
  Folder f;
  const std::string target = f.file("s.tsv", "old summary\n");
  ::chmod(target.c_str(), 0640);
  {
    ReplacingFile file;
    ASSERT_TRUE(open_replacing(file, target));
    EXPECT_EQ(read_whole(target), "old summary\n");  // abandoned: nothing changes
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(f.dir), fs::directory_iterator{}), 1);
  {
    ReplacingFile file;
    ASSERT_TRUE(open_replacing(file, target));
    ASSERT_TRUE(commit_replacing(file, "new\n"));
  }
  EXPECT_EQ(read_whole(target), "new\n");
  EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(std::distance(fs::directory_iterator(f.dir), fs::directory_iterator{}), 1);
  // A new file, and a FIFO written directly (no file renamed over it).
  ReplacingFile fresh;
  ASSERT_TRUE(open_replacing(fresh, f.path("new.html")));
  ASSERT_TRUE(commit_replacing(fresh, "page"));
  EXPECT_EQ(read_whole(f.path("new.html")), "page");
  ASSERT_EQ(::mkfifo(f.path("fifo").c_str(), 0600), 0);
  const int reader = ::open(f.path("fifo").c_str(), O_RDONLY | O_NONBLOCK);
  ReplacingFile fifo;
  ASSERT_TRUE(open_replacing(fifo, f.path("fifo")));
  EXPECT_TRUE(fifo.temp.empty());
  ASSERT_TRUE(commit_replacing(fifo, "abc"));
  char got[4] = {};
  EXPECT_EQ(::read(reader, got, 3), 3);
  EXPECT_STREQ(got, "abc");
  ::close(reader);
  EXPECT_TRUE(fs::is_fifo(f.path("fifo")));
  // A folder that cannot be written to: the open fails, nothing is made.
  ReplacingFile nowhere;
  EXPECT_FALSE(open_replacing(nowhere, f.path("missing/x.tsv")));
}

}  // namespace
