// Drawing through cScreen with the game's own view set-up, read back from the
// back buffer: geometry lands where the projection puts it, the right way up,
// with Direct3D's winding, and the fixed device state blends, tests and fogs.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "cScreen.h"
#include "cTexture.h"
#include "mathkit/mathkit.h"
#include "screen_fixture.h"
#include "test_support.h"

namespace {

struct Vertex {  // the 44-byte mesh vertex of format 0x252
  float x, y, z;
  float nx, ny, nz;
  DWORD colour;
  float u, v;
  float u2, v2;
};
static_assert(sizeof(Vertex) == 44, "mesh vertex layout");

Vertex V(float x, float y, float z, float u, float v, DWORD colour = 0xFFFFFFFF) {
  return Vertex{x, y, z, 0, 0, -1, colour, u, v, u, v};
}

// Two triangles of the square [x0, x1] x [y0, y1] at depth z facing the camera
// (looking along +z): clockwise on screen, or counter-clockwise if asked.
std::vector<Vertex> Quad(float x0, float y0, float x1, float y1, float z, DWORD colour = 0xFFFFFFFF,
                         bool clockwise = true) {
  Vertex tl = V(x0, y1, z, 0, 0, colour), tr = V(x1, y1, z, 1, 0, colour);
  Vertex br = V(x1, y0, z, 1, 1, colour), bl = V(x0, y0, z, 0, 1, colour);
  if (clockwise) return {tl, tr, br, tl, br, bl};
  return {tl, br, tr, tl, bl, br};
}

class ScreenDraw : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(f.Open(800, 600));
    dir = vrxtest::MakeTempDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
  }

  // A texture of 8x8 texels from a TGA file, four 4x4 quadrants: top-left,
  // top-right, bottom-left, bottom-right.
  std::string QuadrantImage(DWORD tl, DWORD tr, DWORD bl, DWORD br) {
    std::vector<DWORD> px(64);
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x) px[y * 8 + x] = y < 4 ? (x < 4 ? tl : tr) : (x < 4 ? bl : br);
    std::string path = dir + "/quadrants.tga";
    EXPECT_TRUE(vrxtest::WriteTga(path, 8, 8, px));
    return path;
  }

  // A size x size picture of one colour.
  std::string SolidImage(const char* name, DWORD colour, int size = 8) {
    std::string path = dir + "/" + name + ".tga";
    EXPECT_TRUE(vrxtest::WriteTga(path, size, size, std::vector<DWORD>((size_t)size * size, colour)));
    return path;
  }

  void Draw(const std::vector<Vertex>& v, BYTE slot = 0) {
    ASSERT_EQ(1, f.Screen().CreateVertexBuffer(slot, 0x252, (void*)v.data(), (DWORD)(v.size() * 44), 44));
    f.Screen().SetVertexBuffer(slot);
    ASSERT_EQ(1, f.Screen().DrawVertexBuffer(slot, 0, D3DPT_TRIANGLELIST, (DWORD)v.size() / 3));
  }

  vrxtest::ScreenFixture f;
  std::string dir;
};

// Screen position of a world point through the screen's own matrices.
D3DXVECTOR2 Project(cScreen& s, D3DXVECTOR3 p) {
  D3DXVECTOR3 c = s.GetScreenCoords(&p);
  D3DXVECTOR2 size = s.GetPixelSize();
  return D3DXVECTOR2(c.x * size.x, c.y * size.y);
}

