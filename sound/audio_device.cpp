#include "audio_device.h"

#include <AL/alc.h>

#include <cstdarg>
#include <cstdio>

namespace sound {
namespace {

ALCdevice* device = nullptr;
ALCcontext* context = nullptr;
int users = 0;
bool unavailable = false;

}  // namespace

bool AcquireDevice() {
  if (context) {
    ++users;
    return true;
  }
  if (unavailable) return false;
  device = alcOpenDevice(nullptr);
  if (device) {
    context = alcCreateContext(device, nullptr);
    if (context && alcMakeContextCurrent(context) == ALC_TRUE) {
      // Inverse distance from the reference distance on; rolloff 1 halves
      // the level at twice the distance, which keeps far cars audible.
      alDistanceModel(AL_INVERSE_DISTANCE_CLAMPED);
      users = 1;
      return true;
    }
    if (context) alcDestroyContext(context);
    context = nullptr;
    alcCloseDevice(device);
    device = nullptr;
  }
  unavailable = true;
  Report("no audio device available, sound is off");
  return false;
}

void ReleaseDevice() {
  if (!context || --users > 0) return;
  alcMakeContextCurrent(nullptr);
  alcDestroyContext(context);
  alcCloseDevice(device);
  context = nullptr;
  device = nullptr;
}

void Report(const char* format, ...) {
  char line[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  std::fprintf(stderr, "vrx: %s\n", line);
}

}  // namespace sound
