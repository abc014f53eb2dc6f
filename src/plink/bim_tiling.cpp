#include "plink/bim_tiling.h"

#include <algorithm>
#include <string>

namespace {

struct ChromShare {
  std::string chrom;
  uint64_t variants = 0;
  size_t run = 0;    // its only run, when it has one
  size_t runs = 0;
  uint64_t regions = 1;
};

void add_whole(std::vector<VcfRegion>& out, const std::string& chrom) {
  VcfRegion r;
  r.chrom = chrom;
  out.push_back(r);
}

void add_piece(std::vector<VcfRegion>& out, const std::string& chrom, int64_t from, int64_t to) {
  VcfRegion r;
  r.chrom = chrom;
  r.from = from;
  r.to = to;
  r.whole = false;
  out.push_back(r);
}

// Cuts of one sorted run into about `pieces` parts at its marks: positions
// that start a new piece, each above the one before.
std::vector<int64_t> run_cuts(const BimIndex& index, size_t run, uint64_t pieces) {
  const BimRun& b = index.runs[run];
  const auto [first, end] = run_marks(index, run);
  std::vector<int64_t> cuts;
  int64_t last = std::max<int64_t>(b.min_pos, 1);
  uint32_t m = first;
  for (uint64_t i = 1; i < pieces; ++i) {
    const uint64_t target = b.first + b.count * i / pieces;
    while (m < end && (index.marks[m].variant < target || index.marks[m].pos <= last)) ++m;
    if (m == end) break;
    last = index.marks[m].pos;
    cuts.push_back(last);
  }
  return cuts;
}

}  // namespace

std::vector<VcfRegion> tile_bim_regions(const BimIndex& index, uint32_t n) {
  std::vector<ChromShare> chroms;
  uint64_t total = 0;
  for (size_t i = 0; i < index.runs.size(); ++i) {
    const BimRun& b = index.runs[i];
    if (b.min_pos > b.max_pos) continue;  // no variant that counts
    auto at = std::find_if(chroms.begin(), chroms.end(),
                           [&](const ChromShare& c) { return c.chrom == b.chrom; });
    if (at == chroms.end()) {
      chroms.push_back({b.chrom, 0, i, 0, 1});
      at = chroms.end() - 1;
    }
    at->variants += b.count;
    ++at->runs;
    total += b.count;
  }
  std::vector<VcfRegion> out;
  for (ChromShare& c : chroms) {
    const uint64_t share = total == 0 ? 1 : (c.variants * n + total / 2) / total;
    c.regions = std::max<uint64_t>(share, 1);
    if (c.regions == 1 || c.runs > 1 || !index.runs[c.run].sorted) {
      add_whole(out, c.chrom);
      continue;
    }
    const std::vector<int64_t> cuts = run_cuts(index, c.run, c.regions);
    if (cuts.empty()) {
      add_whole(out, c.chrom);
      continue;
    }
    int64_t from = 1;
    for (int64_t cut : cuts) {
      add_piece(out, c.chrom, from, cut - 1);
      from = cut;
    }
    add_piece(out, c.chrom, from, kRegionEnd);
  }
  return out;
}
