// Shell path helpers with Windows semantics; '\' and '/' both separate.
#include <cctype>
#include <cstring>

#include "platform/win32.h"

namespace {

bool IsSep(char c) { return c == '\\' || c == '/'; }

// Length of the part no removal may touch: "\", "\\", "C:" or "C:\".
size_t RootLength(const char* p) {
  if (std::isalpha(static_cast<unsigned char>(p[0])) && p[1] == ':') return IsSep(p[2]) ? 3 : 2;
  if (IsSep(p[0])) return IsSep(p[1]) ? 2 : 1;
  return 0;
}

}  // namespace

BOOL PathUnquoteSpacesA(LPSTR path) {
  if (!path) return FALSE;
  const size_t len = std::strlen(path);
  if (len < 2 || path[0] != '"' || path[len - 1] != '"') return FALSE;
  std::memmove(path, path + 1, len - 2);
  path[len - 2] = 0;
  return TRUE;
}

BOOL PathRemoveFileSpecA(LPSTR path) {
  if (!path || !*path) return FALSE;
  const size_t len = std::strlen(path);
  const size_t root = RootLength(path);
  size_t last = len;
  for (size_t i = 0; i < len; ++i)
    if (IsSep(path[i])) last = i;
  if (last == len || last < root) {
    // No separator outside the root: keep the root, drop the rest.
    if (len <= root) return FALSE;
    path[root] = 0;
    return TRUE;
  }
  path[last] = 0;
  return TRUE;
}
