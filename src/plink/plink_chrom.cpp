#include "plink/plink_chrom.h"

#include "plink/text_file.h"

namespace {

// The codes other than 0-22: their number, their letters, kind and name.
// plink2 knows the two pseudo-autosomal regions as PAR1 and PAR2 (27, 28)
// and exports them as X.
struct NamedCode {
  int number;
  const char* letters;
  PlinkChromKind kind;
  const char* name;
};

constexpr NamedCode kNamedCodes[] = {
    {23, "x", PlinkChromKind::kX, "X"},     {24, "y", PlinkChromKind::kY, "Y"},
    {25, "xy", PlinkChromKind::kXY, "XY"},  {26, "mt", PlinkChromKind::kMito, "MT"},
    {-1, "m", PlinkChromKind::kMito, "MT"}, {27, "par1", PlinkChromKind::kXY, "X"},
    {28, "par2", PlinkChromKind::kXY, "X"},
};

// A code without its prefix: its kind and name, or false when PLINK does not
// know it.
bool known_code(std::string_view code, PlinkChromKind& kind, std::string& name) {
  if (code.empty()) return false;
  int number = -1;
  if (code.find_first_not_of("0123456789") == std::string_view::npos) {
    const size_t first = code.find_first_not_of('0');
    const std::string_view digits = first == std::string_view::npos ? "0" : code.substr(first);
    if (digits.size() > 2) return false;
    number = digits.size() == 1 ? digits[0] - '0' : (digits[0] - '0') * 10 + digits[1] - '0';
    if (number <= 22) {
      kind = number == 0 ? PlinkChromKind::kOther : PlinkChromKind::kAutosome;
      name.assign(digits);
      return true;
    }
  }
  for (const NamedCode& c : kNamedCodes) {
    if (number >= 0 ? c.number == number : same_word(code, c.letters)) {
      kind = c.kind;
      name = c.name;
      return true;
    }
  }
  return false;
}

}  // namespace

PlinkChromKind classify_plink_chrom(std::string_view code, std::string& name) {
  PlinkChromKind kind = PlinkChromKind::kOther;
  if (known_code(code, kind, name)) return kind;
  if (code.size() > 3 && same_word(code.substr(0, 3), "chr") &&
      known_code(code.substr(3), kind, name))
    return kind;
  name.assign(code);
  return PlinkChromKind::kOther;
}
