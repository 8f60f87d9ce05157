// Small vector helpers and deterministic noise for the content generators.
// Everything here gives the same numbers on every run and every machine that
// runs the same binary: no library random distributions, no time, no threads.
#pragma once

#include <cmath>
#include <cstdint>

namespace vrxdata {

struct Vec3 {
  float x = 0, y = 0, z = 0;
  Vec3() = default;
  Vec3(float ax, float ay, float az) : x(ax), y(ay), z(az) {}
  Vec3 operator+(const Vec3& o) const { return Vec3(x + o.x, y + o.y, z + o.z); }
  Vec3 operator-(const Vec3& o) const { return Vec3(x - o.x, y - o.y, z - o.z); }
  Vec3 operator*(float f) const { return Vec3(x * f, y * f, z * f); }
  Vec3 operator-() const { return Vec3(-x, -y, -z); }
  Vec3& operator+=(const Vec3& o) { x += o.x; y += o.y; z += o.z; return *this; }
};

inline float Dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 Cross(const Vec3& a, const Vec3& b) {
  return Vec3(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}
inline float Length(const Vec3& a) { return std::sqrt(Dot(a, a)); }
inline Vec3 Normalize(const Vec3& a) {
  const float l = Length(a);
  return l > 0 ? a * (1.0f / l) : Vec3(0, 1, 0);
}
inline Vec3 Lerp(const Vec3& a, const Vec3& b, float t) { return a + (b - a) * t; }
inline float Lerp(float a, float b, float t) { return a + (b - a) * t; }
inline float Clamp(float v, float lo, float hi) { return v < lo ? lo : (v > hi ? hi : v); }
inline float Smoothstep(float t) {
  t = Clamp(t, 0.0f, 1.0f);
  return t * t * (3.0f - 2.0f * t);
}

const float kPi = 3.14159265f;

inline uint32_t Hash(uint32_t a) {
  a ^= a >> 16;
  a *= 0x7FEB352Du;
  a ^= a >> 15;
  a *= 0x846CA68Bu;
  a ^= a >> 16;
  return a;
}
inline uint32_t Hash(uint32_t a, uint32_t b) { return Hash(a ^ Hash(b + 0x9E3779B9u)); }
inline uint32_t Hash(uint32_t a, uint32_t b, uint32_t c) { return Hash(Hash(a, b), c); }
// In [0, 1).
inline float Unit(uint32_t h) { return static_cast<float>(h >> 8) * (1.0f / 16777216.0f); }

// A small deterministic generator (a counter through the hash).
class Random {
 public:
  explicit Random(uint32_t seed) : seed_(Hash(seed)) {}
  float Next() { return Unit(Hash(seed_, counter_++)); }                 // [0, 1)
  float Range(float lo, float hi) { return lo + (hi - lo) * Next(); }  // [lo, hi)
  int Below(int n) { return static_cast<int>(Next() * static_cast<float>(n)) % n; }

 private:
  uint32_t seed_;
  uint32_t counter_ = 0;
};

// Value noise in [0, 1] on an integer lattice, smoothly interpolated; `period`
// > 0 makes it tile with that many lattice cells (for seamless textures).
float LatticeNoise(float x, float y, uint32_t seed, int period = 0);
// Sum of octaves of LatticeNoise, normalised to [0, 1].
float FractalNoise(float x, float y, uint32_t seed, int octaves, int period = 0);

}  // namespace vrxdata
