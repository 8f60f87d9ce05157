// The D3DX9 helpers the program uses beyond the math and the sprite object
// (platform/d3dx9sprite.h): textures from image files and vertex shader
// "assembly" (GLSL source in this stand-in). Names and values are those of D3DX9.
#pragma once

#include "platform/d3d9.h"
#include "platform/d3dx9math.h"

#define D3DX_DEFAULT ((UINT)-1)
#define D3DX_DEFAULT_NONPOW2 ((UINT)-2)
#define D3DX_FROM_FILE ((UINT)-3)
#define D3DFMT_FROM_FILE ((D3DFORMAT)-3)

#define D3DX_FILTER_NONE (1 << 0)
#define D3DX_FILTER_POINT (2 << 0)
#define D3DX_FILTER_LINEAR (3 << 0)
#define D3DX_FILTER_TRIANGLE (4 << 0)
#define D3DX_FILTER_BOX (5 << 0)
#define D3DX_FILTER_DITHER (1 << 19)

#define D3DXERR_INVALIDDATA ((HRESULT)0x88760B59u)

#ifndef PALETTEENTRY_DEFINED
#define PALETTEENTRY_DEFINED
struct PALETTEENTRY {
  BYTE peRed;
  BYTE peGreen;
  BYTE peBlue;
  BYTE peFlags;
};
#endif

// ---------------------------------------------------------------------------
// Textures from TGA, BMP and DDS files

// The file's description without making a texture.
HRESULT D3DXGetImageInfoFromFileA(LPCSTR pSrcFile, D3DXIMAGE_INFO* pSrcInfo);

// Size: 0 or D3DX_DEFAULT rounds the file's size up to powers of two,
// D3DX_DEFAULT_NONPOW2 (or D3DX_FROM_FILE) keeps it, anything else resizes.
// MipLevels: 0 or D3DX_DEFAULT a full chain, D3DX_FROM_FILE the file's levels;
// a compressed (DXT) picture kept in its format has at most the file's levels.
// Format: D3DFMT_UNKNOWN / D3DFMT_FROM_FILE take the file's, with alpha added
// when a colour key is given. ColorKey: pixels of this A8R8G8B8 value become
// transparent black; 0 for none. A file that cannot be read gives
// D3DXERR_INVALIDDATA, a null texture and one line on stderr.
HRESULT D3DXCreateTextureFromFileExA(IDirect3DDevice9* pDevice, LPCSTR pSrcFile, UINT Width, UINT Height,
                                     UINT MipLevels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool, DWORD Filter,
                                     DWORD MipFilter, D3DCOLOR ColorKey, D3DXIMAGE_INFO* pSrcInfo,
                                     PALETTEENTRY* pPalette, IDirect3DTexture9** ppTexture);
// Power-of-two size, full chain, the file's format, managed pool, no key.
HRESULT D3DXCreateTextureFromFileA(IDirect3DDevice9* pDevice, LPCSTR pSrcFile, IDirect3DTexture9** ppTexture);

// ---------------------------------------------------------------------------
// Vertex shaders

struct ID3DXBuffer : public IUnknown {
  virtual void* GetBufferPointer() = 0;
  virtual DWORD GetBufferSize() = 0;
};
typedef ID3DXBuffer* LPD3DXBUFFER;

HRESULT D3DXCreateBuffer(DWORD NumBytes, ID3DXBuffer** ppBuffer);

struct D3DXMACRO {
  LPCSTR Name;
  LPCSTR Definition;
};
struct ID3DXInclude;
typedef ID3DXInclude* LPD3DXINCLUDE;

// Reads a vertex shader source file. The source is GLSL for this device:
// a vertex shader in the compatibility profile that reads gl_Vertex,
// gl_Normal, gl_Color and gl_MultiTexCoord0/1, writes gl_Position in
// Direct3D clip space (depth 0..w, y up) and the fixed-function outputs it
// needs (gl_FrontColor, gl_TexCoord[], gl_FogFragCoord), and finds the
// constant registers in `uniform vec4 c[96]`, which the device declares.
// The buffer holds the NUL-terminated text for CreateVertexShader. Defines,
// include handler and flags are not supported and must be null / 0.
HRESULT D3DXAssembleShaderFromFileA(LPCSTR pSrcFile, const D3DXMACRO* pDefines, LPD3DXINCLUDE pInclude,
                                    DWORD Flags, LPD3DXBUFFER* ppShader, LPD3DXBUFFER* ppErrorMsgs);
