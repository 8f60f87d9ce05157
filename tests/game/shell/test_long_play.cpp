// Long play in one process: the real start-up, a hundred device losses in
// the menu, a hundred race starts and quits through the demo drive, a hundred
// device losses in a race with reflections on, and the real shutdown.
//
// The start-up makes the program's own folder the current one, so the play
// runs in a copy of this test program placed beside the game's files; this
// program starts it and checks how it ended. In the sanitizer build
// LeakSanitizer looks for leaks when the copy ends, and any leak fails it.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "../car/race_car_fixture.h"
#include "cGround.h"
#include "demo/demo.h"
#include "mathkit/mathkit.h"
#include "platform/d3d9_testing.h"
#include "platform/files.h"
#include "shell/cReplay.h"
#include "shell/drive.h"
#include "shell/main_loop.h"
#include "shell/menu.h"
#include "shell/player_files.h"
#include "shell/program.h"
#include "shell/startup.h"
#include "programs.h"
#include "test_support.h"
#include "tracks.h"

namespace {

namespace fs = std::filesystem;

const char kChildVariable[] = "VRX_LONG_PLAY_INSIDE";
const int kCycles = 100;
const int kLosses = 100;
// Race frames per drive: enough to draw the car, its reflections and the HUD.
const int kFramesPerDrive = 4;
// The drives go round a small oval of their own, so that a hundred of them
// take minutes, not an hour, under the sanitizers; the losses in a race are
// on a built track.
const char kRing[] =
    "name Ring\nseed 5\ntrees 0\ngrandstands 0\nbuildings 0\nshadow_size 256\nterrain_margin 40\n"
    "terrain_relief 2\nroad_width 9\nkerb_width 0.6\nverge_width 2\n"
    "point 160 0\npoint 113 53\npoint 0 75\npoint -113 53\npoint -160 0\npoint -113 -53\npoint 0 -75\n"
    "point 113 -53\n";
const double kMB = 1024.0 * 1024.0;

bool InsideCopy() { return std::getenv(kChildVariable) != nullptr; }

double ResidentBytes() {
  long pages = 0, resident = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE));
}

// Settings for this machine's adapter at 800 x 600, as the settings program writes them.
bool WriteScreenSettings(const char* path) {
  _SCREENCFG cfg;
  std::memset(&cfg, 0, sizeof cfg);
  cfg.Width = 800;
  cfg.Height = 600;
  cfg.Colour32 = 1;
  cfg.ViewDistance = 5;
  IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
  if (!d3d) return false;
  D3DADAPTER_IDENTIFIER9 id;
  std::memset(&id, 0, sizeof id);
  const HRESULT hr = d3d->GetAdapterIdentifier(0, 0, &id);
  d3d->Release();
  if (FAILED(hr)) return false;
  cfg.Adapter = id.DeviceIdentifier;
  return vrxtest::WriteFile(path, &cfg, sizeof cfg);
}

struct ViewState {
  D3DGAMMARAMP ramp;
  D3DLIGHT9 light;
};

ViewState CurrentViewState() {
  ViewState v;
  std::memset(&v, 0, sizeof v);
  IDirect3DDevice9* device = gScreen.GetDevicePointer();
  device->GetGammaRamp(0, &v.ramp);
  device->GetLight(0, &v.light);
  return v;
}

// What a reset must bring back: the gamma of 1.1, the light from above and
// ahead (the race's drawing sets its own lights), and the small shadow
// target with its depth surface.
void ExpectRestored(const ViewState& expected, const char* where, int loss) {
  const ViewState now = CurrentViewState();
  EXPECT_EQ(std::memcmp(&now.ramp, &expected.ramp, sizeof now.ramp), 0) << where << ", loss " << loss;
  if (std::strcmp(where, "menu") == 0) {
    EXPECT_EQ(std::memcmp(&now.light.Direction, &expected.light.Direction, sizeof now.light.Direction), 0)
        << where << ", loss " << loss;
  }
  ASSERT_NE(gShadowTarget, nullptr) << where << ", loss " << loss;
  EXPECT_EQ(gShadowTarget->GetTextureInfo().Width, 128u) << where << ", loss " << loss;
  ASSERT_NE(gShadowDepth, nullptr) << where << ", loss " << loss;
}

