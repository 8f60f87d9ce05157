// vrx-data: builds the game's DATA directory from the text descriptions in the
// repository. The output is the same, byte for byte, on every run. It is built
// in a temporary folder beside the target and moved into place only when every
// builder succeeded, so a failed run never leaves a half-built DATA behind.

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "builders.h"
#include "icons.h"

namespace fs = std::filesystem;

static int Usage() {
  std::fprintf(stderr,
               "usage: vrx-data --out DIR [--source CONTENTDIR]\n"
               "       vrx-data --icons DIR --from DATADIR\n"
               "  builds the game's DATA directory into DIR from the descriptions in CONTENTDIR\n"
               "  (default: %s); --icons makes the desktop's icons from the logo of a built DATA\n",
               VRX_CONTENT_DIR);
  return 2;
}

int main(int argc, char** argv) {
  std::string out;
  std::string source = VRX_CONTENT_DIR;
  std::string icons, from;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--icons") == 0 && i + 1 < argc) {
      icons = argv[++i];
    } else if (std::strcmp(argv[i], "--from") == 0 && i + 1 < argc) {
      from = argv[++i];
    } else if (std::strcmp(argv[i], "--out") == 0 && i + 1 < argc) {
      out = argv[++i];
    } else if (std::strcmp(argv[i], "--source") == 0 && i + 1 < argc) {
      source = argv[++i];
    } else {
      return Usage();
    }
  }
  if (!icons.empty()) {
    if (from.empty() || !out.empty()) return Usage();
    std::string error;
    if (!vrxdata::BuildIcons(from + "/MENU/vrxd.tga", icons, "vrx", &error)) {
      std::fprintf(stderr, "vrx-data: %s\n", error.c_str());
      return 1;
    }
    return 0;
  }
  if (out.empty()) return Usage();

  fs::path target = fs::absolute(out).lexically_normal();
  if (target.filename().empty()) target = target.parent_path();
  fs::path staging = target;
  staging += ".building";
  std::error_code ec;
  fs::remove_all(staging, ec);
  if (!fs::create_directories(staging, ec) && ec) {
    std::fprintf(stderr, "vrx-data: cannot create %s: %s\n", staging.c_str(), ec.message().c_str());
    return 1;
  }

  vrxdata::BuildContext ctx{source, staging.string()};
  for (const vrxdata::BuilderEntry& b : vrxdata::AllBuilders()) {
    std::printf("vrx-data: %s\n", b.name);
    std::fflush(stdout);
    if (!b.build(ctx)) {
      std::fprintf(stderr, "vrx-data: building %s failed; nothing was written to %s\n", b.name,
                   target.c_str());
      fs::remove_all(staging, ec);
      return 1;
    }
  }

  fs::remove_all(target, ec);
  fs::rename(staging, target, ec);
  if (ec) {
    std::fprintf(stderr, "vrx-data: cannot move %s to %s: %s\n", staging.c_str(), target.c_str(),
                 ec.message().c_str());
    return 1;
  }
  return 0;
}