TEST_F(ScreenDraw, TexturedQuadLandsWhereTheProjectionPutsItTheRightWayUp) {
  cTexture tex(QuadrantImage(0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF).c_str(), &f.Screen());
  ASSERT_NE(nullptr, tex.GetTexturePointer());
  f.Screen().ClearScreen(0xFF000000);
  tex.Set(0);
  Draw(Quad(-1, -1, 1, 1, 10));
  f.SaveScreenshot("textured_quad");

  // The corners through aspect 1.33, near 0.01: about (327, 228) to (473, 372).
  D3DXVECTOR2 a = Project(f.Screen(), D3DXVECTOR3(-1, 1, 10));
  D3DXVECTOR2 b = Project(f.Screen(), D3DXVECTOR3(1, -1, 10));
  EXPECT_NEAR(327.4f, a.x, 0.5f);
  EXPECT_NEAR(227.6f, a.y, 0.5f);
  EXPECT_NEAR(472.6f, b.x, 0.5f);
  EXPECT_NEAR(372.4f, b.y, 0.5f);

  int w, h;
  std::vector<DWORD> px = f.ReadPixels(&w, &h);
  ASSERT_EQ(800, w);
  auto at = [&](float x, float y) { return px[(int)y * w + (int)x]; };
  // At the middle of each quarter: the quadrant of the picture that belongs
  // there (nearer the edges, linear filtering wraps round to the other side).
  float qx = (b.x - a.x) / 4, qy = (b.y - a.y) / 4;
  EXPECT_EQ(0xFFFF0000, at(a.x + qx, a.y + qy)) << vrxtest::Hex(at(a.x + qx, a.y + qy));
  EXPECT_EQ(0xFF00FF00, at(b.x - qx, a.y + qy));
  EXPECT_EQ(0xFF0000FF, at(a.x + qx, b.y - qy));
  EXPECT_EQ(0xFFFFFFFF, at(b.x - qx, b.y - qy));
  // Just outside each edge: the clear colour; just inside: drawn.
  EXPECT_EQ(0xFF000000, at(a.x - 2, 300));
  EXPECT_EQ(0xFF000000, at(b.x + 2, 300));
  EXPECT_EQ(0xFF000000, at(400, a.y - 2));
  EXPECT_EQ(0xFF000000, at(400, b.y + 2));
  EXPECT_NE(0xFF000000, at(a.x + 2, 300));
  EXPECT_NE(0xFF000000, at(b.x - 2, 300));
  EXPECT_NE(0xFF000000, at(400, a.y + 2));
  EXPECT_NE(0xFF000000, at(400, b.y - 2));
}

TEST_F(ScreenDraw, ClockwiseFacesAreFrontFacesAndBackFacesAreCulled) {
  f.Screen().ClearScreen(0xFF000000);
  Draw(Quad(-3, -1, -1, 1, 10, 0xFFFF0000, true), 0);
  Draw(Quad(1, -1, 3, 1, 10, 0xFF00FF00, false), 1);
  D3DXVECTOR2 left = Project(f.Screen(), D3DXVECTOR3(-2, 0, 10));
  D3DXVECTOR2 right = Project(f.Screen(), D3DXVECTOR3(2, 0, 10));
  EXPECT_EQ(0xFFFF0000, f.Pixel((int)left.x, (int)left.y));
  EXPECT_EQ(0xFF000000, f.Pixel((int)right.x, (int)right.y));

  // The same back-facing quad shows once culling is off, so it was culled.
  f.Device()->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  f.Screen().DrawVertexBuffer(1, 0, D3DPT_TRIANGLELIST, 2);
  EXPECT_EQ(0xFF00FF00, f.Pixel((int)right.x, (int)right.y));
  // Culling clockwise faces hides the front-facing one instead.
  f.Screen().ClearScreen(0xFF000000);
  f.Device()->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
  f.Screen().DrawVertexBuffer(0, 0, D3DPT_TRIANGLELIST, 2);
  f.Screen().DrawVertexBuffer(1, 0, D3DPT_TRIANGLELIST, 2);
  EXPECT_EQ(0xFF000000, f.Pixel((int)left.x, (int)left.y));
  EXPECT_EQ(0xFF00FF00, f.Pixel((int)right.x, (int)right.y));
}


TEST_F(ScreenDraw, LinearFogTintsDistantGeometryTowardsTheRaceFogColour) {
  f.Screen().SetTransformMatrix(1.33f, 0, 0.01f, 480.0f, FALSE);
  f.Screen().ClearScreen(0xFF000000);
  f.Screen().SetLinearFog(0xFF648080, 0, 400);
  Draw(Quad(-200, -10, 200, 10, 390), 0);  // fog factor 10 / 400 of white left
  Draw(Quad(-1, -1, 1, 1, 10), 1);         // 390 / 400 of white left
  D3DXVECTOR2 far = Project(f.Screen(), D3DXVECTOR3(-100, 0, 390));
  D3DXVECTOR2 nearby = Project(f.Screen(), D3DXVECTOR3(0, 0, 10));
  DWORD farPixel = f.Pixel((int)far.x, (int)far.y);
  DWORD nearPixel = f.Pixel((int)nearby.x, (int)nearby.y);
  EXPECT_TRUE(vrxtest::Near(farPixel, 0xFF6A8484, 3)) << vrxtest::Hex(farPixel);
  EXPECT_TRUE(vrxtest::Near(nearPixel, 0xFFFAFBFB, 3)) << vrxtest::Hex(nearPixel);
  f.SaveScreenshot("fog");

  f.Screen().FogDisable();
  f.Screen().DrawVertexBuffer(0, 0, D3DPT_TRIANGLELIST, 2);
  EXPECT_EQ(0xFFFFFFFF, f.Pixel((int)far.x, (int)far.y));
}

