// The sampler's generator: xoshiro256** (Blackman and Vigna), its state
// filled by splitmix64. Each chunk of tables gets its own stream, derived
// from the seed, the chunk's index and a key alone, so the tables drawn
// never depend on which thread draws them; the key (for example a variant
// site's identity) gives a unit streams of its own under one run seed.
#pragma once

#include <cstdint>

struct Rng64 {
  uint64_t s[4];
};

// splitmix64's step between states.
inline constexpr uint64_t kSplitmix64Gamma = 0x9E3779B97F4A7C15ull;

// splitmix64's output for the state x: x + gamma mixed, a bijection of 64
// bits. Also what other keys of the program are hashed with.
inline uint64_t splitmix64_mix(uint64_t x) {
  uint64_t z = x + kSplitmix64Gamma;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

// One step of splitmix64: the output for the state, which then advances.
inline uint64_t splitmix64_next(uint64_t& x) {
  const uint64_t z = splitmix64_mix(x);
  x += kSplitmix64Gamma;
  return z;
}

inline Rng64 rng64_stream(uint64_t seed, uint64_t stream, uint64_t key = 0) {
  // The seed is mixed first, so streams of neighbouring seeds share nothing;
  // key 0 leaves the streams as they were before keys existed.
  uint64_t mixer = seed;
  uint64_t x = splitmix64_next(mixer) ^ (stream * 0xD1B54A32D192ED03ull);
  if (key != 0) {
    uint64_t key_mixer = key ^ 0x6A09E667F3BCC909ull;
    x ^= splitmix64_next(key_mixer);
  }
  Rng64 r;
  for (uint64_t& word : r.s) word = splitmix64_next(x);
  return r;
}

inline uint64_t rotl64(uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }

inline uint64_t rng64_next(Rng64& r) {
  uint64_t* s = r.s;
  const uint64_t result = rotl64(s[1] * 5, 7) * 9;
  const uint64_t t = s[1] << 17;
  s[2] ^= s[0];
  s[3] ^= s[1];
  s[1] ^= s[2];
  s[0] ^= s[3];
  s[2] ^= t;
  s[3] = rotl64(s[3], 45);
  return result;
}

// Uniform in (0, 1], 53 bits.
inline double rng64_open01(Rng64& r) {
  return static_cast<double>((rng64_next(r) >> 11) + 1) * 0x1.0p-53;
}

// Uniform in [0, 1), 53 bits.
inline double rng64_01(Rng64& r) { return static_cast<double>(rng64_next(r) >> 11) * 0x1.0p-53; }

// Uniform integer in [0, range), range >= 1, without bias (Lemire's
// multiply-and-reject).
inline uint64_t rng64_below(Rng64& r, uint64_t range) {
  unsigned __int128 m = static_cast<unsigned __int128>(rng64_next(r)) * range;
  uint64_t low = static_cast<uint64_t>(m);
  if (low < range) {
    const uint64_t threshold = (0 - range) % range;
    while (low < threshold) {
      m = static_cast<unsigned __int128>(rng64_next(r)) * range;
      low = static_cast<uint64_t>(m);
    }
  }
  return static_cast<uint64_t>(m >> 64);
}
