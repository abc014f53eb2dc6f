#include "vcf/vcf_region.h"

#include <charconv>

namespace {

bool read_position(std::string_view digits, int64_t& out) {
  if (digits.empty() || digits.size() > 15) return false;
  for (char c : digits)
    if (c < '0' || c > '9') return false;
  std::from_chars(digits.data(), digits.data() + digits.size(), out);
  return true;
}

}  // namespace

std::optional<VcfRegion> parse_region(std::string_view text) {
  if (text.empty()) return std::nullopt;
  VcfRegion r;
  size_t colon = text.rfind(':');
  if (colon != std::string_view::npos) {
    std::string_view range = text.substr(colon + 1);
    size_t dash = range.find('-');
    int64_t from = 0, to = 0;
    if (dash != std::string_view::npos && read_position(range.substr(0, dash), from) &&
        read_position(range.substr(dash + 1), to)) {
      if (colon == 0 || from < 1 || to < from) return std::nullopt;
      r.chrom = std::string(text.substr(0, colon));
      r.from = from;
      r.to = to;
      r.whole = false;
      return r;
    }
  }
  r.chrom = std::string(text);
  return r;
}

std::string format_region(const VcfRegion& r) {
  if (r.whole) return r.chrom;
  return r.chrom + ":" + std::to_string(r.from) + "-" + std::to_string(r.to);
}
