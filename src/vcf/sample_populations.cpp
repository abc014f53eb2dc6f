#include "vcf/sample_populations.h"

#include <cstdio>
#include <memory>
#include <unordered_map>

#include "fileio/text_escape.h"

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// Splits a line into its blank-separated words.
std::vector<std::string> words_of(const std::string& line) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && is_blank(line[i])) ++i;
    size_t start = i;
    while (i < line.size() && !is_blank(line[i])) ++i;
    if (i > start) words.push_back(line.substr(start, i - start));
  }
  return words;
}

VcfFailure pops_failure(uint64_t line, std::string reason) {
  VcfFailure f;
  f.status = VcfStatus::kBadPops;
  f.where = line ? VcfWhere::kPopsLine : VcfWhere::kNone;
  f.number = line;
  f.reason = std::move(reason);
  return f;
}

}  // namespace

PopsFile read_pops_file(const char* path) {
  PopsFile out;
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path, "rb"));
  if (!file) {
    out.failure = pops_failure(0, "cannot open the populations file");
    return out;
  }
  std::unordered_map<std::string, uint64_t> first_line;
  std::string line;
  uint64_t number = 0;
  int c = 0;
  while (c != EOF) {
    line.clear();
    while ((c = std::fgetc(file.get())) != EOF && c != '\n') line.push_back(static_cast<char>(c));
    if (c == EOF && line.empty()) break;
    ++number;
    std::vector<std::string> words = words_of(line);
    if (words.empty()) continue;
    if (words.size() != 2) {
      out.failure = pops_failure(number, "expected a sample ID and a population name");
      out.entries.clear();
      return out;
    }
    if (words[1] == "NA") {
      out.failure = pops_failure(number, "population name NA would read as a missing value; "
                                         "give the population another name");
      out.entries.clear();
      return out;
    }
    auto [at, fresh] = first_line.emplace(words[0], number);
    if (!fresh) {
      out.failure = pops_failure(number, "sample \"" + escape_text(words[0]) +
                                             "\" listed twice (first on line " +
                                             std::to_string(at->second) + ")");
      out.entries.clear();
      return out;
    }
    out.entries.push_back({std::move(words[0]), std::move(words[1])});
  }
  if (std::ferror(file.get())) {
    out.failure = pops_failure(0, "cannot read the populations file");
    out.entries.clear();
  } else if (out.entries.empty()) {
    out.failure = pops_failure(0, "no sample in the populations file");
  }
  return out;
}

SamplePopulations all_samples_one_population(int32_t samples) {
  SamplePopulations p;
  p.names.push_back("all");
  p.of_sample.assign(static_cast<size_t>(samples), 0);
  p.sample_count.push_back(samples);
  return p;
}

SamplePopulations assign_populations(const std::vector<PopsEntry>& entries,
                                     const std::vector<std::string>& vcf_samples) {
  SamplePopulations p;
  std::unordered_map<std::string, int32_t> column;
  for (size_t i = 0; i < vcf_samples.size(); ++i) column.emplace(vcf_samples[i], static_cast<int32_t>(i));
  std::unordered_map<std::string, int32_t> population;
  p.of_sample.assign(vcf_samples.size(), -1);
  for (const PopsEntry& e : entries) {
    auto [at, fresh] = population.emplace(e.population, static_cast<int32_t>(p.names.size()));
    if (fresh) {
      p.names.push_back(e.population);
      p.sample_count.push_back(0);
    }
    auto c = column.find(e.sample);
    if (c == column.end()) {
      p.unknown.push_back(e.sample);
      continue;
    }
    p.of_sample[static_cast<size_t>(c->second)] = at->second;
    ++p.sample_count[static_cast<size_t>(at->second)];
  }
  for (size_t i = 0; i < vcf_samples.size(); ++i) {
    if (p.of_sample[i] >= 0) continue;
    if (p.left_out.size() < kLeftOutExamples) p.left_out.push_back(vcf_samples[i]);
    ++p.left_out_count;
  }
  return p;
}
