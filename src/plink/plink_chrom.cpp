#include "plink/plink_chrom.h"

#include "plink/text_file.h"

namespace {

// A code without its prefix: its kind and name, or false when PLINK does not
// know it.
bool known_code(std::string_view code, PlinkChromKind& kind, std::string& name) {
  if (code.empty()) return false;
  if (code.find_first_not_of("0123456789") == std::string_view::npos) {
    const size_t first = code.find_first_not_of('0');
    const std::string_view digits = first == std::string_view::npos ? "0" : code.substr(first);
    if (digits.size() > 2) return false;
    const int value = digits.size() == 1 ? digits[0] - '0' : (digits[0] - '0') * 10 + digits[1] - '0';
    if (value >= 1 && value <= 22) {
      kind = PlinkChromKind::kAutosome;
      name.assign(digits);
      return true;
    }
    switch (value) {
      case 0: kind = PlinkChromKind::kOther, name = "0"; return true;
      case 23: kind = PlinkChromKind::kX, name = "X"; return true;
      case 24: kind = PlinkChromKind::kY, name = "Y"; return true;
      case 25: kind = PlinkChromKind::kXY, name = "XY"; return true;
      case 26: kind = PlinkChromKind::kMito, name = "MT"; return true;
      // plink2's codes of the two pseudo-autosomal regions, which it exports as X.
      case 27:
      case 28: kind = PlinkChromKind::kXY, name = "X"; return true;
      default: return false;
    }
  }
  if (same_word(code, "x")) kind = PlinkChromKind::kX, name = "X";
  else if (same_word(code, "y")) kind = PlinkChromKind::kY, name = "Y";
  else if (same_word(code, "xy")) kind = PlinkChromKind::kXY, name = "XY";
  else if (same_word(code, "mt") || same_word(code, "m")) kind = PlinkChromKind::kMito, name = "MT";
  else if (same_word(code, "par1") || same_word(code, "par2")) kind = PlinkChromKind::kXY, name = "X";
  else return false;
  return true;
}

}  // namespace

PlinkChromKind classify_plink_chrom(std::string_view code, std::string& name) {
  PlinkChromKind kind = PlinkChromKind::kOther;
  if (known_code(code, kind, name)) return kind;
  if (code.size() > 3 && same_word(code.substr(0, 3), "chr") && known_code(code.substr(3), kind, name))
    return kind;
  name.assign(code);
  return PlinkChromKind::kOther;
}
