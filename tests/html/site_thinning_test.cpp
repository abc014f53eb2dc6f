#include "html/site_thinning.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// Weak sites carry their arrival number in pos, strong ones -1 - theirs.
ThinnedSites feed(int64_t weak, int64_t strong_every, int64_t cap) {
  ThinnedSites s;
  s.cap = cap;
  int64_t w = 0;
  for (int64_t i = 0; w < weak; ++i) {
    SitePoint p;
    if (strong_every > 0 && i % strong_every == 0) {
      p.p = 1e-3;
      p.pos = -1 - i;
    } else {
      p.p = 0.5;
      p.pos = w++;
    }
    add_site(s, p);
  }
  return s;
}

TEST(SiteThinning, BelowTheCapNothingIsThinned) {
  const ThinnedSites s = feed(1000, 0, 1000);
  EXPECT_EQ(s.stride, 1);
  ASSERT_EQ(s.weak.size(), 1000u);
  for (int64_t i = 0; i < 1000; ++i) EXPECT_EQ(s.weak[i].pos, i);
}

TEST(SiteThinning, AboveTheCapEveryStrideThWeakSiteIsKeptAndEveryStrongOne) {
  for (int64_t weak : {1001, 2000, 2001, 12345, 100000}) {
    const ThinnedSites s = feed(weak, 7, 1000);
    // The smallest power of two that brings the kept ones under the cap.
    int64_t stride = 1;
    while ((weak + stride - 1) / stride > 1000) stride *= 2;
    EXPECT_EQ(s.stride, stride) << weak;
    ASSERT_EQ(static_cast<int64_t>(s.weak.size()), (weak + stride - 1) / stride) << weak;
    EXPECT_LE(static_cast<int64_t>(s.weak.size()), s.cap);
    for (size_t i = 0; i < s.weak.size(); ++i) ASSERT_EQ(s.weak[i].pos, static_cast<int64_t>(i) * stride);
    EXPECT_EQ(s.weak_seen, weak);
    // Every 7th site of the stream was strong: all are there, in order.
    const int64_t strong = static_cast<int64_t>(s.strong.size());
    EXPECT_EQ(sites_seen(s), weak + strong);
    for (int64_t i = 0; i < strong; ++i) ASSERT_EQ(s.strong[i].pos, -1 - 7 * i);
  }
}

TEST(SiteThinning, StrongMeansMinusLog10PAtLeastTwoAndPZeroIsStrongest) {
  ThinnedSites s;
  for (double p : {0.01, 0.0, 1e-300, 0.0100001, 1.0}) add_site(s, {0, 0, p, p, {-1, -1, -1}});
  EXPECT_EQ(s.strong.size(), 3u);
  EXPECT_EQ(s.weak.size(), 2u);
  EXPECT_TRUE(std::isinf(minus_log10(0)));
  EXPECT_DOUBLE_EQ(minus_log10(1e-5), 5);
}

}  // namespace
