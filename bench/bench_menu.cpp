// The game's start-up and menu, timed: from process start to the first name
// screen frame presented, and the main menu's frame rate with its panel
// (track picture, turning car) shown. Runs in the bin folder like the game,
// at 800 x 600 (the settings file beside it is set for the run and put back
// after).
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/testing.h"
#include "race_setup.h"
#include "shell/menu.h"
#include "shell/program.h"
#include "shell/startup.h"

namespace {

// Seconds since this process started (its start time in /proc, in clock ticks after boot).
double SinceProcessStart() {
  std::ifstream stat("/proc/self/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  std::istringstream rest(text.substr(text.rfind(')') + 2));
  std::string field;
  for (int i = 3; i <= 22; ++i) rest >> field;  // field 22: starttime
  const double started = std::stod(field) / double(sysconf(_SC_CLK_TCK));
  timespec now;
  clock_gettime(CLOCK_BOOTTIME, &now);
  return double(now.tv_sec) + now.tv_nsec * 1e-9 - started;
}

}  // namespace

int main() {
  if (!vrxbench::EnterProgramDirectory("bench_menu")) return 1;
  vrxbench::BenchSettings settings;
  if (!settings.Apply("bench_menu")) return 1;
  setenv("VRX_NO_DIALOGS", "1", 1);
  int exitCode = 0;
  if (!StartProgram(nullptr, &exitCode)) {
    std::fprintf(stderr, "bench_menu: the game did not start (%d)\n", exitCode);
    return 1;
  }
  NameScreenFrame();
  const double firstFrame = SinceProcessStart();

  // The pointer rests over nothing: the panel is drawn.
  vrxtesting::SetFakeInput(true);
  POINT p{0, 0};
  ClientToScreen(gWindow, &p);
  const D3DXVECTOR2 size = gScreen.GetPixelSize();
  vrxtesting::SetFakeCursorPos(p.x + LONG(size.x * 0.45f), p.y + LONG(size.y * 0.97f));
  for (int i = 0; i < 20; ++i) MenuFrame();
  const int frames = 300;
  const auto t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < frames; ++i) MenuFrame();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();

  std::printf("screen %u x %u, %d-bit\n", gScreenCfg.Width, gScreenCfg.Height, gScreenCfg.Colour32 ? 32 : 16);
  std::printf("process start to first name screen frame: %.0f ms\n", firstFrame * 1000.0);
  std::printf("main menu with panel: %.1f frames per second (%.2f ms a frame, %d frames)\n", frames / seconds,
              seconds * 1000.0 / frames, frames);
  Shutdown(nullptr, 0);
  return 0;
}
