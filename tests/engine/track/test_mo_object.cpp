// Loading, querying, lighting and drawing mesh object sets written with the
// mesh writer, and refusing files whose counts do not fit.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "cMoObject.h"
#include "cScreen.h"
#include "cTexture.h"
#include "track_test_util.h"

using tracktest::Up;
using vrxmesh::MoVertex;
using vrxmesh::MoWriter;

namespace {

std::vector<float> g_progress;
void RecordProgress(float v) { g_progress.push_back(v); }

class MoObjectTest : public tracktest::ScreenTest {};

// Two objects on two textures: "box" spans (0,0,0)-(2,2,2), "flat" is one
// upward triangle.
MoWriter TwoObjects() {
  MoWriter w;
  const int red = w.AddTexture("red.tga");
  const int blue = w.AddTexture("blue.tga");
  const int box = w.AddObject("box");
  const int flat = w.AddObject("flat");
  w.AddFace(box, red, Up(0, 0, 0), Up(0, 2, 2), Up(2, 2, 0));
  w.AddFace(box, blue, Up(0, 0, 0), Up(2, 0, 2), Up(2, 2, 2));
  w.AddFace(flat, blue, Up(5, 1, 5), Up(5, 1, 6), Up(6, 1, 6));
  return w;
}

}  // namespace

TEST_F(MoObjectTest, LoadsObjectsFacesAndSpheres) {
  tracktest::WriteMesh(TwoObjects(), dir + "/two.mo");
  tracktest::WriteTga(dir + "/red.tga", 4, 4, 0xFFFF0000);
  tracktest::WriteTga(dir + "/blue.tga", 4, 4, 0xFF0000FF);
  cMoObject mo((dir + "/two.mo").c_str(), screen, nullptr);
  ASSERT_EQ(mo.ObjCount(), 2u);
  EXPECT_STREQ(mo.GetName(0), "box");
  EXPECT_STREQ(mo.GetName(1), "flat");
  EXPECT_EQ(mo.GetObjFaceCount(0), 2u);
  EXPECT_EQ(mo.GetObjFaceCount(1), 1u);
  EXPECT_EQ(mo.GetObjFaceCount(2), 0u);
  EXPECT_EQ(mo.Draw(2), 0);

  const _MOFACE f = mo.GetObjFace(0, 1);
  EXPECT_FLOAT_EQ(f.v[1].x, 2.0f);
  EXPECT_FLOAT_EQ(f.v[2].y, 2.0f);
  EXPECT_FLOAT_EQ(mo.GetObjVertex(1, 2).x, 6.0f);
  _MOFACE all[2];
  EXPECT_EQ(mo.GetObjFaces(0, all), 1);
  EXPECT_FLOAT_EQ(all[0].v[1].z, 2.0f);
  EXPECT_FLOAT_EQ(all[1].v[2].z, 2.0f);

  const _MOBSPHERE s = mo.GetObjBSphere(0);
  EXPECT_FLOAT_EQ(s.x, 1.0f);
  EXPECT_FLOAT_EQ(s.y, 1.0f);
  EXPECT_FLOAT_EQ(s.z, 1.0f);
  EXPECT_FLOAT_EQ(s.radius, std::sqrt(3.0f));
  EXPECT_FLOAT_EQ(mo.GetMaxBBox(0).y, 2.0f);
  EXPECT_FLOAT_EQ(mo.GetMinBBox(1).x, 5.0f);
}

TEST_F(MoObjectTest, ProgressFollowsTexturesThenObjects) {
  tracktest::WriteMesh(TwoObjects(), dir + "/two.mo");
  g_progress.clear();
  cMoObject mo((dir + "/two.mo").c_str(), screen, RecordProgress);
  const std::vector<float> want = {0.0f, 0.1f, 0.1f, 0.45f, 0.8f, 0.9f};
  ASSERT_EQ(g_progress.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) EXPECT_FLOAT_EQ(g_progress[i], want[i]) << i;
}

