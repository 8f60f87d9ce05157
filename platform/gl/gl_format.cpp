#include "gl/gl_format.h"

namespace vrxgl {

bool LookupGlFormat(D3DFORMAT format, GlFormat* out) {
  GlFormat f;
  switch (format) {
    case D3DFMT_A8R8G8B8:
      f = {GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, 4, false, false, false, true};
      break;
    case D3DFMT_X8R8G8B8:
      f = {GL_RGB8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, 4, false, false, false, false};
      break;
    case D3DFMT_R5G6B5:
      f = {GL_RGB565, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, 2, false, false, false, false};
      break;
    case D3DFMT_A4R4G4B4:
      // Kept in 8 bits a channel: a software rasteriser reads and writes
      // those much faster than 4-bit ones (the race's shadow target is of
      // this format). Locks still see the 16-bit layout, converted by GL.
      f = {GL_RGBA8, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, 2, false, false, false, true};
      break;
    case D3DFMT_X4R4G4B4:
      f = {GL_RGB4, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, 2, false, false, false, false};
      break;
    case D3DFMT_A1R5G5B5:
      f = {GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, 2, false, false, false, true};
      break;
    case D3DFMT_X1R5G5B5:
      f = {GL_RGB5, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, 2, false, false, false, false};
      break;
    case D3DFMT_DXT1:
      f = {GL_COMPRESSED_RGBA_S3TC_DXT1_EXT, 0, 0, 0, false, false, true, true};
      break;
    case D3DFMT_DXT3:
      f = {GL_COMPRESSED_RGBA_S3TC_DXT3_EXT, 0, 0, 0, false, false, true, true};
      break;
    case D3DFMT_DXT5:
      f = {GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, 0, 0, 0, false, false, true, true};
      break;
    // Depth surfaces are floating point where Direct3D offers 24 or 32 bits:
    // the w-buffer mode stores reversed depth, which needs a float buffer to
    // gain its precision.
    case D3DFMT_D16:
      f = {GL_DEPTH_COMPONENT16, 0, 0, 0, true, false, false, false};
      break;
    case D3DFMT_D24X8:
    case D3DFMT_D32:
      f = {GL_DEPTH_COMPONENT32F, 0, 0, 0, true, false, false, false};
      break;
    case D3DFMT_D24S8:
      f = {GL_DEPTH32F_STENCIL8, 0, 0, 0, true, true, false, false};
      break;
    default:
      return false;
  }
  *out = f;
  return true;
}

UINT RowPitch(const GlFormat& f, D3DFORMAT format, UINT width) {
  if (f.compressed) return ((width + 3) / 4) * (format == D3DFMT_DXT1 ? 8 : 16);
  return width * f.bytesPerPixel;
}

UINT RowCount(const GlFormat& f, UINT height) { return f.compressed ? (height + 3) / 4 : height; }

}  // namespace vrxgl
