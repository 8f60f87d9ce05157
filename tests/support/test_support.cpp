#include "test_support.h"

#include <strings.h>

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

bool LinkDataKeepingRecords(const std::string& from, const std::string& dir) {
  std::error_code ec;
  const fs::path data = fs::path(dir) / "DATA";
  fs::create_directories(data, ec);
  if (ec) return false;
  for (const fs::directory_entry& e : fs::directory_iterator(from, ec)) {
    const fs::path name = e.path().filename();
    if (strcasecmp(name.c_str(), "TRACKS") != 0 || !e.is_directory()) {
      fs::create_symlink(e.path(), data / name, ec);
      if (ec) return false;
      continue;
    }
    for (const fs::directory_entry& track : fs::directory_iterator(e.path(), ec)) {
      const fs::path own = data / name / track.path().filename();
      if (!track.is_directory()) {
        fs::create_directories(own.parent_path(), ec);
        fs::create_symlink(track.path(), own, ec);
        if (ec) return false;
        continue;
      }
      fs::create_directories(own, ec);
      for (const fs::directory_entry& f : fs::directory_iterator(track.path(), ec)) {
        const fs::path target = own / f.path().filename();
        if (strcasecmp(f.path().filename().c_str(), "BestTime.dat") == 0)
          fs::copy_file(f.path(), target, ec);
        else
          fs::create_symlink(f.path(), target, ec);
        if (ec) return false;
      }
    }
    if (ec) return false;
  }
  return !ec;
}

}  // namespace vrxtest
