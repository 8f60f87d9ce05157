// The one way the game and the engine open files. Names are written
// Windows-style ("DATA\Menu\Menu.bmp"): backslashes become slashes, and each
// path component is matched case-insensitively when the exact name is absent,
// so the data may be laid out in any letter case.
#pragma once

#include <cstdio>
#include <string>

namespace vrx {

// The path on disk for a Windows-style name. Components found neither exactly
// nor case-insensitively are kept as given, so a file about to be created
// lands in the existing directories under the name the caller chose. Among
// several case-insensitive matches the byte-wise smallest name wins.
std::string ResolvePath(const char* path);

// fopen of the resolved path; null without a word when it cannot be opened.
FILE* OpenFile(const char* path, const char* mode);
// The same for files whose absence is a fault: a failure also prints
// "vrx: cannot open <resolved path>: <reason>" on stderr.
FILE* OpenFileReported(const char* path, const char* mode);

// The directory of our executable (no trailing slash), or the directory a
// test set with vrxtesting::SetProgramDir.
std::string ProgramDir();

}  // namespace vrx
