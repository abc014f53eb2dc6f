#include "vcf/gt_text_scan.h"

#include <algorithm>
#include <cstring>

namespace {

// htslib's largest GT allele index: (INT32_MAX >> 1) - 1.
constexpr uint64_t kLargestAllele = 1073741822;

const char* next_tab(const char* s, const char* end) {
  const void* t = std::memchr(s, '\t', static_cast<size_t>(end - s));
  return t ? static_cast<const char*>(t) : end;
}

// POS as htslib reads it: an optional '+', then digits up to the first
// other character; nothing readable is 0.
int64_t read_pos(std::string_view text) {
  size_t i = 0;
  if (i < text.size() && text[i] == '+') ++i;
  uint64_t v = 0;
  for (; i < text.size() && static_cast<unsigned>(text[i] - '0') < 10; ++i) {
    v = v * 10 + static_cast<unsigned>(text[i] - '0');
    if (v > (uint64_t{1} << 62)) return 0;
  }
  return static_cast<int64_t>(v);
}

int32_t allele_count(bool has_ref, bool has_alt, std::string_view alt) {
  if (!has_ref) return 0;
  if (!has_alt || alt == ".") return 1;
  int32_t n = 2;
  for (char c : alt) n += c == ',';
  return n;
}

struct GtScan {
  const char* next;  // first character after the GT
  RecordFault fault;
};

// Where the calls go: written down (CallsSink) or counted at once
// (CountSink). begin(n_allele) comes before the first sample.
struct CallsSink {
  int32_t* calls;
  void begin(int32_t) {}
  void call(int32_t sample, int32_t lo, int32_t hi) {
    calls[2 * sample] = lo;
    calls[2 * sample + 1] = hi;
  }
  void haploid(int32_t, int32_t) {}
};

// Written down with the haploid calls as well, for the sites counted by sex.
struct SexLinkedCallsSink : CallsSink {
  void haploid(int32_t sample, int32_t allele) {
    calls[2 * sample] = allele;
    calls[2 * sample + 1] = kHaploidCall;
  }
};

// A site too wide for the dense tables is counted into a table of no
// allele at all (every call lands in its "beyond" cell), so that the loop
// stays the same; the caller then counts it again from written calls.
struct CountSink {
  const SamplePopulations& pops;
  TallyWorkspace& work;
  CallCounter counter{};
  bool started = false;
  bool wide = false;
  void begin(int32_t n_allele) {
    wide = !dense_count_fits(n_allele, pops);
    counter = start_counting(wide ? 0 : n_allele, pops, work);
    started = true;
  }
  void call(int32_t sample, int32_t lo, int32_t hi) {
    count_call(counter, static_cast<size_t>(sample), lo, hi);
  }
  void haploid(int32_t, int32_t) {}
};

// One GT subfield starting at p, as htslib's parser reads it.
template <class Sink>
inline GtScan scan_gt(const char* p, const char* end, int32_t sample, Sink& sink,
                      LargestAllele& largest) {
  int32_t a[2] = {kNoCall, kNoCall};
  int ploidy = 0;
  bool all_known = true;
  for (;;) {
    int32_t v;
    if (p < end && *p == '.') {
      ++p;
      v = kNoCall;
      all_known = false;
    } else {
      const char* start = p;
      if (p < end && *p == '+') ++p;
      uint64_t value = 0;
      bool too_large = false;
      for (; p < end && static_cast<unsigned>(*p - '0') < 10; ++p) {
        value = value * 10 + static_cast<unsigned>(*p - '0');
        if (value > kLargestAllele) {
          too_large = true;
          value = kLargestAllele + 1;
        }
      }
      if (p == start) return {p, {RecordProblem::kGtNotNumber, sample, 0, 0}};
      if (too_large) return {p, {RecordProblem::kGtTooLarge, sample, 0, 0}};
      v = static_cast<int32_t>(value);
      note_allele(largest, v, sample);
    }
    if (ploidy < 2) a[ploidy] = v;
    ++ploidy;
    if (p < end && (*p == '/' || *p == '|')) {
      ++p;
      continue;
    }
    break;
  }
  if (p < end && *p != ':' && *p != '\t')
    return {p, {RecordProblem::kGtBadCharacter, sample, 0, *p}};
  if (ploidy == 2 && all_known) sink.call(sample, std::min(a[0], a[1]), std::max(a[0], a[1]));
  if (ploidy == 1 && all_known) sink.haploid(sample, a[0]);
  return {p, {}};
}

// A call in the usual shape, three characters at p: one-digit alleles
// (given to the sink, the larger noted as the largest) or "./.". False,
// with nothing done, for any other shape; the separator and what follows
// are the caller's to check. Gives the same outcome as scan_gt, at a
// fraction of its cost.
template <class Sink>
inline bool take_plain_call(const char* p, int32_t sample, Sink& sink, LargestAllele& largest) {
  const unsigned a = static_cast<unsigned>(p[0] - '0'), b = static_cast<unsigned>(p[2] - '0');
  if (a < 10 && b < 10) {
    // Branch-free: which allele is the smaller is anybody's guess.
    const int32_t x = static_cast<int32_t>(a), y = static_cast<int32_t>(b);
    const int32_t swap = (y - x) & -static_cast<int32_t>(y < x);
    const int32_t high = y - swap;
    sink.call(sample, x + swap, high);
    if (high > largest.allele) [[unlikely]]
      largest = {high, sample};
    return true;
  }
  return p[0] == '.' && p[2] == '.';
}

// A run of samples from j on in the usual shape, each followed by a tab;
// stops before the first sample in any other shape (or the line's last),
// which the general scan takes, and moves s past the run. Gives the samples
// taken. The sink and the largest allele are locals here, so that the
// stores of the calls cannot make the loop reload them.
template <class Sink>
int32_t scan_simple_run(const char*& s, const char* end, int32_t j, int32_t samples, Sink sink,
                        LargestAllele& largest) {
  LargestAllele top = largest;
  const char* p = s;
  int32_t k = j;
  for (; k < samples && end - p >= 4; ++k, p += 4) {
    const char separator = p[1];
    if ((separator != '/' && separator != '|') || p[3] != '\t') break;
    if (!take_plain_call(p, k, sink, top)) break;
  }
  s = p;
  largest = top;
  return k - j;
}

template <class Sink>
RecordFault scan_line(const char* line, size_t length, int32_t samples, VcfTextFields& f,
                      Sink& sink, LargestAllele& largest) {
  const char* end = line + length;
  largest = {};
  f = VcfTextFields{};
  if (length == 0) return {RecordProblem::kEmptyLine, -1, 0, 0};

  // CHROM POS ID REF ALT QUAL FILTER INFO: the first five kept, three skipped.
  std::string_view fixed[5];
  int columns = 0;
  const char* s = line;
  bool more = true;
  while (more && columns < 8) {
    const char* t = next_tab(s, end);
    if (columns < 5) fixed[columns] = std::string_view(s, static_cast<size_t>(t - s));
    ++columns;
    more = t < end;
    s = more ? t + 1 : end;
  }
  f.chrom = fixed[0];
  f.pos = read_pos(fixed[1]);
  f.id = fixed[2].empty() ? std::string_view(".") : fixed[2];
  f.ref = fixed[3].empty() ? std::string_view(".") : fixed[3];
  f.alt = columns >= 5 ? fixed[4] : std::string_view(".");
  f.n_allele = allele_count(columns >= 4, columns >= 5, fixed[4]);
  if (f.pos < 1) return {RecordProblem::kBadPosition, -1, 0, 0};
  if (f.n_allele == 0) return {RecordProblem::kNoRef, -1, 0, 0};
  if (!more || samples == 0) return {};
  sink.begin(f.n_allele);

  // FORMAT: how many keys, and which one is GT (its first occurrence).
  const char* format_end = next_tab(s, end);
  int32_t keys = 1;
  int32_t gt_key = -1;
  for (const char* k = s; k <= format_end;) {
    const char* colon = static_cast<const char*>(std::memchr(k, ':', static_cast<size_t>(format_end - k)));
    const char* key_end = colon ? colon : format_end;
    if (gt_key < 0 && key_end - k == 2 && k[0] == 'G' && k[1] == 'T') gt_key = keys - 1;
    if (!colon) break;
    ++keys;
    k = colon + 1;
  }
  f.has_gt = gt_key >= 0;
  if (format_end == end) return {RecordProblem::kNoSampleColumns, -1, 0, 0};
  s = format_end + 1;

  for (int32_t j = 0; j < samples; ++j) {
    if (gt_key == 0) {
      j += scan_simple_run(s, end, j, samples, sink, largest);
      if (j == samples) break;
    }
    // A column that would start at the end of the line is absent.
    if (s == end) return {RecordProblem::kMissingSamples, -1, j, 0};
    const char* p = s;
    int32_t colons = 0;
    if (gt_key == 0 && end - p >= 3) {
      // The usual shapes first, then a tab, a colon or the end.
      const bool separated = p[1] == '/' || p[1] == '|';
      const bool ends = end - p == 3 || p[3] == '\t' || p[3] == ':';
      if (separated && ends && take_plain_call(p, j, sink, largest)) {
        p += 3;
      } else {
        GtScan g = scan_gt(p, end, j, sink, largest);
        if (g.fault.problem != RecordProblem::kNone) return g.fault;
        p = g.next;
      }
      if (p == end || *p == '\t') {
        if (p == end && j + 1 < samples) return {RecordProblem::kMissingSamples, -1, j + 1, 0};
        s = p < end ? p + 1 : end;
        continue;
      }
    } else if (f.has_gt) {
      while (colons < gt_key && p < end && *p != '\t') {
        if (*p == ':') ++colons;
        ++p;
      }
      // A GT subfield that would start at the end of the line is absent.
      if (colons == gt_key && p < end) {
        GtScan g = scan_gt(p, end, j, sink, largest);
        if (g.fault.problem != RecordProblem::kNone) return g.fault;
        p = g.next;
      }
    }
    for (; p < end && *p != '\t'; ++p) colons += *p == ':';
    if (colons >= keys) return {RecordProblem::kTooManyValues, j, 0, 0};
    if (p == end && j + 1 < samples) return {RecordProblem::kMissingSamples, -1, j + 1, 0};
    s = p < end ? p + 1 : end;
  }
  return {};
}

}  // namespace

