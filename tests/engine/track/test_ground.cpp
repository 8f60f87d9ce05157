// Track construction: files beside the track, roles by name, the track box,
// lighting, sky radius, second texture coordinates, limits and bad input.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>

#include <sys/stat.h>
#include <unistd.h>

#include "cGround.h"
#include "cMoObject.h"
#include "cScreen.h"
#include "track_test_util.h"

using tracktest::AddFlatQuad;
using tracktest::Up;
using vrxmesh::MoWriter;

namespace {

class GroundTest : public tracktest::ScreenTest {
 protected:
  std::string Track() const { return dir + "/track"; }
  std::unique_ptr<cGround> Load() { return std::make_unique<cGround>(Track().c_str(), screen, nullptr); }
  // One flat road quad over (0..10, 0..10) at height 0.
  void WriteRoadOnly() {
    MoWriter w;
    const int t = w.AddTexture("road.tga");
    AddFlatQuad(&w, w.AddObject("g_road"), t, 0, 0, 10, 10, 0);
    tracktest::WriteMesh(w, Track() + ".mo");
    tracktest::WriteTga(dir + "/road.tga", 2, 2, 0xFF808080);
    WriteStart();
  }
  void WriteStart() { vrxtest::WriteTextFile(dir + "/Start.ini", "0\n0\n0\n"); }
  uint32_t BestTimeOnDisk() {
    const std::string b = vrxtest::ReadFile(dir + "/BestTime.dat");
    EXPECT_EQ(b.size(), 4u);
    uint32_t v = 0;
    if (b.size() == 4) std::memcpy(&v, b.data(), 4);
    return v;
  }
};

std::vector<float> g_progress;
void RecordProgress(float v) { g_progress.push_back(v); }

}  // namespace

TEST_F(GroundTest, StartIniGivesPositionAndHeading) {
  WriteRoadOnly();
  vrxtest::WriteTextFile(dir + "/Start.ini", "10\n-20\n90\n");
  auto g = Load();
  EXPECT_FLOAT_EQ(g->GetStartX(), 10.0f);
  EXPECT_FLOAT_EQ(g->GetStartZ(), -20.0f);
  EXPECT_EQ(g->GetStartRadY(), 90.0f * 0.017444445f);
  EXPECT_FLOAT_EQ(g->GetStartRadY(), 1.5700001f);
  EXPECT_FLOAT_EQ(g->GetStartY(), -1000.0f);  // (10, -20) is off the road
}

TEST_F(GroundTest, StartIniLeadingNumbersShortAndMissing) {
  WriteRoadOnly();
  vrxtest::WriteTextFile(dir + "/Start.ini", "5.5 metres\nnothing\n");
  {
    ::testing::internal::CaptureStderr();
    auto g = Load();
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Start.ini has 2 of its 3 lines"), std::string::npos) << err;
    EXPECT_EQ(tracktest::CountLines(err), 1) << err;
    EXPECT_FLOAT_EQ(g->GetStartX(), 5.5f);
    EXPECT_FLOAT_EQ(g->GetStartZ(), 0.0f);
    EXPECT_FLOAT_EQ(g->GetStartRadY(), 0.0f);
    EXPECT_FLOAT_EQ(g->GetStartY(), 0.0f);  // on the road at height 0
  }
  // An over-long line is one value; the next line is the next value.
  vrxtest::WriteTextFile(dir + "/Start.ini", std::string(40, '1') + "\n7\n8\n");
  {
    auto g = Load();
    EXPECT_FLOAT_EQ(g->GetStartZ(), 7.0f);
    EXPECT_FLOAT_EQ(g->GetStartRadY(), 8.0f * 0.017444445f);
  }
  vrxtest::WriteTextFile(dir + "/Start.ini", "1\nnorth\n2\n");
  {
    ::testing::internal::CaptureStderr();
    auto g = Load();
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Start.ini line 2 holds no number; 0 is taken"), std::string::npos) << err;
    EXPECT_FLOAT_EQ(g->GetStartZ(), 0.0f);
  }
  std::remove((dir + "/Start.ini").c_str());
  ::testing::internal::CaptureStderr();
  auto g = Load();
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("cannot open " + dir + "/Start.ini"), std::string::npos) << err;
  EXPECT_EQ(g->GetStartX(), 0.0f);
  EXPECT_EQ(g->GetStartZ(), 0.0f);
  EXPECT_EQ(g->GetStartRadY(), 0.0f);
}

