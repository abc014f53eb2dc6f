#include "demo_page.h"

#include <algorithm>
#include <boost/math/special_functions/gamma.hpp>
#include <cmath>
#include <cstdint>
#include <numeric>
#include <string>
#include <vector>

namespace {

struct Random {
  uint64_t state = 0x9E3779B97F4A7C15ull;
  double uniform() {  // splitmix64, 53 bits
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    return static_cast<double>(z >> 11) * 0x1.0p-53;
  }
};

struct Tested {
  std::vector<double> obs, exp;
  double p = 0, f_is = 0, d = 0;
};

// n individuals of k alleles with frequencies freq and inbreeding f, tested
// with chi-square on k(k-1)/2 degrees of freedom.
Tested simulate(Random& rng, const std::vector<double>& freq, double f, int n) {
  const size_t k = freq.size();
  std::vector<double> obs(k * (k + 1) / 2, 0);
  auto draw = [&] {
    double u = rng.uniform();
    for (size_t i = 0; i < k; ++i)
      if ((u -= freq[i]) < 0) return i;
    return k - 1;
  };
  auto index = [k](size_t i, size_t j) { return i * k + j - i * (i + 1) / 2; };
  for (int m = 0; m < n; ++m) {
    // f > 0: a share f of identical pairs (inbreeding); f < 0: a share -f
    // of forced heterozygotes.
    size_t a = draw(), b;
    const double u = rng.uniform();
    if (f > 0 && u < f) {
      b = a;
    } else if (f < 0 && u < -f) {
      do b = draw(); while (b == a);
    } else {
      b = draw();
    }
    if (a > b) std::swap(a, b);
    obs[index(a, b)] += 1;
  }
  std::vector<double> p(k, 0);
  for (size_t i = 0; i < k; ++i)
    for (size_t j = i; j < k; ++j) p[i] += obs[index(i, j)], p[j] += obs[index(i, j)];
  for (double& x : p) x /= 2.0 * n;
  Tested t;
  double x2 = 0, ho = 0, he = 1;
  for (size_t i = 0; i < k; ++i) he -= p[i] * p[i];
  for (size_t i = 0; i < k; ++i)
    for (size_t j = i; j < k; ++j) {
      const double e = n * p[i] * p[j] * (i == j ? 1 : 2);
      t.obs.push_back(obs[index(i, j)]);
      t.exp.push_back(e);
      if (e > 0) x2 += (obs[index(i, j)] - e) * (obs[index(i, j)] - e) / e;
      if (i != j) ho += obs[index(i, j)] / n;
    }
  const double df = static_cast<double>(k * (k - 1) / 2);
  t.p = boost::math::gamma_q(df / 2, x2 / 2);
  t.f_is = he > 0 ? 1 - ho / he : kNoValue;
  t.d = he > 0 ? (ho - he) / he : kNoValue;
  return t;
}

std::vector<double> frequencies(Random& rng, int k) {
  std::vector<double> f(k);
  for (double& x : f) x = 0.2 + rng.uniform();
  const double sum = std::accumulate(f.begin(), f.end(), 0.0);
  for (double& x : f) x /= sum;
  return f;
}

std::vector<double> benjamini_hochberg(const std::vector<double>& p) {
  std::vector<size_t> order(p.size());
  std::iota(order.begin(), order.end(), 0);
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return p[a] < p[b]; });
  std::vector<double> q(p.size());
  double running = 1;
  for (size_t r = p.size(); r-- > 0;) {
    running = std::min(running, p[order[r]] * static_cast<double>(p.size()) / static_cast<double>(r + 1));
    q[order[r]] = running;
  }
  return q;
}

