// Every file the game opens, from the built bin/: the fixed names of start-up,
// menu, race display, cars and tracks, and each car's and track's own files
// from the two lists. Each exists and loads through the engine's own classes
// without a word on stderr, at the size its place on screen was designed for.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "../../sound/sound_test_util.h"
#include "cCursor.h"
#include "cFont.h"
#include "cMoObject.h"
#include "cParticle.h"
#include "cSprite.h"
#include "cTexture.h"
#include "platform/files.h"
#include "platform/testing.h"
#include "platform/win32.h"
#include "screen_fixture.h"
#include "sound/cListener.h"
#include "sound/cMP3.h"
#include "sound/cSound3D.h"

namespace {

bool Exists(const std::string& gameName) {
  struct stat st;
  return stat(vrx::ResolvePath(gameName.c_str()).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::vector<std::string> List(const char* file) {
  std::vector<std::string> entries;
  std::ifstream in(vrx::ResolvePath(file));
  for (std::string line; std::getline(in, line);) entries.push_back(line);
  return entries;
}

class DataFiles : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_EQ(chdir(VRX_BIN_DIR), 0); }
};

TEST_F(DataFiles, EveryNamedFileExists) {
  const char* fixed[] = {
      "lang.txt", "DATA\\Cars.txt", "DATA\\Tracks.txt",
      "DATA\\MENU\\vrxd.tga", "DATA\\MENU\\ode_logo.bmp", "DATA\\MENU\\Font1.bmp", "DATA\\MENU\\Font1.dat",
      "DATA\\Menu\\Menu.bmp", "DATA\\MENU\\Cursor.tga", "DATA\\MENU\\flag.tga", "DATA\\MENU\\ButtonOut.tga",
      "DATA\\MENU\\ButtonOver.tga", "DATA\\MENU\\FrameOut.tga", "DATA\\MENU\\FrameOver.tga", "DATA\\MENU\\Smoke.tga",
      "DATA\\MUSIC\\Dni.mp3", "DATA\\MUSIC\\UPM_.mp3",
      "DATA\\CARS\\COMMON\\Sh.tga", "DATA\\CARS\\COMMON\\Skid.tga", "DATA\\CARS\\COMMON\\Tablica.bmp",
      "DATA\\CARS\\COMMON\\Licznik.tga", "DATA\\CARS\\COMMON\\Strzalka.tga", "DATA\\CARS\\COMMON\\g_R.dds",
      "DATA\\CARS\\COMMON\\g_N.dds", "DATA\\CARS\\COMMON\\g_1.dds", "DATA\\CARS\\COMMON\\g_2.dds",
      "DATA\\CARS\\COMMON\\g_3.dds", "DATA\\CARS\\COMMON\\g_4.dds", "DATA\\CARS\\COMMON\\g_5.dds",
      "DATA\\CARS\\COMMON\\Frame.dds", "DATA\\CARS\\COMMON\\Dot.dds", "DATA\\CARS\\COMMON\\red_light.tga",
      "DATA\\CARS\\COMMON\\white_light.tga", "DATA\\TRACKS\\COMMON\\Refmap.tga", "DATA\\TRACKS\\COMMON\\sun.tga"};
  for (const char* name : fixed) EXPECT_TRUE(Exists(name)) << name;

  const std::vector<std::string> cars = List("DATA\\Cars.txt"), tracks = List("DATA\\Tracks.txt");
  EXPECT_FALSE(cars.empty());
  EXPECT_FALSE(tracks.empty());
  for (const std::string& car : cars) {
    for (const char* end : {".mo", ".cdf", ".trq", ".txt", "_eng.wav", "_skid.wav", "_shift.wav", "_crash.wav"})
      EXPECT_TRUE(Exists(car + end)) << car << end;
  }
  for (const std::string& track : tracks) {
    const std::string dir = track.substr(0, track.rfind('\\'));
    EXPECT_TRUE(Exists(track + ".mo")) << track;
    for (const char* name : {"Start.ini", "road_sh.dds", "ground_sh.dds", "Screen.tga"})
      EXPECT_TRUE(Exists(dir + "\\" + name)) << dir << "\\" << name;
  }
}

TEST_F(DataFiles, PicturesFontAndMeshesLoadWithoutAWord) {
  vrxtest::ScreenFixture f;
  ASSERT_TRUE(f.Open(1000, 750));
  struct Picture {
    const char* name;
    unsigned width, height;
  } pictures[] = {{"DATA\\MENU\\vrxd.tga", 512, 256},          {"DATA\\MENU\\ode_logo.bmp", 256, 128},
                  {"DATA\\Menu\\Menu.bmp", 1024, 1024},        {"DATA\\MENU\\Cursor.tga", 128, 128},
                  {"DATA\\MENU\\flag.tga", 256, 256},          {"DATA\\MENU\\ButtonOut.tga", 256, 64},
                  {"DATA\\MENU\\ButtonOver.tga", 256, 64},     {"DATA\\MENU\\FrameOut.tga", 1024, 128},
                  {"DATA\\MENU\\FrameOver.tga", 1024, 128},    {"DATA\\CARS\\COMMON\\Licznik.tga", 512, 512},
                  {"DATA\\CARS\\COMMON\\Strzalka.tga", 64, 16}, {"DATA\\CARS\\COMMON\\g_R.dds", 64, 64},
                  {"DATA\\CARS\\COMMON\\g_N.dds", 64, 64},     {"DATA\\CARS\\COMMON\\g_1.dds", 64, 64},
                  {"DATA\\CARS\\COMMON\\g_2.dds", 64, 64},     {"DATA\\CARS\\COMMON\\g_3.dds", 64, 64},
                  {"DATA\\CARS\\COMMON\\g_4.dds", 64, 64},     {"DATA\\CARS\\COMMON\\g_5.dds", 64, 64},
                  {"DATA\\CARS\\COMMON\\Frame.dds", 256, 16},  {"DATA\\CARS\\COMMON\\Dot.dds", 4, 4},
                  {"DATA\\TRACKS\\COMMON\\sun.tga", 128, 128}};
  testing::internal::CaptureStderr();
  for (const Picture& p : pictures) {
    cSprite s(p.name, &f.Screen());
    EXPECT_EQ(s.GetTextureInfo().Width, p.width) << p.name;
    EXPECT_EQ(s.GetTextureInfo().Height, p.height) << p.name;
  }
  struct Texture {
    const char* name;
    unsigned width, height;
    bool keyed;
  } textures[] = {{"DATA\\CARS\\COMMON\\Sh.tga", 64, 64, false},         {"DATA\\CARS\\COMMON\\Skid.tga", 64, 256, false},
                  {"DATA\\TRACKS\\COMMON\\Refmap.tga", 256, 256, false}, {"DATA\\CARS\\COMMON\\Tablica.bmp", 256, 64, true},
                  {"DATA\\CARS\\COMMON\\red_light.tga", 128, 128, false}, {"DATA\\CARS\\COMMON\\white_light.tga", 128, 128, false}};
  for (const Texture& t : textures) {
    std::unique_ptr<cTexture> tex(t.keyed ? new cTexture(t.name, &f.Screen(), 0) : new cTexture(t.name, &f.Screen()));
    ASSERT_NE(tex->GetTexturePointer(), nullptr) << t.name;
    EXPECT_EQ(tex->GetTextureInfo().Width, t.width) << t.name;
    EXPECT_EQ(tex->GetTextureInfo().Height, t.height) << t.name;
  }
  {
    cFont font("DATA\\MENU\\Font1.bmp", "DATA\\MENU\\Font1.dat", 0xFF000000, &f.Screen());
    EXPECT_EQ(font.GetRowHeight(), 32);
    EXPECT_GT(font.GetPixelLength("Start race"), 0u);
    cCursor cursor("DATA\\MENU\\Cursor.tga", &f.Screen());
    cParticle smoke(50, "DATA\\MENU\\Smoke.tga", &f.Screen());
  }
  for (const std::string& car : List("DATA\\Cars.txt")) {
    cMoObject mesh((car + ".mo").c_str(), &f.Screen(), nullptr);
    EXPECT_GT(mesh.ObjCount(), 0u) << car;
  }
  for (const std::string& track : List("DATA\\Tracks.txt")) {
    cMoObject mesh((track + ".mo").c_str(), &f.Screen(), nullptr);
    EXPECT_GT(mesh.ObjCount(), 0u) << track;
    const std::string dir = track.substr(0, track.rfind('\\'));
    for (const char* name : {"road_sh.dds", "ground_sh.dds"}) {
      cTexture shadow((dir + "\\" + name).c_str(), &f.Screen());
      EXPECT_NE(shadow.GetTexturePointer(), nullptr) << dir << name;
    }
    cSprite screen((dir + "\\Screen.tga").c_str(), &f.Screen());
    EXPECT_GT(screen.GetTextureInfo().Width, 0u) << dir;
  }
  vrxtesting::SetProgramDir(VRX_BIN_DIR);
  HMODULE lang = LoadLibraryA("Lang.dll");
  vrxtesting::SetProgramDir(nullptr);
  EXPECT_NE(lang, nullptr);
  FreeLibrary(lang);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST_F(DataFiles, SoundsAndMusicLoadWithoutAWord) {
  const std::string dir = vrxtest::MakeTempDir("data_files_sound");
  soundtest::UseWaveOutput(dir, dir + "/capture.wav");
  testing::internal::CaptureStderr();
  {
    cListener listener(nullptr);
    for (const std::string& car : List("DATA\\Cars.txt")) {
      for (const char* end : {"_eng.wav", "_skid.wav", "_shift.wav", "_crash.wav"}) {
        cSound3D sound(&listener, (car + end).c_str());
        sound.Play();
        sound.Stop();
      }
    }
    for (const char* piece : {"DATA\\MUSIC\\Dni.mp3", "DATA\\MUSIC\\UPM_.mp3"}) {
      cMP3 music;
      music.Load(piece);
      music.Play();
      soundtest::RunFor(0.3);
      EXPECT_GT(music.GetRelativePos(), 0.0f) << piece;
      EXPECT_LT(music.GetRelativePos(), 0.05f) << piece;
      music.Cleanup();
    }
  }
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  // Every sound was heard.
  EXPECT_GT(soundtest::SoundingBlocks(soundtest::ReadCapture(dir + "/capture.wav")), 30u);
}

}  // namespace