TEST_F(GroundTest, BestTimeKeepsTheSmallestNonzeroAndIsWrittenBack) {
  WriteRoadOnly();
  const uint32_t stored = 65000;
  vrxtest::WriteFile(dir + "/BestTime.dat", &stored, 4);
  {
    auto g = Load();
    EXPECT_EQ(g->GetBestTime(), 65000u);
    g->SetBestTime(70000);
    EXPECT_EQ(g->GetBestTime(), 65000u);
    g->SetBestTime(0);
    EXPECT_EQ(g->GetBestTime(), 65000u);
    g->SetBestTime(60000);
    EXPECT_EQ(g->GetBestTime(), 60000u);
  }
  EXPECT_EQ(BestTimeOnDisk(), 60000u);
  // The file is replaced whole; no temporary file is left beside it.
  for (const auto& entry : std::filesystem::directory_iterator(dir))
    EXPECT_EQ(entry.path().filename().string().find("BestTime.dat."), std::string::npos) << entry.path();
}

TEST_F(GroundTest, NoBestTimeYet) {
  WriteRoadOnly();
  {
    auto g = Load();
    EXPECT_EQ(g->GetBestTime(), 0xFFFFFFFFu);
  }
  EXPECT_EQ(BestTimeOnDisk(), 0xFFFFFFFFu);  // written even when unchanged
  {
    auto g = Load();
    EXPECT_EQ(g->GetBestTime(), 0xFFFFFFFFu);
    g->SetBestTime(123456);
    EXPECT_EQ(g->GetBestTime(), 123456u);
  }
  EXPECT_EQ(BestTimeOnDisk(), 123456u);
}

