#include "music.h"

#include <sndfile.h>

#include <cstdio>
#include <filesystem>
#include <thread>

namespace vrxdata {

bool WriteMp3(const std::string& path, const std::vector<float>& stereo, int rate) {
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = 2;
  info.format = SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
  SNDFILE* sf = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!sf) {
    std::fprintf(stderr, "vrx-data: cannot write %s: %s\n", path.c_str(), sf_strerror(nullptr));
    return false;
  }
  // Variable bit rate at a good quality: about 130 kbit/s for this music.
  int mode = SF_BITRATE_MODE_VARIABLE;
  double level = 0.4;
  sf_command(sf, SFC_SET_BITRATE_MODE, &mode, sizeof mode);
  sf_command(sf, SFC_SET_COMPRESSION_LEVEL, &level, sizeof level);
  const sf_count_t frames = sf_count_t(stereo.size() / 2);
  const bool wrote = sf_writef_float(sf, stereo.data(), frames) == frames;
  const bool closed = sf_close(sf) == 0;
  if (!wrote || !closed) {
    std::fprintf(stderr, "vrx-data: cannot write %s: the encoder failed\n", path.c_str());
    return false;
  }
  return true;
}

bool BuildMusic(const BuildContext& ctx) {
  // Menu music and race music, one a thread: rendering and encoding take
  // seconds each, and the data is rebuilt on every change of the content.
  const char* pieces[2] = {"Dni", "UPM_"};
  bool ok[2] = {false, false};
  auto build = [&](int i) {
    Score score;
    ok[i] = ComposeScore(ctx.sourceDir + "/music/" + pieces[i] + ".txt", &score) &&
            WriteMp3(ctx.outDir + "/MUSIC/" + pieces[i] + ".mp3", RenderScore(score), kMusicRate);
  };
  std::thread other(build, 1);
  build(0);
  other.join();
  return ok[0] && ok[1];
}

}  // namespace vrxdata
