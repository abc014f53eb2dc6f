// The key decoder: every key form a terminal sends, lone Esc against
// sequences, split reads, and sequences it must swallow whole.
#include "console/key_decoder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/console.h"

namespace {

constexpr int ext(int scan) { return kExtendedKey | scan; }

// Decodes the whole text as one read followed by silence.
std::vector<int> keys(const std::string& bytes, bool idle = true) {
  KeyDecoder d;
  std::vector<int> events;
  decode_keys(d, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), idle, events);
  return events;
}

using Events = std::vector<int>;

TEST(KeyDecoder, PrintableKeysAndControlKeys) {
  EXPECT_EQ(keys("yN7 ~"), (Events{'y', 'N', '7', ' ', '~'}));
  EXPECT_EQ(keys("\x01\x1a\x1c\t\x13"), (Events{1, 26, 28, 9, 19}));
}

TEST(KeyDecoder, BackspaceAndDeleteByteBothGiveEight) {
  EXPECT_EQ(keys("\x7f\b"), (Events{8, 8}));
}

TEST(KeyDecoder, EnterFromCarriageReturnOrLoneLineFeed) {
  EXPECT_EQ(keys("\r"), (Events{13}));
  EXPECT_EQ(keys("\n"), (Events{13}));
  EXPECT_EQ(keys("a\nb"), (Events{'a', 13, 'b'}));
  EXPECT_EQ(keys("\r\n"), (Events{13}));  // one Enter, not two
  EXPECT_EQ(keys("\r\r\n\n"), (Events{13, 13, 13}));
}

TEST(KeyDecoder, CrLfSplitAcrossReadsIsStillOneEnter) {
  KeyDecoder d;
  std::vector<int> events;
  const uint8_t cr = '\r', lf = '\n';
  decode_keys(d, &cr, 1, false, events);
  decode_keys(d, &lf, 1, false, events);
  EXPECT_EQ(events, (Events{13}));
}

TEST(KeyDecoder, NulByteIsDropped) {
  EXPECT_EQ(keys(std::string("a\0b", 3)), (Events{'a', 'b'}));
}

TEST(KeyDecoder, LoneEscWaitsForTheTimeout) {
  KeyDecoder d;
  const uint8_t esc = 27;
  EXPECT_EQ(decode_key(d, &esc, 1, false).used, 0u);
  const DecodedKey k = decode_key(d, &esc, 1, true);
  EXPECT_EQ(k.used, 1u);
  EXPECT_EQ(k.event, 27);
}

TEST(KeyDecoder, EscFollowedByAnotherKeyIsEscThenThatKey) {
  EXPECT_EQ(keys("\x1b\x1b"), (Events{27, 27}));
  EXPECT_EQ(keys("\x1by", false), (Events{27, 'y'}));
  EXPECT_EQ(keys("\x1b\r"), (Events{27, 13}));
}

TEST(KeyDecoder, XtermCursorKeys) {
  EXPECT_EQ(keys("\x1b[A\x1b[B\x1b[C\x1b[D\x1b[H\x1b[F", false),
            (Events{ext(72), ext(80), ext(77), ext(75), ext(71), ext(79)}));
}

TEST(KeyDecoder, ModifiedCursorKeysGiveThePlainScanCodes) {
  EXPECT_EQ(keys("\x1b[1;5A\x1b[1;2D\x1b[1;3H\x1b[1;5F", false),
            (Events{ext(72), ext(75), ext(71), ext(79)}));
}

TEST(KeyDecoder, ApplicationModeCursorKeys) {
  EXPECT_EQ(keys("\x1bOA\x1bOB\x1bOC\x1bOD\x1bOH\x1bOF", false),
            (Events{ext(72), ext(80), ext(77), ext(75), ext(71), ext(79)}));
}

TEST(KeyDecoder, FunctionKeysF1ToF4) {
  EXPECT_EQ(keys("\x1bOP\x1bOQ\x1bOR\x1bOS", false), (Events{ext(59), ext(60), ext(61), ext(62)}));
  EXPECT_EQ(keys("\x1b[1;2P\x1b[1;5S", false), (Events{ext(59), ext(62)}));
  EXPECT_EQ(keys("\x1b[11~\x1b[12~\x1b[13~\x1b[14~", false),
            (Events{ext(59), ext(60), ext(61), ext(62)}));
}

TEST(KeyDecoder, FunctionKeysF5ToF10) {
  EXPECT_EQ(keys("\x1b[15~\x1b[17~\x1b[18~\x1b[19~\x1b[20~\x1b[21~", false),
            (Events{ext(63), ext(64), ext(65), ext(66), ext(67), ext(68)}));
  EXPECT_EQ(keys("\x1b[15;2~\x1b[21;5~", false), (Events{ext(63), ext(68)}));
}

TEST(KeyDecoder, LinuxConsoleFunctionKeys) {
  EXPECT_EQ(keys("\x1b[[A\x1b[[B\x1b[[C\x1b[[D\x1b[[E", false),
            (Events{ext(59), ext(60), ext(61), ext(62), ext(63)}));
}

