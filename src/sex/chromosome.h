// Which sites are sex-linked: a chromosome name and a position classified
// as autosomal (pseudo-autosomal regions included: they are tested as
// autosomes), X outside the pseudo-autosomal regions, Y, or mitochondrial.
//
// Names, any case, with or without a `chr` prefix: X is `X` or `23`, Y is
// `Y` or `24`, a `XY` or `25` contig is pseudo-autosomal, mitochondria are
// `MT`, `M` or `26`. The pseudo-autosomal regions of X (1-based,
// inclusive): b37 60001-2699520 and 154931044-155260560; b38 10001-2781479
// and 155701383-156030895; none with `--par none`.
#pragma once

#include <cstdint>
#include <string_view>

enum class ParBuild { kB37, kB38, kNone };

inline constexpr ParBuild kDefaultParBuild = ParBuild::kB38;

// "b37", "b38" or "none"; false for anything else.
bool parse_par_build(std::string_view text, ParBuild& build);

// What a contig's name says, once per contig.
enum class ContigKind { kAutosome, kX, kPar, kY, kMito };

ContigKind classify_contig(std::string_view chrom);

enum class SiteKind { kAutosomal, kXNonPar, kY, kMito };

// A site of a classified contig at 1-based position pos.
SiteKind classify_site(ContigKind contig, int64_t pos, ParBuild par);

inline SiteKind classify_site(std::string_view chrom, int64_t pos, ParBuild par) {
  return classify_site(classify_contig(chrom), pos, par);
}