RecordFault scan_vcf_line(const char* line, size_t length, int32_t samples, VcfTextFields& f,
                          int32_t* calls, LargestAllele& largest) {
  std::fill(calls, calls + 2 * static_cast<size_t>(std::max(samples, 0)), kNoCall);
  CallsSink sink{calls};
  return scan_line(line, length, samples, f, sink, largest);
}

RecordFault scan_sex_linked_vcf_line(const char* line, size_t length, int32_t samples,
                                     VcfTextFields& f, int32_t* calls, LargestAllele& largest) {
  std::fill(calls, calls + 2 * static_cast<size_t>(std::max(samples, 0)), kNoCall);
  SexLinkedCallsSink sink{{calls}};
  return scan_line(line, length, samples, f, sink, largest);
}

RecordFault scan_and_count_vcf_line(const char* line, size_t length, const SamplePopulations& pops,
                                    VcfTextFields& f, TallyWorkspace& work,
                                    LargestAllele& largest) {
  CountSink sink{pops, work};
  const RecordFault fault =
      scan_line(line, length, static_cast<int32_t>(pops.of_sample.size()), f, sink, largest);
  if (fault.problem != RecordProblem::kNone || largest.allele >= f.n_allele) return fault;
  if (sink.wide) {
    work.calls.resize(2 * pops.of_sample.size());
    VcfTextFields again;
    LargestAllele same;
    scan_vcf_line(line, length, static_cast<int32_t>(pops.of_sample.size()), again,
                  work.calls.data(), same);
    SiteText site;
    site.n_allele = f.n_allele;
    site.has_gt = f.has_gt;
    count_calls(site, work.calls.data(), pops, work);
    return fault;
  }
  if (!sink.started) start_counting(f.n_allele, pops, work);
  finish_counting(f.n_allele, pops, work);
  return fault;
}

std::string_view alt_as_htslib(std::string_view alt, std::string& scratch) {
  bool empty_allele = alt.empty() || alt.front() == ',' || alt.back() == ',' ||
                      alt.find(",,") != std::string_view::npos;
  if (!empty_allele) return alt;
  scratch.clear();
  size_t start = 0;
  for (;;) {
    size_t comma = alt.find(',', start);
    std::string_view allele = alt.substr(start, comma == std::string_view::npos ? alt.npos : comma - start);
    if (start > 0) scratch.push_back(',');
    if (allele.empty()) scratch.push_back('.');
    else scratch.append(allele);
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return scratch;
}
