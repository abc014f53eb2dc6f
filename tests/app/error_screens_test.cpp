#include "app/error_screens.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/screen_rows.h"
#include "console/console.h"
#include "console/console_script.h"
#include "genotype/genotype_reader.h"
#include "genotype/text_bytes.h"

namespace {

uint8_t attr_at(int x, int y) { return con_cell(x, y).attr; }

// Parses and shows the failure message; the bytes live as long as the call.
void show_failure_for(const std::string& text, const char* path) {
  std::vector<unsigned char> bytes(text.begin(), text.end());
  const size_t length = strip_text_bytes(bytes.data(), bytes.size());
  const GenotypeParse parse = parse_genotype_bytes(bytes.data(), length);
  ASSERT_NE(parse.status, GenotypeParseStatus::kOk);
  const std::string excerpt = record_excerpt(bytes.data(), parse.record_start, parse.record_end);
  show_parse_failure(parse, excerpt, path);
}

TEST(DuplicateEntryScreen, HeterozygoteNamesBothOrders) {
  con_reset_for_test();
  show_failure_for("ab:3\nba:2\n", "in.txt");
  EXPECT_EQ(trimmed_row(21), "The entry \"ba\" (or \"ab\") is encountered more than once,");
  EXPECT_EQ(trimmed_row(22), "check input file \"in.txt\"");
  EXPECT_EQ(trimmed_row(23), std::string(3, glyph(kGlyphRightTriangle)));
  EXPECT_EQ(trimmed_row(24), "exit");
  EXPECT_EQ(attr_at(1, 21), kColorWhite);
  EXPECT_EQ(attr_at(12, 21), kColorWhite);   // b
  EXPECT_EQ(attr_at(26, 21), kColorLightBlue);    // "is encountered"
  EXPECT_EQ(attr_at(1, 22), kColorLightBlue);     // check input file
  EXPECT_EQ(attr_at(18, 22), kColorWhite);   // the file name
  EXPECT_EQ(attr_at(1, 23), kColorWhite);    // the triangles keep the name's colour
  EXPECT_EQ(attr_at(1, 24), kColorLightRed);
  EXPECT_EQ(attr_at(80, 24), kColorLightRed);   // the rest of the exit row cleared in red
  EXPECT_EQ(con_model().cursor_x, 5);
  EXPECT_EQ(con_model().cursor_y, 24);
}

TEST(DuplicateEntryScreen, HomozygoteShowsLettersAndNameInBlue) {
  con_reset_for_test();
  show_duplicate_entry('a', 'a', "x");
  EXPECT_EQ(trimmed_row(21), "The entry \"aa\" is encountered more than once,");
  EXPECT_EQ(trimmed_row(22), "check input file \"x\"");
  EXPECT_EQ(attr_at(1, 21), kColorWhite);
  EXPECT_EQ(attr_at(11, 21), kColorLightBlue);    // the quoted letters
  EXPECT_EQ(attr_at(16, 21), kColorWhite);
  EXPECT_EQ(attr_at(1, 22), kColorWhite);
  EXPECT_EQ(attr_at(18, 22), kColorLightBlue);
  EXPECT_EQ(attr_at(1, 23), kColorLightBlue);
  EXPECT_EQ(trimmed_row(24), "exit");
}

TEST(ReaderMessages, NotInputFileOnRow24FromColumn1) {
  con_reset_for_test();
  con_goto(1, 23);
  con_printf("keep me");
  show_failure_for("hello world", "notes.txt");
  EXPECT_EQ(trimmed_row(23), "k");  // cleared from column 2
  EXPECT_EQ(trimmed_row(24), "the file \"notes.txt\" is not input file - abort");
  EXPECT_EQ(attr_at(1, 24), kColorLightRed);
  EXPECT_EQ(con_model().cursor_y, 25);
}

TEST(ReaderMessages, RecordProblemsNameTheRecordAndTheFile) {
  struct Case {
    const char* text;
    const char* message;
  };
  const Case cases[] = {
      {"aa:5\na1:5\n", "invalid allele character in record \"a1:5\" of file \"f\""},
      {"aa:5\nbb: -3\n", "negative count in record \"bb: -3\" of file \"f\""},
      {"aa:5\nbb:\n3000000000\n", "count too large in record \"bb: 3000000000\" of file \"f\""},
      {"aa:1073741823\nbb:1\n", "sum of counts too large at record \"bb:1\" of file \"f\""},
      {"aa:5\nb\x07:1\n", "invalid allele character in record \"b :1\" of file \"f\""},
      {"aa:5\nbb:12345678901234567890123456789\n",
       "count too large in record \"bb:123456789012345678901...\" of file \"f\""},
  };
  for (const Case& c : cases) {
    con_reset_for_test();
    show_failure_for(c.text, "f");
    EXPECT_EQ(trimmed_row(24), std::string(9, ' ') + c.message) << c.text;
    EXPECT_EQ(attr_at(10, 24), kColorLightRed);
  }
}

TEST(ReaderMessages, MemoryFailureShowsTheTwoLines) {
  con_reset_for_test();
  GenotypeParse parse;
  parse.status = GenotypeParseStatus::kOutOfMemory;
  show_parse_failure(parse, "", "f");
  EXPECT_EQ(trimmed_row(24), "         Try to re-designate alleles. Cut empty allele classes");
  EXPECT_EQ(trimmed_row(25), "memory allocation error - program abort");
}

}  // namespace
