// Any bytes through the Genepop parser, whole and as the reader feeds them
// (lines cut where LF falls), then the classic table, the heading and the
// adjusted values of every tally the parser accepts. A broken invariant
// traps, so the fuzzer keeps the input as a crash.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "genepop/classic_letters.h"
#include "genepop/genepop_parse.h"
#include "stats/multiple_testing.h"

namespace {

void require(bool condition) {
  if (!condition) __builtin_trap();
}

size_t count_lines(std::string_view text) {
  size_t lines = 0;
  for (char c : text) lines += c == '\n';
  return lines + (!text.empty() && text.back() != '\n');
}

// A tally: ascending codes within its width, copies adding up to 2n, the
// triangle's cells adding up to n and giving each class its copies.
void check_tally(const GenepopTally& t, const GenepopData& d, size_t index) {
  const size_t loci = d.loci.size();
  require(t.population == static_cast<int32_t>(index / loci) + 1);
  require(t.locus == static_cast<int32_t>(index % loci));
  require(t.locus_name == d.loci[index % loci]);
  require(t.digits == 2 || t.digits == 3);
  require(t.n >= 0 && t.missing >= 0);
  const int32_t k = tally_k(t);
  require(t.allele_copies.size() == t.allele_codes.size());
  require(t.genotype_counts.size() == static_cast<size_t>(k) * (k + 1) / 2);
  const int32_t top = t.digits == 2 ? 99 : 999;
  std::vector<int64_t> copies(static_cast<size_t>(k), 0);
  int64_t typed = 0;
  for (int32_t i = 0; i < k; ++i) {
    require(t.allele_codes[i] >= 1 && t.allele_codes[i] <= top);
    require(i == 0 || t.allele_codes[i] > t.allele_codes[i - 1]);
    require(t.allele_copies[i] > 0);
    for (int32_t j = i; j < k; ++j) {
      const int32_t c = t.genotype_counts[tri_index(i, j, k)];
      require(c >= 0);
      typed += c;
      copies[i] += c;
      copies[j] += c;
    }
  }
  require(typed == t.n);
  for (int32_t i = 0; i < k; ++i) require(copies[i] == t.allele_copies[i]);

  GenotypeTable table;
  int32_t classic_k = 0;
  int32_t two_n = 0;
  const bool filled = fill_classic_table(t, table, classic_k, two_n);
  require(filled == (k >= 1 && k <= kMaxLetterClasses));
  if (filled) {
    require(classic_k == k && two_n == 2 * t.n && table.size == t.genotype_counts.size());
    for (size_t pos = 0; pos < table.size; ++pos) {
      require(table[pos].count == t.genotype_counts[pos]);
      require((table[pos].allele1 != 0) == (table[pos].count != 0));
    }
  }
  const std::string heading = format_genepop_heading("f", t);
  require(!heading.empty() && heading.back() == '\n');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const GenepopRead whole = parse_genepop_text(text);

  // Fed one line at a time, the result must be the same.
  GenepopParser p;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    if (!feed_genepop_line(p, text.substr(start, end - start))) break;
    start = end + 1;
  }
  const GenepopRead fed = finish_genepop(p);
  require(fed.status == whole.status && fed.line == whole.line && fed.reason == whole.reason);
  require(fed.data.tallies.size() == whole.data.tallies.size());

  if (whole.status != GenepopStatus::kOk) {
    require(!whole.reason.empty());
    require(whole.line <= count_lines(text));
    require(whole.data.loci.empty() && whole.data.tallies.empty());
    return 0;
  }
  const GenepopData& d = whole.data;
  require(!d.loci.empty() && d.populations >= 1);
  require(d.tallies.size() == d.loci.size() * static_cast<size_t>(d.populations));
  std::vector<double> p_values;
  for (size_t i = 0; i < d.tallies.size(); ++i) {
    check_tally(d.tallies[i], d, i);
    require(fed.data.tallies[i].genotype_counts == d.tallies[i].genotype_counts);
    const int32_t k = tally_k(d.tallies[i]);
    p_values.push_back(k < 2 ? std::nan("") : 1.0 / k);
  }
  const std::vector<double> q = adjust_benjamini_hochberg(p_values);
  require(q.size() == p_values.size());
  for (size_t i = 0; i < q.size(); ++i) {
    require(std::isnan(q[i]) == std::isnan(p_values[i]));
    if (!std::isnan(q[i])) require(q[i] >= p_values[i] && q[i] <= 1.0);
  }
  return 0;
}