void MenuLosses(const ViewState& menuView) {
  IDirect3DDevice9* device = gScreen.GetDevicePointer();
  for (int loss = 1; loss <= kLosses; ++loss) {
    vrxtesting::ForceDeviceLoss(device);
    gAppActive = 1;
    int passes = 0;
    while (!MenuLoopPass() && ++passes < 1000) {
    }
    ASSERT_LT(passes, 1000) << "the device never came back after loss " << loss;
    ASSERT_EQ(device->TestCooperativeLevel(), D3D_OK);
    ExpectRestored(menuView, "menu", loss);
    // The menu draws on the restored device.
    MenuFrame();
    if (::testing::Test::HasFatalFailure()) return;
  }
}

void RaceCycles(std::vector<double>* resident) {
  for (int cycle = 1; cycle <= kCycles; ++cycle) {
    gAppActive = 1;
    ASSERT_EQ(RunDemo(), kExitOk) << "drive " << cycle;
    ASSERT_EQ(gDemo.Stats().Frames() + 1, kFramesPerDrive) << "drive " << cycle;
    ASSERT_EQ(gGround, nullptr);
    ASSERT_EQ(gRaceCar, nullptr);
    resident->push_back(ResidentBytes());
  }
}

// A race as the drive starts one, reflections on; each loss comes in the
// middle of the race loop, which resets the device and draws on.
void RaceLosses(const ViewState& raceView, DemoOptions options) {
  options.track = "Docklands";
  gPlayer.TrackIndex = FindListEntry(gTrackList[0], kListEntry, gTrackCount, options.track);
  ASSERT_GE(gPlayer.TrackIndex, 0);
  gDemo.Configure(options);
  gDemo.DriveStarting();
  gGround = new cGround(gTrackList[gPlayer.TrackIndex], &gScreen, nullptr);
  gGround->LoadShadowMaps();
  gGround->SkidTexture = gSkidTexture;
  _CARSTATE start = {};
  start.LinPos = D3DXVECTOR3(gGround->GetStartX(), gGround->GetStartY() + 1, gGround->GetStartZ());
  RotationY(&start.RotPos, gGround->GetStartRadY());
  gRaceCar = new cRaceCar(gCarList[gPlayer.CarIndex], start, &gScreen, gGround, &gInput, gListener, gPlayer.KeyMap,
                          1, 1);
  ASSERT_TRUE(gRaceCar->IsRaceable());
  gReplay->AttachCar(gRaceCar);
  gReplay->ResetForRecording();
  gRaceCar->controlMode = 3;
  gDemo.DriveReady(gGround, gRaceCar->GetCar());
  IDirect3DCubeTexture9* cube = cRaceCarProbe::Cube(*gRaceCar);
  ASSERT_NE(cube, nullptr) << "no reflections to restore";
  D3DSURFACE_DESC cubeDesc;
  cube->GetLevelDesc(0, &cubeDesc);

  IDirect3DDevice9* device = gScreen.GetDevicePointer();
  for (int loss = 1; loss <= kLosses; ++loss) {
    vrxtesting::ForceDeviceLoss(device);
    gAppActive = 1;
    // The race goes on for a few frames after each reset.
    options.frames = loss * 3;
    gDemo.Configure(options);
    RunRace();
    ASSERT_FALSE(gWindowClosed);
    ASSERT_EQ(device->TestCooperativeLevel(), D3D_OK) << "loss " << loss;
    ExpectRestored(raceView, "race", loss);
    IDirect3DCubeTexture9* again = cRaceCarProbe::Cube(*gRaceCar);
    ASSERT_NE(again, nullptr) << "the reflections did not come back after loss " << loss;
    D3DSURFACE_DESC desc;
    again->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Width, cubeDesc.Width) << "loss " << loss;
    EXPECT_EQ(desc.Format, cubeDesc.Format) << "loss " << loss;
    if (::testing::Test::HasFatalFailure()) break;
  }
  gDemo.DriveOver("", "");
  gReplay->AttachCar(nullptr);
  delete gRaceCar;
  gRaceCar = nullptr;
  delete gGround;
  gGround = nullptr;
}

