#include "sound/cMP3.h"

#include <AL/al.h>
#include <sndfile.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "audio_device.h"
#include "sound_file.h"

namespace {

// Eight quarter-second buffers: two seconds of music are queued ahead, which
// rides out a slow frame or a short load without a gap.
constexpr int kBufferCount = 8;
constexpr int kBuffersPerSecond = 4;

enum class State { Stopped, Playing, Paused, Ended };

}  // namespace

struct cMP3::Stream {
  std::string path;
  SNDFILE* file = nullptr;
  SF_INFO info{};
  ALenum format = AL_FORMAT_STEREO16;
  int outChannels = 2;
  sf_count_t chunkFrames = 0;

  ALuint source = 0;
  ALuint buffers[kBufferCount] = {};
  sf_count_t bufferFrames[kBufferCount] = {};  // frames each buffer holds

  State state = State::Stopped;
  bool decodedAll = false;     // the decoder has reached the end of the file
  sf_count_t framesPlayed = 0; // frames of the buffers already taken back
  std::vector<short> decoded;  // one chunk as the file gives it
  std::vector<short> chunk;    // the same in the output channel layout

  ~Stream() {
    if (source) {
      alSourceStop(source);
      alSourcei(source, AL_BUFFER, 0);
      alDeleteSources(1, &source);
      alDeleteBuffers(kBufferCount, buffers);
      sound::ReleaseDevice();
    }
    if (file) sf_close(file);
  }

  int IndexOf(ALuint buffer) const {
    for (int i = 0; i < kBufferCount; ++i)
      if (buffers[i] == buffer) return i;
    return -1;
  }

  // Decodes the next chunk into buffer i and queues it; false at the end of
  // the file (nothing queued).
  bool Fill(int i) {
    if (decodedAll) return false;
    const int channels = info.channels;
    decoded.resize(static_cast<size_t>(chunkFrames) * channels);
    sf_count_t got;
    {
      sound::QuietStderr quiet;
      got = sf_readf_short(file, decoded.data(), chunkFrames);
    }
    if (got < chunkFrames) decodedAll = true;  // end of file or a decoding error
    if (got <= 0) return false;
    const short* data = decoded.data();
    if (channels > 2) {
      // Mono or stereo go out as they are; anything wider is mixed to mono.
      chunk.resize(static_cast<size_t>(got));
      for (sf_count_t f = 0; f < got; ++f) {
        int sum = 0;
        for (int c = 0; c < channels; ++c) sum += decoded[static_cast<size_t>(f) * channels + c];
        chunk[static_cast<size_t>(f)] = static_cast<short>(sum / channels);
      }
      data = chunk.data();
    }
    alBufferData(buffers[i], format, data,
                 static_cast<ALsizei>(got * outChannels * sizeof(short)), info.samplerate);
    alSourceQueueBuffers(source, 1, &buffers[i]);
    bufferFrames[i] = got;
    return true;
  }

  void Unqueue() {
    ALint processed = 0;
    alGetSourcei(source, AL_BUFFERS_PROCESSED, &processed);
    while (processed-- > 0) {
      ALuint b = 0;
      alSourceUnqueueBuffers(source, 1, &b);
      int i = IndexOf(b);
      if (i < 0) continue;
      framesPlayed += bufferFrames[i];
      Fill(i);
    }
  }

  // Takes back the buffers the source has played, refills them and restarts
  // a source that ran dry before the end.
  void Refill() {
    if (state != State::Playing && state != State::Paused) return;
    Unqueue();
    if (state != State::Playing) return;
    ALint sourceState = AL_STOPPED;
    alGetSourcei(source, AL_SOURCE_STATE, &sourceState);
    if (sourceState == AL_PLAYING) return;
    ALint queued = 0;
    alGetSourcei(source, AL_BUFFERS_QUEUED, &queued);
    if (queued > 0)
      alSourcePlay(source);  // ran dry while the game was busy: go on
    else
      state = State::Ended;
  }

