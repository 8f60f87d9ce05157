// CPU side of texture loading: decoding TGA, BMP and DDS files into the
// memory layout Direct3D uses for each format, pixel format conversion,
// colour keys and mip chains. The texture code uploads what this produces.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/d3d9types.h"

// One 2D image with its mip levels, level 0 first. Each level is tightly
// packed in the Direct3D layout of `format`: A8R8G8B8 / X8R8G8B8 are the bytes
// B, G, R, A (X) in memory; the 16-bit formats are little-endian words; DXT1/3/5
// are rows of 4x4 blocks of 8/16/16 bytes. Row 0 is the top of the picture.
struct Image {
  D3DFORMAT format = D3DFMT_UNKNOWN;
  UINT width = 0;
  UINT height = 0;
  std::vector<std::vector<uint8_t>> levels;
};

// Largest width or height a file may declare.
constexpr UINT kMaxImageSize = 16384;

// The formats this code reads, writes and converts: A8R8G8B8, X8R8G8B8,
// R5G6B5, A4R4G4B4, A1R5G5B5, X1R5G5B5, DXT1, DXT3, DXT5.
bool IsImageFormatSupported(D3DFORMAT format);
bool IsCompressedFormat(D3DFORMAT format);  // DXT1/3/5
// 4 or 2 for the uncompressed formats above, 0 for DXT and unsupported formats.
UINT FormatBytesPerPixel(D3DFORMAT format);
// Bytes from one row (for DXT: one row of 4x4 blocks) to the next; 0 if unsupported.
UINT FormatRowPitch(D3DFORMAT format, UINT width);
// Bytes of one tightly packed level; 0 if unsupported.
size_t FormatLevelSize(D3DFORMAT format, UINT width, UINT height);
// Size of a dimension at a mip level: halved per level, never below 1.
UINT MipDimension(UINT size, UINT level);
// Levels of a full chain down to 1x1: 1 + floor(log2(max(width, height))).
UINT FullMipCount(UINT width, UINT height);

// Reads and decodes an image file (TGA, BMP or DDS, told apart by content);
// the name may be Windows-style, with backslashes and any letter case.
// `out` gets the format Direct3D would create the texture in: A8R8G8B8 for
// TGA/BMP with alpha, X8R8G8B8 without (alpha bytes 0xFF), a DDS file's own
// format with the mip levels the file holds. `info` gets the file's
// description (a 24-bit file reports D3DFMT_R8G8B8 there). Either pointer may
// be null. On failure prints one line naming the file and the reason, leaves
// both untouched and returns false.
bool LoadImageFile(const char* path, Image* out, D3DXIMAGE_INFO* info);
// The same for a file already in memory; `name` is used in the message.
bool DecodeImageMemory(const void* data, size_t size, Image* out, D3DXIMAGE_INFO* info,
                       const char* name = "<memory>");

// One level of `format` (FormatLevelSize bytes at `src`) as A8R8G8B8 pixels
// (width * height * 4 bytes); DXT blocks are decompressed. Empty if unsupported.
std::vector<uint8_t> LevelToA8R8G8B8(D3DFORMAT format, const uint8_t* src, UINT width, UINT height);
// A8R8G8B8 pixels as one level of an uncompressed `format` (X bits written as 1,
// channels rounded to the nearest value). Empty for DXT and unsupported formats.
std::vector<uint8_t> LevelFromA8R8G8B8(D3DFORMAT format, const uint8_t* argb, UINT width, UINT height);
// Converts every level of `img` to `format` (any supported format to any
// uncompressed one). False, image unchanged, if not possible or if a level
// is not the size its format and dimensions call for (also below).
bool ConvertImage(Image* img, D3DFORMAT format);

// Turns every pixel whose A8R8G8B8 value (alpha included) equals `key` into
// 0x00000000, on every level. The image becomes A8R8G8B8 so the transparency
// survives whatever format it came in. False if the format is unsupported.
bool ApplyColourKey(Image* img, DWORD key);

// Makes `img` hold exactly `levels` levels (0 = full chain to 1x1; more than
// the full chain is clamped to it): extra levels are dropped, missing ones
// box-filtered from the last level present, each dimension halved per level.
// A compressed image is decompressed to A8R8G8B8 first when levels must be
// added. False if the image is empty or its format unsupported.
bool BuildMipChain(Image* img, UINT levels);
