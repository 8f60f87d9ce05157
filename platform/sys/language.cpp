// The language string table: a text file read in place of the Windows
// resource library. One string a line: the decimal id, one tab, the text.
// Lines starting with '#' and empty lines are skipped; in the text, \t, \n
// and \\ stand for a tab, a line break and a backslash. Bytes pass through
// unchanged, so the file may be UTF-8 or a single-byte code page.
#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/win32.h"

struct HINSTANCE__ {
  std::map<UINT, std::string> strings;
};

namespace {

// Windows names of our libraries and the files that stand in for them.
struct LibraryName {
  const char* windows;
  const char* here;
};
const LibraryName kLibraries[] = {
    {"Lang.dll", "lang.txt"},
};

std::vector<std::unique_ptr<HINSTANCE__>> g_modules;

bool IsModule(HINSTANCE h) {
  if (!h) return false;
  for (const auto& m : g_modules)
    if (m.get() == h) return true;
  return false;
}

std::string Unescape(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size()) {
      const char n = s[i + 1];
      if (n == 't' || n == 'n' || n == '\\') {
        out += n == 't' ? '\t' : n == 'n' ? '\n' : '\\';
        ++i;
        continue;
      }
    }
    out += s[i];
  }
  return out;
}

// Reads "id<TAB>text"; false for anything else.
bool ParseLine(const std::string& line, UINT* id, std::string* text) {
  size_t i = 0;
  unsigned long value = 0;
  while (i < line.size() && line[i] >= '0' && line[i] <= '9' && value <= 0xFFFF) {
    value = value * 10 + static_cast<unsigned long>(line[i] - '0');
    ++i;
  }
  if (i == 0 || value > 0xFFFF || i >= line.size() || line[i] != '\t') return false;
  *id = static_cast<UINT>(value);
  *text = Unescape(line.substr(i + 1));
  return true;
}

std::string ReadAll(FILE* f) {
  std::string data;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof(buf), f)) > 0) data.append(buf, n);
  return data;
}

}  // namespace

HMODULE LoadLibraryA(LPCSTR fileName) {
  if (!fileName || !*fileName) return nullptr;
  std::string name = fileName;
  for (const LibraryName& l : kLibraries)
    if (strcasecmp(l.windows, fileName) == 0) name = l.here;
  if (name.find_first_of("/\\") == std::string::npos) name = vrx::ProgramDir() + "/" + name;
  FILE* f = vrx::OpenFileReported(name.c_str(), "rb");
  if (!f) return nullptr;
  const std::string data = ReadAll(f);
  std::fclose(f);
  const std::string shown = vrx::ResolvePath(name.c_str());

  auto module = std::make_unique<HINSTANCE__>();
  // A broken file (or one that is not a string table at all) gets one line on
  // stderr: the first problem, and how many lines had one.
  std::string firstProblem;
  int problems = 0;
  char what[128];
  size_t pos = 0;
  for (int lineNo = 1; pos < data.size(); ++lineNo) {
    size_t end = data.find('\n', pos);
    if (end == std::string::npos) end = data.size();
    std::string line = data.substr(pos, end - pos);
    pos = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    UINT id;
    std::string text;
    what[0] = 0;
    if (!ParseLine(line, &id, &text)) {
      std::snprintf(what, sizeof(what), "%d: not \"number<TAB>text\", line skipped", lineNo);
    } else {
      if (module->strings.count(id))
        std::snprintf(what, sizeof(what), "%d: string %u given again, this text is used", lineNo, id);
      module->strings[id] = text;
    }
    if (what[0] && problems++ == 0) firstProblem = what;
  }
  if (problems == 1)
    std::fprintf(stderr, "vrx: %s:%s\n", shown.c_str(), firstProblem.c_str());
  else if (problems > 1)
    std::fprintf(stderr, "vrx: %s:%s (%d lines with problems)\n", shown.c_str(), firstProblem.c_str(), problems);
  else if (module->strings.empty())
    std::fprintf(stderr, "vrx: %s holds no strings; every text stays empty\n", shown.c_str());
  g_modules.push_back(std::move(module));
  return g_modules.back().get();
}

BOOL FreeLibrary(HMODULE module) {
  for (auto it = g_modules.begin(); it != g_modules.end(); ++it) {
    if (it->get() != module) continue;
    g_modules.erase(it);
    return TRUE;
  }
  return FALSE;
}

int LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int bufferMax) {
  if (!buffer || bufferMax <= 0) return 0;
  buffer[0] = 0;
  if (!IsModule(instance)) return 0;
  const auto it = instance->strings.find(id);
  if (it == instance->strings.end()) return 0;
  const size_t n = std::min(it->second.size(), static_cast<size_t>(bufferMax - 1));
  std::memcpy(buffer, it->second.data(), n);
  buffer[n] = 0;
  return static_cast<int>(n);
}
