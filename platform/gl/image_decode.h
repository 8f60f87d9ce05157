// The per-format readers behind DecodeImageMemory. Each gets the whole file,
// checks every size it reads against `size`, and on failure puts a short
// reason into `why`.
#pragma once

#include <string>

#include "gl/image.h"

bool DecodeDds(const uint8_t* data, size_t size, Image* img, D3DXIMAGE_INFO* info, std::string* why);
bool DecodeTga(const uint8_t* data, size_t size, Image* img, D3DXIMAGE_INFO* info, std::string* why);
bool DecodeBmp(const uint8_t* data, size_t size, Image* img, D3DXIMAGE_INFO* info, std::string* why);

// Little-endian fields of file headers; the caller has checked the length.
inline uint32_t ReadLE16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
inline uint32_t ReadLE32(const uint8_t* p) { return ReadLE16(p) | ReadLE16(p + 2) << 16; }
