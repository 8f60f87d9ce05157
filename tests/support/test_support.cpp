#include "test_support.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace vrxtest {

std::string MakeTempDir(const std::string& name) {
  const char* base = std::getenv("VRX_TEST_TMP");
  fs::path dir = base ? fs::path(base) : fs::temp_directory_path() / "vrx-tests";
  dir /= name;
  std::error_code ec;
  fs::remove_all(dir, ec);
  fs::create_directories(dir);
  return dir.string();
}

bool WriteFile(const std::string& path, const void* data, size_t size) {
  std::error_code ec;
  fs::path p(path);
  if (p.has_parent_path()) fs::create_directories(p.parent_path(), ec);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
  return static_cast<bool>(out);
}

bool WriteTextFile(const std::string& path, const std::string& text) {
  return WriteFile(path, text.data(), text.size());
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace vrxtest
