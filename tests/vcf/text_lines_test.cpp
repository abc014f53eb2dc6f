// Lines read in chunks against hts_getline on the same bgzipped text, with
// chunks small enough that lines cross them and outgrow them.
#include "vcf/text_lines.h"

#include <gtest/gtest.h>
#include <htslib/bgzf.h>
#include <htslib/hts.h>

#include <cstdio>
#include <string>
#include <vector>

#include "vcf/hts_handles.h"
#include "vcf/vcf_test_files.h"

namespace {

std::string write_bgzf(TempDir& dir, const std::string& name, const std::string& text) {
  const std::string path = dir.file(name);
  BGZF* out = bgzf_open(path.c_str(), "w");
  EXPECT_NE(out, nullptr);
  EXPECT_EQ(bgzf_write(out, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  EXPECT_EQ(bgzf_close(out), 0);
  return path;
}

std::vector<std::string> htslib_lines(const std::string& path) {
  HtsFile in(hts_open(path.c_str(), "r"));
  std::vector<std::string> lines;
  OwnedKstring line;
  while (hts_getline(in.get(), '\n', &line.s) >= 0) lines.emplace_back(line.s.s, line.s.l);
  return lines;
}

std::vector<std::string> chunked_lines(const std::string& path, size_t chunk_bytes,
                                       LineRead last = LineRead::kEnd) {
  BGZF* in = bgzf_open(path.c_str(), "r");
  std::vector<std::string> lines;
  TextLines t;
  std::string_view line;
  LineRead got;
  while ((got = read_text_line(in, t, line, chunk_bytes)) == LineRead::kLine)
    lines.emplace_back(line);
  EXPECT_EQ(got, last);
  bgzf_close(in);
  return lines;
}

}  // namespace

TEST(TextLines, GiveWhatHtsGetlineGivesWhateverTheChunks) {
  TempDir dir;
  const std::string long_line(70000, 'x');
  const std::vector<std::string> texts = {
      "a\tb\nc\td\n",
      "one\r\ntwo\r\n\r\nthree",  // CRLF, an empty line, no final line feed
      "\n\nx\n",                  // empty lines first
      "lone\r",                   // a last line loses its CR too
      "",
      "short\n" + long_line + "\n" + long_line + "\r\nend\n",
  };
  for (size_t i = 0; i < texts.size(); ++i) {
    const std::string path = write_bgzf(dir, "t" + std::to_string(i) + ".gz", texts[i]);
    const std::vector<std::string> want = htslib_lines(path);
    for (size_t chunk : {size_t{1}, size_t{3}, size_t{7}, size_t{4096}, size_t{1} << 22}) {
      SCOPED_TRACE("text " + std::to_string(i) + ", chunks of " + std::to_string(chunk));
      EXPECT_EQ(chunked_lines(path, chunk), want);
    }
  }
}

TEST(TextLines, AnUnreadableBlockFailsAfterTheLinesBeforeIt) {
  TempDir dir;
  // Two BGZF blocks; the second one's compressed bytes are then damaged.
  const std::string path = dir.file("broken.gz");
  BGZF* out = bgzf_open(path.c_str(), "w");
  const std::string first = "l1\nl2\nl3 begins",
                    second = " and ends\nl4\n" + std::string(5000, 'y');
  ASSERT_EQ(bgzf_write(out, first.data(), first.size()), static_cast<ssize_t>(first.size()));
  ASSERT_EQ(bgzf_flush(out), 0);
  const int64_t second_block = bgzf_tell(out) >> 16;
  ASSERT_EQ(bgzf_write(out, second.data(), second.size()), static_cast<ssize_t>(second.size()));
  ASSERT_EQ(bgzf_close(out), 0);
  {
    FILE* f = std::fopen(path.c_str(), "r+b");
    ASSERT_NE(f, nullptr);
    std::fseek(f, static_cast<long>(second_block + 30), SEEK_SET);
    const char junk[40] = {};
    std::fwrite(junk, 1, sizeof junk, f);
    std::fclose(f);
  }
  const std::vector<std::string> before = {"l1", "l2"};
  EXPECT_EQ(chunked_lines(path, 1 << 16, LineRead::kError), before);
  EXPECT_EQ(chunked_lines(path, 5, LineRead::kError), before);
}
