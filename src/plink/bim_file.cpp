#include "plink/bim_file.h"

#include <algorithm>
#include <charconv>

#include "plink/text_file.h"

namespace {

bool read_integer(std::string_view text, int64_t& out) {
  if (!text.empty() && text[0] == '+') text.remove_prefix(1);
  const char* end = text.data() + text.size();
  auto [stop, error] = std::from_chars(text.data(), end, out);
  return error == std::errc() && stop == end;
}

bool read_number(std::string_view text, double& out) {
  // PLINK writes 0 for an unknown genetic distance, which most files hold
  // on every line; parsing a double costs more than the rest of the line.
  if (text.size() == 1 && text[0] == '0') {
    out = 0;
    return true;
  }
  if (!text.empty() && text[0] == '+') text.remove_prefix(1);
  const char* end = text.data() + text.size();
  auto [stop, error] = std::from_chars(text.data(), end, out);
  return error == std::errc() && stop == end;
}

}  // namespace

bool parse_bim_line(std::string_view line, BimVariant& v, std::string& reason) {
  std::string_view f[6];
  const size_t fields = split_fields(line, f, 6);
  if (fields != 6) {
    reason =
        "expected 6 fields (chromosome, ID, cM, position, A1, A2), found " + std::to_string(fields);
    return false;
  }
  double cm = 0;
  if (!read_number(f[2], cm)) {
    reason = "the cM position \"" + std::string(f[2]) + "\" is not a number";
    return false;
  }
  // PLINK keeps positions in 32 bits.
  if (!read_integer(f[3], v.pos) || v.pos > INT32_MAX || v.pos < INT32_MIN) {
    reason = "the position \"" + std::string(f[3]) + "\" is not a whole number of base pairs";
    return false;
  }
  if (f[4] == f[5] && !is_no_allele(f[4])) {
    reason = "A1 and A2 are both \"" + std::string(f[4]) + "\"";
    return false;
  }
  v.chrom = f[0];
  v.id = f[1];
  v.a1 = f[4];
  v.a2 = f[5];
  return true;
}

BimIndex index_bim_file(const char* path) {
  BimIndex index;
  TextFile file;
  if (!open_text_file(path, file)) {
    index.failure = plink_failure(PlinkStatus::kCannotOpen, path, 0, "cannot open the .bim file");
    return index;
  }
  std::string code, name, reason;  // the current run's code as written
  BimVariant v;
  std::string_view line;
  uint64_t offset = next_line_offset(file);
  TextRead got;
  uint64_t since_mark = 0;
  while ((got = next_text_line(file, line)) == TextRead::kLine) {
    const uint64_t line_offset = offset;
    offset = next_line_offset(file);
    if (is_blank_line(line)) continue;
    if (!parse_bim_line(line, v, reason)) {
      index.failure = plink_failure(PlinkStatus::kBadBim, path, file.line, reason);
      break;
    }
    const uint64_t variant = index.variants++;
    const bool counts = v.pos >= 0;
    if (!counts) ++index.left_out;
    bool fresh = index.runs.empty();
    if (!fresh && v.chrom != code) {
      code.assign(v.chrom);
      classify_plink_chrom(code, name);
      fresh = name != index.runs.back().chrom;
    }
    if (fresh) {
      BimRun run;
      code.assign(v.chrom);
      run.kind = classify_plink_chrom(code, run.chrom);
      run.first = variant;
      run.first_mark = static_cast<uint32_t>(index.marks.size());
      index.runs.push_back(std::move(run));
      index.marks.push_back({variant, line_offset, file.line, counts ? v.pos : INT64_MIN});
      since_mark = 0;
    } else if (++since_mark >= kBimMarkSpacing && counts) {
      index.marks.push_back({variant, line_offset, file.line, v.pos});
      since_mark = 0;
    }
    BimRun& run = index.runs.back();
    ++run.count;
    if (counts) {
      if (run.max_pos != INT64_MIN && v.pos < run.max_pos) run.sorted = false;
      run.min_pos = std::min(run.min_pos, v.pos);
      run.max_pos = std::max(run.max_pos, v.pos);
    }
  }
  if (plink_ok(index.failure) && got == TextRead::kError)
    index.failure = plink_failure(PlinkStatus::kCannotOpen, path, 0, "cannot read the .bim file");
  if (!plink_ok(index.failure)) {
    index.runs.clear();
    index.marks.clear();
    index.variants = 0;
  }
  return index;
}
