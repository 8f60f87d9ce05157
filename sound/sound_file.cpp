#include "sound_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "audio_device.h"
#include "platform/files.h"

namespace sound {

QuietStderr::QuietStderr() : saved(-1) {
  std::fflush(stderr);
  const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (null < 0) return;
  saved = fcntl(2, F_DUPFD_CLOEXEC, 3);
  if (saved >= 0) dup2(null, 2);
  close(null);
}

QuietStderr::~QuietStderr() {
  if (saved < 0) return;
  std::fflush(stderr);
  dup2(saved, 2);
  close(saved);
}

SNDFILE* OpenSoundFile(const char* file, SF_INFO* info, std::string* path) {
  if (!file || !*file) {
    Report("cannot open sound file: no name given");
    return nullptr;
  }
  *path = vrx::ResolvePath(file);
  // Tell a missing file from one libsndfile cannot read: its own message for
  // the first case is much less clear.
  int fd = open(path->c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    Report("cannot open %s: %s", path->c_str(), std::strerror(errno));
    return nullptr;
  }
  close(fd);
  *info = SF_INFO{};
  SNDFILE* sf;
  {
    QuietStderr quiet;
    sf = sf_open(path->c_str(), SFM_READ, info);
  }
  if (!sf) {
    // libsndfile's own text names the last format it tried, which misleads.
    Report("cannot decode %s: not a sound file in a known format", path->c_str());
    return nullptr;
  }
  // A damaged header may claim anything; these bounds keep the buffers sane.
  if (info->channels < 1 || info->samplerate < 1 || info->samplerate > 384000) {
    Report("cannot decode %s: unsupported channel count or sample rate", path->c_str());
    sf_close(sf);
    return nullptr;
  }
  return sf;
}

int16_t ToInt16(float value) {
  float scaled = std::nearbyint(value * 32767.0f);
  if (!(scaled > -32768.0f)) return -32768;  // also catches NaN
  if (scaled > 32767.0f) return 32767;
  return static_cast<int16_t>(scaled);
}

namespace {

// Far more than any sound effect needs (six minutes at 44.1 kHz, 32 MB), and
// well inside what one OpenAL buffer can take.
constexpr size_t kMaxSamples = size_t(1) << 24;

}  // namespace

bool DecodeMono(const char* file, std::vector<int16_t>* samples, unsigned long* rate) {
  SF_INFO info;
  std::string path;
  SNDFILE* sf = OpenSoundFile(file, &info, &path);
  if (!sf) return false;
  const int channels = info.channels;
  const sf_count_t chunkFrames = 4096;
  std::vector<float> chunk(static_cast<size_t>(chunkFrames) * channels);
  samples->clear();
  bool failed, tooLong = false;
  {
    QuietStderr quiet;
    sf_count_t got;
    while ((got = sf_readf_float(sf, chunk.data(), chunkFrames)) > 0) {
      if (samples->size() + static_cast<size_t>(got) > kMaxSamples) {
        tooLong = true;
        break;
      }
      for (sf_count_t f = 0; f < got; ++f) {
        const float* frame = &chunk[static_cast<size_t>(f) * channels];
        float sum = 0.0f;
        for (int c = 0; c < channels; ++c) sum += frame[c];
        samples->push_back(ToInt16(sum / channels));
      }
    }
    failed = sf_error(sf) != SF_ERR_NO_ERROR;
    sf_close(sf);
  }
  if (failed) {
    Report("cannot decode %s: damaged sound data", path.c_str());
    return false;
  }
  if (tooLong) {
    Report("cannot load %s: too long for a sound effect", path.c_str());
    return false;
  }
  if (samples->empty()) {
    Report("cannot decode %s: no samples", path.c_str());
    return false;
  }
  *rate = static_cast<unsigned long>(info.samplerate);
  return true;
}

}  // namespace sound
