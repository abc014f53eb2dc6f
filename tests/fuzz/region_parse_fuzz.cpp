// Any bytes as --region arguments, one a line. Each that parses has a
// contig name and 1 <= from <= to <= kRegionEnd (the whole contig exactly
// when no range was given), and reads back from format_region as the same
// region. The parsed regions joined (merge_regions) must cover exactly the
// positions the given ones cover, probed at every region's edges, and no two
// joined regions of a contig may overlap or touch. A broken invariant traps,
// so the fuzzer keeps the input as a crash.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "vcf/vcf_region.h"

namespace {

void require(bool condition) {
  if (!condition) __builtin_trap();
}

bool covers(const std::vector<VcfRegion>& regions, const std::string& chrom, int64_t pos) {
  for (const VcfRegion& g : regions)
    if (g.chrom == chrom && pos >= g.from && pos <= g.to) return true;
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::vector<VcfRegion> given;
  for (size_t start = 0; start <= input.size() && given.size() < 16;) {
    size_t end = input.find('\n', start);
    if (end == std::string_view::npos) end = input.size();
    const std::string_view text = input.substr(start, end - start);
    start = end + 1;
    const std::optional<VcfRegion> r = parse_region(text);
    if (!r) continue;
    require(!r->chrom.empty());
    require(r->from >= 1 && r->from <= r->to && r->to <= kRegionEnd);
    if (r->whole) require(r->from == 1 && r->to == kRegionEnd && r->whole_name.empty());
    if (!r->whole_name.empty()) require(r->whole_name == text && !r->whole);
    const std::optional<VcfRegion> back = parse_region(format_region(*r));
    require(back.has_value());
    require(back->chrom == r->chrom && back->from == r->from && back->to == r->to &&
            back->whole == r->whole);
    given.push_back(*r);
  }
  const std::vector<VcfRegion> joined = merge_regions(given);
  for (size_t i = 0; i < joined.size(); ++i) {
    require(joined[i].from >= 1 && joined[i].from <= joined[i].to);
    for (size_t j = i + 1; j < joined.size(); ++j) {
      if (joined[i].chrom != joined[j].chrom) continue;
      require(joined[j].from > joined[i].to + 1 || joined[i].from > joined[j].to + 1);
    }
  }
  std::vector<VcfRegion> all = given;
  all.insert(all.end(), joined.begin(), joined.end());
  for (const VcfRegion& g : all) {
    for (int64_t pos : {g.from - 1, g.from, g.from + 1, g.to - 1, g.to, g.to + 1}) {
      if (pos < 1 || pos > kRegionEnd) continue;
      require(covers(given, g.chrom, pos) == covers(joined, g.chrom, pos));
    }
  }
  return 0;
}
