// PLINK's chromosome codes: 1-22, X or 23, Y or 24, XY or 25 (the
// pseudo-autosomal region, under autosomal rules), MT or 26 (M too), with or
// without a "chr" prefix, in any case, with leading zeros; and plink2's PAR1
// and PAR2 (27 and 28) for the two pseudo-autosomal regions of X, of kind XY.
// Each is named as plink2 writes it when it exports the fileset as VCF ("1",
// "X", "Y", "XY", "MT"; "X" for PAR1 and PAR2). Any other code ("0" for unplaced sites, contig
// names) is kept as written and counted under autosomal rules.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

enum class PlinkChromKind : uint8_t { kAutosome, kX, kY, kXY, kMito, kOther };

// The code's kind; `name` becomes its name.
PlinkChromKind classify_plink_chrom(std::string_view code, std::string& name);
