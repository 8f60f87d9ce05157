// The language file content/lang/en.txt: checked here, copied beside the
// programs as lang.txt by the build (its format is the one the game reads,
// described in README.md). Every string 1 to 53 but 8 must be there, at most
// 63 characters, and fit where the game shows it: captions within their
// button, texts before whatever the screen shows to their right, measured
// with the game's own font widths.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "builders.h"

namespace vrxdata {

// Where a string is shown: a text at relative x with horizontal scale, that
// must end before the relative x `right`; or a caption of a button of that
// relative scale (command-button skin).
struct TextPlace {
  bool caption = false;
  float x = 0, scale = 1, right = 1;  // texts
  float sx = 1, sy = 1;               // captions
};

// The places of strings 1 to 53 (8 is not used).
const std::map<unsigned, TextPlace>& LanguagePlaces();

// Reads "id<TAB>text" lines as the game does (with \t, \n, \\ escapes);
// false with "file:line: what" on any line the game would skip.
bool ReadLanguage(const std::string& path, std::map<unsigned, std::string>* strings);

// Width of a text in cFont's pixels at scale 1: each character advances by its
// cell's shown part, R - 2 * ((R - width) / 2).
float FontTextWidth(const std::vector<uint8_t>& widths, int rowHeight, const std::string& text);

// Checks the strings against their places with the font's widths; prints one
// line for each problem and returns false if there was any.
bool CheckLanguage(const std::map<unsigned, std::string>& strings, const std::vector<uint8_t>& widths,
                   int rowHeight, const std::string& path);

// Checks content/lang/en.txt with DATA/MENU/Font1.dat (built before it).
bool BuildLanguage(const BuildContext& ctx);

}  // namespace vrxdata
