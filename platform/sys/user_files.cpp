// The one place that decides where the player's files live (user_files.h).
#include "platform/user_files.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/files.h"

namespace vrx {

namespace {

// The file `make install` leaves beside an installed game.
const char kInstalledMarker[] = "installed";

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home && home[0] == '/') return home;
  if (const passwd* pw = getpwuid(geteuid()))
    if (pw->pw_dir && pw->pw_dir[0] == '/') return pw->pw_dir;
  return "/tmp";
}

// An XDG base folder: the variable when it holds an absolute path (the
// XDG base directory rules ignore relative ones), else HOME/fallback.
std::string XdgFolder(const char* variable, const char* fallback) {
  const char* v = std::getenv(variable);
  if (v && v[0] == '/') return v;
  return HomeFolder() + "/" + fallback;
}

// The name as a relative path with slashes, or empty when it is absolute or
// climbs out of the program's folder (such a name is not ours to move).
std::string RelativeName(const char* name) {
  std::string rel = name ? name : "";
  for (char& c : rel)
    if (c == '\\') c = '/';
  if (rel.empty() || rel[0] == '/') return {};
  size_t start = 0;
  std::string cleaned;
  while (start <= rel.size()) {
    size_t end = rel.find('/', start);
    if (end == std::string::npos) end = rel.size();
    const std::string part = rel.substr(start, end - start);
    if (part == "..") return {};
    if (!part.empty() && part != ".") cleaned += (cleaned.empty() ? "" : "/") + part;
    start = end + 1;
  }
  return cleaned;
}

bool Exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

// Makes every missing folder of `dir`, new ones with mode 0700.
bool MakeFolders(const std::string& dir) {
  for (size_t i = 1; i <= dir.size(); ++i) {
    if (i < dir.size() && dir[i] != '/') continue;
    const std::string part = dir.substr(0, i);
    if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
      std::fprintf(stderr, "vrx: cannot create the folder %s: %s\n", part.c_str(), std::strerror(errno));
      return false;
    }
  }
  return true;
}

std::string PlayerCopy(const std::string& rel, PlayerFile kind) {
  return ResolvePath((PlayerFolder(kind) + "/" + rel).c_str());
}

}  // namespace

bool PlayerFilesBesideProgram() {
  const std::string dir = ProgramDir();
  return access(dir.c_str(), W_OK) == 0 && !Exists(dir + "/" + kInstalledMarker);
}

std::string PlayerFolder(PlayerFile kind) {
  return kind == PlayerFile::kSettings ? XdgFolder("XDG_CONFIG_HOME", ".config") + "/vrx"
                                       : XdgFolder("XDG_DATA_HOME", ".local/share") + "/vrx";
}

std::string PlayerFileToRead(const char* name, PlayerFile kind) {
  const std::string rel = RelativeName(name);
  if (!rel.empty() && !PlayerFilesBesideProgram()) {
    const std::string own = PlayerCopy(rel, kind);
    if (Exists(own)) return own;
  }
  return ResolvePath(name ? name : "");
}

std::string PlayerFileToWrite(const char* name, PlayerFile kind) {
  const std::string rel = RelativeName(name);
  if (rel.empty() || PlayerFilesBesideProgram()) return ResolvePath(name ? name : "");
  const std::string own = PlayerCopy(rel, kind);
  MakeFolders(own.substr(0, own.rfind('/')));
  return own;
}

std::string PicturesFolder() {
  std::string dir;
  if (const char* v = std::getenv("XDG_PICTURES_DIR"); v && v[0] == '/') dir = v;
  if (dir.empty()) {
    // user-dirs.dirs holds lines like XDG_PICTURES_DIR="$HOME/Pictures".
    const std::string file = XdgFolder("XDG_CONFIG_HOME", ".config") + "/user-dirs.dirs";
    if (FILE* f = std::fopen(file.c_str(), "r")) {
      char line[1024];
      while (std::fgets(line, sizeof line, f)) {
        const char key[] = "XDG_PICTURES_DIR=\"";
        if (std::strncmp(line, key, sizeof key - 1) != 0) continue;
        std::string value(line + sizeof key - 1);
        const size_t quote = value.find('"');
        if (quote == std::string::npos) continue;
        value.resize(quote);
        if (value.compare(0, 5, "$HOME") == 0)
          value = HomeFolder() + value.substr(5);
        if (!value.empty() && value[0] == '/') dir = value;
      }
      std::fclose(f);
    }
  }
  if (dir.empty()) dir = HomeFolder() + "/Pictures";
  return dir + "/vrx";
}

}  // namespace vrx
