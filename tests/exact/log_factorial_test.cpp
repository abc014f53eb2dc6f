#include "exact/log_factorial.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>

#include "full_log_factorials.h"

namespace {

// ln x! - ln y! must stay accurate as a difference on both sides of the
// table's end and far beyond it, where a plain lgamma difference of 2e10-sized
// values would keep only about six digits.
TEST(LogFactorial, DifferencesStayExactAtAnySize) {
  for (int64_t x : {int64_t{0}, int64_t{1}, int64_t{7}, int64_t{65534}, int64_t{65535},
                    int64_t{65536}, int64_t{1000000}, int64_t{1} << 40}) {
    SCOPED_TRACE(x);
    // One step is one logarithm.
    const double step = std::log(static_cast<double>(x + 1));
    EXPECT_NEAR(log_factorial_diff(full_log_factorials(), x + 1, x), step,
                1e-12 * std::max(1.0, step));
    EXPECT_NEAR(static_cast<double>(log_factorial_diff_ld(full_log_factorials(), x + 1, x)), step,
                1e-13 * std::max(1.0, step));
    EXPECT_EQ(log_factorial_diff(full_log_factorials(), x, x), 0.0);
  }
  // Across the table's end and against lgamma where it is still exact enough.
  for (auto [x, y] : {std::pair<int64_t, int64_t>{70000, 60000}, {65536, 3}, {200000, 100000}}) {
    const long double want = lgammal(x + 1.0L) - lgammal(y + 1.0L);
    EXPECT_NEAR(log_factorial_diff(full_log_factorials(), x, y), static_cast<double>(want), 1e-9)
        << x << " " << y;
    EXPECT_NEAR(log_factorial_diff(full_log_factorials(), y, x), -static_cast<double>(want), 1e-9)
        << x << " " << y;
  }
  // A sum of a thousand single steps at 10^9.
  const int64_t base = 1000000000;
  long double sum = 0;
  for (int64_t m = base + 1; m <= base + 1000; ++m) sum += logl(static_cast<long double>(m));
  EXPECT_NEAR(log_factorial_diff(full_log_factorials(), base + 1000, base),
              static_cast<double>(sum), 1e-9);
  EXPECT_NEAR(
      static_cast<double>(log_factorial_diff_ld(full_log_factorials(), base + 1000, base) - sum),
      0.0, 1e-12);
}

// A table sized to a small sample gives the very bits of the full one, for
// arguments inside it and (computed on the spot) beyond it, so preparing
// tables per run never changes a figure.
TEST(LogFactorial, SmallTablesGiveTheFullTablesBits) {
  const LogFactorials small = build_log_factorials(40);
  const LogFactorials& full = full_log_factorials();
  EXPECT_EQ(small.lf.size(), 41u);
  EXPECT_EQ(full.lf.size(), static_cast<size_t>(LogFactorials::kMaxEntries));
  for (int64_t x : {int64_t{0}, int64_t{3}, int64_t{40}, int64_t{41}, int64_t{1000}, int64_t{65535},
                    int64_t{65536}, int64_t{1} << 30}) {
    for (int64_t y : {int64_t{0}, int64_t{17}, int64_t{40}, int64_t{999}, int64_t{65536}}) {
      SCOPED_TRACE(std::to_string(x) + " " + std::to_string(y));
      EXPECT_EQ(log_factorial_diff(small, x, y), log_factorial_diff(full, x, y));
      EXPECT_EQ(log_factorial_diff_ld(small, x, y), log_factorial_diff_ld(full, x, y));
    }
  }
}

// Filled on several threads, in pieces, the table holds each entry exactly
// as one thread fills it: every entry lgammal's own, none skipped at the
// pieces' ends or the table's.
TEST(LogFactorial, TablesFilledOnSeveralThreadsAreBitForBitTheSame) {
  for (int64_t max_arg : {int64_t{4095}, int64_t{4096}, int64_t{40000}, int64_t{1} << 20}) {
    SCOPED_TRACE(max_arg);
    const LogFactorials one = build_log_factorials(max_arg, 1);
    for (unsigned workers : {2u, 3u, 0u}) {
      const LogFactorials many = build_log_factorials(max_arg, workers);
      ASSERT_EQ(many.lf.size(), one.lf.size());
      for (size_t i = 0; i < one.lf.size(); ++i) {
        ASSERT_EQ(many.lf[i], lgammal(static_cast<long double>(i) + 1.0L)) << i;
        ASSERT_EQ(many.lf_split[i].high, one.lf_split[i].high) << i;
        ASSERT_EQ(many.lf_split[i].low, one.lf_split[i].low) << i;
      }
    }
  }
}

}  // namespace
