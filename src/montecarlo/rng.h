// The permutation test's source of randomness (the exact tests' sampler has
// its own, exact/rng64.h): the linear congruential recurrence
// state = state * 22695477 + 1 (mod 2^32), whose output is bits 16..30 of the
// new state (0..32767). The Monte Carlo replicates are defined by this exact
// sequence, so it must never be swapped for a library generator.
//
// One state per thread, 1 at start-up; every experiment seeds it (the
// interactive program with the calendar time, batch mode with --seed or the
// clock), so experiments run on different threads never draw from each
// other's sequence.
#pragma once

#include <cstdint>

inline thread_local uint32_t rng_state = 1;

// Advances a state held in a register. Hot loops copy rng_state into a local,
// step it with this and store it back, so that their stores cannot force a
// reload of the global between draws.
inline uint32_t rng_step(uint32_t& state) {
  state = state * 22695477u + 1u;
  return (state >> 16) & 0x7FFFu;
}

inline void rng_seed(uint32_t seed) { rng_state = seed; }

inline uint32_t rng_next() { return rng_step(rng_state); }