TEST_F(MoObjectTest, VertexChangesGoThroughTheBufferAndBoxesFollowOnRequest) {
  tracktest::WriteMesh(TwoObjects(), dir + "/two.mo");
  cMoObject mo((dir + "/two.mo").c_str(), screen, nullptr);
  _MOVERTEX v = mo.GetObjVertex(1, 0);
  v.x = -3.0f;
  v.y = 7.0f;
  mo.SetObjVertex(1, 0, &v);
  EXPECT_FLOAT_EQ(mo.GetObjFace(1, 0).v[0].x, -3.0f);
  // The box changes only when recomputed; the sphere never.
  EXPECT_FLOAT_EQ(mo.GetMinBBox(1).x, 5.0f);
  mo.CalcObjBBox(1);
  EXPECT_FLOAT_EQ(mo.GetMinBBox(1).x, -3.0f);
  EXPECT_FLOAT_EQ(mo.GetMaxBBox(1).y, 7.0f);
  EXPECT_FLOAT_EQ(mo.GetObjBSphere(1).x, 5.5f);

  mo.CalcGlobalBBox();
  EXPECT_FLOAT_EQ(mo.GetGlobalBBoxMin().x, -3.0f);
  EXPECT_FLOAT_EQ(mo.GetGlobalBBoxMin().y, 0.0f);
  EXPECT_FLOAT_EQ(mo.GetGlobalBBoxMax().x, 6.0f);
  EXPECT_FLOAT_EQ(mo.GetGlobalBBoxMax().y, 7.0f);
  // The first object is untouched by the second's change.
  EXPECT_FLOAT_EQ(mo.GetObjVertex(0, 0).x, 0.0f);
}

TEST_F(MoObjectTest, EmptyObjectKeepsTheStartBox) {
  MoWriter w;
  const int t = w.AddTexture("a.tga");
  w.AddObject("empty");
  const int o = w.AddObject("one");
  w.AddFace(o, t, Up(1, 1, 1), Up(1, 1, 2), Up(2, 1, 2));
  tracktest::WriteMesh(w, dir + "/e.mo");
  cMoObject mo((dir + "/e.mo").c_str(), screen, nullptr);
  mo.CalcGlobalBBox();
  EXPECT_FLOAT_EQ(mo.GetMinBBox(0).x, 1e10f);
  EXPECT_FLOAT_EQ(mo.GetMaxBBox(0).z, -1e10f);
  EXPECT_FLOAT_EQ(mo.GetGlobalBBoxMin().x, 1.0f);
  EXPECT_FLOAT_EQ(mo.GetGlobalBBoxMax().z, 2.0f);
}

TEST_F(MoObjectTest, NormalsAndStaticLight) {
  MoWriter w;
  const int t = w.AddTexture("a.tga");
  const int o = w.AddObject("faces");
  // Clockwise seen from above: its normal points up.
  w.AddFace(o, t, MoVertex(0, 0, 0, 9, 9, 9), MoVertex(0, 0, 1, 9, 9, 9),
            MoVertex(1, 0, 1, 9, 9, 9));
  // Seen from below.
  w.AddFace(o, t, MoVertex(0, 0, 0, 0, 0, 0), MoVertex(1, 0, 1, 0, 0, 0),
            MoVertex(0, 0, 1, 0, 0, 0));
  // Facing -z, against a light that travels along +z.
  w.AddFace(o, t, MoVertex(0, 0, 0, 0, 0, 0), MoVertex(0, 1, 0, 0, 0, 0),
            MoVertex(1, 1, 0, 0, 0, 0));
  tracktest::WriteMesh(w, dir + "/n.mo");
  cMoObject mo((dir + "/n.mo").c_str(), screen, nullptr);
  mo.CalcNormals(0);
  for (int k = 0; k < 3; ++k) {
    const _MOVERTEX v = mo.GetObjVertex(0, k);
    EXPECT_FLOAT_EQ(v.nx, 0.0f);
    EXPECT_FLOAT_EQ(v.ny, 1.0f);
    EXPECT_FLOAT_EQ(v.nz, 0.0f);
    EXPECT_FLOAT_EQ(mo.GetObjVertex(0, 3 + k).ny, -1.0f);
    EXPECT_FLOAT_EQ(mo.GetObjVertex(0, 6 + k).nz, -1.0f);
  }
  D3DXVECTOR3 dir3(0.0f, -1.0f, 1.0f);
  mo.AddStaticLight(&dir3, 0);
  EXPECT_EQ(mo.GetObjVertex(0, 0).diffuse, 0xFF9F9F9Fu);  // m = -0.5, 159
  EXPECT_EQ(mo.GetObjVertex(0, 4).diffuse, 0xFF404040u);  // turned away: 64
  EXPECT_EQ(mo.GetObjVertex(0, 8).diffuse, 0xFF9F9F9Fu);
  D3DXVECTOR3 down(0.0f, -1.0f, 0.0f);
  mo.AddStaticLight(&down, 0);
  EXPECT_EQ(mo.GetObjVertex(0, 1).diffuse, 0xFFFFFFFFu);  // m = -1, 255
  EXPECT_FLOAT_EQ(mo.GetObjVertex(0, 1).z, 1.0f);        // positions untouched
}

