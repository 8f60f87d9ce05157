#include "language.h"

#include <cstdio>
#include <fstream>

#include "font.h"
#include "menu_art.h"

namespace vrxdata {

namespace {

TextPlace Text(float x, float scale, float right) {
  TextPlace p;
  p.x = x;
  p.scale = scale;
  p.right = right;
  return p;
}

TextPlace Caption(float sx, float sy) {
  TextPlace p;
  p.caption = true;
  p.sx = sx;
  p.sy = sy;
  return p;
}

// A caption uses at most this share of its button's width, so that it never
// touches the rounded ends.
constexpr float kCaptionShare = 0.9f;
// cButton's caption buffer holds 31 characters.
constexpr size_t kCaptionChars = 31;
constexpr size_t kStringChars = 63;

}  // namespace

const std::map<unsigned, TextPlace>& LanguagePlaces() {
  // Right edges: the next thing on screen to the right (the switch at 0.47,
  // the key fields and switches at 0.6, the track picture at 0.65, the
  // second column of the credits at 0.7, the lap time at 0.89), else the
  // screen's edge.
  static const std::map<unsigned, TextPlace> places = {
      {1, Caption(0.85f, 0.7f)},   {2, Caption(0.77f, 0.7f)},   {3, Caption(0.72f, 0.7f)},
      {4, Caption(1.0f, 0.8f)},    {5, Caption(1.0f, 0.8f)},    {6, Caption(1.1f, 0.5f)},
      {7, Caption(1.1f, 0.5f)},    {9, Caption(1.1f, 0.5f)},    {10, Caption(1.1f, 0.5f)},
      {11, Text(0.35f, 1, 0.98f)}, {12, Caption(0.79f, 0.4f)},  {13, Caption(0.79f, 0.4f)},
      {14, Text(0.4f, 1, 0.98f)},  {15, Text(0.4f, 1, 0.98f)},  {16, Text(0.3f, 1, 0.69f)},
      {17, Text(0.7f, 1, 0.99f)},  {18, Text(0.3f, 1, 0.69f)},  {19, Text(0.7f, 1, 0.99f)},
      {20, Text(0.3f, 1, 0.69f)},  {21, Text(0.7f, 1, 0.99f)},  {22, Text(0.3f, 1, 0.69f)},
      {23, Text(0.7f, 1, 0.99f)},  {24, Text(0.3f, 1, 0.69f)},  {25, Text(0.7f, 1, 0.99f)},
      {26, Text(0.27f, 1, 0.98f)}, {27, Text(0.77f, 0.7f, 0.885f)}, {28, Text(0.77f, 0.7f, 0.885f)},
      {29, Text(0.3f, 1, 0.64f)},  {30, Text(0.3f, 1, 0.98f)},  {31, Text(0.25f, 1, 0.98f)},
      {32, Text(0.3f, 0.8f, 0.46f)}, {33, Text(0.27f, 1, 0.98f)}, {34, Caption(0.4f, 0.5f)},
      {35, Caption(0.4f, 0.5f)},   {36, Text(0.3f, 0.8f, 0.46f)}, {37, Caption(0.74f, 0.7f)},
      {38, Caption(0.85f, 0.7f)},  {39, Caption(0.77f, 0.7f)},  {40, Text(0.3f, 1, 0.98f)},
      {41, Text(0.32f, 0.7f, 0.59f)}, {42, Text(0.32f, 0.7f, 0.59f)}, {43, Text(0.32f, 0.7f, 0.59f)},
      {44, Text(0.32f, 0.7f, 0.59f)}, {45, Text(0.32f, 0.7f, 0.59f)}, {46, Text(0.32f, 0.7f, 0.59f)},
      {47, Text(0.32f, 0.7f, 0.59f)}, {48, Text(0.35f, 1, 0.98f)}, {49, Text(0.3f, 1, 0.98f)},
      {50, Text(0.3f, 1, 0.98f)},  {51, Text(0.3f, 1, 0.98f)},  {52, Text(0.32f, 0.7f, 0.59f)},
      {53, Text(0.32f, 0.7f, 0.59f)}};
  return places;
}

bool ReadLanguage(const std::string& path, std::map<unsigned, std::string>* strings) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "vrx-data: cannot read %s\n", path.c_str());
    return false;
  }
  bool ok = true;
  std::string line;
  for (int lineNo = 1; std::getline(in, line); ++lineNo) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    size_t i = 0;
    unsigned long id = 0;
    while (i < line.size() && line[i] >= '0' && line[i] <= '9' && id <= 0xFFFF) id = id * 10 + unsigned(line[i++] - '0');
    if (i == 0 || id > 0xFFFF || i >= line.size() || line[i] != '\t') {
      std::fprintf(stderr, "%s:%d: not \"number<TAB>text\"\n", path.c_str(), lineNo);
      ok = false;
      continue;
    }
    std::string text;
    for (size_t k = i + 1; k < line.size(); ++k) {
      if (line[k] == '\\' && k + 1 < line.size() && (line[k + 1] == 't' || line[k + 1] == 'n' || line[k + 1] == '\\')) {
        text += line[k + 1] == 't' ? '\t' : line[k + 1] == 'n' ? '\n' : '\\';
        ++k;
      } else {
        text += line[k];
      }
    }
    if (!strings->emplace(unsigned(id), text).second) {
      std::fprintf(stderr, "%s:%d: string %lu is given twice\n", path.c_str(), lineNo, id);
      ok = false;
    }
  }
  return ok;
}

