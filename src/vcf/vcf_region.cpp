#include "vcf/vcf_region.h"

#include <algorithm>

namespace {

// Digits, optionally grouped by commas between them; saturates at
// kRegionEnd. False for anything else, empty text included.
bool read_position(std::string_view text, int64_t& out) {
  if (text.empty() || text.front() == ',' || text.back() == ',') return false;
  int64_t v = 0;
  char last = 0;
  for (char c : text) {
    if (c == ',') {
      if (last == ',') return false;
    } else if (c >= '0' && c <= '9') {
      v = v >= kRegionEnd / 10 ? kRegionEnd : std::min(kRegionEnd, v * 10 + (c - '0'));
    } else {
      return false;
    }
    last = c;
  }
  out = v;
  return true;
}

enum class Range { kNone, kBad, kGood };

// POS, FROM-TO, FROM- or -TO into r.
Range read_range(std::string_view text, VcfRegion& r) {
  const size_t dash = text.find('-');
  int64_t from = 1, to = kRegionEnd;
  if (dash == std::string_view::npos) {
    if (!read_position(text, from)) return Range::kNone;
    to = from;
  } else {
    const std::string_view left = text.substr(0, dash), right = text.substr(dash + 1);
    if (left.empty() && right.empty()) return Range::kNone;
    if (!left.empty() && !read_position(left, from)) return Range::kNone;
    if (!right.empty() && !read_position(right, to)) return Range::kNone;
  }
  if (from < 1 || to < from) return Range::kBad;
  r.from = from;
  r.to = to;
  r.whole = false;
  return Range::kGood;
}

}  // namespace

std::optional<VcfRegion> parse_region(std::string_view text) {
  VcfRegion r;
  if (!text.empty() && text.front() == '{') {
    // The name ends at the last '}' that only a range, or nothing, follows.
    for (size_t close = text.rfind('}'); close != std::string_view::npos && close > 1;
         close = text.rfind('}', close - 1)) {
      VcfRegion braced;
      braced.chrom = std::string(text.substr(1, close - 1));
      const std::string_view rest = text.substr(close + 1);
      if (rest.empty()) return braced;
      if (rest.front() == ':' && read_range(rest.substr(1), braced) == Range::kGood) return braced;
    }
    return std::nullopt;
  }
  if (text.empty()) return std::nullopt;
  const size_t colon = text.rfind(':');
  if (colon != std::string_view::npos) {
    switch (read_range(text.substr(colon + 1), r)) {
      case Range::kBad:
        return std::nullopt;
      case Range::kGood:
        if (colon == 0) return std::nullopt;
        r.chrom = std::string(text.substr(0, colon));
        r.whole_name = std::string(text);
        return r;
      case Range::kNone:
        break;
    }
  }
  r.chrom = std::string(text);
  return r;
}

std::string format_region(const VcfRegion& r) {
  const bool braced =
      r.chrom.find(':') != std::string::npos || (!r.chrom.empty() && r.chrom[0] == '{');
  std::string text = braced ? "{" + r.chrom + "}" : r.chrom;
  if (r.whole) return text;
  text.append(":").append(std::to_string(r.from)).append("-");
  if (r.to < kRegionEnd) text += std::to_string(r.to);
  return text;
}

std::vector<VcfRegion> merge_regions(const std::vector<VcfRegion>& regions) {
  std::vector<std::string> contigs;
  for (const VcfRegion& g : regions)
    if (std::find(contigs.begin(), contigs.end(), g.chrom) == contigs.end())
      contigs.push_back(g.chrom);
  std::vector<VcfRegion> out;
  for (const std::string& chrom : contigs) {
    std::vector<VcfRegion> mine;
    for (const VcfRegion& g : regions)
      if (g.chrom == chrom) mine.push_back(g);
    std::stable_sort(mine.begin(), mine.end(),
                     [](const VcfRegion& a, const VcfRegion& b) { return a.from < b.from; });
    const size_t first = out.size();
    for (const VcfRegion& g : mine) {
      if (out.size() > first && g.from <= out.back().to + 1) {
        VcfRegion& last = out.back();
        last.to = std::max(last.to, g.to);
        last.whole = last.from == 1 && last.to >= kRegionEnd;
      } else {
        out.push_back(g);
      }
    }
  }
  return out;
}
