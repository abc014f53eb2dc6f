#include "sex/sex_file.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <unordered_map>

namespace {

constexpr size_t kPlainFields = 2;
constexpr size_t kFamFields = 6;
constexpr size_t kFamId = 1;
constexpr size_t kFamSex = 4;

std::vector<std::string_view> fields_of(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t at = 0;
  for (;;) {
    at = line.find_first_not_of(" \t\r", at);
    if (at == std::string_view::npos) return fields;
    const size_t end = std::min(line.find_first_of(" \t\r", at), line.size());
    fields.push_back(line.substr(at, end - at));
    at = end;
  }
}

SexFileFailure failure_at(SexFileStatus status, uint64_t line = 0) {
  SexFileFailure f;
  f.status = status;
  f.line = line;
  return f;
}

SexFile failed(SexFileFailure f) {
  SexFile out;
  out.failure = std::move(f);
  return out;
}

}  // namespace

bool parse_sex_code(std::string_view code, Sex& sex) {
  std::string lower(code);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (lower == "1" || lower == "m" || lower == "male") {
    sex = Sex::kMale;
  } else if (lower == "2" || lower == "f" || lower == "female") {
    sex = Sex::kFemale;
  } else if (lower == "0" || lower == "na" || lower == "unknown") {
    sex = Sex::kUnknown;
  } else {
    return false;
  }
  return true;
}

SexFile read_sex_file(const char* path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return failed(failure_at(SexFileStatus::kCannotOpen));
  SexFile out;
  std::unordered_map<std::string, uint64_t> first_line;
  size_t want = 0;  // fields per line, from the first sample line
  std::string line;
  for (uint64_t number = 1; std::getline(in, line); ++number) {
    const std::vector<std::string_view> fields = fields_of(line);
    if (fields.empty() || fields[0][0] == '#') continue;
    if (want == 0) {
      want = fields.size() == kFamFields ? kFamFields : kPlainFields;
      out.fam = want == kFamFields;
    }
    if (fields.size() != want) {
      SexFileFailure f = failure_at(SexFileStatus::kFieldCount, number);
      f.fields = fields.size();
      f.fam = out.fam;
      return failed(std::move(f));
    }
    const std::string_view id = fields[out.fam ? kFamId : 0];
    const std::string_view code = fields[out.fam ? kFamSex : 1];
    SexEntry entry{std::string(id)};
    if (!parse_sex_code(code, entry.sex)) {
      SexFileFailure f = failure_at(SexFileStatus::kUnknownCode, number);
      f.text = std::string(code);
      return failed(std::move(f));
    }
    const auto [at, fresh] = first_line.emplace(entry.id, number);
    if (!fresh) {
      SexFileFailure f = failure_at(SexFileStatus::kDuplicateId, number);
      f.first_line = at->second;
      f.text = entry.id;
      return failed(std::move(f));
    }
    out.entries.push_back(std::move(entry));
  }
  if (in.bad()) return failed(failure_at(SexFileStatus::kCannotRead));
  if (out.entries.empty()) return failed(failure_at(SexFileStatus::kNoSamples));
  return out;
}

std::string describe_sex_failure(const SexFileFailure& f) {
  const std::string at = f.line > 0 ? "line " + std::to_string(f.line) + ": " : "";
  switch (f.status) {
    case SexFileStatus::kOk:
      return "";
    case SexFileStatus::kCannotOpen:
      return "cannot open the sex file";
    case SexFileStatus::kCannotRead:
      return "cannot read the sex file";
    case SexFileStatus::kFieldCount:
      return at + std::to_string(f.fields) +
             (f.fam ? " fields where a .fam line has 6 (FID IID father mother sex "
                      "phenotype)"
                    : " fields where a line has 2 (sample ID and sex), or 6 for a .fam");
    case SexFileStatus::kUnknownCode:
      return at + "unknown sex code \"" + f.text + "\" (1/M/male, 2/F/female, 0/NA/unknown)";
    case SexFileStatus::kDuplicateId:
      return at + "sample \"" + f.text + "\" listed twice (first on line " +
             std::to_string(f.first_line) + ")";
    case SexFileStatus::kNoSamples:
      return "no samples in the sex file";
  }
  return "unknown failure";
}

SampleSexes assign_sexes(const std::vector<SexEntry>& entries,
                         const std::vector<std::string>& samples) {
  SampleSexes out;
  std::unordered_map<std::string_view, size_t> column;
  for (size_t i = 0; i < samples.size(); ++i) column.emplace(samples[i], i);
  out.of_sample.assign(samples.size(), Sex::kUnknown);
  for (const SexEntry& e : entries) {
    const auto c = column.find(e.id);
    if (c == column.end()) {
      out.absent.push_back(e.id);
    } else {
      out.of_sample[c->second] = e.sex;
    }
  }
  for (Sex s : out.of_sample) {
    if (s == Sex::kMale) ++out.males;
    if (s == Sex::kFemale) ++out.females;
    if (s == Sex::kUnknown) ++out.unknown;
  }
  return out;
}
