// The language file (the string table read in place of "Lang.dll"): opened
// as the game's start-up opens it, then every string asked for into the
// buffer sizes the game uses.
#include <string>

#include "fuzz_support.h"
#include "platform/testing.h"
#include "platform/win32.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  vrxfuzz::WorkDir();
  vrxtesting::SetProgramDir(vrxfuzz::WorkDir().c_str());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vrxfuzz::WriteInput("lang.txt", data, size);
  HMODULE lang = LoadLibraryA("Lang.dll");
  if (!lang) return 0;
  char buffer[256];
  for (UINT id = 0; id < 200; ++id) {
    for (int max : {1, 32, 64, 256}) {
      const int n = LoadStringA(lang, id, buffer, max);
      // The text and its terminating zero fit the buffer.
      if (n < 0 || n >= max || buffer[n] != 0) __builtin_trap();
    }
  }
  (void)LoadStringA(lang, 65535, buffer, sizeof buffer);
  FreeLibrary(lang);
  return 0;
}
