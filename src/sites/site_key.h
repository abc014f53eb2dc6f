// The identity of a site's population unit, independent of where the site is
// read (a shard or the whole file), for keying its random stream.
//
// The key is a 64-bit hash of six fields, each taken as bytes: chrom, pos
// (decimal, no leading zeros), ref, alt (the ALT column as written, "." when
// there is none), the population name, and the occurrence (decimal): 1 for
// the first record with these chrom, pos, ref and alt, 2 for the second...
// (the reader counts them among the records of one position that follow each
// other, which in a sorted file are all of them).
// With mix(x) the splitmix64 step (x += 0x9E3779B97F4A7C15, then
// x = (x ^ x>>30) * 0xBF58476D1CE4E5B9, x = (x ^ x>>27) * 0x94D049BB133111EB,
// x ^ x>>31), starting from h = 0, every field does h = mix(h ^ length) and
// then h = mix(h ^ w) for each 8-byte word w of the field, little-endian,
// the last word padded with zero bytes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// h after one more field.
uint64_t hash_key_field(uint64_t h, std::string_view field);

uint64_t site_unit_key(std::string_view chrom, int64_t pos, std::string_view ref,
                       std::string_view alt, std::string_view population, uint32_t occurrence);

// The records of one position met so far, one after the other, for the
// occurrence of the next (a reader keeps one).
struct IdenticalRecords {
  std::string chrom;
  int64_t pos = -1;
  std::vector<uint64_t> prefixes;
};

// The key prefix of a record's chrom, pos, ref and alt (into `prefix`), and
// its occurrence: 1 + the records before it at its position with that prefix.
uint32_t note_occurrence(IdenticalRecords& seen, std::string_view chrom, int64_t pos,
                         std::string_view ref, std::string_view alt, uint64_t& prefix);
