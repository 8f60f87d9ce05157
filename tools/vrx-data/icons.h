// The desktop's icons of the game, made from its logo: square PNGs in the
// hicolor theme's sizes, the logo centred on a transparent square.
#pragma once

#include <string>
#include <vector>

namespace vrxdata {

// The sizes written, in pixels.
const std::vector<int>& IconSizes();

// Reads the logo (a TGA with alpha) and writes <outDir>/<N>x<N>/apps/<name>.png
// for every size. False with *error set when the logo cannot be read or a
// file cannot be written.
bool BuildIcons(const std::string& logoTga, const std::string& outDir, const std::string& name,
                std::string* error);

}  // namespace vrxdata
