#include "html/figure_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;

std::string read(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

struct TempFolder {
  fs::path path;
  TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "hwmc-figures-XXXXXX").string();
    path = ::mkdtemp(pattern.data());
  }
  ~TempFolder() { fs::remove_all(path); }
};

TEST(FigureFiles, NamesAreSafeAndUniqueRegardlessOfCase) {
  EXPECT_EQ(safe_file_names({"heatmap", "qq_CEU", "qq_ceu", "qq_CEU", "qq_ceu_2"}, ".svg"),
            (std::vector<std::string>{"heatmap.svg", "qq_CEU.svg", "qq_ceu_2.svg", "qq_CEU_3.svg",
                                      "qq_ceu_2_2.svg"}));
  const auto odd = safe_file_names({"qq_../../etc/passwd", "..hidden", "-rf x", "a  b\t<c>",
                                    "qq_R\xC3\xA9union", "", "CON", "lpt1.x", "com0"},
                                   ".svg");
  EXPECT_EQ(odd, (std::vector<std::string>{"qq_.._.._etc_passwd.svg", "hidden.svg", "rf_x.svg", "a_b_c.svg",
                                           "qq_R_union.svg", "figure.svg", "CON_.svg", "lpt1.x_.svg",
                                           "com0.svg"}));
  const std::string long_name = safe_file_names({std::string(300, 'a')}, ".pdf")[0];
  EXPECT_EQ(long_name, std::string(100, 'a') + ".pdf");
}

TEST(FigureFiles, EachSvgIsWrittenWholeAndConvertedBesideIt) {
  TempFolder t;
  // A converter that copies its input to its output, and says how it was called.
  const fs::path tool = t.path / "convert.sh";
  std::ofstream(tool) << "#!/bin/sh\necho \"$1 $2 $3\" > \"$4.args\"\ncp \"$5\" \"$4\"\n";
  fs::permissions(tool, fs::perms::owner_all);
  const fs::path out = t.path / "figs";
  const FigureFolderResult r =
      write_figure_files(out.string(), {{"heatmap.svg", "<svg>1</svg>"}, {"qq_A.svg", "<svg>2</svg>"}},
                         tool.string());
  ASSERT_EQ(r.folder_error, 0);
  EXPECT_FALSE(r.converter_missing);
  ASSERT_EQ(r.files.size(), 2u);
  for (const FigureFileStatus& s : r.files) {
    EXPECT_EQ(s.svg_error, 0);
    EXPECT_EQ(s.pdf, PdfStatus::kWritten);
  }
  EXPECT_EQ(read(out / "qq_A.svg"), "<svg>2</svg>");
  EXPECT_EQ(read(out / "qq_A.pdf"), "<svg>2</svg>");
  EXPECT_EQ(read(out / "heatmap.pdf.part.args"), "-f pdf -o\n");
  EXPECT_EQ(r.files[1].pdf_path, (out / "qq_A.pdf").string());
  EXPECT_FALSE(fs::exists(out / "qq_A.svg.part"));
  EXPECT_FALSE(fs::exists(out / "qq_A.pdf.part"));

  // Again into the same folder with a converter that fails: the SVGs are
  // replaced, and no PDF of the earlier figures is left beside them.
  const FigureFolderResult again = write_figure_files(out.string(), {{"qq_A.svg", "<svg>3</svg>"}}, "false");
  ASSERT_EQ(again.files.size(), 1u);
  EXPECT_EQ(again.files[0].pdf, PdfStatus::kFailed);
  EXPECT_EQ(again.files[0].pdf_exit, 1);
  EXPECT_EQ(read(out / "qq_A.svg"), "<svg>3</svg>");
  EXPECT_FALSE(fs::exists(out / "qq_A.pdf"));
}

TEST(FigureFiles, AMissingConverterIsSaidOnceAndTheSvgsAreStillWritten) {
  TempFolder t;
  const FigureFolderResult r = write_figure_files(
      t.path.string(), {{"a.svg", "A"}, {"b.svg", "B"}}, (t.path / "no-such-converter").string());
  EXPECT_TRUE(r.converter_missing);
  for (const FigureFileStatus& s : r.files) {
    EXPECT_EQ(s.svg_error, 0);
    EXPECT_EQ(s.pdf, PdfStatus::kNotTried);
  }
  EXPECT_EQ(read(t.path / "b.svg"), "B");
  // No converter asked for: none tried.
  EXPECT_FALSE(write_figure_files(t.path.string(), {{"c.svg", "C"}}, "").converter_missing);
}

TEST(FigureFiles, AFolderThatCannotBeMadeWritesNothing) {
  TempFolder t;
  EXPECT_EQ(write_figure_files((t.path / "no" / "such").string(), {{"a.svg", "A"}}, "").folder_error, ENOENT);
  std::ofstream(t.path / "plain") << "x";
  const FigureFolderResult r = write_figure_files((t.path / "plain").string(), {{"a.svg", "A"}}, "");
  EXPECT_EQ(r.folder_error, ENOTDIR);
  EXPECT_TRUE(r.files.empty());
  if (::geteuid() != 0) {  // root writes anywhere
    fs::create_directory(t.path / "locked");
    fs::permissions(t.path / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    const FigureFolderResult locked = write_figure_files((t.path / "locked").string(), {{"a.svg", "A"}}, "");
    ASSERT_EQ(locked.files.size(), 1u);
    EXPECT_EQ(locked.files[0].svg_error, EACCES);
    fs::permissions(t.path / "locked", fs::perms::owner_all);
  }
}

}  // namespace
