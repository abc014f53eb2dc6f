#include "plink/fam_file.h"

#include <sys/stat.h>

#include <cstdint>
#include <string_view>

#include "plink/text_file.h"

namespace {

bool read_sex(std::string_view code, FamSex& sex) {
  if (code == "1" || same_word(code, "m") || same_word(code, "male"))
    sex = FamSex::kMale;
  else if (code == "2" || same_word(code, "f") || same_word(code, "female"))
    sex = FamSex::kFemale;
  else if (code == "0" || code == "-9" || same_word(code, "na") || same_word(code, "unknown"))
    sex = FamSex::kUnknown;
  else
    return false;
  return true;
}

FamPhenotype read_phenotype(std::string_view code) {
  if (code == "1") return FamPhenotype::kControl;
  if (code == "2") return FamPhenotype::kCase;
  if (code == "0" || code == "-9" || same_word(code, "na")) return FamPhenotype::kMissing;
  return FamPhenotype::kOther;
}

// A short ID's hash in a few instructions a byte (FNV-1a): the names are
// hashed once each, and std::hash costs more than the rest of their line.
size_t hash_name(std::string_view name) {
  uint64_t h = 14695981039346656037u;
  for (const char c : name) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211u;
  return static_cast<size_t>(h ^ (h >> 29));
}

// The first of the names seen so far equal to a new one: an open-addressing
// table of sample indexes, which needs no allocation per name. name(i) is
// sample i's name.
struct NameTable {
  std::vector<uint32_t> slot;  // sample + 1, 0 for an empty slot
  size_t mask = 0;

  explicit NameTable(size_t names) {
    size_t size = 16;
    while (size < 2 * names) size *= 2;
    slot.assign(size, 0);
    mask = size - 1;
  }
  // The earlier sample of that name, or `index` once it is entered.
  template <typename Name>
  size_t enter(const Name& name, size_t index) {
    const std::string_view entered = name(index);
    size_t at = hash_name(entered) & mask;
    while (slot[at] != 0) {
      if (name(slot[at] - 1) == entered) return slot[at] - 1;
      at = (at + 1) & mask;
    }
    slot[at] = static_cast<uint32_t>(index + 1);
    return index;
  }
};

// Whether some IID repeats, so that samples are named FID_IID; false, with
// the failure, when two samples still share a name. The names themselves
// are only made where they are asked for (fam_names): a run over all
// samples never needs them.
bool name_samples(FamFile& fam, const char* path) {
  const size_t n = fam.samples.size();
  const auto iid = [&fam](size_t i) { return fam_iid(fam, fam.samples[i]); };
  {
    NameTable seen(n);
    for (size_t i = 0; i < n && !fam.family_names; ++i) fam.family_names = seen.enter(iid, i) != i;
  }
  if (!fam.family_names) return true;
  const std::vector<std::string> names = fam_names(fam);
  const auto name = [&names](size_t i) { return std::string_view(names[i]); };
  NameTable seen(n);
  for (size_t i = 0; i < n; ++i) {
    const size_t first = seen.enter(name, i);
    if (first == i) continue;
    const FamSample& earlier = fam.samples[first];
    const FamSample& s = fam.samples[i];
    const std::string fid(fam_fid(fam, s)), iid_text(fam_iid(fam, s));
    std::string reason =
        fam_fid(fam, earlier) == fid && fam_iid(fam, earlier) == iid_text
            ? "sample with FID \"" + fid + "\" and IID \"" + iid_text + "\" listed twice"
            : "IIDs repeat, so samples are named FID_IID, and \"" + names[i] +
                  "\" names two samples";
    reason += " (first on line " + std::to_string(earlier.line) + ")";
    fam.failure = plink_failure(PlinkStatus::kBadFam, path, s.line, std::move(reason));
    return false;
  }
  return true;
}

}  // namespace

