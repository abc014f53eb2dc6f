#include "vcf/vcf_copy.h"

#include <htslib/hfile.h>
#include <unistd.h>

#include <cmath>

#include "format/number_format.h"

struct VcfCopyState {
  CopyFormat format = CopyFormat::kVcf;
  HtsFile file;
  BcfHeader header;  // the copy's: the input's and the plan's lines
  std::vector<std::string> keys;
  std::vector<int> key_ids;        // in the copy's header
  std::vector<bool> input_has;     // the input declares the tag: old values go
  std::string filter;
  int filter_id = -1;
  OwnedKstring formatted;  // a record as VCF text
  std::string line;
  OwnedKstring out_line;
};

VcfCopy::VcfCopy() : state(std::make_unique<VcfCopyState>()) {}
VcfCopy::~VcfCopy() = default;
VcfCopy::VcfCopy(VcfCopy&&) noexcept = default;
VcfCopy& VcfCopy::operator=(VcfCopy&&) noexcept = default;

namespace {

bool ends_with(std::string_view s, std::string_view end) {
  return s.size() >= end.size() && s.substr(s.size() - end.size()) == end;
}

// A header value between quotes: '"' and '\' escaped, control characters
// (which would end the line) as '?'.
std::string quoted(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += static_cast<unsigned char>(c) < 0x20 ? '?' : c;
  }
  return out + '"';
}

// The start and end of each tab-separated column up to `count`; fewer when
// the line has fewer.
size_t find_columns(std::string_view line, size_t count, size_t* start, size_t* end) {
  size_t n = 0, at = 0;
  while (n < count) {
    const size_t tab = line.find('\t', at);
    start[n] = at;
    end[n] = tab == std::string_view::npos ? line.size() : tab;
    ++n;
    if (tab == std::string_view::npos) break;
    at = tab + 1;
  }
  return n;
}

bool is_key(std::string_view entry, std::span<const std::string> keys) {
  const std::string_view key = entry.substr(0, entry.find('='));
  for (const std::string& k : keys)
    if (key == k) return true;
  return false;
}

// The FILTER column with `filter` set or taken out.
void mark_filter(std::string_view column, std::string_view filter, FilterMark mark,
                 std::string& out) {
  if (mark == FilterMark::kLeave) {
    out.append(column);
    return;
  }
  std::string kept;
  bool present = false;
  for (size_t at = 0; at <= column.size();) {
    size_t semi = column.find(';', at);
    if (semi == std::string_view::npos) semi = column.size();
    const std::string_view name = column.substr(at, semi - at);
    at = semi + 1;
    if (name == filter) {
      present = true;
      continue;
    }
    if (name.empty() || name == "." || name == "PASS") continue;
    if (!kept.empty()) kept += ';';
    kept.append(name);
  }
  if (mark == FilterMark::kSet) {
    out.append(kept);
    if (!kept.empty()) out += ';';
    out.append(filter);
  } else if (!present) {
    out.append(column);
  } else {
    out.append(kept.empty() ? std::string_view("PASS") : std::string_view(kept));
  }
}

std::string hts_reason(const char* what) { return std::string(what) + " failed"; }

}  // namespace

std::optional<CopyFormat> copy_format_of(std::string_view path) {
  if (path == "-" || ends_with(path, ".vcf")) return CopyFormat::kVcf;
  if (ends_with(path, ".vcf.gz") || ends_with(path, ".vcf.bgz")) return CopyFormat::kVcfBgzf;
  if (ends_with(path, ".bcf")) return CopyFormat::kBcf;
  return std::nullopt;
}

KeptForm kept_form_for(CopyFormat format) {
  return format == CopyFormat::kBcf ? KeptForm::kRecord : KeptForm::kText;
}

std::string copy_index_suffix(CopyFormat format) {
  switch (format) {
    case CopyFormat::kVcfBgzf:
      return ".tbi";
    case CopyFormat::kBcf:
      return ".csi";
    case CopyFormat::kVcf:
      break;
  }
  return "";
}

void annotate_vcf_line(std::string_view line, std::span<const std::string> keys,
                       const float* values, std::string_view filter, FilterMark mark,
                       std::string& out) {
  out.clear();
  size_t start[8], end[8];
  const size_t columns = find_columns(line, 8, start, end);
  if (columns < 7) {  // no FILTER: nothing the copy may change
    out.append(line);
    return;
  }
  out.append(line.substr(0, start[6]));
  mark_filter(line.substr(start[6], end[6] - start[6]), filter, mark, out);
  out += '\t';
  // INFO: what it held but the tags' old values, then the tags.
  const size_t info_at = out.size();
  if (columns == 8) {
    const std::string_view info = line.substr(start[7], end[7] - start[7]);
    for (size_t at = 0; at < info.size();) {
      size_t semi = info.find(';', at);
      if (semi == std::string_view::npos) semi = info.size();
      const std::string_view entry = info.substr(at, semi - at);
      at = semi + 1;
      if (entry.empty() || entry == "." || is_key(entry, keys)) continue;
      if (out.size() > info_at) out += ';';
      out.append(entry);
    }
  }
  for (size_t i = 0; i < keys.size(); ++i) {
    if (std::isnan(values[i])) continue;
    if (out.size() > info_at) out += ';';
    out.append(keys[i]).append("=").append(format_shortest(values[i]));
  }
  if (out.size() == info_at) out += '.';
  if (columns == 8) out.append(line.substr(end[7]));
}

