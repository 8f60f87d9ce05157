// How each Direct3D pixel format is stored in OpenGL. Upload and read-back use
// the Direct3D memory layout directly (BGRA byte order, little-endian 16-bit
// words), so locked pixels never need converting.
#pragma once

#include <epoxy/gl.h>

#include "platform/d3d9types.h"

namespace vrxgl {

struct GlFormat {
  GLenum internal = 0;  // sized internal format
  GLenum format = 0;    // client format of upload and read-back (0: compressed)
  GLenum type = 0;
  UINT bytesPerPixel = 0;  // 0 for compressed and depth formats
  bool depth = false;
  bool stencil = false;
  bool compressed = false;
  bool hasAlpha = false;
};

// False for formats this device does not offer. (DXT needs S3TC, which
// every driver this runs on has; the adapter probe checks it.)
bool LookupGlFormat(D3DFORMAT format, GlFormat* out);

// Bytes of one row of `width` pixels (compressed: one row of 4x4 blocks), and
// the number of such rows in a level of `height` pixels.
UINT RowPitch(const GlFormat& f, D3DFORMAT format, UINT width);
UINT RowCount(const GlFormat& f, UINT height);

}  // namespace vrxgl
