// Small helpers shared by the test programs.
#pragma once

#include <string>

namespace vrxtest {

// A fresh, empty directory for one test's files, below the build tree
// (VRX_TEST_TMP, set by ctest) or the system temporary directory.
std::string MakeTempDir(const std::string& name);

// Writes bytes to a file, creating parent directories; returns false on failure.
bool WriteFile(const std::string& path, const void* data, size_t size);
bool WriteTextFile(const std::string& path, const std::string& text);

// Reads a whole file; empty when it cannot be opened.
std::string ReadFile(const std::string& path);

}  // namespace vrxtest
