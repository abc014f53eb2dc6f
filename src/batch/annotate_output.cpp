#include "batch/annotate_output.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "format/number_format.h"

namespace {

constexpr size_t kTagsPerPopulation = 4;

// A name as part of an INFO key: letters, digits, '_' and '.' kept, any
// other byte '_'.
std::string key_part(const std::string& name) {
  std::string out = name;
  for (char& c : out) {
    const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                    c == '_' || c == '.';
    if (!ok) c = '_';
  }
  return out;
}

bool key_taken(const std::vector<CopyTag>& tags, const std::string& key) {
  for (const CopyTag& t : tags)
    if (t.key == key) return true;
  return false;
}

// The header line naming the command that made the copy, on one line.
std::string command_line_text(const std::string& command) {
  std::string out = "##hwmcCommand=" + command;
  for (char& c : out)
    if (static_cast<unsigned char>(c) < 0x20) c = ' ';
  return out;
}

CopyPlan annotation_plan(const AnnotateOutput& out, const std::vector<std::string>& populations) {
  CopyPlan plan;
  plan.tags = annotation_tags(populations, out.per_population);
  if (out.filter) {
    plan.filter = "HWE";
    plan.filter_description = "Hardy-Weinberg test failed: the leading p is below " +
                              out.threshold + " in a deciding population (hwmc --hwe)";
  }
  if (!out.command.empty()) plan.header_lines.push_back(command_line_text(out.command));
  return plan;
}

float as_float(double value) { return static_cast<float>(value); }

}  // namespace

std::vector<CopyTag> annotation_tags(const std::vector<std::string>& populations,
                                     bool per_population) {
  static const char* const kStems[kTagsPerPopulation] = {"HWE_P", "HWE_LOG10P", "HWE_MIDP",
                                                         "HWE_FIS"};
  static const char* const kMeanings[kTagsPerPopulation] = {
      "Hardy-Weinberg p: hwmc's leading p (the exact probability test unless --no-exact; on X "
      "with the sexes known the X-linked test); 0 below the Float range, see HWE_LOG10P",
      "log10 of the leading p, also where it is below the Float range",
      "mid-p of the leading exact test, where it has one",
      "inbreeding coefficient F_IS (1 - observed/expected heterozygosity)"};
  std::vector<CopyTag> tags;
  for (const std::string& name : populations) {
    std::string suffix;
    if (per_population) {
      suffix = "_" + key_part(name);
      // Two names that differ only where they are not key characters.
      for (int n = 2; key_taken(tags, kStems[0] + suffix); ++n)
        suffix = "_" + key_part(name) + "_" + std::to_string(n);
    }
    for (size_t t = 0; t < kTagsPerPopulation; ++t) {
      std::string meaning = kMeanings[t];
      if (per_population) meaning += "; population " + name;
      tags.push_back({kStems[t] + suffix, meaning});
    }
    if (!per_population) break;
  }
  return tags;
}

bool open_annotate_output(AnnotateOutput& out, const BatchOptions& options,
                          const Diagnostics& diagnostics) {
  if (options.annotate.empty()) return true;
  out.path = options.annotate;
  out.format = copy_format_of(options.annotate).value_or(CopyFormat::kVcf);
  out.per_population = !options.pops.empty();
  out.filter = options.hwe;
  out.drop_failed = options.drop_failed;
  out.threshold = options.hwe_p > 0 ? format_shortest(options.hwe_p)
                                    : "1e" + format_shortest(options.hwe_log10);
  out.command = options.command_text;
  // One more thread compresses the copy while the next block is analysed.
  out.threads = out.format == CopyFormat::kVcf ? 0 : 1;
  if (out.path == "-") return true;
  if (!open_replacing(out.file, out.path)) {
    report_failure(diagnostics, out.path, "failure at opening");
    return false;
  }
  return true;
}

std::string annotate_records(AnnotateOutput& out, KeptRecords& kept,
                             std::span<const RowFigures* const> figures) {
  if (out.path.empty()) return "";
  if (!out.opened) {
    if (!kept.header) return "";  // the input was not opened
    out.opened = true;
    const int fd = out.file.fd;
    out.file.fd = -1;  // the copy owns it now
    const std::string failure = open_vcf_copy(fd, out.format, kept.header.get(),
                                              annotation_plan(out, kept.populations), out.threads,
                                              out.copy);
    if (!failure.empty()) return failure;
    out.values.assign(annotation_tags(kept.populations, out.per_population).size(), NAN);
  }
  const size_t populations = out.values.size() / kTagsPerPopulation;
  for (size_t i = 0; i < kept.list.size(); ++i) {
    const KeptRecord& record = kept.list[i];
    bool fails = false;
    std::fill(out.values.begin(), out.values.end(), NAN);
    for (size_t p = 0; p < record.units && p < populations; ++p) {
      const size_t u = record.first_unit + p;
      const RowFigures* f = u < figures.size() ? figures[u] : nullptr;
      if (f == nullptr) {
        out.damaged = true;
        continue;
      }
      fails = fails || f->hwe == HweVerdict::kFail;
      float* v = out.values.data() + p * kTagsPerPopulation;
      v[0] = as_float(f->lead.p);
      v[1] = as_float(f->lead.log10);
      v[2] = as_float(f->lead.mid_p);
      v[3] = as_float(f->stat[Statistic::kFIs]);
    }
    if (fails && out.drop_failed) continue;
    const FilterMark mark = !out.filter ? FilterMark::kLeave
                            : fails     ? FilterMark::kSet
                                        : FilterMark::kClear;
    const std::string failure = write_copy_record(out.copy, kept, i, out.values.data(), mark);
    if (!failure.empty()) return failure;
  }
  return "";
}

bool finish_annotate_output(AnnotateOutput& out, const Diagnostics& diagnostics) {
  if (out.path.empty()) return true;
  const std::string closed = close_vcf_copy(out.copy);
  if (!closed.empty()) {
    report_failure(diagnostics, out.path, closed);
    return false;
  }
  if (!out.complete || out.damaged || !out.opened) {
    report_failure(diagnostics, out.path,
                   out.path == "-" ? "the copy on standard output is incomplete: the run failed"
                                   : "left as it was: the run failed before the copy was whole");
    return false;
  }
  if (out.path == "-") return true;
  const std::string suffix = copy_index_suffix(out.format);
  // A FIFO or device, written directly, has no index.
  const bool indexed = !suffix.empty() && !out.file.temp.empty();
  if (indexed) {
    if (!open_replacing(out.index, out.path + suffix)) {
      report_failure(diagnostics, out.path + suffix, "failure at opening");
      return false;
    }
    ::close(out.index.fd);
    out.index.fd = -1;
    const std::string failure = index_vcf_copy(out.file.temp, out.index.temp, out.format, 0);
    if (!failure.empty()) {
      report_failure(diagnostics, out.path, failure);
      return false;
    }
  }
  // The data first, then its index: the index is never older than its data.
  if (!put_in_place(out.file)) {
    report_failure(diagnostics, out.path, std::strerror(errno));
    return false;
  }
  if (indexed && !put_in_place(out.index)) {
    report_failure(diagnostics, out.path + suffix, std::strerror(errno));
    return false;
  }
  return true;
}
