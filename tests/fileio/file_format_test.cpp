#include "fileio/file_format.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zlib.h>

#include <string>

#include "report/temp_dir.h"

namespace {

// gzip data of text, as one member; with `bgzf` the header carries the
// "BC" subfield (the size in it is not checked here).
std::string gzip_of(const std::string& text, bool bgzf) {
  z_stream z{};
  EXPECT_EQ(deflateInit2(&z, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
  std::string raw(compressBound(static_cast<uLong>(text.size())) + 64, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  z.avail_in = static_cast<uInt>(text.size());
  z.next_out = reinterpret_cast<Bytef*>(raw.data());
  z.avail_out = static_cast<uInt>(raw.size());
  EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
  raw.resize(z.total_out);
  deflateEnd(&z);
  std::string out = bgzf ? std::string("\x1f\x8b\x08\x04\0\0\0\0\0\xff\x06\0BC\x02\0\0\0", 18)
                         : std::string("\x1f\x8b\x08\0\0\0\0\0\0\xff", 10);
  out += raw;
  const uLong crc =
      crc32(0, reinterpret_cast<const Bytef*>(text.data()), static_cast<uInt>(text.size()));
  for (uLong v : {crc, static_cast<uLong>(text.size())})
    for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
  return out;
}

const std::string kVcfStart = "##fileformat=VCFv4.2\n##contig=<ID=1>\n";

}  // namespace

TEST(FileFormat, ContentSeenThroughGzipAndBgzf) {
  using C = FileCompression;
  using K = FileContent;
  EXPECT_EQ(detect_file_format(kVcfStart), (FileFormat{C::kNone, K::kVcf}));
  EXPECT_EQ(detect_file_format(gzip_of(kVcfStart, true)), (FileFormat{C::kBgzf, K::kVcf}));
  EXPECT_EQ(detect_file_format(gzip_of(kVcfStart, false)), (FileFormat{C::kGzip, K::kVcf}));
  const std::string bcf("BCF\x02\x02\0\0\0\0", 9);
  EXPECT_EQ(detect_file_format(gzip_of(bcf, true)), (FileFormat{C::kBgzf, K::kBcf}));
  EXPECT_EQ(detect_file_format(std::string("\x6c\x1b\x01\xff\x0f", 5)),
            (FileFormat{C::kNone, K::kPlinkBed}));
  // Two of the .bed magic's three bytes are not enough; nor is "##fileformat=V".
  EXPECT_EQ(detect_file_format("\x6c\x1b"), (FileFormat{}));
  EXPECT_EQ(detect_file_format("##fileformat=V"), (FileFormat{}));
  EXPECT_EQ(detect_file_format("aa:10\nab:5\n"), (FileFormat{}));
  EXPECT_EQ(detect_file_format(""), (FileFormat{}));
  // An empty BGZF block before the data (a concatenation) is looked through.
  EXPECT_EQ(detect_file_format(gzip_of("", true) + gzip_of(kVcfStart, true)),
            (FileFormat{C::kBgzf, K::kVcf}));
  // Cut inside the deflated data: the content is what could be inflated.
  const std::string cut = gzip_of(kVcfStart, true).substr(0, 24);
  EXPECT_EQ(detect_file_format(cut).compression, C::kBgzf);
}

TEST(FileFormat, CompressionsHtslibCannotRead) {
  EXPECT_EQ(detect_file_format("BZh91AY&SY").compression, FileCompression::kBzip2);
  EXPECT_EQ(detect_file_format(std::string("\xfd"
                                           "7zXZ\0\0\x04",
                                           8))
                .compression,
            FileCompression::kXz);
  EXPECT_EQ(detect_file_format("\x28\xb5\x2f\xfd\x24").compression, FileCompression::kZstd);
  EXPECT_STREQ(compression_name(FileCompression::kXz), "xz");
  EXPECT_STREQ(compression_name(FileCompression::kNone), "");
}

TEST(FileFormat, OnlyRegularFilesAreRead) {
  TempDir dir;
  const std::string bgz = dir.write("x.vcf.gz", gzip_of(kVcfStart, true));
  const std::optional<FileFormat> f = detect_file_format_of(bgz.c_str());
  ASSERT_TRUE(f);
  EXPECT_EQ(f->content, FileContent::kVcf);
  EXPECT_FALSE(detect_file_format_of(dir.file("absent").c_str()));
  // A FIFO without a writer would block a reader: it is not opened for reading.
  const std::string fifo = dir.file("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_FALSE(detect_file_format_of(fifo.c_str()));
}

TEST(FileFormat, GenepopByItsPopLineAndTheIndividualAfterIt) {
  using K = FileContent;
  EXPECT_EQ(detect_file_format("Title\nL1, L2\nPop\nx1 , 0101 0102\n").content, K::kGenepop);
  // Loci one a line, CR LF, blanks and any case around the Pop line.
  EXPECT_EQ(detect_file_format("T\r\nL1\r\nL2\r\n  pOP \r\na , 0101 0202\r\n").content,
            K::kGenepop);
  // "Pop" as the title or the locus line is no Pop line; nor is one whose
  // next line is no individual, or one at the end of the bytes seen.
  EXPECT_EQ(detect_file_format("Pop\nL1\nx , 0101\n").content, K::kUnknown);
  EXPECT_EQ(detect_file_format("T\nPop\nx , 0101\n").content, K::kUnknown);
  EXPECT_EQ(detect_file_format("T\nL1\nPop\nx 0101\n").content, K::kUnknown);
  EXPECT_EQ(detect_file_format("T\nL1\nPop\nx , 01").content, K::kUnknown);
  EXPECT_EQ(detect_file_format("T\nL1\nPopulation\nx , 0101\n").content, K::kUnknown);
  EXPECT_STREQ(content_name(K::kGenepop), "Genepop");
  EXPECT_STREQ(content_name(K::kPlinkBed), "PLINK .bed");
}
