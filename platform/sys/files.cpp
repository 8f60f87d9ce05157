// Windows-style names onto the Linux file system.
#include "platform/files.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace vrx {
namespace {

bool Exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

std::string Join(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  if (dir.back() == '/') return dir + name;
  return dir + '/' + name;
}

// The entry of dir that equals name ignoring ASCII case; empty when none.
std::string FindIgnoringCase(const std::string& dir, const std::string& name) {
  DIR* d = opendir(dir.empty() ? "." : dir.c_str());
  if (!d) return {};
  std::string best;
  while (const dirent* e = readdir(d)) {
    if (strcasecmp(e->d_name, name.c_str()) != 0) continue;
    if (best.empty() || std::strcmp(e->d_name, best.c_str()) < 0) best = e->d_name;
  }
  closedir(d);
  return best;
}

}  // namespace

std::string ResolvePath(const char* path) {
  if (!path) return {};
  std::string p(path);
  for (char& c : p)
    if (c == '\\') c = '/';
  std::string result;
  size_t i = 0;
  if (!p.empty() && p[0] == '/') {
    result = "/";
    while (i < p.size() && p[i] == '/') ++i;
  }
  bool searching = true;
  while (i < p.size()) {
    size_t end = p.find('/', i);
    if (end == std::string::npos) end = p.size();
    const std::string comp = p.substr(i, end - i);
    i = end;
    while (i < p.size() && p[i] == '/') ++i;
    if (comp.empty()) continue;
    const std::string exact = Join(result, comp);
    if (!searching || comp == "." || comp == ".." || Exists(exact)) {
      result = exact;
      continue;
    }
    const std::string found = FindIgnoringCase(result, comp);
    if (found.empty()) {
      // Nothing below a missing component can exist: keep the rest as given.
      searching = false;
      result = exact;
    } else {
      result = Join(result, found);
    }
  }
  if (!p.empty() && p.back() == '/' && !result.empty() && result.back() != '/') result += '/';
  return result;
}

FILE* OpenFile(const char* path, const char* mode) {
  if (!path || !mode) {
    errno = EINVAL;
    return nullptr;
  }
  return std::fopen(ResolvePath(path).c_str(), mode);
}

FILE* OpenFileReported(const char* path, const char* mode) {
  FILE* f = OpenFile(path, mode);
  if (!f) {
    const int err = errno;
    std::fprintf(stderr, "vrx: cannot open %s: %s\n", path ? ResolvePath(path).c_str() : "(null)",
                 std::strerror(err));
  }
  return f;
}

}  // namespace vrx
