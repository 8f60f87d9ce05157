// The GDI text drawing the game uses to paint the player's name onto the
// number-plate texture: a logical font, a device context on a texture
// surface, and DrawTextA. Names and numeric values are those of Win32.
//
// Implemented on FreeType, with the face found through fontconfig ("Arial"
// becomes a sans font with Arial's metrics where one is installed, else
// DejaVu Sans). Behaviour the callers rely on:
// - A device context starts as GDI's does: the stock SYSTEM_FONT selected,
//   black text, an opaque white background behind the text.
// - Text bytes are Windows-1252 characters; a character the face lacks
//   draws nothing and takes no room.
// - DrawTextA lays the text out on one line and clips it to the rectangle
//   (unless DT_NOCLIP); it does not interpret '&' prefixes.
// - When no font can be found at all, text draws nothing and one line on
//   stderr says so.
#pragma once

#include "platform/types.h"

typedef DWORD COLORREF;

#define LF_FACESIZE 32

struct LOGFONTA {
  LONG lfHeight;  // < 0: character (em) height in pixels; > 0: cell height; 0: default
  LONG lfWidth;
  LONG lfEscapement;
  LONG lfOrientation;
  LONG lfWeight;
  BYTE lfItalic;
  BYTE lfUnderline;
  BYTE lfStrikeOut;
  BYTE lfCharSet;
  BYTE lfOutPrecision;
  BYTE lfClipPrecision;
  BYTE lfQuality;
  BYTE lfPitchAndFamily;
  CHAR lfFaceName[LF_FACESIZE];
};
typedef LOGFONTA LOGFONT;
static_assert(sizeof(LOGFONTA) == 60, "LOGFONTA has the Win32 layout");

#define ANSI_CHARSET 0
#define DEFAULT_CHARSET 1

#define FW_DONTCARE 0
#define FW_NORMAL 400
#define FW_BOLD 700

#define SYSTEM_FONT 13

#define DT_TOP 0x00000000
#define DT_LEFT 0x00000000
#define DT_CENTER 0x00000001
#define DT_RIGHT 0x00000002
#define DT_VCENTER 0x00000004
#define DT_BOTTOM 0x00000008
#define DT_SINGLELINE 0x00000020
#define DT_NOCLIP 0x00000100

// A new logical font (its face is looked up when text is first drawn with
// it). Null only for a null argument.
HFONT CreateFontIndirectA(const LOGFONTA* lf);
#define CreateFontIndirect CreateFontIndirectA

// Stock objects are never deleted. Only SYSTEM_FONT is provided; other
// numbers give null.
HGDIOBJ GetStockObject(int i);

// Selects a font into the context and returns the one it replaces; null
// (nothing changed) for an unknown context or object.
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);

// Deletes a font. FALSE for stock objects, unknown handles and fonts still
// selected into a context (as in GDI, those must be selected out first).
BOOL DeleteObject(HGDIOBJ object);

// Draws `count` bytes of `text` (-1: up to its NUL) into `rect` of the
// context, placed by DT_LEFT / DT_CENTER / DT_RIGHT and DT_TOP / DT_VCENTER /
// DT_BOTTOM. Returns the height of the line, or with DT_VCENTER or DT_BOTTOM
// the distance from rect->top to the line's bottom; 0 when nothing could be
// drawn (no context, no text, no font).
int DrawTextA(HDC dc, LPCSTR text, int count, RECT* rect, UINT format);
#define DrawText DrawTextA

// ---------------------------------------------------------------------------
// Beyond Win32: GDI drawing on a Direct3D surface (IDirect3DSurface9::GetDC
// and ReleaseDC in Direct3D). The surface stays locked while the context
// exists. Formats: A8R8G8B8, X8R8G8B8, R5G6B5, A4R4G4B4, A1R5G5B5, X1R5G5B5;
// pixels that GDI paints become opaque, the others keep their alpha.

struct IDirect3DSurface9;

// D3D_OK with *dc set, or D3DERR_INVALIDCALL (compressed or unknown format,
// surface already locked) with *dc null.
HRESULT VrxSurfaceGetDC(IDirect3DSurface9* surface, HDC* dc);
// Writes the drawing into the surface, unlocks it and frees the context.
HRESULT VrxSurfaceReleaseDC(IDirect3DSurface9* surface, HDC dc);
