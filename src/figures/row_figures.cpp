#include "figures/row_figures.h"

#include <cmath>

#include "montecarlo/replicate.h"
#include "stats/multiple_testing.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

}  // namespace

LeadTest lead_test_for(bool exact, bool experiment, bool structure) {
  if (structure) return LeadTest::kStructure;
  if (exact) return LeadTest::kExactProb;
  return experiment ? LeadTest::kPermutation : LeadTest::kChiSquare;
}

LeadP leading_p(const UnitResult& r, LeadTest test) {
  LeadP lead;
  lead.test = test;
  switch (test) {
    case LeadTest::kExactProb:
      if (r.exact) {
        lead.p = exact_leading_p(*r.exact);
        lead.log10 = exact_leading_log10_p(*r.exact);
        if (r.exact->method == ExactMethod::kEnumeration) {
          lead.mid_p = r.exact->prob_mid;
          lead.mid_log10 = r.exact->log10_prob_mid;
        }
      }
      return lead;
    case LeadTest::kPermutation:
      // b hits of m replicates: (b + 1)/(m + 1), never 0. Above the copies
      // where a replicate is a uniform permutation its p is only
      // approximate, and without replicates (more classes than the
      // experiment takes, or beyond memory) there is none: the next test in
      // the order leads, the exact one where it ran, else the asymptotic.
      if (r.mc && r.mc->runs_made > 0 && replicates_are_uniform(r.locus.two_n)) {
        lead.p = valid_p(r.mc->hits_hw, r.mc->runs_made);
        break;
      }
      return leading_p(r, r.exact ? LeadTest::kExactProb : LeadTest::kChiSquare);
    case LeadTest::kStructure:
      // NaN where the site had no such test (not biallelic autosomal, or
      // one allele in the population).
      if (r.structure) lead.p = r.structure->p;
      break;
    case LeadTest::kChiSquare:
      lead.p = r.p_x2;
      break;
    case LeadTest::kXLinkedProb:
      break;  // not in the unit's analysis: add_sex_figures
  }
  lead.log10 = std::log10(lead.p);
  return lead;
}

HweVerdict hwe_verdict_of(const HweThreshold& threshold, const LeadP& lead) {
  if (threshold.midp && !std::isnan(lead.mid_p))
    return hwe_verdict(threshold, lead.mid_p, lead.mid_log10);
  return hwe_verdict(threshold, lead.p, lead.log10);
}

RowFigures row_figures(const UnitResult* r, int32_t source_k, int32_t source_n, LeadTest lead) {
  RowFigures f;
  f.lead.test = lead;
  f.stat.value.fill(kNaN);
  f.combined.fill(kNaN);
  if (r == nullptr) {
    f.k = source_k;
    f.n = source_n;
    return f;
  }
  f.tested = true;
  f.k = r->locus.k;
  f.n = r->locus.two_n / 2;
  f.lead = leading_p(*r, lead);
  const UnitMeasures measures{*r, unit_heterozygosity_of(r->locus)};
  for (const StatisticEntry& entry : statistic_entries()) f.stat[entry.id] = entry.value(measures);
  if (r->exact) {
    for (size_t i = 0; i < kCombinedTestCount; ++i)
      f.combined[i] = exact_valid_p(*r->exact, kCombinedTests[i].test);
  }
  return f;
}

void add_sex_figures(RowFigures& f, int32_t males, int32_t females, int32_t male_het,
                     const XLinkedResult* x) {
  f.sex.by_sex = true;
  f.sex.males = males;
  f.sex.females = females;
  f.sex.male_het = male_het;
  f.lead = LeadP{};
  f.lead.test = LeadTest::kXLinkedProb;
  if (x == nullptr) return;
  f.sex.p_sex_af = x->sex_af.p;
  f.sex.p_x_prob = x->prob.p;
  f.sex.p_x_prob_mid = x->prob_mid;
  f.lead.p = x_linked_leading_p(*x);
  f.lead.log10 = x->log10_lead;
  if (x->method == ExactMethod::kEnumeration) {
    f.lead.mid_p = x->prob_mid;
    f.lead.mid_log10 = x->log10_mid;
  }
}
