#include "sex/chromosome.h"

#include <algorithm>
#include <cctype>

namespace {

// Contig names worth comparing are short: longer ones are autosomes.
constexpr size_t kLongestName = 5;  // CHRMT, CHRXY

struct Region {
  int64_t first;
  int64_t last;
};

constexpr Region kPar37[] = {{60001, 2699520}, {154931044, 155260560}};
constexpr Region kPar38[] = {{10001, 2781479}, {155701383, 156030895}};

template <size_t N>
bool within(const Region (&regions)[N], int64_t pos) {
  for (const Region& r : regions) {
    if (pos >= r.first && pos <= r.last) return true;
  }
  return false;
}

}  // namespace

bool parse_par_build(std::string_view text, ParBuild& build) {
  if (text == "b37") {
    build = ParBuild::kB37;
  } else if (text == "b38") {
    build = ParBuild::kB38;
  } else if (text == "none") {
    build = ParBuild::kNone;
  } else {
    return false;
  }
  return true;
}

ContigKind classify_contig(std::string_view chrom) {
  if (chrom.size() > kLongestName) return ContigKind::kAutosome;
  char upper[kLongestName];
  std::transform(chrom.begin(), chrom.end(), upper, [](char c) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  });
  std::string_view name(upper, chrom.size());
  if (name.size() > 3 && name.substr(0, 3) == "CHR") name.remove_prefix(3);
  if (name == "X" || name == "23") return ContigKind::kX;
  if (name == "Y" || name == "24") return ContigKind::kY;
  if (name == "XY" || name == "25") return ContigKind::kPar;
  if (name == "MT" || name == "M" || name == "26") return ContigKind::kMito;
  return ContigKind::kAutosome;
}

SiteKind classify_site(ContigKind contig, int64_t pos, ParBuild par) {
  switch (contig) {
    case ContigKind::kAutosome:
    case ContigKind::kPar:
      return SiteKind::kAutosomal;
    case ContigKind::kY:
      return SiteKind::kY;
    case ContigKind::kMito:
      return SiteKind::kMito;
    case ContigKind::kX:
      break;
  }
  const bool in_par = (par == ParBuild::kB37 && within(kPar37, pos)) ||
                      (par == ParBuild::kB38 && within(kPar38, pos));
  return in_par ? SiteKind::kAutosomal : SiteKind::kXNonPar;
}
