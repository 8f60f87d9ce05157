#include "fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

#include "cScreen.h"
#include "reference_car.h"
#include "screen_fixture.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace vrxfuzz {

namespace {

std::string* g_workDir = nullptr;

void RemoveWorkDir() {
  if (!g_workDir) return;
  std::error_code ec;
  fs::current_path("/", ec);
  fs::remove_all(*g_workDir, ec);
}

}  // namespace

const std::string& WorkDir() {
  if (g_workDir) return *g_workDir;
  const char* tmp = std::getenv("TMPDIR");
  const std::string base = tmp && *tmp ? tmp : "/tmp";
  std::error_code ec;
  fs::create_directories(base, ec);
  std::string pattern = base + "/vrx-fuzz-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back(0);
  if (!mkdtemp(name.data())) {
    std::perror("vrx fuzz: cannot make a scratch directory");
    std::exit(2);
  }
  g_workDir = new std::string(name.data());
  fs::current_path(*g_workDir);
  std::atexit(RemoveWorkDir);
  // What the engine loads beside the files under test.
  WriteImage("DATA/TRACKS/COMMON/sun.tga", 8, 8, 0xFFFFFF00);
  WriteImage("DATA/CARS/COMMON/red_light.tga", 8, 8, 0xFFFF0000);
  WriteImage("DATA/CARS/COMMON/white_light.tga", 8, 8, 0xFFFFFFFF);
  WriteImage("DATA/MENU/Smoke.tga", 8, 8, 0x80FFFFFF);
  return *g_workDir;
}

cScreen* Screen() {
  static vrxtest::ScreenFixture* fixture = nullptr;
  if (fixture) return &fixture->Screen();
  WorkDir();
  fixture = new vrxtest::ScreenFixture;
  if (!fixture->Open(160, 120)) {
    std::fprintf(stderr, "vrx fuzz: no window or device (is a display set?)\n");
    std::exit(2);
  }
  return &fixture->Screen();
}

void WriteInput(const std::string& path, const uint8_t* data, size_t size) {
  WorkDir();
  if (!vrxtest::WriteFile(path, data, size)) {
    std::fprintf(stderr, "vrx fuzz: cannot write %s\n", path.c_str());
    std::exit(2);
  }
}

void RemoveFile(const std::string& path) {
  std::error_code ec;
  fs::remove(path, ec);
}

void WriteImage(const std::string& path, int width, int height, uint32_t argb) {
  std::error_code ec;
  fs::create_directories(fs::path(path).parent_path(), ec);
  if (!vrxtest::WriteTga(path, width, height, std::vector<DWORD>((size_t)width * height, argb))) {
    std::fprintf(stderr, "vrx fuzz: cannot write %s\n", path.c_str());
    std::exit(2);
  }
}

std::string WriteSmallTrack(const std::string& dir) {
  WorkDir();
  fs::create_directories(dir + "/Test");
  vrxtest::FlatTrackLayout layout;
  layout.tile = 200.0f;  // one tile: two triangles
  layout.startGate = layout.halfGate = true;
  layout.halfGateZ = 50.0f;
  std::string error;
  if (!vrxtest::WriteFlatTrack(dir + "/Test/Test", layout, &error)) {
    std::fprintf(stderr, "vrx fuzz: cannot write the track: %s\n", error.c_str());
    std::exit(2);
  }
  return dir + "\\Test\\Test";
}

}  // namespace vrxfuzz
