// Opening and decoding sound files with libsndfile. Names may come
// Windows-style ("DATA\\CARS\\x_eng.wav"); failures are reported on stderr
// with the name as it was looked up.
#pragma once

#include <sndfile.h>

#include <cstdint>
#include <string>
#include <vector>

namespace sound {

// Opens a file for decoding; nullptr (reported) when it cannot be opened or
// is not a sound file libsndfile knows. `path` receives the resolved name.
SNDFILE* OpenSoundFile(const char* file, SF_INFO* info, std::string* path);

// Decodes a whole file to 16-bit mono (channels averaged). False (reported)
// when the file cannot be opened, decoded or holds no samples.
bool DecodeMono(const char* file, std::vector<int16_t>* samples, unsigned long* rate);

// Converts a float sample in -1..1 to 16 bits, clipping.
int16_t ToInt16(float value);

}  // namespace sound
