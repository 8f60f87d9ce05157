// Fonts of the GDI stand-in: fontconfig finds the file for a logical font,
// FreeType sizes it with GDI's height rules and renders the characters.
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <cmath>
#include <cstdio>
#include <string>

#include "sys/gdi_dc.h"

namespace vrxgdi {
namespace {

// GDI's size when a logical font asks for height 0.
constexpr LONG kDefaultCellHeight = 16;

FT_Library Library() {
  static FT_Library lib = [] {
    FT_Library l = nullptr;
    if (FT_Init_FreeType(&l) != 0) l = nullptr;
    return l;
  }();
  return lib;
}

// The font file fontconfig picks for a family, or "" when it has none.
std::string MatchFile(const char* family, const LOGFONTA& lf, int* index) {
  FcPattern* pattern = FcPatternCreate();
  if (!pattern) return "";
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
  if (lf.lfWeight >= 600) FcPatternAddInteger(pattern, FC_WEIGHT, FC_WEIGHT_BOLD);
  if (lf.lfItalic) FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ITALIC);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcPatternDestroy(pattern);
  std::string file;
  if (match) {
    FcChar8* path = nullptr;
    if (FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch && path) file = reinterpret_cast<char*>(path);
    if (FcPatternGetInteger(match, FC_INDEX, 0, index) != FcResultMatch) *index = 0;
    FcPatternDestroy(match);
  }
  return file;
}

FT_Face OpenFace(const char* family, const LOGFONTA& lf) {
  FT_Library lib = Library();
  if (!lib) return nullptr;
  int index = 0;
  std::string file = MatchFile(family, lf, &index);
  if (file.empty()) return nullptr;
  FT_Face face = nullptr;
  if (FT_New_Face(lib, file.c_str(), index, &face) != 0) return nullptr;
  if (!FT_IS_SCALABLE(face) || FT_Select_Charmap(face, FT_ENCODING_UNICODE) != 0) {
    FT_Done_Face(face);
    return nullptr;
  }
  return face;
}

// Windows-1252 bytes 0x80..0x9F; 0 where the code page has no character.
const uint16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

uint32_t CodePoint(uint8_t ch) { return (ch >= 0x80 && ch < 0xA0) ? kCp1252High[ch - 0x80] : ch; }

}  // namespace

struct FontFace::Impl {
  FT_Face face = nullptr;
};

FontFace::~FontFace() {
  if (impl_ && impl_->face) FT_Done_Face(impl_->face);
}

std::unique_ptr<FontFace> FontFace::Open(const LOGFONTA& lf) {
  char family[LF_FACESIZE + 1] = {};
  for (int i = 0; i < LF_FACESIZE && lf.lfFaceName[i]; ++i) family[i] = lf.lfFaceName[i];
  FT_Face face = OpenFace(family[0] ? family : "sans-serif", lf);
  if (!face) face = OpenFace("DejaVu Sans", lf);
  if (!face) {
    static bool told = false;
    if (!told) {
      std::fprintf(stderr, "vrx: no font found for \"%s\"; text is not drawn\n", family[0] ? family : "sans-serif");
      told = true;
    }
    return nullptr;
  }

  // GDI's cell is the Windows ascent plus descent; a negative height names
  // the em size instead.
  double upem = face->units_per_EM ? face->units_per_EM : 2048;
  double winAscent = face->ascender, winDescent = -face->descender;
  if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2))) {
    if (os2->usWinAscent + os2->usWinDescent > 0) {
      winAscent = os2->usWinAscent;
      winDescent = os2->usWinDescent;
    }
  }
  LONG height = lf.lfHeight ? lf.lfHeight : kDefaultCellHeight;
  double em = height < 0 ? -static_cast<double>(height) : height * upem / (winAscent + winDescent);
  if (FT_Set_Char_Size(face, 0, static_cast<FT_F26Dot6>(std::lround(em * 64)), 72, 72) != 0) {
    FT_Done_Face(face);
    return nullptr;
  }
  std::unique_ptr<FontFace> f(new FontFace());
  f->impl_.reset(new Impl());
  f->impl_->face = face;
  f->ascent_ = static_cast<int>(std::lround(winAscent * em / upem));
  f->descent_ = static_cast<int>(std::lround(winDescent * em / upem));
  return f;
}

bool FontFace::Render(uint8_t ch, Glyph* out) {
  FT_Face face = impl_->face;
  uint32_t cp = CodePoint(ch);
  FT_UInt index = cp ? FT_Get_Char_Index(face, cp) : 0;
  if (index == 0) return false;
  if (FT_Load_Glyph(face, index, FT_LOAD_DEFAULT) != 0) return false;
  if (FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) != 0) return false;
  const FT_GlyphSlot g = face->glyph;
  const FT_Bitmap& bm = g->bitmap;
  if (bm.pixel_mode != FT_PIXEL_MODE_GRAY || bm.pitch < 0) return false;
  out->advance = static_cast<int>((g->advance.x + 32) >> 6);
  out->left = g->bitmap_left;
  out->top = g->bitmap_top;
  out->width = static_cast<int>(bm.width);
  out->rows = static_cast<int>(bm.rows);
  out->pitch = bm.pitch;
  out->coverage = bm.buffer;
  return true;
}

}  // namespace vrxgdi