FamFile read_fam_file(const char* path) {
  FamFile fam;
  TextFile file;
  if (!open_text_file(path, file)) {
    fam.failure = plink_failure(PlinkStatus::kCannotOpen, path, 0, "cannot open the .fam file");
    return fam;
  }
  // About the size of a line of short IDs: growing the arrays costs more
  // than reserving too much (the pages never touched are never faulted in).
  struct stat info;
  if (::fstat(file.fd.fd, &info) == 0) {
    fam.samples.reserve(static_cast<size_t>(info.st_size) / 14 + 1);
    fam.ids.reserve(static_cast<size_t>(info.st_size));
  }
  std::string_view line;
  TextRead got;
  while ((got = next_text_line(file, line)) == TextRead::kLine) {
    std::string_view f[6];
    const size_t fields = split_fields(line, f, 6);
    if (fields == 0) continue;  // a blank line
    if (fields != 6) {
      fam.failure =
          plink_failure(PlinkStatus::kBadFam, path, file.line,
                        "expected 6 fields (FID, IID, father, mother, sex, phenotype), found " +
                            std::to_string(fields));
      break;
    }
    FamSex sex = FamSex::kUnknown;
    if (!read_sex(f[4], sex)) {
      fam.failure = plink_failure(PlinkStatus::kBadFam, path, file.line,
                                  "sex (column 5) is \"" + std::string(f[4]) +
                                      "\", not 1 (male), 2 (female) or 0 (unknown)");
      break;
    }
    if (f[0].size() > UINT32_MAX || f[1].size() > UINT32_MAX) {
      fam.failure = plink_failure(PlinkStatus::kBadFam, path, file.line,
                                  "an ID of more than 4294967295 bytes");
      break;
    }
    FamSample& s = fam.samples.emplace_back();
    s.at = fam.ids.size();
    s.fid_length = static_cast<uint32_t>(f[0].size());
    s.iid_length = static_cast<uint32_t>(f[1].size());
    s.line = file.line;
    s.sex = sex;
    s.phenotype = read_phenotype(f[5]);
    fam.ids.append(f[0]).append(f[1]);
  }
  if (plink_ok(fam.failure) && got == TextRead::kError)
    fam.failure = plink_failure(PlinkStatus::kCannotOpen, path, 0, "cannot read the .fam file");
  if (plink_ok(fam.failure) && fam.samples.empty())
    fam.failure = plink_failure(PlinkStatus::kBadFam, path, 0, "the .fam file lists no samples");
  if (plink_ok(fam.failure)) name_samples(fam, path);
  if (!plink_ok(fam.failure)) {
    fam.samples.clear();
    fam.ids.clear();
  }
  return fam;
}

std::vector<std::string> fam_names(const FamFile& fam) {
  std::vector<std::string> names;
  names.reserve(fam.samples.size());
  for (const FamSample& s : fam.samples) {
    if (!fam.family_names) {
      names.emplace_back(fam_iid(fam, s));
      continue;
    }
    std::string& name = names.emplace_back();
    name.reserve(s.fid_length + 1 + s.iid_length);
    name.append(fam_fid(fam, s)).append("_").append(fam_iid(fam, s));
  }
  return names;
}

std::vector<FamSex> fam_sexes(const FamFile& fam) {
  std::vector<FamSex> sex;
  sex.reserve(fam.samples.size());
  for (const FamSample& s : fam.samples) sex.push_back(s.sex);
  return sex;
}

PlinkFailure phenotype_populations(const FamFile& fam, const std::string& path,
                                   SamplePopulations& out) {
  out = SamplePopulations{};
  out.names = {"control", "case"};
  out.sample_count = {0, 0};
  out.of_sample.assign(fam.samples.size(), -1);
  for (size_t i = 0; i < fam.samples.size(); ++i) {
    const FamSample& s = fam.samples[i];
    if (s.phenotype == FamPhenotype::kOther)
      return plink_failure(PlinkStatus::kBadFam, path, s.line,
                           "the phenotype (column 6) is not 1 (control), 2 (case) or 0/-9 "
                           "(missing): a quantitative trait gives no case and control groups");
    if (s.phenotype == FamPhenotype::kMissing) continue;
    const int32_t p = s.phenotype == FamPhenotype::kControl ? 0 : 1;
    out.of_sample[i] = p;
    ++out.sample_count[static_cast<size_t>(p)];
  }
  return {};
}
