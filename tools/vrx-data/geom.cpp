#include "geom.h"

namespace vrxdata {

namespace {

float Lattice(int x, int y, uint32_t seed, int period) {
  if (period > 0) {
    x = ((x % period) + period) % period;
    y = ((y % period) + period) % period;
  }
  return Unit(Hash(static_cast<uint32_t>(x), static_cast<uint32_t>(y), seed));
}

}  // namespace

float LatticeNoise(float x, float y, uint32_t seed, int period) {
  const float fx = std::floor(x), fy = std::floor(y);
  const int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
  const float tx = Smoothstep(x - fx), ty = Smoothstep(y - fy);
  const float a = Lattice(ix, iy, seed, period), b = Lattice(ix + 1, iy, seed, period);
  const float c = Lattice(ix, iy + 1, seed, period), d = Lattice(ix + 1, iy + 1, seed, period);
  return Lerp(Lerp(a, b, tx), Lerp(c, d, tx), ty);
}

float FractalNoise(float x, float y, uint32_t seed, int octaves, int period) {
  float sum = 0, weight = 1, total = 0;
  for (int o = 0; o < octaves; ++o) {
    sum += weight * LatticeNoise(x, y, seed + 101u * static_cast<uint32_t>(o), period);
    total += weight;
    weight *= 0.5f;
    x *= 2;
    y *= 2;
    if (period > 0) period *= 2;
  }
  return sum / total;
}

}  // namespace vrxdata