TEST(LongPlayInside, StartLoseRaceAndQuit) {
  if (!InsideCopy()) GTEST_SKIP() << "runs inside the copy LongPlay starts";
  // Beside the program, where the start-up looks for it.
  ASSERT_TRUE(WriteScreenSettings((vrx::ProgramDir() + "/vrx.cfg").c_str()));
  int exitCode = 0;
  ASSERT_EQ(StartProgram(nullptr, &exitCode), 1) << "the start-up failed with " << exitCode;
  PaintNumberPlate();
  gAppActive = 1;
  const double started = ResidentBytes();

  // The menu's view as the start-up left it, after one reset (its shadow target is 128 from then on).
  vrxtesting::ForceDeviceLoss(gScreen.GetDevicePointer());
  for (int pass = 0; pass < 1000 && !MenuLoopPass(); ++pass) gAppActive = 1;
  const ViewState menuView = CurrentViewState();
  MenuLosses(menuView);
  std::printf("menu: %d device losses and resets\n", kLosses);

  DemoOptions options;
  options.demo = true;
  options.track = "Ring";
  options.frames = kFramesPerDrive;
  gDemo.Configure(options);
  std::vector<double> resident;
  if (!HasFatalFailure()) RaceCycles(&resident);

  if (!HasFatalFailure()) {
    RaceLosses(menuView, options);
    std::printf("race: %d device losses and resets, reflections on\n", kLosses);
  }
  Shutdown(nullptr, 0);

  if (resident.size() == static_cast<size_t>(kCycles)) {
    std::printf("resident memory: %.1f MB after the start-up;", started / kMB);
    for (int c : {1, 2, 3, 5, 10, 25, 50, 75, 100}) std::printf(" drive %d %.1f MB;", c, resident[c - 1] / kMB);
    const auto [low, high] = std::minmax_element(resident.begin() + 4, resident.end());
    // Growth from drive to drive, over the allocator's ups and downs: the
    // mean of the last ten drives against that of drives 6 to 15.
    double early = 0, late = 0;
    for (int i = 5; i < 15; ++i) early += resident[i] / 10;
    for (int i = kCycles - 10; i < kCycles; ++i) late += resident[i] / 10;
    std::printf(" drives 5 to 100 within %.2f MB; drives 91 to 100 %+.2f MB against drives 6 to 15\n",
                (*high - *low) / kMB, (late - early) / kMB);
    // The sanitizer keeps freed memory in quarantine, so the figure says
    // nothing there; its leak check at the end does.
    if (!VRX_TEST_UNDER_ASAN) {
      EXPECT_LE(late - early, 5 * kMB) << "resident memory grows from drive to drive";
    }
  }
}

TEST(LongPlay, HundredDrivesAndDeviceLossesLeaveNoLeakAndFlatMemory) {
  if (InsideCopy()) GTEST_SKIP();
  const std::string bin = VRX_BIN_DIR;
  if (!fs::exists(bin + "/DATA/Tracks.txt")) GTEST_SKIP() << "no DATA (build the game-data target)";
  const std::string dir = vrxtest::MakeTempDir("long_play");
  ASSERT_TRUE(vrxtest::LinkDataKeepingRecords(bin + "/DATA", dir));
  ASSERT_TRUE(vrxtest::WriteTextFile(dir + "/Ring.track", kRing));
  ASSERT_TRUE(vrxdata::BuildTrack(dir + "/Ring.track", dir + "/DATA/TRACKS"));
  std::error_code ec;
  fs::remove(dir + "/DATA/Tracks.txt", ec);
  ASSERT_TRUE(vrxtest::WriteTextFile(dir + "/DATA/Tracks.txt",
                                     vrxtest::ReadFile(bin + "/DATA/Tracks.txt") + "DATA\\TRACKS\\Ring\\Ring\n"));
  fs::copy_file(bin + "/lang.txt", dir + "/lang.txt", ec);
  const std::string program = dir + "/long_play";
  ASSERT_TRUE(fs::copy_file("/proc/self/exe", program, ec)) << ec.message();
  fs::permissions(program, fs::perms::owner_all, ec);

  // A display of its own: the race draws only while its window is the active one.
  vrxtest::VirtualDisplay display;
  ASSERT_TRUE(display.Start()) << "no virtual display (Xvfb)";
  const vrxtest::Finished r =
      vrxtest::RunProgram({program, "--gtest_filter=LongPlayInside.*"},
                          {std::string(kChildVariable) + "=1", "DISPLAY=" + display.Name()}, dir + "/play.out",
                          dir + "/play.err", 3000);
  std::printf("%s", r.out.c_str());
  EXPECT_EQ(r.code, 0) << r.err.substr(r.err.size() > 20000 ? r.err.size() - 20000 : 0);
  EXPECT_NE(r.out.find("[  PASSED  ] 1 test"), std::string::npos) << r.err;
}

}  // namespace