void add_genepop(PageData& page, Random& rng) {
  const std::string file = "cattle.gen";
  const char* breeds[10] = {"Angus", "Aubrac", "Brahman", "Charolais", "Hereford",
                            "Holstein", "Jersey", "Limousin", "N'Dama", "Salers"};
  std::vector<UnitFigures> units;
  std::vector<Tested> tests;
  std::vector<std::string> loci;
  for (int l = 0; l < 15; ++l) loci.push_back("BM" + std::to_string(1800 + 37 * l));
  for (int pop = 0; pop < 10; ++pop)
    for (int l = 0; l < 15; ++l) {
      // Null alleles at two loci, inbreeding in one breed, a mixed sample in another.
      double f = (l == 3 || l == 11) ? 0.25 : pop == 2 ? 0.08 : 0;
      Tested t = simulate(rng, frequencies(rng, 3 + (l * 7 + pop) % 6), f, pop == 8 ? 20 : 50);
      if (pop == 6 && l % 4 == 1) t = simulate(rng, frequencies(rng, 3), -0.6, 50);
      UnitFigures u;
      u.style = PageStyle::kGenepop;
      u.population = pop + 1;
      u.k = 3 + (l * 7 + pop) % 6;
      u.n = pop == 8 ? 20 : 50;
      if (pop == 9 && l == 7) u.k = 1, t.p = kNoValue, t.f_is = kNoValue, t.d = kNoValue;
      tests.push_back(t);
      units.push_back(u);
    }
  std::vector<double> ps;
  for (const Tested& t : tests)
    if (!std::isnan(t.p)) ps.push_back(t.p);
  const std::vector<double> qs = benjamini_hochberg(ps);
  size_t next = 0;
  std::vector<double> fisher_pop(10, 0), fisher_locus(15, 0), fis_pop(10, 0), fis_locus(15, 0);
  for (size_t i = 0; i < units.size(); ++i) {
    UnitFigures& u = units[i];
    u.file = file;
    u.population_name = breeds[u.population - 1];
    u.locus = loci[i % 15];
    u.p = tests[i].p;
    u.f_is = tests[i].f_is;
    u.d = tests[i].d;
    if (!std::isnan(u.p)) {
      u.q_bh = qs[next++];
      fisher_pop[u.population - 1] += -2 * std::log(u.p);
      fisher_locus[i % 15] += -2 * std::log(u.p);
      fis_pop[u.population - 1] += u.f_is / 15;
      fis_locus[i % 15] += u.f_is / 10;
    }
    add_unit(page, u);
  }
  std::vector<double> p_locus, p_pop;
  for (double x : fisher_locus) p_locus.push_back(boost::math::gamma_q(10.0, x / 2));
  for (double x : fisher_pop) p_pop.push_back(boost::math::gamma_q(15.0, x / 2));
  const auto q_locus = benjamini_hochberg(p_locus), q_pop = benjamini_hochberg(p_pop);
  for (int l = 0; l < 15; ++l)
    add_summary(page, {file, PageScope::kLocus, loci[l], p_locus[l], q_locus[l], fis_locus[l]});
  for (int pop = 0; pop < 10; ++pop)
    add_summary(page, {file, PageScope::kPopulation, std::to_string(pop + 1), p_pop[pop], q_pop[pop], fis_pop[pop]});
}

void add_sites(PageData& page, Random& rng) {
  const char* chroms[3] = {"20", "21", "22"};
  const int64_t lengths[3] = {64'000'000, 46'000'000, 50'000'000};
  const char* pops[2] = {"EUR", "AFR"};
  for (int pop = 0; pop < 2; ++pop) {
    std::vector<UnitFigures> sites;
    std::vector<Tested> tests;
    for (int c = 0; c < 3; ++c) {
      const int count = c == 0 ? 12000 : 9000;
      for (int s = 0; s < count; ++s) {
        const double q = 0.03 + 0.94 * rng.uniform();
        // Every 150th site a deficit (a duplicated region or a null allele);
        // a cluster of excess on chromosome 21 (paralogues merged).
        double f = s % 150 == 7 ? 0.3 : 0;
        if (c == 1 && s > 4000 && s < 4100) f = -0.4;
        const Tested t = simulate(rng, {1 - q, q}, f, 500);
        UnitFigures u;
        u.style = PageStyle::kVcf;
        u.chrom = chroms[c];
        u.pos = 60'000 + static_cast<int64_t>((lengths[c] - 120'000) * (s + rng.uniform()) / count);
        u.k = 2;
        u.n = 500;
        u.genotypes = {static_cast<int64_t>(t.obs[0]), static_cast<int64_t>(t.obs[1]), static_cast<int64_t>(t.obs[2])};
        sites.push_back(u);
        tests.push_back(t);
      }
    }
    std::vector<double> ps;
    for (const Tested& t : tests) ps.push_back(t.p);
    const auto qs = benjamini_hochberg(ps);
    for (size_t i = 0; i < sites.size(); ++i) {
      sites[i].file = "chr20-22.bcf";
      sites[i].population_name = pops[pop];
      sites[i].p = tests[i].p;
      sites[i].q_bh = qs[i];
      sites[i].f_is = tests[i].f_is;
      add_unit(page, sites[i]);
    }
  }
}

void add_count_files(PageData& page, Random& rng) {
  const int ks[3] = {3, 4, 6};
  const double fs[3] = {0.0, 0.3, -0.15};
  for (int i = 0; i < 3; ++i) {
    const Tested t = simulate(rng, frequencies(rng, ks[i]), fs[i], 120);
    const std::string name = "locus" + std::to_string(i + 1) + ".txt";
    UnitFigures u;
    u.style = PageStyle::kCountFile;
    u.file = name;
    u.alleles = std::string_view("ABCDEF").substr(0, ks[i]);
    u.k = ks[i];
    u.n = 120;
    u.p = t.p;
    u.q_bh = std::min(1.0, t.p * 3);
    u.observed = t.obs;
    u.expected = t.exp;
    add_unit(page, u);
  }
}

}  // namespace

PageData demo_page() {
  PageData page;
  page.header = {"(simulated data of tests/html/demo_page.cpp)", "2026-12-09 04:00:00 UTC", "1.0",
                 "20261209"};
  Random rng;
  add_genepop(page, rng);
  add_sites(page, rng);
  add_count_files(page, rng);
  return page;
}