  void Rewind() {
    alSourceStop(source);
    alSourcei(source, AL_BUFFER, 0);  // drops the whole queue
    framesPlayed = 0;
    decodedAll = !file;
    if (!file) return;
    sound::QuietStderr quiet;
    if (sf_seek(file, 0, SEEK_SET) != 0) {
      // Some decoders cannot seek; opening the file afresh starts it over.
      sf_close(file);
      SF_INFO again{};
      file = sf_open(path.c_str(), SFM_READ, &again);
      if (file && (again.channels != info.channels || again.samplerate != info.samplerate)) {
        sf_close(file);  // replaced by a different file meanwhile: play nothing
        file = nullptr;
      }
      if (!file) decodedAll = true;
    }
  }
};

cMP3::cMP3() : stream(nullptr) {}

cMP3::~cMP3() { Cleanup(); }

void cMP3::Cleanup() {
  delete stream;
  stream = nullptr;
}

void cMP3::Load(const char* file) {
  Cleanup();
  Stream* s = new Stream;
  s->file = sound::OpenSoundFile(file, &s->info, &s->path);
  if (!s->file || !sound::AcquireDevice()) {
    delete s;
    return;
  }
  alGetError();
  alGenSources(1, &s->source);
  if (alGetError() != AL_NO_ERROR) {
    s->source = 0;
    sound::ReleaseDevice();
    sound::Report("cannot play %s: no sound source left", s->path.c_str());
    delete s;
    return;
  }
  alGenBuffers(kBufferCount, s->buffers);
  if (alGetError() != AL_NO_ERROR) {
    alDeleteSources(1, &s->source);
    s->source = 0;
    sound::ReleaseDevice();
    sound::Report("cannot play %s: no sound buffers left", s->path.c_str());
    delete s;
    return;
  }
  // Music is not placed in the scene: it stays on the listener, unattenuated.
  alSourcei(s->source, AL_SOURCE_RELATIVE, AL_TRUE);
  alSource3f(s->source, AL_POSITION, 0.0f, 0.0f, 0.0f);
  alSourcef(s->source, AL_ROLLOFF_FACTOR, 0.0f);
  const bool mono = s->info.channels != 2;
  s->format = mono ? AL_FORMAT_MONO16 : AL_FORMAT_STEREO16;
  s->outChannels = mono ? 1 : 2;
  s->chunkFrames = s->info.samplerate / kBuffersPerSecond;
  if (s->chunkFrames < 1) s->chunkFrames = 1;
  stream = s;
}

void cMP3::Play() {
  if (!stream) return;
  stream->Rewind();
  int queued = 0;
  while (queued < kBufferCount && stream->Fill(queued)) ++queued;
  if (queued == 0) {
    stream->state = State::Ended;  // an empty piece is over at once
    return;
  }
  alSourcePlay(stream->source);
  stream->state = State::Playing;
}

void cMP3::Stop() {
  if (!stream) return;
  alSourceStop(stream->source);
  alSourcei(stream->source, AL_BUFFER, 0);
  stream->framesPlayed = 0;
  stream->state = State::Stopped;
}

void cMP3::Pause() {
  if (!stream) return;
  stream->Refill();
  if (stream->state != State::Playing) return;
  alSourcePause(stream->source);
  stream->state = State::Paused;
}

void cMP3::Resume() {
  if (!stream || stream->state != State::Paused) return;
  alSourcePlay(stream->source);
  stream->state = State::Playing;
  stream->Refill();
}

float cMP3::GetRelativePos() {
  if (!stream) return 0.0f;
  stream->Refill();
  switch (stream->state) {
    case State::Stopped: return 0.0f;
    case State::Ended: return 1.0f;
    default: break;
  }
  ALint offset = 0;
  alGetSourcei(stream->source, AL_SAMPLE_OFFSET, &offset);
  const double total = static_cast<double>(stream->info.frames);
  const double played = static_cast<double>(stream->framesPlayed + offset);
  // 1.0 means "ended" to the game: until the source has really played out,
  // the position stays below it even when the length was only an estimate.
  const float below = std::nextafter(1.0f, 0.0f);
  if (!(total > 0.0)) return 0.0f;
  const float pos = static_cast<float>(played / total);
  return pos < below ? pos : below;
}