TEST_F(ScreenDraw, AlphaTestDropsTexelsUnderTheReference15) {
  // Left half of the picture alpha 14, right half alpha 16; blending off so a
  // texel that passes shows at full strength.
  std::vector<DWORD> px(64);
  for (int i = 0; i < 64; ++i) px[i] = (i % 8) < 4 ? 0x0EFF0000 : 0x10FF0000;
  std::string path = dir + "/alpha.tga";
  ASSERT_TRUE(vrxtest::WriteTga(path, 8, 8, px));
  cTexture tex(path.c_str(), &f.Screen());
  f.Screen().ClearScreen(0xFF0000FF);
  f.Device()->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
  tex.Set(0);
  Draw(Quad(-1, -1, 1, 1, 5));
  D3DXVECTOR2 left = Project(f.Screen(), D3DXVECTOR3(-0.5f, 0, 5));
  D3DXVECTOR2 right = Project(f.Screen(), D3DXVECTOR3(0.5f, 0, 5));
  EXPECT_EQ(0xFF0000FF, f.Pixel((int)left.x, (int)left.y));
  EXPECT_EQ(0xFFFF0000, f.Pixel((int)right.x, (int)right.y) | 0xFF000000);

  // With the test off both halves draw.
  f.Screen().SetAlphaTest(FALSE);
  f.Screen().DrawVertexBuffer(0, 0, D3DPT_TRIANGLELIST, 2);
  EXPECT_EQ(0xFFFF0000, f.Pixel((int)left.x, (int)left.y) | 0xFF000000);
}

TEST_F(ScreenDraw, SecondStageBlendsByTextureAlphaOrByTheTextureFactor) {
  cTexture base(SolidImage("red", 0xFFFF0000).c_str(), &f.Screen());
  cTexture over(SolidImage("green", 0x40FFFFFF & 0x4000FF00).c_str(), &f.Screen());
  IDirect3DDevice9* dev = f.Device();
  D3DXVECTOR2 centre = Project(f.Screen(), D3DXVECTOR3(0, 0, 5));
  auto draw = [&]() {
    f.Screen().ClearScreen(0xFF000000);
    base.Set(0);
    over.Set(1);
    Draw(Quad(-1, -1, 1, 1, 5));
    return f.Pixel((int)centre.x, (int)centre.y);
  };
  // The screen's stage 1: blend by the texture's alpha (0x40) over the current
  // colour. Coordinates from the vertices instead of the camera-space position.
  dev->SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, 0);
  DWORD byAlpha = draw();
  EXPECT_TRUE(vrxtest::Near(byAlpha, 0xFFBF4000, 2)) << vrxtest::Hex(byAlpha);

  // The car's reflection layer: weight 0x38 / 255 from the texture factor.
  dev->SetRenderState(D3DRS_TEXTUREFACTOR, 0x38000000);
  dev->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_BLENDFACTORALPHA);
  DWORD byFactor = draw();
  EXPECT_TRUE(vrxtest::Near(byFactor, 0xFFC73800, 2)) << vrxtest::Hex(byFactor);

  // With its texture removed the stage drops out.
  f.Screen().OffStage(1);
  f.Screen().ClearScreen(0xFF000000);
  base.Set(0);
  f.Screen().DrawVertexBuffer(0, 0, D3DPT_TRIANGLELIST, 2);
  EXPECT_EQ(0xFFFF0000, f.Pixel((int)centre.x, (int)centre.y));
}

