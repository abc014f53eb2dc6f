#include "vcf/sex_tally.h"

#include "sex/male_call.h"

void prepare_sex_tally(const SamplePopulations& pops, const std::vector<Sex>& of_sample,
                       SexTally& t) {
  t.of_sample = of_sample;
  t.of_sample.resize(pops.of_sample.size(), Sex::kUnknown);
  t.females.names = pops.names;
  t.females.of_sample.assign(pops.of_sample.size(), -1);
  t.females.sample_count.assign(pops.names.size(), 0);
  for (size_t j = 0; j < pops.of_sample.size(); ++j) {
    const int32_t p = pops.of_sample[j];
    if (p < 0 || t.of_sample[j] != Sex::kFemale) continue;
    t.females.of_sample[j] = p;
    ++t.females.sample_count[static_cast<size_t>(p)];
  }
  t.female_calls.assign(2 * pops.of_sample.size(), kNoCall);
}

void add_sex_linked_site_units(const SiteText& s, const int32_t* calls,
                               const SamplePopulations& pops, uint64_t key_prefix,
                               uint32_t occurrence, SexTally& t, SiteBlock& b) {
  const size_t samples = pops.of_sample.size();
  // The females' diploid calls; a female's haploid call is not counted.
  for (size_t j = 0; j < samples; ++j) {
    const bool counted = t.females.of_sample[j] >= 0 && calls[2 * j + 1] >= 0;
    t.female_calls[2 * j] = counted ? calls[2 * j] : kNoCall;
    t.female_calls[2 * j + 1] = counted ? calls[2 * j + 1] : kNoCall;
  }
  count_calls(s, t.female_calls.data(), t.females, t.work);
  const size_t first_unit = b.units.size();
  add_site_units(s, t.females, key_prefix, occurrence, t.work, b);
  b.sites.back().by_sex = true;

  const size_t n_allele = static_cast<size_t>(s.n_allele);
  const size_t copies = b.male_copies.size();
  b.male_copies.resize(copies + (b.units.size() - first_unit) * n_allele, 0);
  for (size_t u = first_unit; u < b.units.size(); ++u)
    b.units[u].male_copies = static_cast<uint32_t>(copies + (u - first_unit) * n_allele);
  if (!s.has_gt) return;
  for (size_t j = 0; j < samples; ++j) {
    const int32_t p = pops.of_sample[j];
    if (p < 0 || t.of_sample[j] != Sex::kMale) continue;
    const int32_t* call = calls + 2 * j;
    const MaleCall male = call[1] == kHaploidCall ? count_male_x_call(1, call[0], -1)
                                                  : count_male_x_call(2, call[0], call[1]);
    SiteUnit& unit = b.units[first_unit + static_cast<size_t>(p)];
    if (male.kind == MaleCallKind::kHeterozygous) ++unit.male_het;
    if (male.kind != MaleCallKind::kOneCopy || male.allele >= s.n_allele) continue;
    ++unit.males;
    ++b.male_copies[unit.male_copies + static_cast<size_t>(male.allele)];
  }
}
