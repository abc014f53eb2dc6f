#include "exact/u_global.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <utility>
#include <vector>

#include "exact/pairing_draw.h"
#include "exact/rng64.h"
#include "exact/sampler.h"
#include "exact/table_stats.h"
#include "parallel/worker_pool.h"
#include "stats/proportion_limits.h"

namespace {

// The scope's grid: U in steps of 2^exp, and the ties' tolerance in steps.
struct Grid {
  int exp = 0;
  int64_t tolerance = 0;
};

int64_t individuals(const ExactSample& sample) {
  int64_t n = 0;
  for (int64_t t : sample.counts) n += t;
  return n;
}

int ceil_log2(uint64_t x) {
  int bits = 0;
  while (bits < 63 && (uint64_t{1} << bits) < x) ++bits;
  return bits;
}

// 2^-50 of the largest |U| of the scope, coarser where the units are so
// many that their sums would not fit in 64 bits.
Grid scope_grid(std::span<const UScopeUnit> units) {
  double most = 1;
  for (const UScopeUnit& u : units) {
    const auto n = static_cast<double>(individuals(*u.sample));
    most = std::max(most, std::max(n, (u.sample->k - 1) * n));
  }
  const int bits = std::min(50, 61 - ceil_log2(units.size() + 1));
  return {std::ilogb(most) + 1 - bits, static_cast<int64_t>(units.size())};
}

int64_t on_grid(const Grid& g, double u) { return std::llround(std::ldexp(u, -g.exp)); }

// The unit's table statistics in the layout the enumeration and the
// sampler use, so its U is computed as theirs. Counting needs no
// log-factorials: an empty table stands in where nothing is drawn.
TableStats unit_stats(const ExactSample& sample, const LogFactorials& lf) {
  return prepare_table_stats(sample, lf);
}

const LogFactorials& no_log_factorials() {
  static const LogFactorials none;
  return none;
}

// The sum of the units' U on the grid, and of their expectations.
struct Observed {
  double s = 0;
  double mean = 0;
  int64_t on_grid = 0;
};

Observed observe(std::span<const UScopeUnit> units, const Grid& grid,
                 const std::vector<double>& u) {
  Observed o;
  long double s = 0, mean = 0;
  for (size_t i = 0; i < units.size(); ++i) {
    s += u[i];
    o.on_grid += on_grid(grid, u[i]);
    const auto n = static_cast<long double>(individuals(*units[i].sample));
    mean -= n * (units[i].sample->k - 1) / (2 * n - 1);
  }
  o.s = static_cast<double>(s);
  o.mean = static_cast<double>(mean);
  return o;
}

bool usable(std::span<const UScopeUnit> units) {
  for (const UScopeUnit& u : units) {
    if (u.sample == nullptr || check_exact_sample(*u.sample) != ExactStatus::kOk) return false;
  }
  return !units.empty();
}

uint64_t unit_key(uint64_t scope_key, size_t i) {
  uint64_t x = scope_key ^ (0xD6E8FEB86659FD93ull * (static_cast<uint64_t>(i) + 1));
  return splitmix64_next(x) | 1;  // never 0, the key of the seed's own streams
}

struct Point {
  int64_t s;
  double p;
};

// Sorted by s, equal sums merged.
void merge_equal(std::vector<Point>& points) {
  std::sort(points.begin(), points.end(), [](const Point& a, const Point& b) { return a.s < b.s; });
  size_t out = 0;
  for (size_t i = 0; i < points.size(); ++i) {
    if (out > 0 && points[out - 1].s == points[i].s) {
      points[out - 1].p += points[i].p;
    } else {
      points[out++] = points[i];
    }
  }
  points.resize(out);
}

}  // namespace

uint64_t u_scope_key(std::string_view scope_name) {
  uint64_t h = 0xCBF29CE484222325ull;  // FNV-1a, then mixed
  for (unsigned char c : scope_name) {
    h ^= c;
    h *= 0x100000001B3ull;
  }
  return splitmix64_next(h);
}