// The race frame's projected shadow: a texture drawn from above in a shadow
// pass, laid onto the ground from camera-space positions through
// inverse camera x shadow view x shadow projection x GetAdjustMtx.
TEST_F(ScreenDraw, ShadowPassTextureIsProjectedOntoTheRightPixels) {
  cScreen& s = f.Screen();
  IDirect3DDevice9* dev = f.Device();
  cTexture shadow(128, D3DUSAGE_RENDERTARGET,
                  s.IsRenderTargetFormatExisting(D3DFMT_A4R4G4B4) ? D3DFMT_A4R4G4B4 : D3DFMT_A8R8G8B8, &s);
  ASSERT_NE(nullptr, shadow.GetTexturePointer());
  IDirect3DSurface9* shadowDepth = nullptr;
  ASSERT_EQ(D3D_OK, dev->CreateDepthStencilSurface(128, 128, s.GetDepthFormat(), D3DMULTISAMPLE_NONE, 0, TRUE,
                                                   &shadowDepth, nullptr));

  // Shadow pass: from above, a dark square over x, z in [0.5, 2] only.
  dev->SetDepthStencilSurface(shadowDepth);
  shadow.SetAsTarget();
  s.ClearScreen();
  s.SetCamera(D3DXVECTOR3(0, 10, 0), D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 1));
  s.SetTransformMatrix(1.0f, 6.0f, 0.01f, 50.0f, TRUE);
  std::vector<Vertex> caster = {V(0.5f, 1, 2, 0, 0, 0xFF000040), V(2, 1, 2, 0, 0, 0xFF000040),
                                V(2, 1, 0.5f, 0, 0, 0xFF000040), V(0.5f, 1, 2, 0, 0, 0xFF000040),
                                V(2, 1, 0.5f, 0, 0, 0xFF000040), V(0.5f, 1, 0.5f, 0, 0, 0xFF000040)};
  Draw(caster, 0);
  D3DXMATRIX shadowView = s.GetCameraMtx(), shadowProjection = s.GetTransformMtx();
  s.RestoreTarget();
  s.RestoreDepthStencil();

  // Main view: the ground seen from the front and above.
  s.SetTransformMatrix(1.33f, 0, 0.01f, 100.0f, FALSE);
  s.SetCamera(D3DXVECTOR3(0, 8, -8), D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 1, 0));
  s.ClearScreen(0xFF000000);
  D3DXMATRIX adjust, inverseCamera = s.GetInverseCameraMtx(), m;
  GetAdjustMtx(&adjust, 128, 24);
  m = inverseCamera * shadowView * shadowProjection * adjust;
  dev->SetTextureStageState(1, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
  dev->SetTransform(D3DTS_TEXTURE1, &m);
  dev->SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACEPOSITION);
  cTexture white(SolidImage("white", 0xFFFFFFFF).c_str(), &s);
  white.Set(0);
  shadow.Set(1);
  std::vector<Vertex> ground = {V(-3, 0, 3, 0, 0), V(3, 0, 3, 1, 0), V(3, 0, -3, 1, 1),
                                V(-3, 0, 3, 0, 0), V(3, 0, -3, 1, 1), V(-3, 0, -3, 0, 1)};
  Draw(ground, 1);
  s.OffStage(1);
  f.SaveScreenshot("projected_shadow");

  auto pixelAt = [&](float x, float z) {
    D3DXVECTOR2 p = Project(s, D3DXVECTOR3(x, 0, z));
    return f.Pixel((int)p.x, (int)p.y);
  };
  EXPECT_TRUE(vrxtest::Near(pixelAt(1.25f, 1.25f), 0xFF000044, 20)) << vrxtest::Hex(pixelAt(1.25f, 1.25f));
  EXPECT_EQ(0xFFFFFFFF, pixelAt(-1.25f, 1.25f));
  EXPECT_EQ(0xFFFFFFFF, pixelAt(1.25f, -1.25f));
  EXPECT_EQ(0xFFFFFFFF, pixelAt(-1.25f, -1.25f));
  EXPECT_EQ(0xFFFFFFFF, pixelAt(2.5f, 1.25f));
  EXPECT_EQ(0xFFFFFFFF, pixelAt(1.25f, 2.5f));
  shadowDepth->Release();
}

