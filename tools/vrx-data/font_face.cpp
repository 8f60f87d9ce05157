#include "font_face.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cmath>
#include <cstdio>
#include <cstring>

namespace vrxdata {

struct FontFace::Impl {
  FT_Library lib = nullptr;
  FT_Face face = nullptr;
  ~Impl() {
    if (face) FT_Done_Face(face);
    if (lib) FT_Done_FreeType(lib);
  }
};

namespace {

// fontconfig's file for a family in a style, or "" unless the match really
// is that family.
std::string MatchFile(const std::string& family, bool bold, bool italic, int* index) {
  if (!FcInit()) return "";
  FcPattern* pattern = FcPatternCreate();
  if (!pattern) return "";
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcPatternDestroy(pattern);
  std::string file;
  if (match) {
    FcChar8* got = nullptr;
    FcChar8* path = nullptr;
    int weight = 0, slant = 0;
    const bool sameFamily = FcPatternGetString(match, FC_FAMILY, 0, &got) == FcResultMatch && got &&
                            strcasecmp(reinterpret_cast<char*>(got), family.c_str()) == 0;
    FcPatternGetInteger(match, FC_WEIGHT, 0, &weight);
    FcPatternGetInteger(match, FC_SLANT, 0, &slant);
    const bool sameStyle = (weight >= FC_WEIGHT_BOLD) == bold && (slant != FC_SLANT_ROMAN) == italic;
    if (sameFamily && sameStyle && FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch && path)
      file = reinterpret_cast<char*>(path);
    if (FcPatternGetInteger(match, FC_INDEX, 0, index) != FcResultMatch) *index = 0;
    FcPatternDestroy(match);
  }
  return file;
}

// Windows-1252 bytes 0x80..0x9F.
const uint16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

}  // namespace

FontFace::~FontFace() = default;

std::unique_ptr<FontFace> FontFace::Open(const std::vector<std::string>& families, bool bold,
                                         bool italic) {
  for (const std::string& family : families) {
    int index = 0;
    const std::string path = MatchFile(family, bold, italic, &index);
    if (path.empty()) continue;
    std::unique_ptr<FontFace> f(new FontFace);
    f->impl.reset(new Impl);
    if (FT_Init_FreeType(&f->impl->lib) != 0) break;
    if (FT_New_Face(f->impl->lib, path.c_str(), index, &f->impl->face) != 0) continue;
    if (!FT_IS_SCALABLE(f->impl->face) || FT_Select_Charmap(f->impl->face, FT_ENCODING_UNICODE) != 0)
      continue;
    f->file = path;
    f->SetPixelSize(16);
    return f;
  }
  std::string names;
  for (const std::string& family : families) names += (names.empty() ? "" : ", ") + family;
  std::fprintf(stderr, "vrx-data: no %s%s font of the families %s is installed\n", bold ? "bold " : "",
               italic ? "italic " : "", names.c_str());
  return nullptr;
}

std::unique_ptr<FontFace> FontFace::OpenSans(bool bold, bool italic) {
  return Open({"Liberation Sans", "DejaVu Sans"}, bold, italic);
}

void FontFace::SetPixelSize(float px) {
  FT_Set_Char_Size(impl->face, 0, FT_F26Dot6(std::lround(px * 64.0f)), 72, 72);
}

uint32_t FontFace::CodePoint(uint8_t byte) {
  if (byte < 0x20 || byte == 0x7F) return 0;
  if (byte >= 0x80 && byte < 0xA0) return kCp1252High[byte - 0x80];
  return byte;
}

bool FontFace::HasGlyph(uint32_t codePoint) const {
  return codePoint != 0 && FT_Get_Char_Index(impl->face, codePoint) != 0;
}

float FontFace::Advance(uint32_t codePoint) {
  if (!HasGlyph(codePoint) || FT_Load_Char(impl->face, codePoint, FT_LOAD_NO_HINTING) != 0) return 0.0f;
  return impl->face->glyph->linearHoriAdvance / 65536.0f;
}

float FontFace::TextWidth(const std::string& text) {
  float w = 0.0f;
  for (unsigned char ch : text) w += Advance(CodePoint(ch));
  return w;
}

float FontFace::Ascent() const { return impl->face->size->metrics.ascender / 64.0f; }
float FontFace::Descent() const { return -impl->face->size->metrics.descender / 64.0f; }

FontFace::Extent FontFace::GlyphExtent(uint32_t codePoint, bool hinted) {
  Extent e;
  const FT_Int32 flags = FT_LOAD_RENDER | (hinted ? FT_LOAD_TARGET_LIGHT : FT_LOAD_NO_HINTING);
  FT_Set_Transform(impl->face, nullptr, nullptr);
  if (!HasGlyph(codePoint) || FT_Load_Char(impl->face, codePoint, flags) != 0) return e;
  const FT_GlyphSlot g = impl->face->glyph;
  e.left = g->bitmap_left;
  e.right = g->bitmap_left + int(g->bitmap.width);
  e.top = g->bitmap_top;
  e.bottom = int(g->bitmap.rows) - g->bitmap_top;
  return e;
}

void FontFace::DrawGlyph(Mask* mask, float x, float y, uint32_t codePoint, bool hinted) {
  if (!HasGlyph(codePoint)) return;
  // The fractional part of the pen goes into the outline; the bitmap lands on whole pixels.
  const float fx = std::floor(x), fy = std::floor(y);
  FT_Vector delta{FT_Pos(std::lround((x - fx) * 64.0f)), FT_Pos(-std::lround((y - fy) * 64.0f))};
  FT_Set_Transform(impl->face, nullptr, &delta);
  const FT_Int32 flags = FT_LOAD_RENDER | (hinted ? FT_LOAD_TARGET_LIGHT : FT_LOAD_NO_HINTING);
  if (FT_Load_Char(impl->face, codePoint, flags) != 0) return;
  const FT_GlyphSlot g = impl->face->glyph;
  const FT_Bitmap& bm = g->bitmap;
  if (bm.pixel_mode != FT_PIXEL_MODE_GRAY) return;
  const int ox = int(fx) + g->bitmap_left, oy = int(fy) - g->bitmap_top;
  for (unsigned row = 0; row < bm.rows; ++row) {
    for (unsigned col = 0; col < bm.width; ++col) {
      const int mx = ox + int(col), my = oy + int(row);
      if (mx < 0 || my < 0 || mx >= mask->width || my >= mask->height) continue;
      const float k = bm.buffer[row * bm.pitch + col] / 255.0f;
      float& v = mask->ref(mx, my);
      v = std::min(1.0f, v + k);
    }
  }
  FT_Set_Transform(impl->face, nullptr, nullptr);
}

float FontFace::DrawText(Mask* mask, float x, float y, const std::string& text, bool hinted) {
  for (unsigned char ch : text) {
    const uint32_t cp = CodePoint(ch);
    DrawGlyph(mask, x, y, cp, hinted);
    x += Advance(cp);
  }
  return x;
}

}  // namespace vrxdata
