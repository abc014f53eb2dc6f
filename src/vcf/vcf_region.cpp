#include "vcf/vcf_region.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

#include "vcf/hts_handles.h"

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

namespace {

constexpr int64_t kLastPosition = 2147483647;

struct ContigShare {
  std::string name;
  int tid = -1;
  uint64_t records = 0;
  int32_t pieces = 0;
};

struct IndexView {
  hts_idx_t* idx = nullptr;
  tbx_t* tabix = nullptr;  // VCF text
};

// The compressed offset where records at or after pos (1-based) start, or
// `after` when none do.
double offset_at(const IndexView& v, int tid, int64_t pos, double after) {
  HtsIterator it(v.tabix ? tbx_itr_queryi(v.tabix, tid, pos - 1, kLastPosition)
                         : bcf_itr_queryi(v.idx, tid, pos - 1, kLastPosition));
  if (!it || it->n_off == 0) return after;
  uint64_t u = it->off[0].u;
  return static_cast<double>(u >> 16) + static_cast<double>(u & 0xFFFF) / 65536.0;
}

// Splits one contig into `pieces` regions of about equal compressed size.
void cut_contig(const IndexView& v, const ContigShare& c, std::vector<VcfRegion>& out) {
  if (c.pieces <= 1) {
    out.push_back(VcfRegion{c.name, 1, kLastPosition, true});
    return;
  }
  HtsIterator all(v.tabix ? tbx_itr_queryi(v.tabix, c.tid, 0, kLastPosition)
                          : bcf_itr_queryi(v.idx, c.tid, 0, kLastPosition));
  if (!all || all->n_off == 0) {
    out.push_back(VcfRegion{c.name, 1, kLastPosition, true});
    return;
  }
  uint64_t last = 0;
  for (int i = 0; i < all->n_off; ++i) last = std::max<uint64_t>(last, all->off[i].v);
  const double start = offset_at(v, c.tid, 1, 0);
  const double end = static_cast<double>(last >> 16) + static_cast<double>(last & 0xFFFF) / 65536.0;
  int64_t from = 1;
  double from_offset = start;
  for (int32_t i = 1; i < c.pieces; ++i) {
    const double target = start + (end - start) * i / c.pieces;
    // The first position whose records start at or beyond the target.
    int64_t lo = from + 1, hi = kLastPosition;
    while (lo < hi) {
      int64_t mid = lo + (hi - lo) / 2;
      if (offset_at(v, c.tid, mid, end) >= target) hi = mid;
      else lo = mid + 1;
    }
    if (lo >= kLastPosition) break;
    // A cut the index cannot tell from the last one would give an empty region.
    const double offset = offset_at(v, c.tid, lo, end);
    if (offset <= from_offset) continue;
    out.push_back(VcfRegion{c.name, from, lo - 1, false});
    from = lo;
    from_offset = offset;
  }
  out.push_back(VcfRegion{c.name, from, kLastPosition, from == 1});
}

}  // namespace

RegionTiling tile_regions(const char* path, int32_t n) {
  silence_htslib();
  RegionTiling t;
  auto fail = [&](VcfStatus s, const char* reason) {
    t.failure.status = s;
    t.failure.reason = reason;
    return t;
  };
  HtsFile file(hts_open(path, "r"));
  if (!file) return fail(VcfStatus::kCannotOpen, "cannot open the file");
  const htsFormat* format = hts_get_format(file.get());
  if (format->category != variant_data || (format->format != vcf && format->format != bcf))
    return fail(VcfStatus::kNotVcf, "not a VCF or BCF file");
  BcfHeader header(bcf_hdr_read(file.get()));
  if (!header) return fail(VcfStatus::kNotVcf, "no readable VCF header");

  HtsIndex index;
  TabixIndex tabix;
  IndexView view;
  if (format->format == bcf) {
    index.reset(bcf_index_load(path));
    view.idx = index.get();
  } else {
    tabix.reset(tbx_index_load(path));
    if (tabix) view = {tabix->idx, tabix.get()};
  }
  if (!view.idx) return fail(VcfStatus::kNoIndex, "listing regions needs an index (.tbi or .csi)");

  int names = 0;
  const char** seqnames = view.tabix ? tbx_seqnames(view.tabix, &names)
                                     : bcf_index_seqnames(view.idx, header.get(), &names);
  std::vector<ContigShare> contigs;
  uint64_t total = 0;
  for (int i = 0; i < names; ++i) {
    ContigShare c;
    c.name = seqnames[i];
    c.tid = view.tabix ? tbx_name2id(view.tabix, seqnames[i]) : bcf_hdr_name2id(header.get(), seqnames[i]);
    uint64_t mapped = 0, unmapped = 0;
    if (c.tid < 0 || hts_idx_get_stat(view.idx, c.tid, &mapped, &unmapped) < 0) continue;
    c.records = mapped;
    if (mapped == 0) continue;
    total += mapped;
    contigs.push_back(std::move(c));
  }
  std::free(seqnames);

  // Largest remainders, at least one region per contig with records.
  const int32_t wanted = std::max<int32_t>(n, 1);
  std::vector<double> remainder(contigs.size());
  int32_t given = 0;
  for (size_t i = 0; i < contigs.size(); ++i) {
    double share = static_cast<double>(wanted) * static_cast<double>(contigs[i].records) / static_cast<double>(total);
    contigs[i].pieces = std::max<int32_t>(1, static_cast<int32_t>(std::floor(share)));
    remainder[i] = share - std::floor(share);
    given += contigs[i].pieces;
  }
  while (given < wanted && !contigs.empty()) {
    size_t best = static_cast<size_t>(std::max_element(remainder.begin(), remainder.end()) - remainder.begin());
    ++contigs[best].pieces;
    remainder[best] = -1;
    ++given;
  }
  for (const ContigShare& c : contigs) cut_contig(view, c, t.regions);
  return t;
}
