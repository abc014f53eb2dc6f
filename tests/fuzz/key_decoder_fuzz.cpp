// The key decoder on any byte stream, delivered in reads of fuzzer-chosen
// lengths with fuzzer-chosen idle flags, as the key source would deliver a
// terminal's bytes. Checks every decoded key, that decode_keys agrees with
// decode_key called one key at a time, that waiting bytes stay bounded, and
// that without a timeout in between the split points change nothing.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "console/console.h"
#include "console/key_decoder.h"

namespace {

void require(bool condition) {
  if (!condition) __builtin_trap();
}

// More bytes than this never wait for a key: the longest sequence the decoder
// holds back is an unfinished control sequence, cut off at 64 bytes.
constexpr size_t kMaxWaiting = 80;

bool known_scan(int scan) {
  switch (scan) {
    case kScanF1: case kScanF2: case kScanF3: case kScanF4: case kScanF5:
    case kScanF6: case kScanF7: case kScanF8: case kScanF9: case kScanF10:
    case kScanHome: case kScanUp: case kScanPageUp: case kScanLeft: case kScanRight:
    case kScanEnd: case kScanDown: case kScanPageDown: case kScanInsert: case kScanDelete:
      return true;
    default:
      return false;
  }
}

bool valid_event(int event) {
  if (event >= 0 && event <= 255) return true;
  return (event & ~0xFF) == kExtendedKey && known_scan(event & 0xFF);
}

bool same_state(const KeyDecoder& a, const KeyDecoder& b) {
  return a.after_cr == b.after_cr && a.in_long_sequence == b.in_long_sequence;
}

// decode_keys written out with decode_key, checking each key. The bytes end
// where their allocation ends, so a read past them is caught.
size_t decode_one_by_one(KeyDecoder& d, const uint8_t* bytes, size_t count, bool idle,
                         std::vector<int>& events) {
  size_t done = 0;
  while (done < count) {
    const DecodedKey k = decode_key(d, bytes + done, count - done, idle);
    require(k.used <= count - done);
    if (idle) require(k.used >= 1);
    if (k.used == 0) {
      require(k.event == kNoKeyEvent);
      break;
    }
    if (k.event != kNoKeyEvent) {
      require(valid_event(k.event));
      events.push_back(k.event);
    }
    done += k.used;
  }
  return done;
}

// The stream in reads; the last one is followed by the timeout.
struct StreamRun {
  std::vector<int> events;
  bool idle_before_end = false;
};

StreamRun decode_in_reads(const std::vector<uint8_t>& stream,
                          const std::vector<size_t>& cuts, const std::vector<bool>& idles) {
  StreamRun run;
  KeyDecoder a, b;  // a: one key at a time; b: decode_keys
  std::vector<uint8_t> waiting;
  size_t from = 0;
  for (size_t r = 0; r <= cuts.size(); ++r) {
    const size_t to = r < cuts.size() ? cuts[r] : stream.size();
    const bool idle = r < cuts.size() ? idles[r] : true;
    if (r < cuts.size() && idle) run.idle_before_end = true;
    waiting.insert(waiting.end(), stream.begin() + static_cast<std::ptrdiff_t>(from),
                   stream.begin() + static_cast<std::ptrdiff_t>(to));
    from = to;
    if (waiting.empty()) continue;  // the source never decodes an empty read

    const std::vector<uint8_t> exact(waiting);
    std::vector<int> by_key, by_call;
    const size_t used_a = decode_one_by_one(a, exact.data(), exact.size(), idle, by_key);
    const size_t used_b = decode_keys(b, exact.data(), exact.size(), idle, by_call);
    require(used_a == used_b && by_key == by_call && same_state(a, b));
    require(used_b <= exact.size());
    if (idle) require(used_b == exact.size());
    for (int e : by_call) require(valid_event(e));
    run.events.insert(run.events.end(), by_call.begin(), by_call.end());
    waiting.erase(waiting.begin(), waiting.begin() + static_cast<std::ptrdiff_t>(used_b));
    require(waiting.size() <= kMaxWaiting);
  }
  require(waiting.empty());
  return run;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider fdp(data, size);
  // The split points and idle flags come first, the stream is the rest.
  const size_t reads = fdp.ConsumeIntegralInRange<size_t>(0, 16);
  std::vector<size_t> lengths;
  std::vector<bool> idles;
  for (size_t r = 0; r < reads; ++r) {
    lengths.push_back(fdp.ConsumeIntegralInRange<size_t>(0, 96));
    idles.push_back(fdp.ConsumeBool());
  }
  const std::vector<uint8_t> stream = fdp.ConsumeRemainingBytes<uint8_t>();
  std::vector<size_t> cuts;
  size_t at = 0;
  for (size_t length : lengths) {
    at = at + length < stream.size() ? at + length : stream.size();
    cuts.push_back(at);
  }

  const StreamRun split = decode_in_reads(stream, cuts, idles);

  // The whole stream as one read followed by the timeout: without a timeout
  // between reads, where the reads were cut must not matter.
  if (!split.idle_before_end && !stream.empty()) {
    KeyDecoder d;
    std::vector<int> whole;
    const size_t used = decode_keys(d, stream.data(), stream.size(), true, whole);
    require(used == stream.size());
    require(whole == split.events);
  }
  return 0;
}