TEST_F(MoObjectTest, NoTexturesStillDrawsNothingWhenInView) {
  MoWriter w;
  w.AddObject("bare");
  tracktest::WriteMesh(w, dir + "/bare.mo");
  cMoObject mo((dir + "/bare.mo").c_str(), screen, nullptr);
  ASSERT_EQ(mo.ObjCount(), 1u);
  LookAt(D3DXVECTOR3(0, 0, -10), D3DXVECTOR3(0, 0, 0));
  // An empty object's start box gives a sphere around the origin, which is in view.
  EXPECT_EQ(mo.Draw(0), 1);
}

TEST_F(MoObjectTest, ViewTestCullsBySphere) {
  MoWriter w;
  const int t = w.AddTexture("a.tga");
  const int o = w.AddObject("ahead");
  w.AddFace(o, t, Up(-1, 0, 20), Up(-1, 0, 22), Up(1, 0, 22));
  const int b = w.AddObject("behind");
  w.AddFace(b, t, Up(-1, 0, -20), Up(-1, 0, -22), Up(1, 0, -22));
  const int s = w.AddObject("side");
  w.AddFace(s, t, Up(200, 0, 20), Up(200, 0, 22), Up(201, 0, 22));
  tracktest::WriteMesh(w, dir + "/v.mo");
  cMoObject mo((dir + "/v.mo").c_str(), screen, nullptr);
  LookAt(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 1));
  EXPECT_EQ(mo.IsInView(0), 1);
  EXPECT_EQ(mo.IsInView(1), 0);
  EXPECT_EQ(mo.IsInView(2), 0);
  EXPECT_EQ(mo.Draw(1), 0);
  EXPECT_EQ(mo.Draw(0), 1);
  // The sphere is in object space: a world matrix moves it into view.
  D3DXMATRIX m;
  D3DXMatrixTranslation(&m, -200.0f, 0.0f, 0.0f);
  screen->SetWorldMatrix(&m);
  EXPECT_EQ(mo.IsInView(2), 1);
  EXPECT_EQ(mo.IsInView(0), 0);
  D3DXMatrixIdentity(&m);
  screen->SetWorldMatrix(&m);
}

