#include "shell/window_mode.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "platform/user_files.h"

namespace {
int gScreenshotPending = 0;
}

int WantsWindow(const _SCREENCFG& cfg) { return (cfg.Reserved & kScreenCfgWindowed) ? 1 : 0; }

DWORD ScreenModeFlags(const _SCREENCFG& cfg) {
  if (WantsWindow(cfg)) return 1;
  return cfg.Colour32 ? 7 : 6;
}

void ToggleWindowMode() {
  if (!gScreen.GetDevicePointer()) return;
  gScreen.SetWindowed(gScreen.IsWindowed() ? FALSE : TRUE);
}

void RequestScreenshot() { gScreenshotPending = 1; }

int PresentFrame() {
  if (gScreenshotPending) {
    gScreenshotPending = 0;
    SaveScreenshot();
  }
  return gScreen.Flip();
}

std::string ReserveScreenshotFile(const std::string& folder, std::time_t now) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  std::tm local{};
  localtime_r(&now, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  // O_EXCL claims the name, so two pictures in one second (or two games at
  // once) never share a file.
  for (int n = 1; n < 1000; ++n) {
    const std::string path = folder + "/vrx-" + stamp + (n > 1 ? "-" + std::to_string(n) : "") + ".png";
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd >= 0) {
      close(fd);
      return path;
    }
    if (errno != EEXIST) {
      std::fprintf(stderr, "vrx: cannot save a screenshot in %s: %s\n", folder.c_str(), std::strerror(errno));
      return "";
    }
  }
  std::fprintf(stderr, "vrx: cannot save a screenshot in %s: too many this second\n", folder.c_str());
  return "";
}

std::string SaveScreenshot() {
  IDirect3DDevice9* device = gScreen.GetDevicePointer();
  if (!device) return "";
  const std::string path = ReserveScreenshotFile(vrx::PicturesFolder(), std::time(nullptr));
  if (path.empty()) return "";
  if (FAILED(VrxSaveScreenshot(device, path.c_str()))) {
    std::remove(path.c_str());
    return "";
  }
  std::printf("%s\n", path.c_str());
  std::fflush(stdout);
  return path;
}
