#include "race_setup.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

#include "cGround.h"
#include "cMoObject.h"
#include "platform/user_files.h"

namespace vrxbench {

const char* const kTracks[kTrackCount] = {"Riverside", "Hillcrest", "Docklands"};
const char* const kCar = "DATA\\CARS\\Hatch\\Hatch";

bool Exists(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f) std::fclose(f);
  return f != nullptr;
}

std::string Slashed(std::string path) {
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

bool EnterProgramDirectory(const char* program) {
  char self[4096];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n > 0) {
    self[n] = 0;
    std::string dir(self);
    dir.erase(dir.rfind('/'));
    if (chdir(dir.c_str()) == 0) return true;
  }
  std::fprintf(stderr, "%s: cannot enter the program's directory\n", program);
  return false;
}

std::string TrackPath(const std::string& track) { return "DATA\\TRACKS\\" + track + "\\" + track; }

namespace {

// The centre of the distinct points that objects a and b share.
bool SharedRow(cMoObject* mesh, DWORD a, DWORD b, D3DXVECTOR3* centre) {
  auto points = [&](DWORD o) {
    std::vector<D3DXVECTOR3> v;
    for (DWORD k = 0; k < 3 * mesh->GetObjFaceCount(o); ++k) {
      const _MOVERTEX x = mesh->GetObjVertex(o, k);
      v.push_back(D3DXVECTOR3(x.x, x.y, x.z));
    }
    return v;
  };
  auto same = [](const D3DXVECTOR3& p, const D3DXVECTOR3& q) { return p.x == q.x && p.y == q.y && p.z == q.z; };
  const std::vector<D3DXVECTOR3> pa = points(a), pb = points(b);
  std::vector<D3DXVECTOR3> seen;
  D3DXVECTOR3 sum(0, 0, 0);
  for (const D3DXVECTOR3& p : pa) {
    const bool shared = std::any_of(pb.begin(), pb.end(), [&](const D3DXVECTOR3& q) { return same(p, q); });
    const bool again = std::any_of(seen.begin(), seen.end(), [&](const D3DXVECTOR3& q) { return same(p, q); });
    if (!shared || again) continue;
    seen.push_back(p);
    sum += p;
  }
  if (seen.empty()) return false;
  *centre = sum / (float)seen.size();
  return true;
}

}  // namespace

std::vector<D3DXVECTOR3> CentreLine(cGround* ground) {
  cMoObject* mesh = ground->GetMesh();
  std::map<std::string, DWORD> road;  // road objects are "g..." named in lap order
  for (DWORD i = 0; i < mesh->ObjCount(); ++i)
    if (mesh->GetName(i)[0] == 'g') road[mesh->GetName(i)] = i;
  std::vector<DWORD> order;
  for (auto& entry : road) order.push_back(entry.second);
  std::vector<D3DXVECTOR3> line;
  for (size_t i = 0; i + 1 < order.size(); ++i) {
    D3DXVECTOR3 c;
    if (SharedRow(mesh, order[i], order[i + 1], &c)) line.push_back(c);
  }
  return line;
}

std::vector<Place> LapPlaces(cGround* ground, int count) {
  std::vector<Place> places;
  places.push_back({D3DXVECTOR3(ground->GetStartX(), ground->GetStartY(), ground->GetStartZ()),
                    ground->GetStartRadY()});
  const std::vector<D3DXVECTOR3> line = CentreLine(ground);
  for (int k = 1; k < count && line.size() >= 8; ++k) {
    const size_t i = line.size() * k / count;
    const D3DXVECTOR3 a = line[i], b = line[i + 1];
    places.push_back({a, std::atan2(-(b.x - a.x), b.z - a.z)});
  }
  return places;
}

namespace {

// The settings file's path and its earlier bytes, kept where a signal
// handler can write them back.
char g_path[4096];
char g_saved[4096];
ssize_t g_savedBytes = -1;  // -1: nothing to put back; 0 and up: restore (0 with no file: remove)
bool g_hadFile = false;

void PutBack() {
  if (g_savedBytes < 0) return;
  if (g_hadFile) {
    const int fd = open(g_path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) {
      const ssize_t written = write(fd, g_saved, (size_t)g_savedBytes);
      (void)written;
      close(fd);
    }
  } else {
    unlink(g_path);
  }
  g_savedBytes = -1;
}

void OnSignal(int sig) {
  PutBack();
  signal(sig, SIG_DFL);
  raise(sig);
}

}  // namespace

bool BenchSettings::Apply(const char* program) {
  const std::string path = vrx::PlayerFileToWrite("vrx.cfg", vrx::PlayerFile::kSettings);
  if (path.size() >= sizeof g_path) return false;
  std::strcpy(g_path, path.c_str());
  g_hadFile = false;
  ssize_t bytes = 0;
  const int fd = open(g_path, O_RDONLY);
  if (fd >= 0) {
    g_hadFile = true;
    bytes = read(fd, g_saved, sizeof g_saved);
    close(fd);
    if (bytes < 0) bytes = 0;
  }
  g_savedBytes = bytes;
  signal(SIGINT, OnSignal);
  signal(SIGTERM, OnSignal);
  const std::string command = "./vrx-config --width 800 --height 600 --depth 32 --view 5 --file '" + path + "' >/dev/null";
  if (std::system(command.c_str()) != 0) {
    std::fprintf(stderr, "%s: cannot write %s with vrx-config\n", program, g_path);
    PutBack();
    return false;
  }
  return true;
}

void BenchSettings::Restore() { PutBack(); }

}  // namespace vrxbench
