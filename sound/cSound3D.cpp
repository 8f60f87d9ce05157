#include "sound/cSound3D.h"

#include <cstdint>
#include <vector>

#include "audio_device.h"
#include "sound_file.h"

static_assert(sizeof(ALuint) == sizeof(unsigned int), "AL names fit the header's type");

namespace {

// The playback rates a sound card mixer of the game's era accepted; outside
// them a pitch change makes no sense (and OpenAL refuses a pitch of 0).
constexpr unsigned long kMinRate = 100;
constexpr unsigned long kMaxRate = 200000;

}  // namespace

cSound3D::cSound3D(cListener* listener, const char* file)
    : listener(listener), source(0), buffer(0), fileRate(0), rate(0), speed(1.0f) {
  std::vector<int16_t> samples;
  if (!sound::DecodeMono(file, &samples, &fileRate)) return;
  rate = fileRate;
  if (!sound::AcquireDevice()) return;
  alGetError();
  alGenBuffers(1, &buffer);
  if (alGetError() != AL_NO_ERROR) {
    buffer = 0;
    sound::Report("cannot load %s into a sound buffer", file);
    sound::ReleaseDevice();
    return;
  }
  alBufferData(buffer, AL_FORMAT_MONO16, samples.data(),
               static_cast<ALsizei>(samples.size() * sizeof(int16_t)),
               static_cast<ALsizei>(fileRate));
  alGenSources(1, &source);
  if (alGetError() != AL_NO_ERROR) {
    source = 0;
    alDeleteBuffers(1, &buffer);
    buffer = 0;
    sound::Report("cannot load %s into a sound source", file);
    sound::ReleaseDevice();
    return;
  }
  alSourcei(source, AL_BUFFER, static_cast<ALint>(buffer));
  alSourcef(source, AL_REFERENCE_DISTANCE, sound::kReferenceDistance);
  alSourcef(source, AL_ROLLOFF_FACTOR, 1.0f);
}

cSound3D::~cSound3D() {
  if (!source) return;
  alSourceStop(source);
  alDeleteSources(1, &source);
  alDeleteBuffers(1, &buffer);
  sound::ReleaseDevice();
}

void cSound3D::SetSampleFreq(unsigned long hertz) {
  if (!source) return;
  if (hertz < kMinRate) hertz = kMinRate;
  if (hertz > kMaxRate) hertz = kMaxRate;
  rate = hertz;
  alSourcef(source, AL_PITCH, static_cast<float>(hertz) / static_cast<float>(fileRate) * speed);
}

void cSound3D::SetSpeed(float factor) {
  // OpenAL refuses a pitch of 0; a scene that stands still stops its sounds instead.
  if (!(factor > 0.01f)) factor = 0.01f;
  if (factor > 16.0f) factor = 16.0f;
  speed = factor;
  if (!source) return;
  alSourcef(source, AL_PITCH, static_cast<float>(rate) / static_cast<float>(fileRate) * speed);
}

void cSound3D::SetPos(const D3DXVECTOR3* position) {
  if (!source || !position) return;
  ALfloat p[3];
  sound::ToOpenAL(*position, p);
  alSourcefv(source, AL_POSITION, p);
}

void cSound3D::Play() {
  if (!source) return;
  alSourceStop(source);  // a stopped source plays from its start
  alSourcei(source, AL_LOOPING, AL_FALSE);
  alSourcePlay(source);
}

void cSound3D::PlayLooping() {
  if (!source) return;
  // Called every frame while a wheel skids: a playing sound only switches to
  // looping and goes on where it is.
  alSourcei(source, AL_LOOPING, AL_TRUE);
  ALint state = AL_STOPPED;
  alGetSourcei(source, AL_SOURCE_STATE, &state);
  if (state != AL_PLAYING) alSourcePlay(source);
}

void cSound3D::Stop() {
  if (source) alSourceStop(source);
}