// The reflection cube map: each face rendered from the centre with the look
// and up vectors the car uses, then sampled by direction.
TEST_F(ScreenDraw, CubeMapFacesAreSampledInTheirDirections) {
  cScreen& s = f.Screen();
  IDirect3DDevice9* dev = f.Device();
  IDirect3DCubeTexture9* cube = nullptr;
  ASSERT_EQ(D3D_OK, dev->CreateCubeTexture(64, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &cube,
                                           nullptr));
  IDirect3DSurface9* depth = nullptr;
  ASSERT_EQ(D3D_OK, dev->CreateDepthStencilSurface(64, 64, s.GetDepthFormat(), D3DMULTISAMPLE_NONE, 0, TRUE,
                                                   &depth, nullptr));
  const D3DXVECTOR3 look[6] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
  const D3DXVECTOR3 up[6] = {{0, 1, 0}, {0, 1, 0}, {0, 0, -1}, {0, 0, 1}, {0, 1, 0}, {0, 1, 0}};
  const DWORD colour[6] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFF00, 0xFF00FFFF, 0xFFFF00FF};
  const DWORD marker = 0xFFFFFFFF;
  s.SetTransformMatrix(1.0f, 0, 0.0001f, 100.0f, FALSE);
  s.SetLighting(FALSE);
  dev->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  for (int face = 0; face < 6; ++face) {
    D3DXVECTOR3 right;
    D3DXVec3Cross(&right, &up[face], &look[face]);
    IDirect3DSurface9* surface = nullptr;
    ASSERT_EQ(D3D_OK, cube->GetCubeMapSurface((D3DCUBEMAP_FACES)face, 0, &surface));
    dev->SetRenderTarget(0, surface);
    dev->SetDepthStencilSurface(depth);
    surface->Release();
    s.ClearScreen(colour[face]);
    s.SetCamera(D3DXVECTOR3(0, 0, 0), look[face], up[face]);
    // A marker in the upper right of the view.
    auto at = [&](float r, float u) {
      D3DXVECTOR3 p = look[face] + right * r + up[face] * u;
      return V(p.x, p.y, p.z, 0, 0, marker);
    };
    Draw({at(0.1f, 0.4f), at(0.4f, 0.4f), at(0.4f, 0.1f), at(0.1f, 0.4f), at(0.4f, 0.1f), at(0.1f, 0.1f)},
         (BYTE)(10 + face));
  }
  s.RestoreTarget();
  s.RestoreDepthStencil();

  // Sample each direction with a small screen-space quad whose texture
  // coordinate is the direction itself.
  struct Sample {
    float x, y, z, rhw;
    float u, v, w;
  };
  dev->SetFVF(D3DFVF_XYZRHW | D3DFVF_TEX1 | D3DFVF_TEXCOORDSIZE3(0));
  dev->SetTexture(0, cube);
  dev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  dev->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  dev->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_NONE);
  s.ClearScreen(0xFF000000);
  auto sample = [&](D3DXVECTOR3 d, int slotX, int slotY) {
    float x = 20.0f + slotX * 40.0f, y = 20.0f + slotY * 40.0f;
    Sample q[4] = {{x, y, 0.5f, 1, d.x, d.y, d.z},
                   {x + 20, y, 0.5f, 1, d.x, d.y, d.z},
                   {x, y + 20, 0.5f, 1, d.x, d.y, d.z},
                   {x + 20, y + 20, 0.5f, 1, d.x, d.y, d.z}};
    dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, q, sizeof(Sample));
  };
  for (int face = 0; face < 6; ++face) {
    D3DXVECTOR3 right;
    D3DXVec3Cross(&right, &up[face], &look[face]);
    sample(look[face], 0, face);
    sample(look[face] + up[face] * 0.5f + right * 0.5f, 1, face);
    sample(look[face] + up[face] * 0.5f - right * 0.5f, 2, face);
    sample(look[face] - up[face] * 0.5f + right * 0.5f, 3, face);
  }
  f.SaveScreenshot("cube_faces");
  int w, h;
  std::vector<DWORD> px = f.ReadPixels(&w, &h);
  for (int face = 0; face < 6; ++face) {
    auto at = [&](int slotX) { return px[(size_t)(30 + face * 40) * w + 30 + slotX * 40]; };
    EXPECT_EQ(colour[face], at(0)) << "face " << face << " centre " << vrxtest::Hex(at(0));
    EXPECT_EQ(marker, at(1)) << "face " << face << " upper right " << vrxtest::Hex(at(1));
    EXPECT_EQ(colour[face], at(2)) << "face " << face << " upper left " << vrxtest::Hex(at(2));
    EXPECT_EQ(colour[face], at(3)) << "face " << face << " lower right " << vrxtest::Hex(at(3));
  }
  dev->SetTexture(0, nullptr);
  cube->Release();
  depth->Release();
}


