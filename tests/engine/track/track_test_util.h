// Small builders for the track tests: meshes through the writer, textures,
// track directories, and a check that a failure said exactly one line.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "MoTypes.h"
#include "screen_fixture.h"
#include "test_support.h"
#include "vrxmesh/mo_writer.h"

namespace tracktest {

inline _MOVERTEX Up(float x, float y, float z, float u = 0.0f, float v = 0.0f) {
  return vrxmesh::MoVertex(x, y, z, 0.0f, 1.0f, 0.0f, u, v);
}

// A flat quad at height y over [x0, x1] x [z0, z1], visible from above.
inline void AddFlatQuad(vrxmesh::MoWriter* w, int object, int texture, float x0, float z0,
                        float x1, float z1, float y) {
  w->AddQuad(object, texture, Up(x0, y, z0, 0, 1), Up(x0, y, z1, 0, 0), Up(x1, y, z1, 1, 0),
             Up(x1, y, z0, 1, 1));
}

// A vertical wall in the plane z = z, from x0 to x1 and y0 to y1, facing -z.
inline void AddWallZ(vrxmesh::MoWriter* w, int object, int texture, float x0, float x1, float z,
                     float y0, float y1) {
  auto v = [&](float x, float y) { return vrxmesh::MoVertex(x, y, z, 0, 0, -1); };
  w->AddQuad(object, texture, v(x0, y0), v(x0, y1), v(x1, y1), v(x1, y0));
}

inline void WriteMesh(const vrxmesh::MoWriter& w, const std::string& path) {
  std::string error;
  ASSERT_TRUE(w.Write(path, &error)) << error;
}

// A width x height texture of one colour (0xAARRGGBB).
inline void WriteTga(const std::string& path, int width, int height, uint32_t argb) {
  ASSERT_TRUE(vrxtest::WriteTga(path, width, height,
                                std::vector<DWORD>((size_t)width * height, argb)));
}

// A gtest fixture with an open 800 x 600 screen and a fresh directory that is
// also the working directory, holding the sun image every track loads.
class ScreenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fixture.Open(800, 600)) << "no window or device";
    screen = &fixture.Screen();
    dir = vrxtest::MakeTempDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir + "/DATA/TRACKS/COMMON");
    WriteTga(dir + "/DATA/TRACKS/COMMON/sun.tga", 128, 128, 0xFFFFFF00);
    previousDir = std::filesystem::current_path();
    std::filesystem::current_path(dir);
  }
  void TearDown() override {
    if (!previousDir.empty()) std::filesystem::current_path(previousDir);
  }
  void LookAt(const D3DXVECTOR3& from, const D3DXVECTOR3& to) {
    screen->SetCamera(from, to, D3DXVECTOR3(0, 1, 0));
  }
  // A pixel at a fraction of the screen.
  DWORD ReadPixel(float x, float y) { return fixture.Pixel((int)(x * 800), (int)(y * 600)); }

  vrxtest::ScreenFixture fixture;
  cScreen* screen = nullptr;
  std::string dir;
  std::filesystem::path previousDir;
};

// An uncompressed A8R8G8B8 DDS of 0xAARRGGBB pixels, rows from the top.
inline void WriteDds(const std::string& path, int width, int height,
                     const std::vector<DWORD>& argb) {
  std::vector<uint32_t> h(32, 0);  // "DDS " and the 124-byte header
  h[0] = 0x20534444u;
  h[1] = 124;
  h[2] = 0x100F;  // caps, height, width, pitch, pixel format
  h[3] = height;
  h[4] = width;
  h[5] = width * 4;
  h[19] = 32;    // pixel format size
  h[20] = 0x41;  // RGB with alpha
  h[22] = 32;
  h[23] = 0x00FF0000u;
  h[24] = 0x0000FF00u;
  h[25] = 0x000000FFu;
  h[26] = 0xFF000000u;
  h[27] = 0x1000;  // texture
  std::vector<uint8_t> b(reinterpret_cast<const uint8_t*>(h.data()),
                         reinterpret_cast<const uint8_t*>(h.data()) + 128);
  const uint8_t* p = reinterpret_cast<const uint8_t*>(argb.data());
  b.insert(b.end(), p, p + argb.size() * 4);
  ASSERT_TRUE(vrxtest::WriteFile(path, b.data(), b.size()));
}

inline int CountLines(const std::string& s) {
  int n = 0;
  for (char c : s) n += c == '\n';
  return n;
}

}  // namespace tracktest
