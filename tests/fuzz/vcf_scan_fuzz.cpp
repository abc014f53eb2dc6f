// Any bytes as one line of VCF text with five samples, scanned twice: the
// calls written down (scan_vcf_line) and counted as they are read
// (scan_and_count_vcf_line). Both must give the same fault, fields and
// largest allele, and without a fault the same counts per population as
// count_calls of the written calls; the input's first byte chooses the
// populations (one, or two with a sample left out). The same line is then
// read back through read_text_line from a BGZF file, written in pieces the
// next bytes choose, and must come out as it went in. A broken invariant
// traps, so the fuzzer keeps the input as a crash.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include <htslib/bgzf.h>
#include <unistd.h>

#include "vcf/gt_text_scan.h"
#include "vcf/sample_populations.h"
#include "vcf/site_tally.h"
#include "vcf/text_lines.h"

namespace {

void require(bool condition) {
  if (!condition) __builtin_trap();
}

constexpr int32_t kSamples = 5;
// Sites with more alleles are skipped: their tables grow with the square.
constexpr int32_t kMostAlleles = 64;

SamplePopulations populations(uint8_t choice) {
  if (choice % 2 == 0) return all_samples_one_population(kSamples);
  SamplePopulations p;
  p.names = {"a", "b"};
  p.of_sample = {0, 1, -1, 1, 0};
  p.sample_count = {2, 2};
  return p;
}

bool same_fault(const RecordFault& x, const RecordFault& y) {
  return x.problem == y.problem && x.sample == y.sample && x.value == y.value &&
         x.character == y.character;
}

bool same_fields(const VcfTextFields& x, const VcfTextFields& y) {
  return x.chrom == y.chrom && x.id == y.id && x.ref == y.ref && x.alt == y.alt &&
         x.pos == y.pos && x.n_allele == y.n_allele && x.has_gt == y.has_gt;
}

void check_scans(std::string_view line, const SamplePopulations& pops) {
  std::vector<int32_t> calls(2 * kSamples, 99);
  VcfTextFields written;
  LargestAllele largest_written;
  const RecordFault fault_written =
      scan_vcf_line(line.data(), line.size(), kSamples, written, calls.data(), largest_written);
  if (written.n_allele > kMostAlleles) return;
  for (int32_t c : calls) require(c == kNoCall || (c >= 0 && c <= largest_written.allele));

  VcfTextFields counted;
  LargestAllele largest_counted;
  TallyWorkspace work;
  const RecordFault fault_counted =
      scan_and_count_vcf_line(line.data(), line.size(), pops, counted, work, largest_counted);
  require(same_fault(fault_written, fault_counted));
  require(same_fields(written, counted));
  require(largest_written.allele == largest_counted.allele &&
          largest_written.sample == largest_counted.sample);
  if (fault_written.problem != RecordProblem::kNone || largest_written.allele >= written.n_allele)
    return;

  SiteText site;
  site.n_allele = written.n_allele;
  site.has_gt = written.has_gt;
  TallyWorkspace from_calls;
  count_calls(site, calls.data(), pops, from_calls);
  const size_t cells = static_cast<size_t>(site.n_allele) * (site.n_allele + 1) / 2;
  const size_t all = cells * pops.names.size();
  require(work.cells.size() >= all && from_calls.cells.size() >= all);
  for (size_t i = 0; i < all; ++i) require(work.cells[i] == from_calls.cells[i]);
  require(work.counted == from_calls.counted);
}

// The line (with its line feed) through a BGZF file written in pieces.
void check_lines(const uint8_t* data, size_t size, std::string_view line) {
  char path[] = "/tmp/vcf_scan_fuzz_XXXXXX";
  const int fd = mkstemp(path);
  require(fd >= 0);
  close(fd);
  BGZF* out = bgzf_open(path, "w1");
  require(out != nullptr);
  std::string text(line);
  text += '\n';
  size_t at = 0, cut = 0;
  while (at < text.size()) {
    const size_t piece = 1 + (cut < size ? data[cut++] : 255);
    const size_t n = std::min(piece, text.size() - at);
    require(bgzf_write(out, text.data() + at, n) == static_cast<ssize_t>(n));
    if (cut % 3 == 0) require(bgzf_flush(out) == 0);
    at += n;
  }
  require(bgzf_close(out) == 0);
  BGZF* in = bgzf_open(path, "r");
  require(in != nullptr);
  TextLines lines;
  std::string_view got;
  std::vector<std::string> read;
  LineRead r;
  while ((r = read_text_line(in, lines, got, 1 + (size % 97))) == LineRead::kLine)
    read.emplace_back(got);
  require(r == LineRead::kEnd);
  bgzf_close(in);
  std::remove(path);
  // One line per line feed in the text; a CR before each is dropped.
  std::vector<std::string> want;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\n') continue;
    std::string one = text.substr(start, i - start);
    if (!one.empty() && one.back() == '\r') one.pop_back();
    want.push_back(one);
    start = i + 1;
  }
  require(read == want);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const SamplePopulations pops = populations(data[0]);
  const std::string_view line(reinterpret_cast<const char*>(data + 1), size - 1);
  check_scans(line, pops);
  if (data[0] % 4 < 2) check_lines(data, size, line);
  return 0;
}
