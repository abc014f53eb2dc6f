// Owning handles for the htslib objects the VCF reader holds, so every path
// out of a function closes what it opened.
#pragma once

#include <htslib/hts.h>
#include <htslib/hts_log.h>
#include <htslib/kstring.h>
#include <htslib/tbx.h>
#include <htslib/vcf.h>

#include <cstdlib>
#include <memory>

struct HtsFileCloser {
  void operator()(htsFile* f) const { hts_close(f); }
};
struct BcfHeaderFreer {
  void operator()(bcf_hdr_t* h) const { bcf_hdr_destroy(h); }
};
struct BcfRecordFreer {
  void operator()(bcf1_t* r) const { bcf_destroy(r); }
};
struct HtsIndexFreer {
  void operator()(hts_idx_t* i) const { hts_idx_destroy(i); }
};
struct TabixFreer {
  void operator()(tbx_t* t) const { tbx_destroy(t); }
};
struct HtsIteratorFreer {
  void operator()(hts_itr_t* i) const { hts_itr_destroy(i); }
};

using HtsFile = std::unique_ptr<htsFile, HtsFileCloser>;
using BcfHeader = std::unique_ptr<bcf_hdr_t, BcfHeaderFreer>;
using BcfRecord = std::unique_ptr<bcf1_t, BcfRecordFreer>;
using HtsIndex = std::unique_ptr<hts_idx_t, HtsIndexFreer>;
using TabixIndex = std::unique_ptr<tbx_t, TabixFreer>;
using HtsIterator = std::unique_ptr<hts_itr_t, HtsIteratorFreer>;

// A kstring_t that frees its bytes.
struct OwnedKstring {
  kstring_t s = KS_INITIALIZE;
  OwnedKstring() = default;
  OwnedKstring(const OwnedKstring&) = delete;
  OwnedKstring& operator=(const OwnedKstring&) = delete;
  ~OwnedKstring() { std::free(s.s); }
};

// htslib writes its own messages to standard error; the reader turns every
// failure into a status instead, so they are silenced once per process.
inline void silence_htslib() { hts_set_log_level(HTS_LOG_OFF); }
