// The track's road and terrain shadow maps ("road_sh.dds", "ground_sh.dds"),
// loaded after the track as the drive start does, then the track drawn with
// them. The input's first half is one map, the rest the other.
#include "cGround.h"
#include "cScreen.h"
#include "fuzz_track_common.h"

namespace {
cGround* g_ground = nullptr;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  g_ground = new cGround(vrxfuzz::TrackPath().c_str(), vrxfuzz::Screen(), nullptr);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Usually both maps are the same file; a split input makes them differ.
  size_t cut = size;
  if (size > 0 && data[0] == 'S') cut = 1 + (size - 1) / 2;
  const uint8_t* road = data + (cut < size ? 1 : 0);
  const size_t roadSize = cut < size ? cut - 1 : size;
  vrxfuzz::WriteInput("track/Test/road_sh.dds", road, roadSize);
  vrxfuzz::WriteInput("track/Test/ground_sh.dds", data + (cut < size ? cut : 0), cut < size ? size - cut : size);
  g_ground->LoadShadowMaps();
  cScreen* screen = vrxfuzz::Screen();
  screen->SetCamera(D3DXVECTOR3(0, 20, -60), D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 1, 0));
  g_ground->Draw(GROUND_DRAW_ROAD | GROUND_DRAW_TERRAIN);
  return 0;
}
