#include "structure/structure_site.h"

#include <algorithm>
#include <cmath>

namespace {

// Eight sums side by side (a fixed order, so the same bits every time).
double dot(const double* __restrict a, const double* __restrict b, int32_t n) {
  double lane[8] = {0, 0, 0, 0, 0, 0, 0, 0};
  int32_t i = 0;
  for (; i + 8 <= n; i += 8)
    for (int32_t l = 0; l < 8; ++l) lane[l] += a[i + l] * b[i + l];
  for (; i < n; ++i) lane[0] += a[i] * b[i];
  return ((lane[0] + lane[1]) + (lane[2] + lane[3])) + ((lane[4] + lane[5]) + (lane[6] + lane[7]));
}

// y += a x, in pieces of fixed length that the compiler turns into vector
// code.
void add_scaled(double* __restrict y, const double* __restrict x, double a, int32_t n) {
  int32_t i = 0;
  for (; i + kSamplePiece <= n; i += kSamplePiece)
    for (int32_t j = 0; j < kSamplePiece; ++j) y[i + j] += x[i + j] * a;
  for (; i < n; ++i) y[i] += x[i] * a;
}

// pi_i = clip(fitted_i / 2 + mean) in place.
void clip_frequencies(double* __restrict fitted, double mean, int32_t n) {
  int32_t i = 0;
  auto clip = [mean](double fitted_value) {
    const double pi = 0.5 * fitted_value + mean;
    return pi < kFrequencyClip ? kFrequencyClip : pi > 1 - kFrequencyClip ? 1 - kFrequencyClip : pi;
  };
  for (; i + kSamplePiece <= n; i += kSamplePiece)
    for (int32_t j = 0; j < kSamplePiece; ++j) fitted[i + j] = clip(fitted[i + j]);
  for (; i < n; ++i) fitted[i] = clip(fitted[i]);
}

// Solves (G - sum over the missing samples of b_i b_i^T) coef = rhs for the
// leading k x k of the gram G (stride K), by Cholesky in `factor`.
void solve_normal(const StructureModel& model, int32_t k, const uint8_t* codes,
                  const double* gram, int32_t K, const double* rhs, double* factor,
                  double* coef) {
  for (int32_t a = 0; a < k; ++a)
    for (int32_t b = 0; b < k; ++b) factor[a * k + b] = gram[a * K + b];
  for (int32_t i = 0; i < model.samples; ++i) {
    if (codes[i] < kMissingCode) continue;
    for (int32_t a = 0; a < k; ++a) {
      const double ba = basis_column(model, a)[i];
      for (int32_t b = 0; b <= a; ++b) factor[a * k + b] -= ba * basis_column(model, b)[i];
    }
  }
  // Lower triangle in place; a direction left undetermined has a 0 pivot.
  for (int32_t j = 0; j < k; ++j) {
    const double diagonal = gram[j * K + j];
    double d = factor[j * k + j];
    for (int32_t l = 0; l < j; ++l) d -= factor[j * k + l] * factor[j * k + l];
    const double pivot = d > kPivotFloor * diagonal ? std::sqrt(d) : 0;
    factor[j * k + j] = pivot;
    for (int32_t a = j + 1; a < k; ++a) {
      double v = factor[a * k + j];
      for (int32_t l = 0; l < j; ++l) v -= factor[a * k + l] * factor[j * k + l];
      factor[a * k + j] = pivot > 0 ? v / pivot : 0;
    }
  }
  for (int32_t j = 0; j < k; ++j) {
    double v = rhs[j];
    for (int32_t l = 0; l < j; ++l) v -= factor[j * k + l] * coef[l];
    coef[j] = factor[j * k + j] > 0 ? v / factor[j * k + j] : 0;
  }
  for (int32_t j = k - 1; j >= 0; --j) {
    double v = coef[j];
    for (int32_t l = j + 1; l < k; ++l) v -= factor[l * k + j] * coef[l];
    coef[j] = factor[j * k + j] > 0 ? v / factor[j * k + j] : 0;
  }
}

}  // namespace

StructureGroups group_samples(const std::vector<int32_t>& population_of_sample,
                              int32_t populations) {
  StructureGroups g;
  g.start.assign(static_cast<size_t>(populations) + 1, 0);
  for (int32_t p : population_of_sample)
    if (p >= 0 && p < populations) ++g.start[static_cast<size_t>(p) + 1];
  for (size_t p = 1; p < g.start.size(); ++p) g.start[p] += g.start[p - 1];
  g.members.resize(static_cast<size_t>(g.start.back()));
  std::vector<int32_t> next(g.start.begin(), g.start.end() - 1);
  for (size_t i = 0; i < population_of_sample.size(); ++i) {
    const int32_t p = population_of_sample[i];
    if (p >= 0 && p < populations)
      g.members[static_cast<size_t>(next[static_cast<size_t>(p)]++)] = static_cast<int32_t>(i);
  }
  return g;
}

