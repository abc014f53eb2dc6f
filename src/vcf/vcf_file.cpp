#include "vcf/vcf_file.h"

#include <htslib/bgzf.h>
#include <htslib/hfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "fileio/text_escape.h"

namespace {

bool is_standard_input(const char* path) { return std::strcmp(path, "-") == 0; }

// Standard input always counts as a stream: it has no name to find an
// index by, and may be a pipe.
bool is_stream(const char* path) {
  if (is_standard_input(path)) return true;
  struct stat st {};
  return ::stat(path, &st) == 0 && !S_ISREG(st.st_mode);
}

bool is_regular_file(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

BGZF* bgzf_of(const VcfFile& f) {
  return f.file && (f.bcf || f.compressed) ? f.file->fp.bgzf : nullptr;
}

const char* unsupported_name(htsCompression c) {
  switch (c) {
    case bzip2_compression:
      return "bzip2";
    case xz_compression:
      return "xz";
    case zstd_compression:
      return "zstd";
    case razf_compression:
      return "razf";
    default:
      return "unknown";
  }
}

// The header lines of VCF text up to #CHROM, read as htslib reads them
// (blank lines skipped), each counted so that a record's line number is
// right; then parsed by htslib.
VcfFailure read_text_header(VcfFile& f) {
  OwnedKstring line;
  std::string text;
  for (;;) {
    if (hts_getline(f.file.get(), '\n', &line.s) < 0) {
      VcfFailure broken = compressed_data_failure(f, "in the header");
      if (!vcf_ok(broken)) return broken;
      return file_failure(VcfStatus::kNotVcf, text.empty() ? "no readable VCF header"
                                                           : "the header has no #CHROM line");
    }
    ++f.header_lines;
    if (line.s.l == 0) continue;
    if (line.s.s[0] != '#')
      return file_failure(VcfStatus::kNotVcf, text.empty()
                                                  ? "no readable VCF header"
                                                  : "line " + std::to_string(f.header_lines) +
                                                        ": a record before the #CHROM line");
    text.append(line.s.s, line.s.l).push_back('\n');
    if (line.s.l < 2 || line.s.s[1] != '#') break;
  }
  f.header.reset(bcf_hdr_init("r"));
  if (!f.header) return file_failure(VcfStatus::kOutOfMemory, "out of memory");
  if (bcf_hdr_parse(f.header.get(), text.data()) < 0)
    return file_failure(VcfStatus::kNotVcf, "no readable VCF header");
  return {};
}

std::string remake_index_hint(const VcfFile& f) {
  return f.bcf ? "bcftools index -f" : "tabix -f -p vcf";
}

// The index must end where the data ends: a byte after the last record it
// knows of is data it lacks; a place it names that the data does not have
// makes it another file's.
// The end of the last record the index knows of on a contig (0: none).
int64_t contig_end(const VcfFile& f, int tid) {
  HtsIterator it(hts_itr_query(file_index(f), tid, 0, HTS_POS_MAX, f.bcf ? bcf_readrec : tbx_readrec));
  int64_t end = 0;
  for (int i = 0; it && i < it->n_off; ++i) end = std::max(end, static_cast<int64_t>(it->off[i].v));
  return end;
}

VcfFailure check_index_fits(const std::string& path, VcfFile& f) {
  BGZF* in = bgzf_of(f);
  const int64_t header_end = bgzf_tell(in);
  struct stat st {};
  const bool sized = ::stat(path.c_str(), &st) == 0;
  // 1: data at the place, 0: the data's end, -1: no place of the data (at
  // or past the end-of-file marker's, or not where a block starts).
  const auto probe = [&](int64_t at) {
    char byte = 0;
    if (sized && (at >> 16) + 28 > st.st_size) return ssize_t{-1};
    return bgzf_seek(in, at, SEEK_SET) < 0 ? ssize_t{-1} : bgzf_read(in, &byte, 1);
  };
  // Where the records with a position end, as the index's counts keep it
  // (the place unplaced records would start); asking every contig for its
  // chunks, which costs them all, only when the index keeps no counts.
  int64_t end = header_end;
  HtsIterator rest(hts_itr_query(file_index(f), HTS_IDX_NOCOOR, 0, 0,
                                 f.bcf ? bcf_readrec : tbx_readrec));
  if (rest && rest->read_rest) {
    end = std::max(end, static_cast<int64_t>(rest->curr_off));
  } else {
    const int contigs = hts_idx_nseq(file_index(f));
    for (int tid = 0; tid < contigs; ++tid) end = std::max(end, contig_end(f, tid));
  }
  const ssize_t got = probe(end);
  const std::string index = escape_text(f.index_path);
  if (got < 0)
    return file_failure(VcfStatus::kIndexMismatch,
                        "the index " + index +
                            " does not match the file: it names places the data does not have (the "
                            "file was changed after the index was made, or the index is another "
                            "file's); make it again with " +
                            remake_index_hint(f));
  if (got > 0)
    return file_failure(
        VcfStatus::kStaleIndex,
        "the file has data past the last record its index " + index +
            " knows of (sites added after the index was made, or the index is another "
            "file's): make it again with " +
            remake_index_hint(f));
  if (bgzf_seek(in, header_end, SEEK_SET) < 0)
    return file_failure(VcfStatus::kCannotOpen, "cannot read the file again after its index");
  return {};
}

VcfFailure load_index(const char* path, const VcfOpenOptions& o, VcfFile& f) {
  const std::string name = path;
  const std::string purpose = o.index_purpose;
  const size_t named = name.find(HTS_IDX_DELIM);
  if (named != std::string::npos) {
    f.index_path = name.substr(named + std::strlen(HTS_IDX_DELIM));
  } else {
    for (const char* ext : {".tbi", ".csi"}) {
      if (f.bcf && std::strcmp(ext, ".tbi") == 0) continue;
      if (is_regular_file(name + ext)) {
        f.index_path = name + ext;
        break;
      }
    }
  }
  if (f.index_path.empty() || !f.compressed) {
    if (f.bcf)
      return file_failure(VcfStatus::kNoIndex,
                          purpose + " needs an index (.csi); make one with bcftools index");
    return file_failure(VcfStatus::kNoIndex,
                        purpose +
                            " needs an index (.tbi or .csi) of the bgzip-compressed file; make one "
                            "with tabix -p vcf");
  }
  if (f.bcf) {
    f.index.reset(named != std::string::npos ? bcf_index_load(path)
                                             : bcf_index_load2(path, f.index_path.c_str()));
  } else {
    f.tabix.reset(named != std::string::npos ? tbx_index_load(path)
                                             : tbx_index_load2(path, f.index_path.c_str()));
  }
  if (!file_index(f))
    return file_failure(VcfStatus::kIndexMismatch,
                        "cannot read the index " + escape_text(f.index_path) +
                            "; make it again with " + remake_index_hint(f));
  struct stat data {
  }, index{};
  if (named == std::string::npos && ::stat(path, &data) == 0 &&
      ::stat(f.index_path.c_str(), &index) == 0)
    f.index_older = index.st_mtime < data.st_mtime;
  return check_index_fits(name.substr(0, named), f);
}

}  // namespace

VcfFailure open_vcf_file(const char* path, const VcfOpenOptions& o, VcfFile& f) {
  silence_htslib();
  // "data##idx##index" names the index too, as htslib reads it.
  const std::string name = path;
  const std::string data = name.substr(0, name.find(HTS_IDX_DELIM));
  f.stream = is_stream(data.c_str());
  if (o.index && f.stream)
    return file_failure(
        VcfStatus::kNoIndex,
        std::string(o.index_purpose) + " needs the file's index, and " +
            (is_standard_input(path) ? "standard input" : "a pipe or other stream") +
            " has none (a stream cannot be read twice): give the indexed file by its name");
  // Standard input through a copy of its descriptor, so that closing the
  // file leaves descriptor 0 to standard input and no later file takes it.
  hFILE* h = nullptr;
  if (is_standard_input(data.c_str())) {
    const int fd = ::dup(STDIN_FILENO);
    if (fd >= 0 && (h = hdopen(fd, "r")) == nullptr) ::close(fd);
  } else {
    h = hopen(data.c_str(), "r");
  }
  if (h == nullptr) return file_failure(VcfStatus::kCannotOpen, "cannot open the file");
  htsFormat format{};
  if (hts_detect_format2(h, data.c_str(), &format) < 0) {
    hclose_abruptly(h);
    return file_failure(VcfStatus::kCannotOpen, "cannot read the file");
  }
  if (format.compression != no_compression && format.compression != gzip &&
      format.compression != bgzf) {
    hclose_abruptly(h);
    return file_failure(VcfStatus::kUnsupported, std::string("unsupported compression (") +
                                                     unsupported_name(format.compression) +
                                                     "); use bgzip");
  }
  if (format.category != variant_data || (format.format != vcf && format.format != bcf)) {
    hclose_abruptly(h);
    return file_failure(VcfStatus::kNotVcf, "not a VCF or BCF file");
  }
  f.file.reset(hts_hopen(h, data.c_str(), "r"));
  if (!f.file) {
    hclose_abruptly(h);
    return file_failure(VcfStatus::kCannotOpen, "cannot open the file");
  }
  f.bcf = format.format == bcf;
  f.bgzf = format.compression == bgzf;
  f.compressed = format.compression != no_compression;
  if (f.bgzf) {
    const int marker = f.stream ? 2 : bgzf_check_EOF(bgzf_of(f));
    if (marker == 0)
      return file_failure(
          VcfStatus::kTruncated,
          "no BGZF end-of-file marker: the file is truncated (or still being written)");
    if (marker < 0) return file_failure(VcfStatus::kCannotOpen, "cannot read the file");
    f.eof_unchecked = marker == 2;
  }
  // Decompression threads read ahead and do not tell where the data ended.
  if (o.threads > 0 && !f.eof_unchecked) hts_set_threads(f.file.get(), o.threads);
  if (f.bcf) {
    f.header.reset(bcf_hdr_read(f.file.get()));
    if (!f.header) {
      VcfFailure broken = compressed_data_failure(f, "in the header");
      return vcf_ok(broken) ? file_failure(VcfStatus::kNotVcf, "no readable VCF header") : broken;
    }
  } else {
    VcfFailure header = read_text_header(f);
    if (!vcf_ok(header)) return header;
  }
  return o.index ? load_index(path, o, f) : VcfFailure{};
}

hts_idx_t* file_index(const VcfFile& f) {
  if (f.tabix) return f.tabix->idx;
  return f.index.get();
}

bool bgzf_stream_ended(const VcfFile& f) {
  BGZF* in = bgzf_of(f);
  if (in == nullptr) return true;
  if (in->errcode != 0) return false;
  return !f.eof_unchecked || in->last_block_eof;
}

VcfFailure compressed_data_failure(const VcfFile& f, const std::string& after) {
  BGZF* in = bgzf_of(f);
  if (in == nullptr || in->errcode == 0) return {};
  if (in->errcode & BGZF_ERR_IO)
    return file_failure(VcfStatus::kTruncated, "the compressed data ends inside a block " + after +
                                                   ": the file is truncated, or cannot be read");
  return file_failure(VcfStatus::kDamaged, "damaged compressed (BGZF) block " + after);
}

std::vector<std::string> indexed_contigs(const VcfFile& f) {
  std::vector<std::string> names;
  int n = 0;
  const char** seq = nullptr;
  if (f.tabix)
    seq = tbx_seqnames(f.tabix.get(), &n);
  else if (f.index)
    seq = bcf_index_seqnames(f.index.get(), f.header.get(), &n);
  for (int i = 0; i < n; ++i) names.emplace_back(seq[i]);
  std::free(seq);
  return names;
}

bool file_has_contig(const VcfFile& f, const std::string& chrom) {
  if (f.header && bcf_hdr_name2id(f.header.get(), chrom.c_str()) >= 0) return true;
  return f.tabix && tbx_name2id(f.tabix.get(), chrom.c_str()) >= 0;
}

std::string contig_list_text(const std::vector<std::string>& names, size_t most) {
  std::string text;
  for (size_t i = 0; i < names.size() && i < most; ++i) {
    if (i > 0) text += ", ";
    text += escape_text(names[i]);
  }
  if (names.size() > most) text += ", ... (" + std::to_string(names.size()) + " in all)";
  return text;
}
