// Writing the picture files of the game's data: TGA, BMP and DDS, in the exact
// layouts the game's loaders read. Every writer is deterministic.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/d3d9types.h"

namespace vrxdata {

// A picture as 32-bit A8R8G8B8 values, row 0 at the top.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> argb;

  Picture() = default;
  Picture(int w, int h, uint32_t fill = 0xFF000000u) : width(w), height(h), argb(size_t(w) * h, fill) {}
  uint32_t& at(int x, int y) { return argb[size_t(y) * width + x]; }
  uint32_t at(int x, int y) const { return argb[size_t(y) * width + x]; }
};

// Creates the file's folder as needed; on failure prints one line and returns false.
bool WriteBytes(const std::string& path, const void* data, size_t size);
bool WriteText(const std::string& path, const std::string& text);

// 32-bit TGA with alpha (uncompressed, top-left origin).
bool WriteTga(const std::string& path, const Picture& pic);
// 24-bit BMP (no alpha; bottom-up rows as the format wants).
bool WriteBmp(const std::string& path, const Picture& pic);
// How the smaller mip levels are made: box filtered, or for alpha-tested
// pictures (drawn with alpha reference 255) with alpha kept at 0 or 255 and the
// colour averaged over the opaque texels only, so cut-outs keep their shape
// in the distance.
enum class MipFilter { Box, Cutout };

// Uncompressed DDS in A8R8G8B8, X8R8G8B8, A4R4G4B4 or R5G6B5; with mipLevels = 0
// the full chain down to 1 x 1 is stored, otherwise that many levels.
bool WriteDds(const std::string& path, const Picture& pic, D3DFORMAT format, int mipLevels,
              MipFilter filter = MipFilter::Box);

// Half-size box-filtered copy (each dimension halved, at least 1).
Picture HalfSize(const Picture& pic);
// Half-size copy for alpha-tested pictures (MipFilter::Cutout).
Picture HalfSizeCutout(const Picture& pic);

}  // namespace vrxdata
