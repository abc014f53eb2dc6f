#include "figures/genotype_counts.h"

#include <algorithm>
#include <charconv>

#include "format/number_format.h"

namespace {

bool decimal(std::string_view s) {
  return !s.empty() && s.size() < 19 &&
         std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

struct Entry {
  std::string_view first, second;
  int64_t count;
};

}  // namespace

void append_genotype_count(std::string& text, std::string_view first, std::string_view second,
                           int64_t count) {
  if (count == 0) return;
  // One append of the whole entry where its labels are short, as they are
  // at nearly every unit.
  char entry[64];
  if (first.size() + second.size() + 24 > sizeof entry) {
    if (!text.empty()) text += ',';
    text.append(first).append(1, '/').append(second).append(1, ':');
    char digits[24];
    const auto [end, error] = std::to_chars(digits, digits + sizeof digits, count);
    (void)error;
    text.append(digits, end);
    return;
  }
  char* at = entry;
  if (!text.empty()) *at++ = ',';
  at = std::copy(first.begin(), first.end(), at);
  *at++ = '/';
  at = std::copy(second.begin(), second.end(), at);
  *at++ = ':';
  at = std::to_chars(at, entry + sizeof entry, count).ptr;
  text.append(entry, static_cast<size_t>(at - entry));
}

std::optional<CountedGenotypes> parse_genotype_counts(std::string_view text, std::string& reason) {
  CountedGenotypes out;
  if (text == kNaText) return out;
  std::vector<Entry> entries;
  for (size_t start = 0; start <= text.size();) {
    size_t comma = text.find(',', start);
    if (comma == std::string_view::npos) comma = text.size();
    const std::string_view item = text.substr(start, comma - start);
    const size_t slash = item.find('/');
    const size_t colon = item.find(':');
    Entry e{};
    if (slash == std::string_view::npos || colon == std::string_view::npos || colon < slash) {
      reason = "an entry is not A/B:count";
      return std::nullopt;
    }
    e.first = item.substr(0, slash);
    e.second = item.substr(slash + 1, colon - slash - 1);
    const std::string_view count = item.substr(colon + 1);
    const auto [end, error] = std::from_chars(count.data(), count.data() + count.size(), e.count);
    if (e.first.empty() || e.second.empty() || error != std::errc() ||
        end != count.data() + count.size() || e.count <= 0) {
      reason = "an entry is not A/B:count with a count above 0";
      return std::nullopt;
    }
    entries.push_back(e);
    start = comma + 1;
  }
  std::vector<std::string_view> labels;
  for (const Entry& e : entries) {
    labels.push_back(e.first);
    labels.push_back(e.second);
  }
  const bool numbers = std::all_of(labels.begin(), labels.end(), decimal);
  const auto before = [numbers](std::string_view a, std::string_view b) {
    if (numbers) {
      const int64_t x = std::stoll(std::string(a)), y = std::stoll(std::string(b));
      if (x != y) return x < y;
    }
    return std::lexicographical_compare(
        a.begin(), a.end(), b.begin(), b.end(),
        [](char p, char q) { return static_cast<unsigned char>(p) < static_cast<unsigned char>(q); });
  };
  std::sort(labels.begin(), labels.end(), before);
  labels.erase(std::unique(labels.begin(), labels.end()), labels.end());
  const int64_t k = static_cast<int64_t>(labels.size());
  const auto index = [&](std::string_view label) {
    return std::lower_bound(labels.begin(), labels.end(), label, before) - labels.begin();
  };
  out.sample.k = static_cast<int32_t>(k);
  out.sample.counts.assign(static_cast<size_t>(k * (k + 1) / 2), 0);
  int64_t last = -1;
  for (const Entry& e : entries) {
    const int64_t i = index(e.first), j = index(e.second);
    const int64_t cell = i * k + j - i * (i + 1) / 2;
    // The writer's order, which is the order read back from the labels.
    if (i > j || cell <= last) {
      reason = "the genotypes are not in the triangle's order of their alleles";
      return std::nullopt;
    }
    last = cell;
    out.sample.counts[static_cast<size_t>(cell)] = e.count;
  }
  for (std::string_view label : labels) out.alleles.emplace_back(label);
  return out;
}
