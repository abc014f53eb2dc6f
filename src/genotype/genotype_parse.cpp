#include "genotype/genotype_parse.h"

#include <utility>

#include "genotype/record_scanner.h"

namespace {

bool is_ascii_letter(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// " %c%c%c%c": the count must follow the separator at once, without sign or
// space, so that text which merely happens to contain a colon is refused.
bool first_record_accepted(const unsigned char* data, size_t length) {
  ByteScanner s{data, length, 0};
  scan_skip_space(s);
  if (length - s.pos < 4) return false;
  const unsigned char* r = data + s.pos;
  return is_ascii_letter(r[0]) && is_ascii_letter(r[1]) && is_record_separator(r[2]) &&
         r[3] >= '0' && r[3] <= '9';
}

int32_t largest_allele_index(const unsigned char* data, size_t length) {
  ByteScanner s{data, length, 0};
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

GenotypeParse failure(GenotypeParseStatus status, const RecordHead& head, size_t end) {
  GenotypeParse parse;
  parse.status = status;
  parse.c1 = static_cast<char>(head.c1);
  parse.c2 = static_cast<char>(head.c2);
  parse.record_start = head.start;
  parse.record_end = end;
  return parse;
}

GenotypeParse simple_failure(GenotypeParseStatus status) {
  GenotypeParse parse;
  parse.status = status;
  return parse;
}

constexpr uint64_t kInt32Max = 2147483647;

}  // namespace

GenotypeParse parse_genotype_bytes(const unsigned char* data, size_t length) {
  using Status = GenotypeParseStatus;
  if (!first_record_accepted(data, length)) return simple_failure(Status::kNotInputFile);

  const int32_t k = largest_allele_index(data, length) + 1;
  const int32_t cells = cell_count_for(k);
  GenotypeTable table;
  if (!table.allocate_zeroed(static_cast<size_t>(cells))) return simple_failure(Status::kOutOfMemory);
  clear_genotype_table(table.data, cells);

  ByteScanner s{data, length, 0};
  uint64_t sum = 0;
  RecordHead head;
  while (scan_record_head(s, &head) && is_record_separator(head.separator)) {
    int32_t i1 = allele_index(head.c1);
    int32_t i2 = allele_index(head.c2);
    if (i1 < 0 || i2 < 0) {
      ByteScanner rest = s;
      scan_count(rest);
      return failure(Status::kNoAlleleIndex, head, rest.pos);
    }
    if (i1 > i2) std::swap(i1, i2);
    GenotypeCell& cell = table[tri_index(i1, i2, k)];
    if (cell.count != 0) return failure(Status::kDuplicateEntry, head, s.pos);

    const ScannedCount count = scan_count(s);
    if (count.found) {
      if (count.negative && count.magnitude != 0)
        return failure(Status::kNegativeCount, head, s.pos);
      if (count.magnitude > kInt32Max) return failure(Status::kCountTooLarge, head, s.pos);
      cell.count = static_cast<int32_t>(count.magnitude);
    }
    cell.allele1 = static_cast<char>(i1 + 65);
    cell.allele2 = static_cast<char>(i2 + 65);
    sum += static_cast<uint64_t>(cell.count);
    if (2 * sum > kInt32Max) return failure(Status::kTotalTooLarge, head, s.pos);
  }

  GenotypeParse parse;
  parse.table = std::move(table);
  parse.k = k;
  parse.two_n = static_cast<int32_t>(2 * sum);
  return parse;
}
