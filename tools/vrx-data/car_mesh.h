// A car's mesh from its description: the body (paint and glass, named "b"),
// parts (bumpers, lamps, mirrors, exhaust and the variant's extras), the
// number plates ("m"), the brake and reversing light markers ("ls", "lr")
// and one wheel ("w") centred on its axle, its outer face towards +x.
#pragma once

#include "car_desc.h"
#include "mesh_builder.h"

namespace vrxdata {

// Texture files beside the car's mesh (the decal only when the car has a number).
extern const char* const kCarTextureFiles[];
extern const int kCarTextureCount;

void BuildCarMesh(const CarDesc& car, const BodyDesc& body, MeshBuilder* mesh);

}  // namespace vrxdata