std::string open_vcf_copy(int fd, CopyFormat format, const bcf_hdr_t* input_header,
                          const CopyPlan& plan, int threads, VcfCopy& copy) {
  VcfCopyState& c = *copy.state;
  c.format = format;
  const char* mode = format == CopyFormat::kBcf ? "wb" : format == CopyFormat::kVcfBgzf ? "wz" : "w";
  if (fd < 0) {
    c.file.reset(hts_open("-", mode));
  } else {
    hFILE* h = hdopen(fd, "w");
    if (h == nullptr) {
      ::close(fd);
      return "failure at opening";
    }
    c.file.reset(hts_hopen(h, "copy", mode));
    if (!c.file) hclose_abruptly(h);
  }
  if (!c.file) return "failure at opening";
  if (threads > 0 && format != CopyFormat::kVcf) hts_set_threads(c.file.get(), threads);

  // bcf_hdr_dup keeps the input's key numbers, which its records use.
  c.header.reset(bcf_hdr_dup(input_header));
  if (!c.header) return "out of memory";
  bcf_hdr_t* h = c.header.get();
  for (const CopyTag& tag : plan.tags) {
    const int id = bcf_hdr_id2int(input_header, BCF_DT_ID, tag.key.c_str());
    const bool declared = bcf_hdr_idinfo_exists(input_header, BCF_HL_INFO, id);
    if (declared && (bcf_hdr_id2type(input_header, BCF_HL_INFO, id) != BCF_HT_REAL ||
                     bcf_hdr_id2length(input_header, BCF_HL_INFO, id) != BCF_VL_FIXED ||
                     bcf_hdr_id2number(input_header, BCF_HL_INFO, id) != 1))
      return "the input declares INFO/" + tag.key +
             " otherwise than as one Float: take it out first (bcftools annotate -x INFO/" +
             tag.key + ")";
    c.input_has.push_back(declared);
    if (!declared) {
      const std::string text = "##INFO=<ID=" + tag.key + ",Number=1,Type=Float,Description=" +
                               quoted(tag.description) + ">";
      if (bcf_hdr_append(h, text.c_str()) != 0) return "the header line of " + tag.key + " failed";
    }
    c.keys.push_back(tag.key);
  }
  c.filter = plan.filter;
  if (!plan.filter.empty()) {
    const int id = bcf_hdr_id2int(input_header, BCF_DT_ID, plan.filter.c_str());
    if (!bcf_hdr_idinfo_exists(input_header, BCF_HL_FLT, id)) {
      const std::string text = "##FILTER=<ID=" + plan.filter +
                               ",Description=" + quoted(plan.filter_description) + ">";
      if (bcf_hdr_append(h, text.c_str()) != 0) return "the header line of the FILTER failed";
    }
  }
  for (const std::string& line : plan.header_lines)
    if (bcf_hdr_append(h, line.c_str()) != 0) return "a header line failed";
  if (bcf_hdr_sync(h) != 0) return "out of memory";
  for (const std::string& key : c.keys) c.key_ids.push_back(bcf_hdr_id2int(h, BCF_DT_ID, key.c_str()));
  if (!c.filter.empty()) c.filter_id = bcf_hdr_id2int(h, BCF_DT_ID, c.filter.c_str());
  if (bcf_hdr_write(c.file.get(), h) != 0) return "failure at writing";
  return "";
}

std::string write_copy_record(VcfCopy& copy, KeptRecords& kept, size_t i, const float* values,
                              FilterMark mark) {
  VcfCopyState& c = *copy.state;
  if (c.filter.empty()) mark = FilterMark::kLeave;
  bcf_hdr_t* h = c.header.get();
  if (c.format == CopyFormat::kBcf) {
    bcf1_t* rec = kept.records[i].get();
    for (size_t t = 0; t < c.keys.size(); ++t) {
      const char* key = c.keys[t].c_str();
      const int done = !std::isnan(values[t]) ? bcf_update_info_float(h, rec, key, &values[t], 1)
                       : c.input_has[t]       ? bcf_update_info_float(h, rec, key, nullptr, 0)
                                              : 0;
      if (done < 0) return "writing INFO/" + c.keys[t] + " failed";
    }
    if (mark == FilterMark::kSet && bcf_add_filter(h, rec, c.filter_id) < 0)
      return hts_reason("setting the FILTER");
    if (mark == FilterMark::kClear && bcf_has_filter(h, rec, c.filter.data()) == 1 &&
        bcf_remove_filter(h, rec, c.filter_id, 1) < 0)
      return hts_reason("clearing the FILTER");
    return bcf_write(c.file.get(), h, rec) == 0 ? "" : "failure at writing";
  }
  std::string_view line;
  if (kept.form == KeptForm::kText) {
    line = kept_line(kept, i);
  } else {
    c.formatted.s.l = 0;
    if (vcf_format(h, kept.records[i].get(), &c.formatted.s) != 0)
      return hts_reason("formatting a record");
    line = std::string_view(c.formatted.s.s, c.formatted.s.l);
    if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
  }
  annotate_vcf_line(line, c.keys, values, c.filter, mark, c.line);
  c.out_line.s.l = 0;
  if (kputsn(c.line.data(), c.line.size(), &c.out_line.s) < 0) return "out of memory";
  return vcf_write_line(c.file.get(), &c.out_line.s) == 0 ? "" : "failure at writing";
}

std::string close_vcf_copy(VcfCopy& copy) {
  VcfCopyState& c = *copy.state;
  if (!c.file) return "";
  const int closed = hts_close(c.file.release());
  return closed == 0 ? "" : "failure at writing";
}

std::string index_vcf_copy(const std::string& data, const std::string& index, CopyFormat format,
                           int threads) {
  const int min_shift = format == CopyFormat::kBcf ? 14 : 0;
  const int built = bcf_index_build3(data.c_str(), index.c_str(), min_shift, threads);
  switch (built) {
    case 0:
      return "";
    case -1:
      return "its index could not be made (records out of order?)";
    default:
      return "its index could not be written";
  }
}
