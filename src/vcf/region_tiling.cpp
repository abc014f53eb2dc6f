#include "vcf/region_tiling.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <string>

#include "fileio/text_escape.h"
#include "vcf/vcf_file.h"

namespace {

// The finest windows of TBI and of CSI as htslib and bcftools make them.
constexpr int64_t kWindow = int64_t{1} << 14;

struct ContigShare {
  std::string name;
  int tid = -1;
  uint64_t records = 0;
  int32_t pieces = 0;
  std::vector<int64_t> starts;  // 0-based window starts where a region may begin
  std::vector<double> offsets;  // where reading from each starts, non-decreasing
  double first = 0, last = 0;   // the contig's records' compressed span
  uint64_t last_virtual = 0;    // where its last record ends
  int64_t first_pos = 0;        // its first record's (0-based)
};

double as_offset(uint64_t virtual_offset) {
  return static_cast<double>(virtual_offset >> 16) +
         static_cast<double>(virtual_offset & 0xFFFF) / 65536.0;
}

HtsIterator query(const VcfFile& f, int tid, int64_t beg, int64_t end) {
  return HtsIterator(
      hts_itr_query(file_index(f), tid, beg, end, f.bcf ? bcf_readrec : tbx_readrec));
}

// A query's cost follows the chunks of the range it asks for: a window's
// is cheap, the whole contig's is not. So the contig is asked for once, and
// then window by window from its first record to the window that holds its
// last byte (at most kMostWindows windows: a contig longer than 68 Gb of
// positions is cut no further).
constexpr int64_t kMostWindows = int64_t{1} << 22;

bool read_span(const VcfFile& f, ContigShare& c) {
  HtsIterator all = query(f, c.tid, 0, HTS_POS_MAX);
  if (!all || all->n_off == 0) return false;
  uint64_t first = all->off[0].u, last = 0;
  for (int i = 0; i < all->n_off; ++i) {
    first = std::min<uint64_t>(first, all->off[i].u);
    last = std::max<uint64_t>(last, all->off[i].v);
  }
  c.first = as_offset(first);
  c.last = as_offset(last);
  c.last_virtual = last;
  // The first record's position, read through the iterator.
  if (f.bcf) {
    BcfRecord record(bcf_init());
    if (record && bcf_itr_next(f.file.get(), all.get(), record.get()) >= 0) c.first_pos = all->curr_beg;
  } else {
    OwnedKstring line;
    if (tbx_itr_next(f.file.get(), f.tabix.get(), all.get(), &line.s) >= 0) c.first_pos = all->curr_beg;
  }
  return true;
}

// The windows records overlap, from the first record's on, each with the
// offset its records start at.
void find_windows(const VcfFile& f, ContigShare& c) {
  for (int64_t w = std::max<int64_t>(c.first_pos, 0) / kWindow, walked = 0; walked < kMostWindows;
       ++w, ++walked) {
    HtsIterator it = query(f, c.tid, w * kWindow, (w + 1) * kWindow);
    if (!it || it->n_off == 0) continue;
    uint64_t first = it->off[0].u, last = 0;
    for (int i = 0; i < it->n_off; ++i) {
      first = std::min<uint64_t>(first, it->off[i].u);
      last = std::max<uint64_t>(last, it->off[i].v);
    }
    c.starts.push_back(w * kWindow);
    c.offsets.push_back(as_offset(first));
    if (last >= c.last_virtual) break;
  }
}

VcfRegion piece(const std::string& chrom, int64_t from, int64_t to) {
  VcfRegion r;
  r.chrom = chrom;
  r.from = from;
  r.to = to;
  r.whole = from == 1 && to == kRegionEnd;
  return r;
}

// Splits one contig into up to c.pieces regions of about equal compressed
// size, at window starts whose offsets differ.
void cut_contig(const ContigShare& c, std::vector<VcfRegion>& out) {
  int64_t from = 1;
  double from_offset = c.first;
  size_t next = 0;
  for (int32_t i = 1; i < c.pieces; ++i) {
    const double target = c.first + (c.last - c.first) * i / c.pieces;
    // The first window at or beyond the target that starts later than the last cut.
    next = static_cast<size_t>(
        std::lower_bound(c.offsets.begin() + static_cast<long>(next), c.offsets.end(), target) -
        c.offsets.begin());
    while (next < c.offsets.size() &&
           (c.offsets[next] <= from_offset || c.starts[next] + 1 <= from))
      ++next;
    if (next == c.offsets.size()) break;
    const int64_t cut = c.starts[next] + 1;  // 1-based
    out.push_back(piece(c.name, from, cut - 1));
    from = cut;
    from_offset = c.offsets[next];
  }
  out.push_back(piece(c.name, from, kRegionEnd));
}

}  // namespace

