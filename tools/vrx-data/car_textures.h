// The procedural textures of a car.
#pragma once

#include "car_desc.h"
#include "image_files.h"

namespace vrxdata {

// Measures of the body that the mesh and its paint share.
struct CarLayout {
  float front = 0, back = 0;         // z of the first and the last station
  float top = 0, bottom = 0;         // highest top, lowest bottom
  float width = 0;                   // largest half width
  float doorFront = 0, doorBack = 0; // z of the door's edges
  float belt = 0;                    // belt height at the door
  float sill = 0;                    // bottom height at the door
};

CarLayout LayoutOf(const BodyDesc& body);

// The paint atlas, 512 x 256: the left half is the side seen from the car's
// right (u from the front at 0 to the back at 0.5, v from the top at 0 to the
// bottom at 1); the right half is the top (u from the front at 0.5 to the back
// at 1, v from x = -width at 0 to +width at 1). Livery, door gaps and handle
// included.
Picture PaintTexture(const CarDesc& car, const CarLayout& layout);
// Dark tinted glass with a soft reflection band. 64 x 128.
Picture GlassTexture();
// Plastic trim in the given colour. 128 x 128.
Picture TrimTexture(uint32_t colour);
// Lamps and grille side by side, 256 x 128: headlamp u 0..0.25, tail lamp
// 0.25..0.5, reversing lamp 0.5..0.625, grille 0.625..1.
Picture LampsTexture();
// Tyre, 256 x 128: the tread over v 0..0.5 (u across the tyre), the sidewall
// over v 0.5..1 (u from the rim outwards).
Picture TyreTexture();
// The rim's face seen from outside, centred. 128 x 128.
Picture RimTexture(const std::string& style, uint32_t colour);
// A white panel with a black door number. 128 x 128.
Picture DecalTexture(int number);

}  // namespace vrxdata
