// Opening and decoding sound files with libsndfile. Names may come
// Windows-style ("DATA\\CARS\\x_eng.wav"); failures are reported on stderr
// with the name as it was looked up.
#pragma once

#include <sndfile.h>

#include <cstdint>
#include <string>
#include <vector>

namespace sound {

// libsndfile's MP3 decoder (libmpg123) prints its own notes on damaged or
// unknown data straight to stderr and has no switch for it. Failures are
// reported by us, once, so stderr is pointed at /dev/null while one of
// these lives (around opening, reading and seeking only). Other threads'
// stderr output in that short window is lost too.
class QuietStderr {
public:
  QuietStderr();
  ~QuietStderr();
  QuietStderr(const QuietStderr&) = delete;
  QuietStderr& operator=(const QuietStderr&) = delete;

private:
  int saved;
};

// Opens a file for decoding; nullptr (reported) when it cannot be opened or
// is not a sound file libsndfile knows. `path` receives the resolved name.
SNDFILE* OpenSoundFile(const char* file, SF_INFO* info, std::string* path);

// Decodes a whole file to 16-bit mono (channels averaged). False (reported)
// when the file cannot be opened, decoded or holds no samples.
bool DecodeMono(const char* file, std::vector<int16_t>* samples, unsigned long* rate);

// Converts a float sample in -1..1 to 16 bits, clipping.
int16_t ToInt16(float value);

}  // namespace sound