TEST(KeyDecoder, VtEditingKeypad) {
  EXPECT_EQ(keys("\x1b[1~\x1b[2~\x1b[3~\x1b[4~\x1b[5~\x1b[6~\x1b[7~\x1b[8~", false),
            (Events{ext(71), ext(82), ext(83), ext(79), ext(73), ext(81), ext(71), ext(79)}));
  EXPECT_EQ(keys("\x1b[3;5~\x1b[5;2~", false), (Events{ext(83), ext(73)}));
}

TEST(KeyDecoder, ApplicationKeypadGivesItsCharacters) {
  EXPECT_EQ(keys("\x1bOp\x1bOy\x1bOM\x1bOk", false), (Events{'0', '9', 13, '+'}));
}

TEST(KeyDecoder, UnknownSequencesAreSwallowedWhole) {
  EXPECT_EQ(keys("a\x1b[23~b", false), (Events{'a', 'b'}));        // F11
  EXPECT_EQ(keys("\x1b[200~x\x1b[201~", false), (Events{'x'}));   // paste brackets
  EXPECT_EQ(keys("\x1b[Z\x1b[E\x1b[?1;2c\x1b[2 q", false), Events{});
  EXPECT_EQ(keys("\x1bOz\x1bO5W\x1b[[Z", false), Events{});
  EXPECT_EQ(keys("\x1b[I\x1b[O1", false), (Events{'1'}));          // focus reports
  EXPECT_EQ(keys("\x1b[~", false), Events{});
}

TEST(KeyDecoder, OverlongSequenceIsDroppedThroughItsFinalByte) {
  const std::string junk = "\x1b[" + std::string(200, '1') + "~z";
  EXPECT_EQ(keys(junk, false), (Events{'z'}));
  // Also when its tail comes in a later read.
  KeyDecoder d;
  std::vector<int> events;
  const std::string head = "\x1b[" + std::string(100, ';');
  decode_keys(d, reinterpret_cast<const uint8_t*>(head.data()), head.size(), false, events);
  const std::string tail = "1;2Ab";
  decode_keys(d, reinterpret_cast<const uint8_t*>(tail.data()), tail.size(), false, events);
  EXPECT_EQ(events, (Events{'b'}));
}

TEST(KeyDecoder, BrokenSequenceLetsTheOddByteThrough) {
  EXPECT_EQ(keys("\x1b[12\x1b[A", false), (Events{ext(72)}));
  EXPECT_EQ(keys("\x1b[1\rq", false), (Events{13, 'q'}));
}

TEST(KeyDecoder, IncompleteSequencesWaitThenVanishAtTheTimeout) {
  for (const std::string partial : {"\x1b[", "\x1b[1", "\x1b[1;5", "\x1bO", "\x1b[[", "\x1b[15"}) {
    KeyDecoder d;
    const auto* p = reinterpret_cast<const uint8_t*>(partial.data());
    EXPECT_EQ(decode_key(d, p, partial.size(), false).used, 0u) << partial.substr(1);
    const DecodedKey k = decode_key(d, p, partial.size(), true);
    EXPECT_EQ(k.used, partial.size()) << partial.substr(1);
    EXPECT_EQ(k.event, kNoKeyEvent) << partial.substr(1);
  }
}

// Bytes of one key arriving in several reads give the key once.
TEST(KeyDecoder, SplitReadsAssembleTheKey) {
  const std::string all = "\x1b[15~\x1bOA\x1b[1;5D";
  for (size_t cut = 1; cut < all.size(); ++cut) {
    KeyDecoder d;
    std::string buffer;
    std::vector<int> events;
    for (const std::string& part : {all.substr(0, cut), all.substr(cut)}) {
      buffer += part;
      const size_t used = decode_keys(d, reinterpret_cast<const uint8_t*>(buffer.data()),
                                      buffer.size(), false, events);
      buffer.erase(0, used);
    }
    EXPECT_TRUE(buffer.empty()) << cut;
    EXPECT_EQ(events, (Events{ext(63), ext(72), ext(75)})) << cut;
  }
}

TEST(KeyDecoder, Utf8TextMapsToCodePage437OrIsDropped) {
  EXPECT_EQ(keys("\xc3\xa9\xc3\xbc"), (Events{130, 129}));     // é ü
  EXPECT_EQ(keys("\xc2\xb2\xce\xb1"), (Events{253, 224}));     // ² α
  EXPECT_EQ(keys("\xe2\x82\xac!"), (Events{'!'}));             // € is not in CP437
  EXPECT_EQ(keys("\xf0\x9f\x98\x80."), (Events{'.'}));         // an emoji
  EXPECT_EQ(keys("\xe2\x98\xba"), Events{});                   // ☺ would be Ctrl-A
  EXPECT_EQ(keys("\xff\xc3(\x80"), (Events{'('}));             // invalid bytes
}

TEST(KeyDecoder, Utf8SplitAcrossReadsWaits) {
  KeyDecoder d;
  const uint8_t bytes[] = {0xC3, 0xA9};
  EXPECT_EQ(decode_key(d, bytes, 1, false).used, 0u);
  const DecodedKey k = decode_key(d, bytes, 2, false);
  EXPECT_EQ(k.used, 2u);
  EXPECT_EQ(k.event, 130);
  EXPECT_EQ(decode_key(d, bytes, 1, true).event, kNoKeyEvent);
}

}  // namespace
