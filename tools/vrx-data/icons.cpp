#include "icons.h"

#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <system_error>

namespace vrxdata {

namespace fs = std::filesystem;

const std::vector<int>& IconSizes() {
  static const std::vector<int> sizes = {16, 22, 24, 32, 48, 64, 128, 256};
  return sizes;
}

namespace {

// Area-weighted scaling of premultiplied colour, so transparent pixels do not
// darken the logo's edges. The logo keeps its aspect, centred in the square.
std::vector<unsigned char> Scale(const unsigned char* rgba, int w, int h, int side) {
  std::vector<float> acc(size_t(side) * side * 4, 0.0f);
  const double scale = double(side) / std::max(w, h);
  const double dw = w * scale, dh = h * scale;
  const double ox = (side - dw) / 2, oy = (side - dh) / 2;
  std::vector<unsigned char> out(size_t(side) * side * 4, 0);
  for (int y = 0; y < side; ++y) {
    // The source rectangle this destination row covers.
    const double sy0 = std::clamp((y - oy) / scale, 0.0, double(h));
    const double sy1 = std::clamp((y + 1 - oy) / scale, 0.0, double(h));
    if (sy1 <= sy0) continue;
    for (int x = 0; x < side; ++x) {
      const double sx0 = std::clamp((x - ox) / scale, 0.0, double(w));
      const double sx1 = std::clamp((x + 1 - ox) / scale, 0.0, double(w));
      if (sx1 <= sx0) continue;
      double sum[4] = {0, 0, 0, 0};
      for (int sy = int(sy0); sy < h && sy < sy1; ++sy) {
        const double wy = std::min(sy1, sy + 1.0) - std::max(sy0, double(sy));
        for (int sx = int(sx0); sx < w && sx < sx1; ++sx) {
          const double wx = std::min(sx1, sx + 1.0) - std::max(sx0, double(sx));
          const unsigned char* p = rgba + (size_t(sy) * w + sx) * 4;
          const double a = p[3] / 255.0 * wx * wy;
          sum[0] += p[0] * a;
          sum[1] += p[1] * a;
          sum[2] += p[2] * a;
          sum[3] += a;
        }
      }
      // Share of the whole pixel (1 x 1 in destination) covered by opaque logo.
      const double area = 1.0 / (scale * scale);
      unsigned char* q = out.data() + (size_t(y) * side + x) * 4;
      const double alpha = std::min(1.0, sum[3] / area);
      if (sum[3] > 0) {
        for (int c = 0; c < 3; ++c) q[c] = (unsigned char)std::lround(std::min(255.0, sum[c] / sum[3]));
      }
      q[3] = (unsigned char)std::lround(alpha * 255.0);
    }
  }
  return out;
}

}  // namespace

bool BuildIcons(const std::string& logoTga, const std::string& outDir, const std::string& name,
                std::string* error) {
  int w = 0, h = 0, comp = 0;
  unsigned char* rgba = stbi_load(logoTga.c_str(), &w, &h, &comp, 4);
  if (!rgba) {
    *error = "cannot read the logo " + logoTga + ": " + (stbi_failure_reason() ? stbi_failure_reason() : "?");
    return false;
  }
  bool ok = true;
  for (int side : IconSizes()) {
    const std::vector<unsigned char> icon = Scale(rgba, w, h, side);
    const fs::path dir = fs::path(outDir) / (std::to_string(side) + "x" + std::to_string(side)) / "apps";
    std::error_code ec;
    fs::create_directories(dir, ec);
    const fs::path file = dir / (name + ".png");
    if (ec || !stbi_write_png(file.c_str(), side, side, 4, icon.data(), side * 4)) {
      *error = "cannot write " + file.string();
      ok = false;
      break;
    }
  }
  stbi_image_free(rgba);
  return ok;
}

}  // namespace vrxdata
