// The track's picture for the menu ("Screen.tga"): the circuit seen from
// above on its shaded land, with the start line, the driving direction, the
// name and the lap length.
#pragma once

#include "image_files.h"
#include "terrain.h"
#include "track_desc.h"
#include "track_path.h"

namespace vrxdata {

Picture TrackPreview(const TrackDesc& desc, const TrackPath& path, const Terrain& terrain, int size = 512);

}  // namespace vrxdata
