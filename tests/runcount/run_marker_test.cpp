#include "runcount/run_marker.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

struct Block {
  char bytes[kRunBlockSize];
  Block() { std::memset(bytes, 'x', sizeof bytes); }
  Block& put(int at, const std::string& text) {
    std::memcpy(bytes + at, text.data(), text.size());
    return *this;
  }
  const char* find() const { return find_marker(bytes, kRunMarker, kRunBlockSize, kRunMarkerLength); }
  std::string at(int offset, int length) const { return std::string(bytes + offset, length); }
};

const std::string kMarker = "000000000";
const std::string kZero(1, '\0');

TEST(FindMarker, FindsTheFirstWholeMarkerInTheBlock) {
  EXPECT_EQ(Block().find(), nullptr);
  Block start;
  start.put(0, kMarker);
  EXPECT_EQ(start.find(), start.bytes);
  Block last;
  last.put(247, kMarker);
  EXPECT_EQ(last.find(), last.bytes + 247);
  Block two;
  two.put(40, kMarker).put(120, kMarker);
  EXPECT_EQ(two.find(), two.bytes + 40);
}

TEST(FindMarker, IgnoresPartialAndCutOffMarkers) {
  Block eight;
  eight.put(10, "00000000x");
  EXPECT_EQ(eight.find(), nullptr);
  Block cut;
  cut.put(248, "00000000");  // the ninth '0' would be the next block's
  EXPECT_EQ(cut.find(), nullptr);
}

TEST(FindMarker, ARunOfTenZerosMatchesAtItsFirstCharacter) {
  Block ten;
  ten.put(30, "0000000000");
  EXPECT_EQ(ten.find(), ten.bytes + 30);
}

TEST(BumpRunCount, IncrementsTheNumberAfterTheMarker) {
  Block b;
  b.put(100, kMarker + "41" + kZero + "yz");
  int32_t count = 0;
  ASSERT_TRUE(bump_run_count(b.bytes, count));
  EXPECT_EQ(count, 42);
  EXPECT_EQ(b.at(100, 14), kMarker + "42" + kZero + "yz");
}

TEST(BumpRunCount, AGrowingNumberTakesOneByteMoreAndLeavesTheRest) {
  Block b;
  b.put(0, kMarker + "9" + kZero + "abc");
  int32_t count = 0;
  ASSERT_TRUE(bump_run_count(b.bytes, count));
  EXPECT_EQ(count, 10);
  EXPECT_EQ(b.at(0, 14), kMarker + "10" + kZero + "bc");
}

TEST(BumpRunCount, NoDigitsAfterTheMarkerIsTheFirstRun) {
  Block zeros;
  zeros.put(5, kMarker + kZero);
  int32_t count = 0;
  ASSERT_TRUE(bump_run_count(zeros.bytes, count));
  EXPECT_EQ(count, 1);
  EXPECT_EQ(zeros.at(5, 11), kMarker + "1" + kZero);

  Block letters;  // not a number at all: overwritten like an empty one
  letters.put(5, kMarker + "xyz");
  ASSERT_TRUE(bump_run_count(letters.bytes, count));
  EXPECT_EQ(count, 1);
  EXPECT_EQ(letters.at(5, 12), kMarker + "1" + kZero + "z");
}

TEST(BumpRunCount, TheTenthZeroOfARunIsReadAsTheNumberZero) {
  Block b;
  b.put(30, "0000000000" + kZero);
  int32_t count = 0;
  ASSERT_TRUE(bump_run_count(b.bytes, count));
  EXPECT_EQ(count, 1);
  EXPECT_EQ(b.at(30, 11), kMarker + "1" + kZero);
}

TEST(BumpRunCount, ReadsTheNumberAsPercentLd) {
  Block spaced;
  spaced.put(0, kMarker + "  41" + kZero);
  int32_t count = 0;
  ASSERT_TRUE(bump_run_count(spaced.bytes, count));
  EXPECT_EQ(count, 42);
  EXPECT_EQ(spaced.at(0, 12), kMarker + "42" + kZero);

  Block negative;
  negative.put(0, kMarker + "-5" + kZero);
  ASSERT_TRUE(bump_run_count(negative.bytes, count));
  EXPECT_EQ(count, -4);
}

TEST(BumpRunCount, AMarkerWithoutRoomForAnyCountBeforeTheBlockEndIsNotUsed) {
  // 9 marker bytes and 12 bytes of count room must fit: 235 is the last start.
  Block fits;
  fits.put(235, kMarker + "7" + kZero);
  int32_t count = 0;
  ASSERT_TRUE(bump_run_count(fits.bytes, count));
  EXPECT_EQ(count, 8);

  Block near_end;
  near_end.put(236, kMarker + "7" + kZero);
  const Block before = near_end;
  EXPECT_FALSE(bump_run_count(near_end.bytes, count));
  EXPECT_EQ(std::memcmp(before.bytes, near_end.bytes, kRunBlockSize), 0);
}

TEST(BumpRunCount, ReadsNoFurtherThanTheBlockEnd) {
  // Digits up to the last byte and no zero byte: the conversion stops at the
  // block's end, and the new text with its zero byte fits in the room.
  Block b;
  b.put(0, kMarker);
  std::memset(b.bytes + 9, '0', kRunBlockSize - 10);
  b.bytes[kRunBlockSize - 1] = '6';
  int32_t count = 0;
  ASSERT_TRUE(bump_run_count(b.bytes, count));
  EXPECT_EQ(count, 7);
  EXPECT_EQ(b.at(9, 3), "7" + kZero + "0");
}

TEST(BumpRunCount, ACountBeyondThe32BitRangeIsLeftAlone) {
  int32_t count = 0;
  Block largest;
  largest.put(0, kMarker + "2147483646" + kZero);
  ASSERT_TRUE(bump_run_count(largest.bytes, count));
  EXPECT_EQ(count, 2147483647);

  for (const char* text : {"2147483647", "99999999999999999999999", "-2147483650"}) {
    Block b;
    b.put(0, kMarker + text + kZero);
    const Block before = b;
    EXPECT_FALSE(bump_run_count(b.bytes, count)) << text;
    EXPECT_EQ(std::memcmp(before.bytes, b.bytes, kRunBlockSize), 0) << text;
  }
}

}  // namespace
