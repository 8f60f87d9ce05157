// Small helpers shared by the test programs.
#pragma once

#include <string>

// Whether this program runs under AddressSanitizer (the sanitizer build),
// where everything takes a few times longer and the sanitizer's allocator
// must not be replaced.
#if defined(__SANITIZE_ADDRESS__)
#define VRX_TEST_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VRX_TEST_UNDER_ASAN 1
#endif
#endif
#ifndef VRX_TEST_UNDER_ASAN
#define VRX_TEST_UNDER_ASAN 0
#endif

namespace vrxtest {

// How many times longer real-time waits for a program should be here.
constexpr int kSlowdown = VRX_TEST_UNDER_ASAN ? 4 : 1;

// A fresh, empty directory for one test's files, below the build tree
// (VRX_TEST_TMP, set by ctest) or the system temporary directory.
std::string MakeTempDir(const std::string& name);

// Writes bytes to a file, creating parent directories; returns false on failure.
bool WriteFile(const std::string& path, const void* data, size_t size);
bool WriteTextFile(const std::string& path, const std::string& text);

// Reads a whole file; empty when it cannot be opened.
std::string ReadFile(const std::string& path);

// Makes dir/DATA show the DATA folder `from` (the build's) through links,
// except that every track folder is a real folder of its own holding a copy
// of the track's BestTime.dat: the records a test sets stay in dir, and the
// build's DATA is never written. False when anything could not be made.
bool LinkDataKeepingRecords(const std::string& from, const std::string& dir);

}  // namespace vrxtest