TEST_F(GroundTest, BestTimeIsWrittenThroughASymlinkAndKeepsItsMode) {
  WriteRoadOnly();
  const uint32_t stored = 65000;
  vrxtest::WriteFile(dir + "/records/best.dat", &stored, 4);
  ASSERT_EQ(chmod((dir + "/records/best.dat").c_str(), 0640), 0);
  ASSERT_EQ(symlink("records/best.dat", (dir + "/BestTime.dat").c_str()), 0);
  {
    auto g = Load();
    EXPECT_EQ(g->GetBestTime(), 65000u);
    g->SetBestTime(61000);
  }
  struct stat st;
  ASSERT_EQ(lstat((dir + "/BestTime.dat").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  const std::string b = vrxtest::ReadFile(dir + "/records/best.dat");
  ASSERT_EQ(b.size(), 4u);
  uint32_t v = 0;
  std::memcpy(&v, b.data(), 4);
  EXPECT_EQ(v, 61000u);
  ASSERT_EQ(stat((dir + "/records/best.dat").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST_F(GroundTest, ShortBestTimeFileCountsAsNoTime) {
  WriteRoadOnly();
  vrxtest::WriteFile(dir + "/BestTime.dat", "\x01\x02", 2);
  ::testing::internal::CaptureStderr();
  auto g = Load();
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(g->GetBestTime(), 0xFFFFFFFFu);
  EXPECT_EQ(tracktest::CountLines(err), 1) << err;
}

TEST_F(GroundTest, ObjectsTakeTheirRolesFromTheirNames) {
  MoWriter w;
  const int t = w.AddTexture("a.tga");
  const char* names[] = {"g1", "b1", "h1", "s1", "ts", "tm", "tx", "rock", "g2",
                         "ts", "b2", "Gbig", "skyB", "hill"};
  for (const char* n : names) {
    const int o = w.AddObject(n);
    AddFlatQuad(&w, o, t, 0, 0, 1, 1, 0);
  }
  tracktest::WriteMesh(w, Track() + ".mo");
  auto g = Load();
  ASSERT_EQ(g->GetRoadCount(), 2u);
  EXPECT_EQ(g->GetRoadObj(0), 0u);
  EXPECT_EQ(g->GetRoadObj(1), 8u);
  ASSERT_EQ(g->GetBorderCount(), 2u);
  EXPECT_EQ(g->GetBorderObj(0), 1u);
  EXPECT_EQ(g->GetBorderObj(1), 10u);
  EXPECT_EQ(g->GetTerrainCount(), 2u);
  EXPECT_EQ(g->GetSkyCount(), 2u);
  EXPECT_EQ(g->GetSceneryCount(), 2u);  // "rock" and "Gbig" (names are case-sensitive)
  EXPECT_EQ(g->GetStartGate(), 9u);     // the last "ts"
  EXPECT_EQ(g->GetHalfGate(), 5u);
  // "tx" is in no list but lit like all static objects; sky objects are not lit.
  cMoObject* mesh = g->GetMesh();
  EXPECT_EQ(mesh->GetObjVertex(6, 0).diffuse, 0xFF9F9F9Fu);
  EXPECT_EQ(mesh->GetObjVertex(4, 0).diffuse, 0xFF9F9F9Fu);
  EXPECT_EQ(mesh->GetObjVertex(3, 0).diffuse, 0xFFFFFFFFu);
  EXPECT_EQ(mesh->Lighting, FALSE);
}

TEST_F(GroundTest, GatesDefaultToObjectZero) {
  WriteRoadOnly();
  auto g = Load();
  EXPECT_EQ(g->GetStartGate(), 0u);
  EXPECT_EQ(g->GetHalfGate(), 0u);
}

TEST_F(GroundTest, TrackBoxSkyRadiusAndSecondCoordinates) {
  MoWriter w;
  const int t = w.AddTexture("a.tga");
  AddFlatQuad(&w, w.AddObject("g_road"), t, 0, 0, 100, 10, 0);
  AddFlatQuad(&w, w.AddObject("h_hill"), t, 0, 40, 50, 50, 20);
  AddFlatQuad(&w, w.AddObject("rock"), t, 60, 20, 70, 30, 5);
  AddFlatQuad(&w, w.AddObject("b_far"), t, -500, -500, 500, 500, -50);  // borders do not widen
  AddFlatQuad(&w, w.AddObject("s_dome"), t, -30, -40, 3, 4, 0);
  AddFlatQuad(&w, w.AddObject("s_small"), t, -1, -1, 1, 1, 0);
  tracktest::WriteMesh(w, Track() + ".mo");
  auto g = Load();
  EXPECT_EQ(g->GetTrackBoxMin(), D3DXVECTOR3(0, 0, 0));
  EXPECT_EQ(g->GetTrackBoxMax(), D3DXVECTOR3(100, 20, 50));
  EXPECT_FLOAT_EQ(g->GetSkyRadius(), 50.0f);  // |(-30, 0, -40)|

  const D3DXVECTOR2 uv = g->GetGlobalUV(25, 10);
  EXPECT_FLOAT_EQ(uv.x, 0.75f);
  EXPECT_FLOAT_EQ(uv.y, 0.2f);

  cMoObject* mesh = g->GetMesh();
  const _MOVERTEX road = mesh->GetObjVertex(0, 2);  // (100, 0, 10)
  EXPECT_FLOAT_EQ(road.u2, 0.0f);
  EXPECT_FLOAT_EQ(road.v2, 0.2f);
  EXPECT_FLOAT_EQ(road.u, 1.0f);  // the first set is kept
  const _MOVERTEX hill = mesh->GetObjVertex(1, 0);  // (0, 20, 40)
  EXPECT_FLOAT_EQ(hill.u2, 1.0f);
  EXPECT_FLOAT_EQ(hill.v2, 0.8f);
  EXPECT_FLOAT_EQ(mesh->GetObjVertex(2, 0).u2, 0.0f);  // scenery keeps its own
}

TEST_F(GroundTest, NoSkyMeansRadiusZero) {
  WriteRoadOnly();
  auto g = Load();
  EXPECT_EQ(g->GetSkyRadius(), 0.0f);
  g->Draw(4);  // nothing to draw, nothing to divide
}

TEST_F(GroundTest, ProgressEndsWithOneAfterTheMesh) {
  WriteRoadOnly();
  g_progress.clear();
  cGround g(Track().c_str(), screen, RecordProgress);
  ASSERT_GE(g_progress.size(), 3u);
  EXPECT_EQ(g_progress.front(), 0.0f);
  EXPECT_EQ(g_progress.back(), 1.0f);
  EXPECT_FLOAT_EQ(g_progress[g_progress.size() - 2], 0.8f);
}

TEST_F(GroundTest, MissingMeshAndSunGiveAnEmptyTrack) {
  std::remove("DATA/TRACKS/COMMON/sun.tga");
  WriteStart();
  ::testing::internal::CaptureStderr();
  auto g = Load();
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(tracktest::CountLines(err), 2) << err;  // one line for each
  EXPECT_NE(err.find("track.mo"), std::string::npos) << err;
  EXPECT_NE(err.find("sun.tga"), std::string::npos) << err;
  EXPECT_EQ(g->GetMesh()->ObjCount(), 0u);
  EXPECT_EQ(g->GetRoadCount(), 0u);
  EXPECT_EQ(g->GetH(0, 0), -1000.0f);
  ASSERT_NE(g->GetWorld(), nullptr);
  ASSERT_NE(g->GetGroundGeom(), nullptr);
  ASSERT_NE(g->GetBorderGeom(), nullptr);
  _COLLISIONINFO info[8];
  std::memset(info, 0xAB, sizeof info);
  D3DXVECTOR3 points[8], centre(0, 0, 0);
  for (auto& p : points) p = D3DXVECTOR3(1, 1, 1);
  EXPECT_EQ(g->GetCollision(info, points, &centre, 100.0f), 0);
  for (const _COLLISIONINFO& i : info) {
    EXPECT_EQ(i.hit, 0);
    EXPECT_EQ(i.depth, 0.0f);
    EXPECT_EQ(i.point, 0);
  }
  EXPECT_EQ(g->IsTimerCollision(points, &centre, 70.0f), 0);
  g->Draw(31);
}

TEST_F(GroundTest, ListsKeepWhatFitsAndSaySo) {
  MoWriter w;
  const int t = w.AddTexture("a.tga");
  for (int i = 0; i < GROUND_MAX_OBJS + 3; ++i)
    AddFlatQuad(&w, w.AddObject("g" + std::to_string(i)), t, (float)i, 0, (float)i + 1, 1, 0);
  for (int i = 0; i < GROUND_MAX_SKY + 2; ++i) AddFlatQuad(&w, w.AddObject("s"), t, 0, 0, 1, 1, 0);
  tracktest::WriteMesh(w, Track() + ".mo");
  tracktest::WriteTga(dir + "/a.tga", 2, 2, 0xFF808080);
  WriteStart();
  ::testing::internal::CaptureStderr();
  auto g = Load();
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(tracktest::CountLines(err), 1) << err;
  EXPECT_NE(err.find("5 objects left out"), std::string::npos) << err;
  EXPECT_EQ(g->GetRoadCount(), (DWORD)GROUND_MAX_OBJS);
  EXPECT_EQ(g->GetRoadObj(GROUND_MAX_OBJS - 1), (DWORD)GROUND_MAX_OBJS - 1);
  EXPECT_EQ(g->GetSkyCount(), (DWORD)GROUND_MAX_SKY);
  EXPECT_FLOAT_EQ(g->GetH(4095.5f, 0.5f), 0.0f);
  EXPECT_EQ(g->GetH(4096.5f, 0.5f), -1000.0f);  // left out of the road list
}

TEST_F(GroundTest, OverlongTrackPathIsCutAndReported) {
  const std::string deep = dir + "/" + std::string(140, 'd');
  vrxtest::WriteTextFile(deep + "/Start.ini", "3\n4\n5\n");
  MoWriter w;
  const int t = w.AddTexture("a.tga");
  AddFlatQuad(&w, w.AddObject("g"), t, 0, 0, 10, 10, 1);
  tracktest::WriteMesh(w, deep + "/t.mo");
  ::testing::internal::CaptureStderr();
  {
    cGround g((deep + "/t").c_str(), screen, nullptr);
    // The mesh is found by its full path; files in the cut directory are not.
    EXPECT_FLOAT_EQ(g.GetH(5, 5), 1.0f);
    EXPECT_EQ(g.GetStartX(), 0.0f);
  }
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("too long"), std::string::npos) << err;
}

TEST_F(GroundTest, QuotedTrackPath) {
  WriteRoadOnly();
  vrxtest::WriteTextFile(dir + "/Start.ini", "1\n2\n3\n");
  const std::string quoted = "\"" + Track() + "\"";
  cGround g(quoted.c_str(), screen, nullptr);
  EXPECT_FLOAT_EQ(g.GetStartZ(), 2.0f);
}

TEST_F(GroundTest, HeightmapBytes) {
  WriteRoadOnly();
  auto g = Load();
  EXPECT_EQ(g->GetByteHeight(0, 0), 0);
  std::vector<uint8_t> hm(36, 0);
  const uint32_t width = 3, depth = 2;
  std::memcpy(&hm[4], &width, 4);
  std::memcpy(&hm[8], &depth, 4);
  for (int i = 0; i < 6; ++i) hm.push_back((uint8_t)(10 + i));
  vrxtest::WriteFile(dir + "/hm.raw", hm.data(), hm.size());
  g->LoadHM((dir + "/hm.raw").c_str());
  EXPECT_EQ(g->GetByteHeight(0, 0), 10);
  EXPECT_EQ(g->GetByteHeight(2, 1), 15);
  EXPECT_EQ(g->GetByteHeight(0, 2), 0);  // beyond the samples

  // A header promising more samples than the file holds changes nothing.
  const uint32_t huge = 0x10000;
  std::memcpy(&hm[4], &huge, 4);
  std::memcpy(&hm[8], &huge, 4);
  vrxtest::WriteFile(dir + "/bad.raw", hm.data(), hm.size());
  ::testing::internal::CaptureStderr();
  g->LoadHM((dir + "/bad.raw").c_str());
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(tracktest::CountLines(err), 1) << err;
  EXPECT_EQ(g->GetByteHeight(2, 1), 15);
  g->LoadHM((dir + "/none.raw").c_str());
  EXPECT_EQ(g->GetByteHeight(1, 0), 11);
}

TEST_F(GroundTest, ShadowMapsAreMadeOnRequest) {
  WriteRoadOnly();
  auto g = Load();
  EXPECT_EQ(g->GetRoadSM(), nullptr);
  EXPECT_EQ(g->GetGroundSM(), nullptr);
  tracktest::WriteTga(dir + "/road_sh.tga", 4, 4, 0xFF808080);
  g->LoadShadowMaps();  // missing files give empty textures
  EXPECT_NE(g->GetRoadSM(), nullptr);
  EXPECT_NE(g->GetGroundSM(), nullptr);
  g->Draw(31);
}