bool convolve_u_laws(std::span<const UScopeUnit> units, uint64_t max_points,
                     UGlobalResult& result) {
  if (!usable(units)) return false;
  for (const UScopeUnit& u : units) {
    if (u.law == nullptr || u.law->u.empty() || u.law->u.size() != u.law->p.size()) return false;
  }
  const Grid grid = scope_grid(units);
  const size_t m = units.size();
  std::vector<double> u_obs(m);
  std::vector<std::vector<Point>> laws(m);
  for (size_t i = 0; i < m; ++i) {
    u_obs[i] = unit_stats(*units[i].sample, no_log_factorials()).u.u_sample;
    for (size_t j = 0; j < units[i].law->u.size(); ++j) {
      laws[i].push_back({on_grid(grid, units[i].law->u[j]), units[i].law->p[j]});
    }
    merge_equal(laws[i]);
  }
  const Observed obs = observe(units, grid, u_obs);
  // The least and most the units after each one can add.
  std::vector<int64_t> rest_low(m + 1, 0), rest_high(m + 1, 0);
  for (size_t i = m; i-- > 0;) {
    rest_low[i] = rest_low[i + 1] + laws[i].front().s;
    rest_high[i] = rest_high[i + 1] + laws[i].back().s;
  }
  const int64_t ge_from = obs.on_grid - grid.tolerance;  // S >= S_obs from here
  const int64_t le_to = obs.on_grid + grid.tolerance;    // S <= S_obs up to here
  long double ge = 0, le = 0;
  std::vector<Point> points{{0, 1.0}}, next;
  for (size_t i = 0; i < m; ++i) {
    if (static_cast<double>(points.size()) * static_cast<double>(laws[i].size()) >
        8.0 * static_cast<double>(max_points)) {
      return false;
    }
    next.clear();
    for (const Point& a : points) {
      for (const Point& b : laws[i]) next.push_back({a.s + b.s, a.p * b.p});
    }
    merge_equal(next);
    // A sum the later units cannot move across either bound is settled.
    size_t kept = 0;
    for (const Point& q : next) {
      const int64_t low = q.s + rest_low[i + 1], high = q.s + rest_high[i + 1];
      const bool ge_sure = low >= ge_from, ge_never = high < ge_from;
      const bool le_sure = high <= le_to, le_never = low > le_to;
      if ((ge_sure || ge_never) && (le_sure || le_never)) {
        if (ge_sure) ge += q.p;
        if (le_sure) le += q.p;
      } else {
        next[kept++] = q;
      }
    }
    next.resize(kept);
    if (next.size() > max_points) return false;
    points.swap(next);
  }
  result = UGlobalResult{};
  result.method = ExactMethod::kEnumeration;
  result.units = m;
  result.s_obs = obs.s;
  result.s_mean = obs.mean;
  const double p_ge = std::clamp(static_cast<double>(ge), 0.0, 1.0);
  const double p_le = std::clamp(static_cast<double>(le), 0.0, 1.0);
  result.deficit = {p_ge, p_ge, p_ge};
  result.excess = {p_le, p_le, p_le};
  return true;
}

namespace {

// What a unit draws with, prepared once.
struct DrawUnit {
  TableStats stats;
  bool pairing = false;
  PairingPlan plan;
  uint64_t key = 0;
};

ExactP estimate(uint64_t hits, uint64_t draws) {
  const ProportionLimits limits = clopper_pearson_95(hits, draws);
  return {static_cast<double>(hits) / static_cast<double>(draws), limits.low, limits.high};
}

}  // namespace

