#include "SafeWrite.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>

namespace vrx {
namespace {

std::string DirectoryOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// The file a write to path lands in: symlinks are followed (also dangling
// ones, whose target is created), so that a link the player made to keep the
// file elsewhere stays a link. Gives false on a loop or an unreadable link.
bool FollowLinks(const char* path, std::string* target, int* err) {
  std::string p = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st;
    if (lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
      *target = p;
      return true;
    }
    std::vector<char> buf(static_cast<size_t>(st.st_size > 0 ? st.st_size : 255) + 1);
    const ssize_t n = readlink(p.c_str(), buf.data(), buf.size());
    if (n < 0 || static_cast<size_t>(n) >= buf.size()) {
      *err = n < 0 ? errno : ENAMETOOLONG;
      return false;
    }
    const std::string link(buf.data(), static_cast<size_t>(n));
    p = (!link.empty() && link[0] == '/') ? link : DirectoryOf(p) + "/" + link;
  }
  *err = ELOOP;
  return false;
}

// Read from /proc rather than by setting and restoring it, which would
// briefly change the mask of files other threads create.
mode_t CurrentUmask() {
  mode_t mask = 022;
  if (FILE* f = std::fopen("/proc/self/status", "r")) {
    char line[128];
    while (std::fgets(line, sizeof line, f)) {
      unsigned value;
      if (std::sscanf(line, "Umask: %o", &value) == 1) {
        mask = static_cast<mode_t>(value & 0777);
        break;
      }
    }
    std::fclose(f);
  }
  return mask;
}

bool WriteAll(int fd, const void* data, size_t size) {
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = write(fd, bytes, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool Fail(const char* path, int err) {
  std::fprintf(stderr, "vrx: cannot write %s: %s\n", path, std::strerror(err));
  return false;
}

// Used only where the directory takes no new files: overwrites from the start
// and cuts the rest, so a short record (a best time) is one small write.
bool WriteInPlace(const std::string& target, const void* data, size_t size, mode_t mode) {
  const int fd = open(target.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, mode);
  if (fd < 0) return Fail(target.c_str(), errno);
  bool ok = WriteAll(fd, data, size);
  ok = ok && ftruncate(fd, static_cast<off_t>(size)) == 0;
  ok = ok && fsync(fd) == 0;
  const int err = errno;
  if (close(fd) != 0 && ok) return Fail(target.c_str(), errno);
  return ok ? true : Fail(target.c_str(), err);
}

// A writer killed between making its temporary file and renaming it leaves
// ".<name>.XXXXXX" behind, and nothing else would ever remove it. The next
// write of the same file does, for leftovers old enough that no writer can
// still be busy with them (a write takes milliseconds): only regular files
// of ours, named exactly as mkostemp names our temporaries.
constexpr time_t kStaleTemporarySeconds = 10 * 60;

bool IsTemporaryOf(const char* name, const std::string& base) {
  if (name[0] != '.' || std::strncmp(name + 1, base.c_str(), base.size()) != 0) return false;
  const char* suffix = name + 1 + base.size();
  if (suffix[0] != '.' || std::strlen(suffix) != 7) return false;
  for (const char* c = suffix + 1; *c; ++c)
    if (!((*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') || (*c >= '0' && *c <= '9'))) return false;
  return true;
}

void RemoveStaleTemporaries(const std::string& dir, const std::string& base) {
  DIR* d = opendir(dir.c_str());
  if (!d) return;
  const int dfd = dirfd(d);
  const time_t now = std::time(nullptr);
  while (const dirent* e = readdir(d)) {
    if (!IsTemporaryOf(e->d_name, base)) continue;
    struct stat st;
    if (fstatat(dfd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (!S_ISREG(st.st_mode) || st.st_uid != geteuid()) continue;
    if (now - st.st_mtime < kStaleTemporarySeconds) continue;
    unlinkat(dfd, e->d_name, 0);
  }
  closedir(d);
}

}  // namespace

bool WriteFileSafely(const char* path, const void* data, size_t size) {
  if (!path || !path[0]) return Fail("(no name)", ENOENT);
  std::string target;
  int err = 0;
  if (!FollowLinks(path, &target, &err)) return Fail(path, err);

  struct stat st;
  const bool exists = stat(target.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) return Fail(target.c_str(), EISDIR);
  // A new file gets what open() would give it: 0666 less the umask.
  mode_t mode;
  if (exists) {
    mode = st.st_mode & 07777;
  } else {
    mode = 0666 & ~CurrentUmask();
  }

  const std::string dir = DirectoryOf(target);
  const size_t slash = target.find_last_of('/');
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  std::string temp = dir + "/." + base + ".XXXXXX";
  const int fd = mkostemp(&temp[0], O_CLOEXEC);
  if (fd < 0) {
    // A directory we may not create files in can still hold a file we may
    // write; updating it in place beats losing the data.
    if (errno == EACCES || errno == EPERM || errno == EROFS || errno == ENOSPC ||
        errno == EDQUOT || errno == ENAMETOOLONG)
      return WriteInPlace(target, data, size, mode);
    return Fail(target.c_str(), errno);
  }

  bool ok = fchmod(fd, mode) == 0;
  if (ok && exists && (st.st_uid != geteuid() || st.st_gid != getegid())) {
    // Only possible with the rights to do so; otherwise the file becomes ours.
    if (fchown(fd, st.st_uid, st.st_gid) != 0) errno = 0;
  }
  ok = ok && WriteAll(fd, data, size);
  ok = ok && fsync(fd) == 0;
  err = errno;
  if (close(fd) != 0 && ok) {
    ok = false;
    err = errno;
  }
  if (ok && rename(temp.c_str(), target.c_str()) != 0) {
    ok = false;
    err = errno;
  }
  if (!ok) {
    unlink(temp.c_str());
    return Fail(target.c_str(), err ? err : EIO);
  }
  RemoveStaleTemporaries(dir, base);
  // The rename itself is only durable once the directory is synced.
  const int dfd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    fsync(dfd);
    close(dfd);
  }
  return true;
}

}  // namespace vrx
