// The car and track lists ("DATA\Cars.txt", "DATA\Tracks.txt"): read as the
// start-up reads them, then each entry used as a path as the menu does (the
// car's preview from its mesh, data and description, the track's best time
// and picture).
#include <cstring>

#include "car/cCarPreview.h"
#include "car/cTrackInfo.h"
#include "fuzz_support.h"
#include "shell/player_files.h"
#include "shell/program.h"

namespace {
char g_list[kListMax][kListEntry];
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  vrxfuzz::Screen();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vrxfuzz::WriteInput("DATA/Cars.txt", data, size);
  memset(g_list, 0x55, sizeof g_list);
  const int count = ReadList("DATA\\Cars.txt", g_list, kListMax);
  if (count > kListMax) __builtin_trap();
  for (int i = 0; i < count; ++i)
    if (!memchr(g_list[i], 0, kListEntry)) __builtin_trap();
  cScreen* screen = vrxfuzz::Screen();
  for (int i = 0; i < count && i < 3; ++i) {
    cCarPreview car(g_list[i], screen);
    cTrackInfo track(g_list[i], screen);
    (void)track.GetBestTime();
  }
  return 0;
}
