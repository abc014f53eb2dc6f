#include "genotype/genotype_parse.h"

#include <utility>

#include "genotype/record_scanner.h"

namespace {

bool is_ascii_letter(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// " %c%c%c%c": the count must follow the separator at once, without sign or
// space, so that text which merely happens to contain a colon is refused.
// Only the white space before the record is consumed.
bool first_record_accepted(ByteScanner& s) {
  scan_skip_space(s);
  if (!scan_has(s, 4)) return false;
  const unsigned char* r = s.data + s.pos;
  return is_ascii_letter(r[0]) && is_ascii_letter(r[1]) && is_record_separator(r[2]) &&
         r[3] >= '0' && r[3] <= '9';
}

int32_t largest_allele_index(ByteScanner& s) {
  int32_t largest = 0;
  RecordHead head;
  while (scan_record_head(s, &head) && is_record_separator(head.separator)) {
    // Characters without an allele index are reported by the second pass, in
    // the order of the records.
    const int32_t i1 = allele_index(head.c1);
    const int32_t i2 = allele_index(head.c2);
    const int32_t higher = i1 > i2 ? i1 : i2;
    if (higher > largest) largest = higher;
    scan_count(s);
  }
  return largest;
}

GenotypeParse failure(GenotypeParseStatus status, const RecordHead& head, ByteScanner& s) {
  GenotypeParse parse;
  parse.status = status;
  parse.c1 = static_cast<char>(head.c1);
  parse.c2 = static_cast<char>(head.c2);
  parse.record_start = head.start;
  parse.record_end = scan_offset(s);
  parse.record_text_length = scan_record_text(s, parse.record_end, parse.record_text);
  return parse;
}

GenotypeParse simple_failure(GenotypeParseStatus status) {
  GenotypeParse parse;
  parse.status = status;
  return parse;
}

bool allocate_table(GenotypeTable& table, int32_t k) {
  const int32_t cells = cell_count_for(k);
  if (!table.allocate_zeroed(static_cast<size_t>(cells))) return false;
  clear_genotype_table(table.data, cells);
  return true;
}

constexpr uint64_t kInt32Max = 2147483647;
// Every allele index is below 128, so a table for this many alleles has a
// cell for every genotype a file can name.
constexpr int32_t kMostAlleles = 128;

struct FilledTable {
  GenotypeParse failure;  // status kOk when the table was filled
  uint64_t sum = 0;
  int32_t largest = 0;    // the largest allele index met
};

// The counting pass: every record into its cell of a table for k alleles.
FilledTable fill_table(ByteScanner& s, GenotypeTable& table, int32_t k) {
  using Status = GenotypeParseStatus;
  FilledTable filled;
  RecordHead head;
  // The record just read fails: the scanner stands at its end.
  auto fail = [&](Status status) {
    filled.failure = failure(status, head, s);
    return std::move(filled);
  };
  while (scan_record_head(s, &head) && is_record_separator(head.separator)) {
    int32_t i1 = allele_index(head.c1);
    int32_t i2 = allele_index(head.c2);
    if (i1 < 0 || i2 < 0) {
      scan_count(s);
      return fail(Status::kNoAlleleIndex);
    }
    if (i1 > i2) std::swap(i1, i2);
    if (i2 > filled.largest) filled.largest = i2;
    GenotypeCell& cell = table[tri_index(i1, i2, k)];
    if (cell.count != 0) return fail(Status::kDuplicateEntry);

    const ScannedCount count = scan_count(s);
    if (count.found) {
      if (count.negative && count.magnitude != 0) return fail(Status::kNegativeCount);
      if (count.magnitude > kInt32Max) return fail(Status::kCountTooLarge);
      cell.count = static_cast<int32_t>(count.magnitude);
    }
    cell.allele1 = static_cast<char>(i1 + 65);
    cell.allele2 = static_cast<char>(i2 + 65);
    filled.sum += static_cast<uint64_t>(cell.count);
    if (2 * filled.sum > kInt32Max) return fail(Status::kTotalTooLarge);
  }
  return filled;
}

// The cells of the alleles below k, out of a table made for kMostAlleles.
bool shrink_table(GenotypeTable& table, int32_t k) {
  GenotypeTable small;
  if (!allocate_table(small, k)) return false;
  for (int32_t i = 0; i < k; ++i)
    for (int32_t j = i; j < k; ++j) small[tri_index(i, j, k)] = table[tri_index(i, j, kMostAlleles)];
  table = std::move(small);
  return true;
}

GenotypeParse parse_scanned(ByteScanner& s) {
  using Status = GenotypeParseStatus;
  if (!first_record_accepted(s)) return simple_failure(Status::kNotInputFile);

  // Two passes, the first for the number of alleles, where the text can be
  // read again; otherwise (a pipe) one pass into a table with room for every
  // allele, cut down to the alleles met afterwards. Both give the same table.
  int32_t k = kMostAlleles;
  const bool two_passes = scan_can_rewind(s);
  if (two_passes) {
    k = largest_allele_index(s) + 1;
    // A seek that fails marks the window failed; its owner reports that.
    if (!scan_rewind(s)) return simple_failure(Status::kNotInputFile);
  }
  GenotypeTable table;
  if (!allocate_table(table, k)) return simple_failure(Status::kOutOfMemory);

  FilledTable filled = fill_table(s, table, k);
  if (filled.failure.status != Status::kOk) return std::move(filled.failure);
  if (!two_passes) {
    k = filled.largest + 1;
    if (!shrink_table(table, k)) return simple_failure(Status::kOutOfMemory);
  }

  GenotypeParse parse;
  parse.table = std::move(table);
  parse.k = k;
  parse.two_n = static_cast<int32_t>(2 * filled.sum);
  return parse;
}

}  // namespace

GenotypeParse parse_genotype_bytes(const unsigned char* data, size_t length) {
  ByteScanner s{data, length, 0};
  return parse_scanned(s);
}

GenotypeParse parse_genotype_window(TextWindow& window) {
  ByteScanner s = scan_window(window);
  return parse_scanned(s);
}
