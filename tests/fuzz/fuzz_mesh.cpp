// Mesh object files (".mo"): loaded as the track and the car load theirs,
// then everything they do with a freshly loaded set.
#include <vector>

#include "cMoObject.h"
#include "cScreen.h"
#include "fuzz_support.h"

namespace {
void Progress(float) {}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  vrxfuzz::Screen();
  vrxfuzz::WriteImage("mesh/paint.tga", 4, 4, 0xFF808080);
  vrxfuzz::WriteImage("mesh/road.tga", 4, 4, 0xFF404040);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vrxfuzz::WriteInput("mesh/Test.mo", data, size);
  cScreen* screen = vrxfuzz::Screen();
  cMoObject mesh("mesh\\Test.mo", screen, Progress);
  const DWORD n = (DWORD)mesh.ObjCount();
  mesh.CalcGlobalBBox();
  D3DXVECTOR3 light(0.0f, -1.0f, 1.0f);
  std::vector<_MOFACE> faces;
  for (DWORD i = 0; i <= n; ++i) {  // one past the end: callers may ask for a missing object
    (void)mesh.GetName(i);
    mesh.CalcObjBBox(i);
    (void)mesh.GetMinBBox(i);
    (void)mesh.GetObjBSphere(i);
    const DWORD count = (DWORD)mesh.GetObjFaceCount(i);
    faces.resize(count);
    if (count) {
      mesh.GetObjFaces(i, faces.data());
      _MOVERTEX v = mesh.GetObjVertex(i, 0);
      mesh.SetObjVertex(i, 0, &v);
    }
    mesh.AddStaticLight(&light, i);
    mesh.CalcNormals(i);
  }
  mesh.Draw();
  return 0;
}
