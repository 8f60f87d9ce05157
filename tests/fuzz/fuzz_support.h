// Shared pieces of the fuzz harnesses. Each harness writes the fuzzer's bytes
// to the file the game would read and calls exactly what the game calls on
// it, in a scratch directory that also holds the few small images the
// engine loads beside that file (sun, light sprites, smoke).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class cScreen;
class cGround;

namespace vrxfuzz {

// The scratch directory, made at the first call under $TMPDIR (or /tmp) and
// made the current directory; removed when the process ends normally.
const std::string& WorkDir();

// The process's one screen: a small window with a device, opened at the
// first call and kept for the whole run. Exits with a message when there is
// no display.
cScreen* Screen();

// Replaces the file at path (relative to WorkDir) with exactly these bytes.
void WriteInput(const std::string& path, const uint8_t* data, size_t size);
void RemoveFile(const std::string& path);

// A small solid-colour TGA (0xAARRGGBB), for the images files refer to.
void WriteImage(const std::string& path, int width, int height, uint32_t argb);

// Writes a flat track of two road triangles with both gates to
// dir/Test/Test.* (relative to WorkDir) and returns the path cGround takes.
std::string WriteSmallTrack(const std::string& dir);

}  // namespace vrxfuzz
