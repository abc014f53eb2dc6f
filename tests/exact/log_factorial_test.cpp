#include "exact/log_factorial.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <algorithm>
#include <string>
#include <thread>
#include <vector>

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
  EXPECT_EQ(small.size, 41);
  EXPECT_EQ(full.size, LogFactorials::kMaxEntries);
  for (int64_t x : {int64_t{0}, int64_t{3}, int64_t{40}, int64_t{41}, int64_t{1000}, int64_t{65535},
                    int64_t{65536}, int64_t{1} << 30}) {
    for (int64_t y : {int64_t{0}, int64_t{17}, int64_t{40}, int64_t{999}, int64_t{65536}}) {
      SCOPED_TRACE(std::to_string(x) + " " + std::to_string(y));
      EXPECT_EQ(log_factorial_diff(small, x, y), log_factorial_diff(full, x, y));
      EXPECT_EQ(log_factorial_diff_ld(small, x, y), log_factorial_diff_ld(full, x, y));
    }
  }
}

// Asked for on several threads at once, a fresh table holds each entry
// exactly as lgammal gives it, whichever thread wrote it down, and answers
// every thread with that value, also while another is writing it.
TEST(LogFactorial, EntriesAskedForOnSeveralThreadsAreLgammalsOwn) {
  for (int64_t max_arg : {int64_t{40}, int64_t{40000}, int64_t{1} << 20}) {
    SCOPED_TRACE(max_arg);
    const LogFactorials table = build_log_factorials(max_arg);
    ASSERT_EQ(table.size, std::min<int64_t>(max_arg + 1, LogFactorials::kMaxEntries));
    std::vector<std::vector<long double>> seen(4);
    std::vector<std::thread> threads;
    for (size_t w = 0; w < seen.size(); ++w) {
      threads.emplace_back([&table, &seen, w] {
        // Every thread walks the table from its own end, so that some
        // entries are asked for by two at once.
        for (int64_t i = 0; i < table.size; ++i) {
          const int64_t x = w % 2 == 0 ? i : table.size - 1 - i;
          seen[w].push_back(log_factorial_diff_ld(table, x, 0));
        }
      });
    }
    for (std::thread& t : threads) t.join();
    for (int64_t x = 0; x < table.size; x += x < 5000 ? 1 : 97) {
      const long double expected = lgammal(static_cast<long double>(x) + 1.0L);
      const LogFactorials::Entry e = log_factorial_entry(table, x);
      ASSERT_EQ(e.lf, expected) << x;
      ASSERT_EQ(e.split.high, static_cast<double>(expected)) << x;
      ASSERT_EQ(e.split.low, static_cast<double>(expected - static_cast<long double>(e.split.high)))
          << x;
      for (size_t w = 0; w < seen.size(); ++w) {
        const size_t at = static_cast<size_t>(w % 2 == 0 ? x : table.size - 1 - x);
        ASSERT_EQ(seen[w][at], expected) << x << " thread " << w;
      }
    }
  }
}

}  // namespace