TEST_F(MoObjectTest, DrawsEachGroupWithItsTexture) {
  MoWriter w;
  const int red = w.AddTexture("red.tga");
  const int blue = w.AddTexture("blue.tga");
  const int o = w.AddObject("wall");
  // Two quads facing the camera at -z: red on the left, blue on the right.
  auto v = [](float x, float y, float u, float vv) { return MoVertex(x, y, 0, 0, 0, -1, u, vv); };
  w.AddQuad(o, red, v(-2, -1, 0, 1), v(-2, 1, 0, 0), v(0, 1, 1, 0), v(0, -1, 1, 1));
  w.AddQuad(o, blue, v(0, -1, 0, 1), v(0, 1, 0, 0), v(2, 1, 1, 0), v(2, -1, 1, 1));
  tracktest::WriteMesh(w, dir + "/wall.mo");
  tracktest::WriteTga(dir + "/red.tga", 4, 4, 0xFFFF0000);
  tracktest::WriteTga(dir + "/blue.tga", 4, 4, 0xFF0000FF);
  tracktest::WriteTga(dir + "/green.tga", 4, 4, 0xFF00FF00);
  cMoObject mo((dir + "/wall.mo").c_str(), screen, nullptr);
  mo.Lighting = FALSE;
  LookAt(D3DXVECTOR3(0, 0, -3), D3DXVECTOR3(0, 0, 0));
  screen->ClearScreen(0xFF000000);
  EXPECT_EQ(mo.Draw(0), 1);
  const uint32_t left = ReadPixel(0.35f, 0.5f), right = ReadPixel(0.65f, 0.5f);
  EXPECT_GT((left >> 16) & 0xFF, 200u) << std::hex << left;
  EXPECT_LT(left & 0xFF, 50u) << std::hex << left;
  EXPECT_GT(right & 0xFF, 200u) << std::hex << right;
  EXPECT_LT((right >> 16) & 0xFF, 50u) << std::hex << right;
  EXPECT_EQ(ReadPixel(0.05f, 0.05f) & 0xFFFFFF, 0u);

  cTexture green((dir + "/green.tga").c_str(), screen);
  screen->ClearScreen(0xFF000000);
  mo.DrawOneTexture(0, &green);
  EXPECT_GT((ReadPixel(0.35f, 0.5f) >> 8) & 0xFF, 200u);
  EXPECT_GT((ReadPixel(0.65f, 0.5f) >> 8) & 0xFF, 200u);
}

TEST_F(MoObjectTest, SlotsAreReleasedWithTheObject) {
  tracktest::WriteMesh(TwoObjects(), dir + "/two.mo");
  const int freeVb = screen->GetFirstUnusedVertexBuffer();
  const int freeIb = screen->GetFirstUnusedIndexBuffer();
  {
    cMoObject mo((dir + "/two.mo").c_str(), screen, nullptr);
    EXPECT_NE(screen->GetFirstUnusedVertexBuffer(), freeVb);
    EXPECT_NE(screen->GetFirstUnusedIndexBuffer(), freeIb);
  }
  EXPECT_EQ(screen->GetFirstUnusedVertexBuffer(), freeVb);
  EXPECT_EQ(screen->GetFirstUnusedIndexBuffer(), freeIb);
}

// ---- Files that cannot be trusted load empty, with one line on stderr ----

namespace {

std::vector<uint8_t> Image(const MoWriter& w) {
  std::vector<uint8_t> b;
  std::string error;
  EXPECT_TRUE(w.Build(&b, &error)) << error;
  return b;
}

void Put32(std::vector<uint8_t>* b, size_t at, uint32_t v) { std::memcpy(b->data() + at, &v, 4); }

}  // namespace

class MoObjectBadFile : public MoObjectTest {
 protected:
  // Loads the bytes and expects an empty set and exactly one stderr line.
  void ExpectEmpty(const std::vector<uint8_t>& bytes, const char* what) {
    const std::string path = dir + "/bad.mo";
    ASSERT_TRUE(vrxtest::WriteFile(path, bytes.data(), bytes.size()));
    const int freeVb = screen->GetFirstUnusedVertexBuffer();
    g_progress.clear();
    ::testing::internal::CaptureStderr();
    {
      cMoObject mo(path.c_str(), screen, RecordProgress);
      EXPECT_EQ(mo.ObjCount(), 0u) << what;
      EXPECT_EQ(mo.GetObjFaceCount(0), 0u) << what;
      EXPECT_EQ(mo.Draw(0), 0) << what;
      EXPECT_STREQ(mo.GetName(0), "") << what;
      mo.CalcGlobalBBox();
      mo.Draw();
      EXPECT_EQ(screen->GetFirstUnusedVertexBuffer(), freeVb) << what;
    }
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(tracktest::CountLines(err), 1) << what << ": " << err;
    EXPECT_EQ(err.rfind("vrx: ", 0), 0u) << err;
    ASSERT_EQ(g_progress.size(), 1u) << what;
  }
};

