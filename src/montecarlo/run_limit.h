// The most replicates one experiment makes, whichever front end asks.
#pragma once

#include <cstdint>

inline constexpr int32_t kMaxRuns = 65000;