StructureGroups one_group(int32_t samples) {
  return group_samples(std::vector<int32_t>(static_cast<size_t>(std::max(samples, 0)), 0), 1);
}

bool prepare_structure_workspace(const StructureModel& model, StructureWorkspace& work) {
  const size_t n = static_cast<size_t>(model.samples);
  const int32_t k = std::max(model.components, 1);
  const size_t kk = static_cast<size_t>(k) * static_cast<size_t>(k);
  if (!work.centred.allocate(n) || !work.fitted.allocate(n) || !work.ratio.allocate(n) ||
      !work.projection.allocate(static_cast<size_t>(k)) || !work.gram.allocate(kk) ||
      !work.normal.allocate(kk + static_cast<size_t>(k)))
    return false;
  work.gram_components = model.components;
  for (int32_t a = 0; a < model.components; ++a)
    for (int32_t b = 0; b < model.components; ++b)
      work.gram[static_cast<size_t>(a * model.components + b)] =
          dot(basis_column(model, a), basis_column(model, b), model.samples);
  return true;
}

void project_site(const StructureModel& model, const uint8_t* codes, double mean,
                  StructureWorkspace& work, double* c) {
  centre_codes(codes, model.samples, 2 * mean, work.centred.data);
  for (int32_t j = 0; j < model.components; ++j)
    c[j] = dot(basis_column(model, j), work.centred.data, model.samples);
}

void test_projected_site(const StructureModel& model, int32_t k, const uint8_t* codes,
                         const SiteMean& mean, const double* c, const StructureGroups& groups,
                         StructureWorkspace& work, InbreedingTest* results) {
  const int32_t n = model.samples;
  const double* coef = c;
  if (!model.basis.empty() || mean.called < n) {
    double* solved = work.normal.data + static_cast<size_t>(k) * static_cast<size_t>(k);
    solve_normal(model, k, codes, work.gram.data, work.gram_components, c, work.normal.data,
                 solved);
    coef = solved;
  }
  double* fitted = work.fitted.data;
  std::fill(fitted, fitted + n, 0.0);
  for (int32_t j = 0; j < k; ++j) add_scaled(fitted, basis_column(model, j), coef[j], n);
  clip_frequencies(fitted, mean.mean, n);
  double* ratio = work.ratio.data;
  for (int32_t p = 0; p < group_count(groups); ++p) {
    int32_t hom = 0, het = 0, alt = 0;
    // The rarer allele's least frequency among the called: the lower bound
    // of F is -a / (1 - a), which falls as a rises.
    double rarest = 0.5;
    const int32_t* member = groups.members.data() + groups.start[static_cast<size_t>(p)];
    const int32_t* end = groups.members.data() + groups.start[static_cast<size_t>(p) + 1];
    for (; member != end; ++member) {
      const int32_t i = *member;
      const int32_t g = codes[i];
      if (g >= kMissingCode) continue;
      const double freq[2] = {fitted[i], 1 - fitted[i]};
      rarest = std::min(rarest, std::min(freq[0], freq[1]));
      alt += g;
      // Genotype 0: pi / (1 - pi); 2: (1 - pi) / pi. Every call writes its
      // ratio; a heterozygote's is overwritten by the next homozygote's.
      ratio[hom] = freq[g != 0] / freq[g == 0];
      hom += g != 1;
      het += g == 1;
    }
    const int32_t called = hom + het;
    if (called == 0) {
      results[p] = untested(FitOutcome::kNoCalls, 0);
      continue;
    }
    if (alt == 0 || alt == 2 * called)
      results[p] = untested(FitOutcome::kOneAllele, called);
    else
      results[p] = fit_inbreeding(ratio, hom, het, -rarest / (1 - rarest));
    results[p].least_frequency = rarest;
  }
}

void test_site_structure(const StructureModel& model, const uint8_t* codes,
                         const StructureGroups& groups, StructureWorkspace& work,
                         InbreedingTest* results) {
  const SiteMean mean = site_mean(codes, model.samples);
  project_site(model, codes, mean.mean, work, work.projection.data);
  test_projected_site(model, model.components, codes, mean, work.projection.data, groups, work,
                      results);
}