ExactStatus draw_u_global(std::span<const UScopeUnit> units, const UGlobalOptions& options,
                          UGlobalResult& result) {
  if (units.empty()) return ExactStatus::kNoAlleles;
  int64_t max_two_n = 0;
  for (const UScopeUnit& u : units) {
    if (u.sample == nullptr) return ExactStatus::kNoAlleles;
    const ExactStatus status = check_exact_sample(*u.sample);
    if (status != ExactStatus::kOk) return status;
    max_two_n = std::max(max_two_n, 2 * individuals(*u.sample));
  }
  if (options.draws == 0) return ExactStatus::kNoTables;
  if (options.draws > kMaxExactTables) return ExactStatus::kTooManyTables;
  ExactTables own;
  const ExactTables* tables = options.prepared;
  if (tables == nullptr || tables->max_two_n < max_two_n) {
    own = prepare_exact_tables(max_two_n);
    tables = &own;
  }

  const size_t m = units.size();
  const Grid grid = scope_grid(units);
  std::vector<DrawUnit> drawers(m);
  std::vector<double> u_obs(m);
  size_t most_cells = 1, most_k = 1, most_copies = 1;
  for (size_t i = 0; i < m; ++i) {
    DrawUnit& d = drawers[i];
    d.stats = unit_stats(*units[i].sample, tables->log_factorials);
    d.pairing = prefer_pairing(d.stats);
    if (d.pairing) d.plan = prepare_pairing(d.stats);
    d.key = unit_key(options.scope_key, i);
    u_obs[i] = d.stats.u.u_sample;
    most_cells = std::max(most_cells, d.stats.cell.size());
    most_k = std::max(most_k, static_cast<size_t>(d.stats.k));
    most_copies = std::max(most_copies, d.plan.copies.size());
  }
  const Observed obs = observe(units, grid, u_obs);
  const int64_t ge_from = obs.on_grid - grid.tolerance;
  const int64_t le_to = obs.on_grid + grid.tolerance;

  const uint64_t draws = options.draws;
  const uint64_t chunks = (draws + kSampleChunk - 1) / kSampleChunk;
  const auto threads =
      static_cast<unsigned>(std::min<uint64_t>(resolve_workers(options.threads), chunks));
  std::atomic<uint64_t> next_chunk{0};
  std::vector<std::pair<uint64_t, uint64_t>> per_thread(threads, {0, 0});
  auto work = [&](unsigned id) {
    std::vector<int64_t> t(most_cells), left(most_k), sums(kSampleChunk);
    std::vector<int32_t> pair_work(most_copies);
    auto& [ge, le] = per_thread[id];
    for (;;) {
      const uint64_t c = next_chunk.fetch_add(1, std::memory_order_relaxed);
      if (c >= chunks) break;
      const uint64_t n = std::min<uint64_t>(kSampleChunk, draws - c * kSampleChunk);
      std::fill(sums.begin(), sums.end(), 0);
      for (const DrawUnit& d : drawers) {
        Rng64 r = rng64_stream(options.seed, c, d.key);
        for (uint64_t j = 0; j < n; ++j) {
          if (d.pairing) {
            draw_table_by_pairing(d.stats, d.plan, r, t.data(), pair_work.data());
          } else {
            draw_table(d.stats, r, t.data(), left.data());
          }
          sums[j] += on_grid(grid, u_of_table(d.stats.u, t.data()));
        }
      }
      for (uint64_t j = 0; j < n; ++j) {
        ge += sums[j] >= ge_from ? 1 : 0;
        le += sums[j] <= le_to ? 1 : 0;
      }
    }
  };
  run_on_workers(threads, work);

  result = UGlobalResult{};
  result.method = ExactMethod::kSampling;
  result.units = m;
  result.s_obs = obs.s;
  result.s_mean = obs.mean;
  result.draws = draws;
  for (const auto& [ge, le] : per_thread) {
    result.hits_deficit += ge;
    result.hits_excess += le;
  }
  result.deficit = estimate(result.hits_deficit, draws);
  result.excess = estimate(result.hits_excess, draws);
  return ExactStatus::kOk;
}

ExactStatus run_u_global_test(std::span<const UScopeUnit> units, const UGlobalOptions& options,
                              UGlobalResult& result) {
  if (convolve_u_laws(units, options.max_points, result)) return ExactStatus::kOk;
  return draw_u_global(units, options, result);
}

double u_global_valid_p(const UGlobalResult& result, bool deficit) {
  const ExactP& p = deficit ? result.deficit : result.excess;
  if (result.method == ExactMethod::kEnumeration) return p.p;
  const double b = static_cast<double>(deficit ? result.hits_deficit : result.hits_excess);
  return (b + 1.0) / (static_cast<double>(result.draws) + 1.0);
}
