#include "structure_simulation.h"

#include <cmath>

#include "exact/rng64.h"
#include "structure/genotype_codes.h"

namespace {

double standard_normal(Rng64& r) {
  const double u = rng64_open01(r);
  const double v = rng64_01(r);
  return std::sqrt(-2 * std::log(u)) * std::cos(2 * M_PI * v);
}

// Marsaglia and Tsang (2000); shapes below 1 through Gamma(a + 1) U^(1/a).
double gamma_variate(Rng64& r, double shape) {
  if (shape < 1) return gamma_variate(r, shape + 1) * std::pow(rng64_open01(r), 1 / shape);
  const double d = shape - 1.0 / 3;
  const double c = 1 / std::sqrt(9 * d);
  for (;;) {
    double x, v;
    do {
      x = standard_normal(r);
      v = 1 + c * x;
    } while (v <= 0);
    v = v * v * v;
    const double u = rng64_open01(r);
    if (std::log(u) < 0.5 * x * x + d - d * v + d * std::log(v)) return d * v;
  }
}

double beta_variate(Rng64& r, double a, double b) {
  const double x = gamma_variate(r, a);
  const double y = gamma_variate(r, b);
  return x / (x + y);
}

uint8_t draw_genotype(Rng64& r, double pi, double f) {
  const double het = 2 * pi * (1 - pi) * (1 - f);
  const double alt_hom = pi * pi + pi * (1 - pi) * f;
  const double u = rng64_01(r);
  return u < alt_hom ? 2 : u < alt_hom + het ? 1 : 0;
}

}  // namespace

Simulation simulate_structure(const SimulationSettings& st) {
  Rng64 r = rng64_stream(st.seed, 0);
  Simulation s;
  s.samples = st.samples;
  s.sites = st.sites;
  s.populations = st.populations;
  s.population.resize(static_cast<size_t>(st.samples));
  std::vector<int32_t>& first = s.first;
  std::vector<int32_t>& second = s.second;
  std::vector<double>& share = s.share;
  first.resize(static_cast<size_t>(st.samples));
  second.resize(first.size());
  share.assign(first.size(), 1.0);
  for (size_t i = 0; i < first.size(); ++i) {
    const int32_t a = static_cast<int32_t>(rng64_below(r, static_cast<uint64_t>(st.populations)));
    first[i] = second[i] = a;
    s.population[i] = a;
    if (st.populations > 1 && rng64_01(r) < st.admixed_share) {
      int32_t b = static_cast<int32_t>(rng64_below(r, static_cast<uint64_t>(st.populations - 1)));
      second[i] = b >= a ? b + 1 : b;
      share[i] = rng64_01(r);
      s.population[i] = -1;
    }
  }
  s.codes.resize(static_cast<size_t>(st.sites) * static_cast<size_t>(st.samples));
  s.frequency.resize(static_cast<size_t>(st.sites) * static_cast<size_t>(st.populations));
  s.deviant.resize(static_cast<size_t>(st.sites));
  const double scale = (1 - st.fst) / st.fst;
  for (int32_t j = 0; j < st.sites; ++j) {
    const double ancestral = st.ancestral_low + (1 - 2 * st.ancestral_low) * rng64_01(r);
    double* p = s.frequency.data() + static_cast<size_t>(j) * static_cast<size_t>(st.populations);
    for (int32_t k = 0; k < st.populations; ++k)
      p[k] = beta_variate(r, ancestral * scale, (1 - ancestral) * scale);
    const bool deviant = rng64_01(r) < st.deviant_share;
    s.deviant[static_cast<size_t>(j)] = deviant;
    uint8_t* codes = s.codes.data() + static_cast<size_t>(j) * static_cast<size_t>(st.samples);
    for (int32_t i = 0; i < st.samples; ++i) {
      const uint8_t g = draw_genotype(r, true_frequency(s, j, i), deviant ? st.deviant_f : 0.0);
      const double missing = st.patchy_missing > 0 && i % 3 == 0 ? st.patchy_missing : st.missing;
      codes[i] = missing > 0 && rng64_01(r) < missing ? kMissingCode : g;
    }
  }
  return s;
}