TEST_F(MoObjectBadFile, MissingFile) {
  ExpectEmpty({}, "empty file");
  g_progress.clear();
  ::testing::internal::CaptureStderr();
  cMoObject mo((dir + "/nothing.mo").c_str(), screen, RecordProgress);
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(mo.ObjCount(), 0u);
  EXPECT_EQ(tracktest::CountLines(err), 1) << err;
  EXPECT_NE(err.find("nothing.mo"), std::string::npos) << err;
  EXPECT_EQ(g_progress, std::vector<float>{0.0f});
}

TEST_F(MoObjectBadFile, CountsBeyondTheFile) {
  const std::vector<uint8_t> good = Image(TwoObjects());
  std::vector<uint8_t> b(good.begin(), good.begin() + 59);
  ExpectEmpty(b, "short header");

  b.assign(good.begin(), good.end() - 1);
  ExpectEmpty(b, "last texture record cut");

  b = good;
  Put32(&b, 12, 4);  // F = 4, the file holds 3
  ExpectEmpty(b, "F larger than the file");

  b = good;
  Put32(&b, 12, 0xFFFFFFFFu);
  ExpectEmpty(b, "huge F");
  b = good;
  Put32(&b, 8, 0xFFFFFFFFu);
  ExpectEmpty(b, "huge N");
  b = good;
  Put32(&b, 8, 0x10000000u);
  Put32(&b, 16, 0x10000000u);
  ExpectEmpty(b, "N x T overflowing");
}

TEST_F(MoObjectBadFile, RangesOutsideTheFaceSection) {
  const std::vector<uint8_t> good = Image(TwoObjects());
  const size_t obj1 = 60 + 160, groups = 60 + 2 * 160;
  std::vector<uint8_t> b = good;
  Put32(&b, obj1 + 128, 7);  // "flat" would end at vertex 10 of 9
  ExpectEmpty(b, "object range");

  b = good;
  Put32(&b, obj1 + 132, 0x55555556u);  // 3 x count wraps in 32 bits
  ExpectEmpty(b, "object count wrapping");

  b = good;
  Put32(&b, groups + 3 * 8, 8);  // (flat, blue) from vertex 8
  ExpectEmpty(b, "group range");
}

TEST_F(MoObjectBadFile, GroupTooLargeForSixteenBitIndices) {
  // Written by hand: the writer itself refuses such a group.
  const uint32_t faces = MO_MAX_GROUP_FACES + 1;
  std::vector<uint8_t> b(60 + 160 + 8 + faces * 132 + 300, 0);
  std::memcpy(b.data(), "MOFILE00", 8);
  Put32(&b, 8, 1);
  Put32(&b, 12, faces);
  Put32(&b, 16, 1);
  std::memcpy(b.data() + 60, "big", 4);
  Put32(&b, 60 + 132, faces);
  Put32(&b, 60 + 160 + 4, faces);
  ExpectEmpty(b, "group over 21845 faces");
}

TEST_F(MoObjectTest, OverlongPathStillLoadsTheMesh) {
  const std::string deep = dir + "/" + std::string(150, 'a') + "/" + std::string(150, 'b');
  std::filesystem::create_directories(deep);
  tracktest::WriteMesh(TwoObjects(), deep + "/two.mo");
  ::testing::internal::CaptureStderr();
  cMoObject mo((deep + "/two.mo").c_str(), screen, nullptr);
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(mo.ObjCount(), 2u);
  EXPECT_NE(err.find("too long"), std::string::npos) << err;
}