// A vertex shader in the screen's slot model: the constant registers hold the
// transposed world, camera and projection matrices and the light vector.
TEST_F(ScreenDraw, VertexShaderSlotSeesTheScreensConstants) {
  const char* source =
      "void main() {\n"
      "  vec4 p = gl_Vertex;\n"
      "  vec4 w = vec4(dot(p, c[0]), dot(p, c[1]), dot(p, c[2]), dot(p, c[3]));\n"
      "  vec4 v = vec4(dot(w, c[4]), dot(w, c[5]), dot(w, c[6]), dot(w, c[7]));\n"
      "  gl_Position = vec4(dot(v, c[8]), dot(v, c[9]), dot(v, c[10]), dot(v, c[11]));\n"
      "  gl_FrontColor = vec4(c[12].xyz * 0.5 + 0.5, c[12].w);\n"
      "}\n";
  std::string path = dir + "/light.vsh";
  ASSERT_TRUE(vrxtest::WriteTextFile(path, source));
  cScreen& s = f.Screen();
  ASSERT_EQ(1, s.CreateVertexShader(4, path.c_str(), 0));
  EXPECT_EQ(0, s.GetFirstUnusedVertexShader());
  std::string broken = dir + "/broken.vsh";
  ASSERT_TRUE(vrxtest::WriteTextFile(broken, "void main() { this is not glsl }\n"));
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(0, s.CreateVertexShader(5, broken.c_str(), 0));
  EXPECT_NE(std::string::npos, ::testing::internal::GetCapturedStderr().find("vrx: vertex shader"));
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(0, s.CreateVertexShader(5, (dir + "/missing.vsh").c_str(), 0));
  EXPECT_NE(std::string::npos, ::testing::internal::GetCapturedStderr().find("missing.vsh"));

  D3DXVECTOR3 light(0, 0, -1);
  s.SetTransformedVertexShaderConst(&light);
  s.SetVertexShader(4);
  D3DXMATRIX turn;
  D3DXMatrixRotationY(&turn, 1.5707964f);  // a quarter turn: the light seen from the object is along -x
  s.SetWorldMatrix(&turn);
  float c[13][4];
  f.Device()->GetVertexShaderConstantF(0, &c[0][0], 13);
  EXPECT_FLOAT_EQ(turn._11, c[0][0]);
  EXPECT_FLOAT_EQ(turn._31, c[0][2]);  // transposed
  EXPECT_FLOAT_EQ(turn._13, c[2][0]);
  D3DXMATRIX projection = s.GetTransformMtx();
  EXPECT_FLOAT_EQ(projection._43, c[10][3]);
  EXPECT_NEAR(-1.0f, c[12][0], 1e-6f);
  EXPECT_NEAR(0.0f, c[12][2], 1e-6f);
  EXPECT_EQ(1.0f, c[12][3]);

  // The same quad as through the fixed pipeline, coloured by the light vector.
  D3DXMATRIX identity;
  D3DXMatrixIdentity(&identity);
  s.SetWorldMatrix(&identity);
  s.ClearScreen(0xFF000000);
  Draw(Quad(-1, -1, 1, 1, 10));
  D3DXVECTOR2 a = Project(s, D3DXVECTOR3(-1, 1, 10));
  D3DXVECTOR2 b = Project(s, D3DXVECTOR3(1, -1, 10));
  int w, h;
  std::vector<DWORD> px = f.ReadPixels(&w, &h);
  auto at = [&](float x, float y) { return px[(int)y * w + (int)x]; };
  EXPECT_TRUE(vrxtest::Near(at(400, 300), 0xFF8080FF, 2)) << vrxtest::Hex(at(400, 300));
  EXPECT_NE(0xFF000000, at(a.x + 2, a.y + 2));
  EXPECT_NE(0xFF000000, at(b.x - 2, b.y - 2));
  EXPECT_EQ(0xFF000000, at(a.x - 2, a.y + 2));
  EXPECT_EQ(0xFF000000, at(b.x + 2, b.y - 2));

  s.SetFixedVertexShader();
  s.ClearScreen(0xFF000000);
  s.DrawVertexBuffer(0, 0, D3DPT_TRIANGLELIST, 2);
  EXPECT_EQ(0xFFFFFFFF, f.Pixel(400, 300));
  s.DeleteVertexShader(4);
  s.SetVertexShader(4);  // an empty slot selects nothing
  IDirect3DVertexShader9* bound = nullptr;
  f.Device()->GetVertexShader(&bound);
  EXPECT_EQ(nullptr, bound);
}

}  // namespace
