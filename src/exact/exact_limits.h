// The exact tests' defaults and limits, which the command line states and
// checks: tables enumerated and drawn by default, the most tables a sample
// may be given to draw (hit counts stay exact in a double and no count of
// chunks or draws can overflow), and the hits of p_prob at which sequential
// sampling stops.
#pragma once

#include <cstdint>

inline constexpr uint64_t kDefaultMaxTables = 1000000;
inline constexpr uint64_t kDefaultTables = 100000;
inline constexpr uint64_t kMaxExactTables = 1000000000000000;  // 10^15
inline constexpr uint64_t kSequentialHits = 20;
