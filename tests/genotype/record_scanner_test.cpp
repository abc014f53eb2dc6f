#include "genotype/record_scanner.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Scan {
  std::string text;
  ByteScanner s;
  explicit Scan(std::string t) : text(std::move(t)) {
    s = ByteScanner{reinterpret_cast<const unsigned char*>(text.data()), text.size(), 0};
  }
};

TEST(RecordScanner, WhiteSpaceIsTheCLocaleSet) {
  for (int c = 0; c < 256; ++c) {
    const bool expected = c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
    EXPECT_EQ(is_scan_space(static_cast<unsigned char>(c)), expected) << c;
  }
}

TEST(RecordScanner, HeadTakesAnyBytesAfterWhiteSpace) {
  Scan sc(" \n\ta\n:rest");
  RecordHead head;
  ASSERT_TRUE(scan_record_head(sc.s, &head));
  EXPECT_EQ(head.start, 3u);
  EXPECT_EQ(head.c1, 'a');
  EXPECT_EQ(head.c2, '\n');
  EXPECT_EQ(head.separator, ':');
  EXPECT_EQ(sc.s.pos, 6u);
}

TEST(RecordScanner, HeadFailsWhenDataEndsInside) {
  Scan sc("  ab");
  RecordHead head;
  EXPECT_FALSE(scan_record_head(sc.s, &head));
  EXPECT_EQ(sc.s.pos, sc.text.size());
}

TEST(RecordScanner, CountSkipsWhiteSpaceAndTakesSignAndDigits) {
  Scan sc(" \n +0042x");
  const ScannedCount c = scan_count(sc.s);
  EXPECT_TRUE(c.found);
  EXPECT_FALSE(c.negative);
  EXPECT_EQ(c.magnitude, 42u);
  EXPECT_EQ(sc.s.pos, 8u);

  Scan neg("-17");
  const ScannedCount n = scan_count(neg.s);
  EXPECT_TRUE(n.found);
  EXPECT_TRUE(n.negative);
  EXPECT_EQ(n.magnitude, 17u);
  EXPECT_EQ(neg.s.pos, 3u);
}

TEST(RecordScanner, FailedCountConsumesOnlyTheWhiteSpace) {
  for (const char* text : {"  bb:5", "\n-bb", "+ 5", "-", ""}) {
    Scan sc(text);
    size_t space = 0;
    while (space < sc.text.size() && is_scan_space(sc.text[space])) ++space;
    const ScannedCount c = scan_count(sc.s);
    EXPECT_FALSE(c.found) << text;
    EXPECT_EQ(sc.s.pos, space) << text;
  }
}

TEST(RecordScanner, HugeCountsSaturate) {
  Scan sc("123456789012345678901234567890;");
  const ScannedCount c = scan_count(sc.s);
  EXPECT_TRUE(c.found);
  EXPECT_EQ(c.magnitude, kCountCeiling);
  EXPECT_EQ(sc.s.pos, 30u);
}

}  // namespace
