#include "structure/inbreeding_fit.h"

#include <algorithm>
#include <boost/math/distributions/normal.hpp>
#include <cmath>
#include <limits>

#include "stats/chi_square.h"

namespace {

using QuietPolicy = boost::math::policies::policy<
    boost::math::policies::domain_error<boost::math::policies::ignore_error>,
    boost::math::policies::overflow_error<boost::math::policies::ignore_error>,
    boost::math::policies::evaluation_error<boost::math::policies::ignore_error>>;

// Newton stops when the error left after a small step, predicted from the
// third derivative (Newton's error is l''' / (2 l'') step^2), is below
// kErrorLeft, the rounding of the score's own sum; or when a step is this
// small anyway.
constexpr double kLocalStep = 1e-3;
constexpr double kErrorLeft = 1e-15;
constexpr double kStepTolerance = 1e-13;
constexpr int32_t kMaxSteps = 200;
// A homozygote whose factor 1 + F r is this close to 0 at the lower bound
// makes the likelihood fall to minus infinity there.
constexpr double kVanishingFactor = 1e-12;

struct Score {
  double slope;      // l'(F)
  double curvature;  // l''(F), negative
  double third;      // l'''(F)
};

// At an interior F. Four sums side by side, so that no addition waits for
// the one before.
Score score_at(const double* r, int32_t n, int32_t het, double f) {
  double s[4] = {0, 0, 0, 0}, c[4] = {0, 0, 0, 0}, d[4] = {0, 0, 0, 0};
  int32_t i = 0;
  for (; i + 4 <= n; i += 4) {
    for (int32_t j = 0; j < 4; ++j) {
      const double t = r[i + j] / (1 + f * r[i + j]);
      const double t2 = t * t;
      s[j] += t;
      c[j] += t2;
      d[j] += t2 * t;
    }
  }
  for (; i < n; ++i) {
    const double t = r[i] / (1 + f * r[i]);
    s[0] += t;
    c[0] += t * t;
    d[0] += t * t * t;
  }
  const double h = het / (1 - f);
  const double h2 = h / (1 - f);
  return {(s[0] + s[1]) + (s[2] + s[3]) - h, -((c[0] + c[1]) + (c[2] + c[3]) + h2),
          2 * ((d[0] + d[1]) + (d[2] + d[3])) - 2 * h2 / (1 - f)};
}

// l(F) - l(0) = het log(1-F) + sum log(1 + F r). The factors 1 + F r are
// multiplied eight at a time as T' = T + t + T t (so that T, the product
// less 1, keeps its relative precision however small) with one log1p per
// eight; four products go side by side. A factor below 1/2 goes to the
// sum alone, so no product falls below 2^-8 and loses digits in 1 + T.
long double log_likelihood_gain(const double* r, int32_t n, int32_t het, double f) {
  long double sum =
      het > 0 ? static_cast<long double>(het) * std::log1p(static_cast<long double>(-f)) : 0;
  auto factor = [&](double t) {
    if (t >= -0.5) return t;
    sum += std::log1p(t);
    return 0.0;
  };
  int32_t i = 0;
  for (; i + 32 <= n; i += 32) {
    double product[4] = {0, 0, 0, 0};
    for (int32_t j = 0; j < 32; j += 4)
      for (int32_t c = 0; c < 4; ++c) {
        const double t = factor(f * r[i + j + c]);
        product[c] = product[c] + t + product[c] * t;
      }
    for (double p : product) sum += std::log1p(p);
  }
  while (i < n) {
    double product = 0;
    for (int32_t j = 0; j < 8 && i < n; ++j, ++i) {
      const double t = factor(f * r[i]);
      product = product + t + product * t;
    }
    sum += std::log1p(product);
  }
  return sum;
}

// The maximum of l over [lower, 1].
double maximise(const double* r, int32_t n, int32_t het, double lower) {
  // The score and curvature at 0 need no division; four sums side by side.
  double sum_r[4] = {0, 0, 0, 0}, sum_r2[4] = {0, 0, 0, 0}, most[4] = {0, 0, 0, 0};
  int32_t i = 0;
  for (; i + 4 <= n; i += 4)
    for (int32_t j = 0; j < 4; ++j) {
      sum_r[j] += r[i + j];
      sum_r2[j] += r[i + j] * r[i + j];
      most[j] = most[j] < r[i + j] ? r[i + j] : most[j];
    }
  for (; i < n; ++i) {
    sum_r[0] += r[i];
    sum_r2[0] += r[i] * r[i];
    most[0] = most[0] < r[i] ? r[i] : most[0];
  }
  const double slope0 = ((sum_r[0] + sum_r[1]) + (sum_r[2] + sum_r[3])) - het;
  const double curvature0 = -(((sum_r2[0] + sum_r2[1]) + (sum_r2[2] + sum_r2[3])) + het);
  if (slope0 == 0) return 0;
  double a, b;  // the root of the score lies in (a, b)
  if (slope0 > 0) {
    if (het == 0) return 1;  // the score stays positive up to F = 1
    a = 0;
    b = 1;
  } else {
    // The score rises without bound towards lower when the largest ratio's
    // factor vanishes there.
    const double largest = std::max(std::max(most[0], most[1]), std::max(most[2], most[3]));
    const bool unbounded = 1 + lower * largest <= kVanishingFactor;
    if (!unbounded && score_at(r, n, het, lower).slope <= 0) return lower;
    a = lower;
    b = 0;
  }
  double f = -slope0 / curvature0;  // Newton's step from 0
  if (!(f > a && f < b)) f = 0.5 * (a + b);
  for (int32_t step = 0; step < kMaxSteps; ++step) {
    const Score sc = score_at(r, n, het, f);
    if (sc.slope == 0) return f;
    if (sc.slope > 0)
      a = f;
    else
      b = f;
    const double newton = f - sc.slope / sc.curvature;
    if (newton > a && newton < b) {
      const double step = newton - f;
      const double left = std::fabs(sc.third / (2 * sc.curvature)) * step * step;
      if ((std::fabs(step) <= kLocalStep && left <= kErrorLeft) ||
          std::fabs(step) <= kStepTolerance)
        return newton;
      f = newton;
    } else {
      f = 0.5 * (a + b);
      if (f == a || f == b) return f;
    }
  }
  return f;
}

}  // namespace

InbreedingTest untested(FitOutcome outcome, int32_t called) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  return {outcome, called, nan, nan, nan, nan, nan, nan};
}

InbreedingTest fit_inbreeding(const double* ratio, int32_t homozygotes, int32_t heterozygotes,
                              double lower) {
  InbreedingTest out;
  out.outcome = FitOutcome::kTested;
  out.called = homozygotes + heterozygotes;
  out.f = maximise(ratio, homozygotes, heterozygotes, lower);
  const long double gain =
      out.f == 0 ? 0 : log_likelihood_gain(ratio, homozygotes, heterozygotes, out.f);
  out.statistic = gain > 0 ? static_cast<double>(2 * gain) : 0.0;
  out.p = chi_square_upper_tail(out.statistic, 1);
  const double z = std::copysign(std::sqrt(out.statistic), out.f);
  const boost::math::normal_distribution<double, QuietPolicy> normal;
  out.p_deficit = boost::math::cdf(boost::math::complement(normal, z));
  out.p_excess = boost::math::cdf(normal, z);
  return out;
}