RegionTiling tile_regions(const char* path, int32_t n) {
  RegionTiling t;
  VcfFile f;
  VcfOpenOptions options;
  options.index = true;
  options.index_purpose = "listing regions";
  t.failure = open_vcf_file(path, options, f);
  if (!vcf_ok(t.failure)) return t;
  if (f.index_older) {
    t.failure.status = VcfStatus::kStaleIndex;
    t.failure.reason = "the index " + escape_text(f.index_path) +
                       " is older than the file: regions from it would leave out what was added "
                       "since; make it again with " +
                       (f.bcf ? "bcftools index -f" : "tabix -f -p vcf");
    return t;
  }

  std::vector<ContigShare> contigs;
  uint64_t total = 0;
  for (const std::string& name : indexed_contigs(f)) {
    ContigShare c;
    c.name = name;
    c.tid = f.tabix ? tbx_name2id(f.tabix.get(), name.c_str())
                    : bcf_hdr_name2id(f.header.get(), name.c_str());
    if (c.tid < 0 || !read_span(f, c)) continue;
    // An index without its counts still has the contig's records: one share.
    uint64_t mapped = 0, unmapped = 0;
    c.records = hts_idx_get_stat(file_index(f), c.tid, &mapped, &unmapped) < 0 ? 1 : mapped;
    if (c.records == 0) c.records = 1;
    total += c.records;
    contigs.push_back(std::move(c));
  }

  // Largest remainders, at least one region per contig with records.
  const int32_t wanted = std::max<int32_t>(n, 1);
  std::vector<double> remainder(contigs.size());
  int64_t given = 0;
  for (size_t i = 0; i < contigs.size(); ++i) {
    const double share = static_cast<double>(wanted) * static_cast<double>(contigs[i].records) /
                         static_cast<double>(total);
    contigs[i].pieces = std::max<int32_t>(1, static_cast<int32_t>(std::floor(share)));
    remainder[i] = share - std::floor(share);
    given += contigs[i].pieces;
  }
  std::vector<size_t> order(contigs.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return remainder[a] > remainder[b]; });
  for (size_t i = 0; i < order.size() && given < wanted; ++i, ++given) ++contigs[order[i]].pieces;

  for (ContigShare& c : contigs) {
    if (c.pieces > 1) {
      find_windows(f, c);
      for (size_t i = 1; i < c.offsets.size(); ++i)
        c.offsets[i] = std::max(c.offsets[i], c.offsets[i - 1]);
      // No more pieces than places to cut.
      c.pieces = std::min<int32_t>(c.pieces, static_cast<int32_t>(c.starts.size()));
    }
    cut_contig(c, t.regions);
  }
  return t;
}

uint64_t indexed_record_count(const char* path, const std::vector<VcfRegion>& regions) {
  VcfFile f;
  VcfOpenOptions options;
  options.index = true;
  options.index_purpose = "counting records";
  if (!vcf_ok(open_vcf_file(path, options, f))) return 0;
  std::vector<std::string> contigs;
  if (regions.empty()) contigs = indexed_contigs(f);
  for (const VcfRegion& r : regions) {
    if (r.from > 1 || r.to < kRegionEnd) return 0;
    if (std::find(contigs.begin(), contigs.end(), r.chrom) == contigs.end())
      contigs.push_back(r.chrom);
  }
  uint64_t total = 0;
  for (const std::string& name : contigs) {
    const int tid = f.tabix ? tbx_name2id(f.tabix.get(), name.c_str())
                            : bcf_hdr_name2id(f.header.get(), name.c_str());
    if (tid < 0) continue;
    uint64_t mapped = 0, unmapped = 0;
    if (hts_idx_get_stat(file_index(f), tid, &mapped, &unmapped) < 0) return 0;
    total += mapped;
  }
  return total;
}