float FontTextWidth(const std::vector<uint8_t>& widths, int rowHeight, const std::string& text) {
  float w = 0.0f;
  for (unsigned char c : text) {
    const int margin = uint8_t((rowHeight - widths[c]) / 2);
    w += float(rowHeight - 2 * margin);
  }
  return w;
}

bool CheckLanguage(const std::map<unsigned, std::string>& strings, const std::vector<uint8_t>& widths,
                   int rowHeight, const std::string& path) {
  bool ok = true;
  auto fail = [&](unsigned id, const std::string& what) {
    std::fprintf(stderr, "%s: string %u: %s\n", path.c_str(), id, what.c_str());
    ok = false;
  };
  const std::map<unsigned, TextPlace>& places = LanguagePlaces();
  for (const auto& s : strings)
    if (!places.count(s.first)) fail(s.first, "the game has no such string");
  for (const auto& entry : places) {
    const unsigned id = entry.first;
    const TextPlace& place = entry.second;
    auto it = strings.find(id);
    if (it == strings.end() || it->second.empty()) {
      fail(id, "missing");
      continue;
    }
    const std::string& text = it->second;
    if (text.size() > (place.caption ? kCaptionChars : kStringChars)) {
      fail(id, "longer than " + std::to_string(place.caption ? kCaptionChars : kStringChars) + " characters");
      continue;
    }
    bool drawable = true;
    for (unsigned char c : text) drawable = drawable && c >= 0x20 && widths[c] > 0;
    if (!drawable) {
      fail(id, "holds a character the font has no picture of");
      continue;
    }
    const float w = FontTextWidth(widths, rowHeight, text);
    if (place.caption) {
      // cButton scales the caption by R * sy * texel height; on the
      // reference screen it spans w * R * sy * Th * 0.0008 of the button's
      // Tw * sx pixels.
      const float drawn = w * rowHeight * place.sy * kButtonHeight * 0.0008f;
      const float room = kButtonWidth * place.sx * kCaptionShare;
      if (drawn > room) fail(id, "\"" + text + "\" is " + std::to_string(int(drawn)) + " pixels wide, its button holds " + std::to_string(int(room)));
    } else {
      const float drawn = w * place.scale;
      const float room = (place.right - place.x) * 1000.0f;
      if (drawn > room) fail(id, "\"" + text + "\" is " + std::to_string(int(drawn)) + " pixels wide, its place holds " + std::to_string(int(room)));
    }
  }
  return ok;
}

bool BuildLanguage(const BuildContext& ctx) {
  const std::string path = ctx.sourceDir + "/lang/en.txt";
  std::map<unsigned, std::string> strings;
  if (!ReadLanguage(path, &strings)) return false;
  std::vector<uint8_t> widths(256, 0);
  std::ifstream dat(ctx.outDir + "/MENU/Font1.dat", std::ios::binary);
  if (!dat.read(reinterpret_cast<char*>(widths.data()), 256)) {
    std::fprintf(stderr, "vrx-data: the font's widths are built before the language file is checked\n");
    return false;
  }
  return CheckLanguage(strings, widths, kFontCell, path);
}

}  // namespace vrxdata
