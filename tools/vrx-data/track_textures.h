// The procedural textures of a track: road surfaces, grass, barriers, trees,
// buildings, the start banner and the sky. All power-of-two sized.
#pragma once

#include <cstdint>
#include <string>

#include "image_files.h"

namespace vrxdata {

// u runs across the asphalt (0 left edge, 1 right edge) with the white edge
// lines; v repeats every road width along the lap. 512 x 512, tiles in v.
Picture AsphaltTexture(uint32_t seed, uint32_t tint, float roadWidth);
// The start line across the asphalt (chequered band), mapped like the asphalt
// over one row of the road. 512 x 64.
Picture StartLineTexture(uint32_t seed, uint32_t tint, float roadWidth);
// Red and white kerb: one red and one white block over v 0..1. 64 x 256.
Picture KerbTexture();
// Grass, tiling both ways. 512 x 512.
Picture GrassTexture(uint32_t seed, uint32_t tint);
// Concrete barrier face, u along (one panel), v down the face. 256 x 128.
Picture BarrierTexture(uint32_t seed);
// Two trees side by side (a conifer on the left half, a broad-leaved tree on
// the right), alpha 0 around them, trunk at the bottom centre. 512 x 256.
Picture TreeTexture(uint32_t seed);
// A convex quadrilateral round one tree kind's opaque texels in texture
// coordinates, corners in order: kind 0 in the left half, kind 1 in the
// right. It holds every opaque texel of the cut-out mip levels 0 to 4 (the
// levels a tree a few pixels tall and more is drawn from), so a tree drawn
// as this shape instead of its whole half looks the same and fills a quarter
// to a half fewer pixels.
struct TreeOutline {
  float u[4], v[4];
};
void TreeOutlines(const Picture& trees, TreeOutline out[2]);
// Spectators on grey tiers. 256 x 256.
Picture CrowdTexture(uint32_t seed);
// Plain concrete for structures. 128 x 128.
Picture ConcreteTexture(uint32_t seed);
// A building wall with rows of windows (four storeys over v 0..1, eight
// windows over u 0..1). 256 x 256.
Picture FacadeTexture(uint32_t seed, uint32_t wall);
// Roof tiles. 128 x 128.
Picture RoofTexture(uint32_t seed, uint32_t colour);
// "START" and "FINISH" between chequered ends. 512 x 128.
Picture BannerTexture();
// The sky seen from below, mapped from above: the centre is the zenith, the
// circle of radius kSkyHorizon (a fraction of the half size) the horizon, the
// ring outside it the land below the horizon. 512 x 512.
const float kSkyHorizon = 0.95f;
Picture SkyTexture(uint32_t seed, const std::string& palette);
// Distant hills around the horizon: alpha 0 above their outline. 1024 x 128,
// tiles in u.
Picture HillsTexture(uint32_t seed, const std::string& palette);
// The colour of the land below the horizon for a palette (sky dome's lower part).
uint32_t HazeColour(const std::string& palette);

// Alpha-tested pictures keep alpha at exactly 0 or 255.
bool IsCutout(const Picture& pic);

}  // namespace vrxdata
