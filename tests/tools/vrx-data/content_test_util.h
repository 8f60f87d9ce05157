// Helpers for the content tests: the repository's content folder, a build of
// it shared by the tests of one program, a reader of mesh object files and
// small track descriptions written on the fly.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "MoTypes.h"
#include "builders.h"
#include "test_support.h"

namespace contenttest {

// The content folder beside the tests (this file lies in tests/tools/vrx-data).
inline std::string ContentDir() {
  return (std::filesystem::path(__FILE__).parent_path() / ".." / ".." / ".." / "content").lexically_normal().string();
}

// A mesh object file as plain records.
struct MoFile {
  struct Object {
    std::string name;
    _MOOBJECT record;
    std::vector<_MOFACE> faces;
    std::vector<int> texture;  // per face: its texture index
  };
  _MOHEADER header;
  std::vector<Object> objects;
  std::vector<std::string> textures;

  const Object* Find(const std::string& name) const {
    for (const Object& o : objects)
      if (o.name == name) return &o;
    return nullptr;
  }
  int TextureIndex(const std::string& file) const {
    for (size_t i = 0; i < textures.size(); ++i)
      if (textures[i] == file) return static_cast<int>(i);
    return -1;
  }
  std::vector<const Object*> Starting(const std::string& prefix) const {
    std::vector<const Object*> out;
    for (const Object& o : objects)
      if (o.name.compare(0, prefix.size(), prefix) == 0) out.push_back(&o);
    return out;
  }
};

inline bool ReadMo(const std::string& path, MoFile* mo) {
  const std::string bytes = vrxtest::ReadFile(path);
  if (bytes.size() < sizeof(_MOHEADER)) return false;
  const char* p = bytes.data();
  std::memcpy(&mo->header, p, sizeof mo->header);
  const size_t n = mo->header.objects, f = mo->header.faces, t = mo->header.textures;
  const size_t need = sizeof(_MOHEADER) + n * sizeof(_MOOBJECT) + n * t * sizeof(_MOGROUP) + f * sizeof(_MOFACE) +
                      t * sizeof(_MOTEXTURE);
  if (bytes.size() != need) return false;
  const char* objects = p + sizeof(_MOHEADER);
  const char* groups = objects + n * sizeof(_MOOBJECT);
  const char* faces = groups + n * t * sizeof(_MOGROUP);
  const char* texs = faces + f * sizeof(_MOFACE);
  mo->objects.resize(n);
  for (size_t i = 0; i < n; ++i) {
    MoFile::Object& o = mo->objects[i];
    std::memcpy(&o.record, objects + i * sizeof(_MOOBJECT), sizeof(_MOOBJECT));
    o.name = o.record.name;
    o.faces.resize(o.record.faceCount);
    std::memcpy(o.faces.data(), faces + o.record.firstVertex / 3 * sizeof(_MOFACE), o.faces.size() * sizeof(_MOFACE));
    o.texture.assign(o.faces.size(), -1);
    for (size_t k = 0; k < t; ++k) {
      _MOGROUP g;
      std::memcpy(&g, groups + (i * t + k) * sizeof(_MOGROUP), sizeof g);
      for (size_t j = 0; j < g.faceCount; ++j) {
        const size_t face = (g.firstVertex - o.record.firstVertex) / 3 + j;
        if (face < o.texture.size()) o.texture[face] = static_cast<int>(k);
      }
    }
  }
  for (size_t i = 0; i < t; ++i) {
    _MOTEXTURE r;
    std::memcpy(&r, texs + i * sizeof(_MOTEXTURE), sizeof r);
    mo->textures.push_back(r.name);
  }
  return true;
}

// Every file below `dir`, relative paths, sorted.
inline std::vector<std::string> FilesBelow(const std::string& dir) {
  std::vector<std::string> files;
  for (const auto& e : std::filesystem::recursive_directory_iterator(dir))
    if (e.is_regular_file()) files.push_back(std::filesystem::relative(e.path(), dir).string());
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace contenttest

namespace vrxdata {
bool BuildCars(const BuildContext& ctx);
bool BuildTracks(const BuildContext& ctx);
bool BuildLists(const BuildContext& ctx);
}  // namespace vrxdata

namespace contenttest {

// The repository's cars, tracks and lists built once into a temporary DATA
// folder for the whole test program; "" when the build failed.
inline const std::string& BuiltData() {
  static const std::string dir = [] {
    const std::string out = vrxtest::MakeTempDir("content_data") + "/DATA";
    std::filesystem::create_directories(out);
    const vrxdata::BuildContext ctx{ContentDir(), out};
    const bool ok = vrxdata::BuildCars(ctx) && vrxdata::BuildTracks(ctx) && vrxdata::BuildLists(ctx);
    return ok ? out : std::string();
  }();
  return dir;
}

// Lines of a list file, without their newlines.
inline std::vector<std::string> ListEntries(const std::string& path) {
  std::vector<std::string> out;
  std::string text = vrxtest::ReadFile(path), line;
  for (char c : text) {
    if (c == '\n') {
      out.push_back(line);
      line.clear();
    } else {
      line += c;
    }
  }
  return out;
}

// "DATA\CARS\Hatch\Hatch" -> "<data>/CARS/Hatch/Hatch".
inline std::string EntryPath(const std::string& data, const std::string& entry) {
  std::string p = entry.substr(std::strlen("DATA"));
  for (char& c : p)
    if (c == '\\') c = '/';
  return data + p;
}

}  // namespace contenttest
