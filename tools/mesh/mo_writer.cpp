#include "vrxmesh/mo_writer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace vrxmesh {

_MOVERTEX MoVertex(float x, float y, float z, float nx, float ny, float nz, float u, float v) {
  _MOVERTEX r;
  r.x = x;
  r.y = y;
  r.z = z;
  r.nx = nx;
  r.ny = ny;
  r.nz = nz;
  r.diffuse = 0xFFFFFFFFu;
  r.u = u;
  r.v = v;
  r.u2 = 0.0f;
  r.v2 = 0.0f;
  return r;
}

int MoWriter::AddTexture(const std::string& file) {
  textures_.push_back(file);
  return static_cast<int>(textures_.size()) - 1;
}

int MoWriter::AddObject(const std::string& name) {
  objects_.push_back(Object{name, {}});
  return static_cast<int>(objects_.size()) - 1;
}

void MoWriter::AddFace(int object, int texture, const _MOVERTEX& a, const _MOVERTEX& b,
                       const _MOVERTEX& c) {
  if (object < 0 || object >= ObjectCount() || texture < 0 || texture >= TextureCount()) {
    if (badCall_.empty())
      badCall_ = "face on object " + std::to_string(object) + " texture " +
                 std::to_string(texture) + " out of range";
    return;
  }
  std::vector<std::vector<_MOFACE>>& groups = objects_[object].groups;
  if (groups.size() < textures_.size()) groups.resize(textures_.size());
  groups[texture].push_back(_MOFACE{{a, b, c}});
}

void MoWriter::AddQuad(int object, int texture, const _MOVERTEX& a, const _MOVERTEX& b,
                       const _MOVERTEX& c, const _MOVERTEX& d) {
  AddFace(object, texture, a, b, c);
  AddFace(object, texture, a, c, d);
}

size_t MoWriter::FaceCount() const {
  size_t n = 0;
  for (const Object& o : objects_)
    for (const std::vector<_MOFACE>& g : o.groups) n += g.size();
  return n;
}

namespace {

template <typename T>
void Append(std::vector<uint8_t>* out, const T& record) {
  const uint8_t* p = reinterpret_cast<const uint8_t*>(&record);
  out->insert(out->end(), p, p + sizeof(T));
}

bool CopyName(char* dst, size_t size, const std::string& src, const char* what,
              std::string* error) {
  if (src.size() >= size) {
    *error = std::string(what) + " name too long (" + std::to_string(src.size()) +
             " characters, at most " + std::to_string(size - 1) + "): " + src;
    return false;
  }
  std::memset(dst, 0, size);
  std::memcpy(dst, src.data(), src.size());
  return true;
}

}  // namespace

bool MoWriter::Build(std::vector<uint8_t>* out, std::string* error) const {
  std::string ignored;
  if (!error) error = &ignored;
  if (!badCall_.empty()) {
    *error = badCall_;
    return false;
  }
  const size_t n = objects_.size();
  const size_t t = textures_.size();
  const size_t faces = FaceCount();
  if (faces * 3 > 0xFFFFFFFFu) {
    *error = "too many faces";
    return false;
  }

  std::vector<_MOOBJECT> records(n);
  std::vector<_MOGROUP> groups(n * t, _MOGROUP{0, 0});
  DWORD vertex = 0;
  for (size_t o = 0; o < n; ++o) {
    const Object& obj = objects_[o];
    _MOOBJECT& rec = records[o];
    if (!CopyName(rec.name, sizeof rec.name, obj.name, "object", error)) return false;
    rec.firstVertex = vertex;
    rec.faceCount = 0;
    for (int a = 0; a < 3; ++a) {
      rec.min[a] = 1e10f;
      rec.max[a] = -1e10f;
    }
    for (size_t g = 0; g < obj.groups.size(); ++g) {
      const std::vector<_MOFACE>& list = obj.groups[g];
      if (list.empty()) continue;
      if (list.size() > MO_MAX_GROUP_FACES) {
        *error = "object " + obj.name + " has " + std::to_string(list.size()) +
                 " faces on texture " + std::to_string(g) + ", at most " +
                 std::to_string(MO_MAX_GROUP_FACES) + " fit one group";
        return false;
      }
      groups[o * t + g] = _MOGROUP{vertex, static_cast<DWORD>(list.size())};
      vertex += static_cast<DWORD>(list.size() * 3);
      rec.faceCount += static_cast<DWORD>(list.size());
      for (const _MOFACE& f : list)
        for (const _MOVERTEX& v : f.v) {
          const float p[3] = {v.x, v.y, v.z};
          for (int a = 0; a < 3; ++a) {
            if (p[a] < rec.min[a]) rec.min[a] = p[a];
            if (p[a] > rec.max[a]) rec.max[a] = p[a];
          }
        }
    }
  }

  _MOHEADER header;
  std::memset(&header, 0, sizeof header);
  std::memcpy(header.tag, "MOFILE00", 8);
  header.objects = static_cast<DWORD>(n);
  header.faces = static_cast<DWORD>(faces);
  header.textures = static_cast<DWORD>(t);

  std::vector<_MOTEXTURE> texRecords(t);
  for (size_t i = 0; i < t; ++i) {
    texRecords[i].unused = 0;
    if (!CopyName(texRecords[i].name, sizeof texRecords[i].name, textures_[i], "texture", error))
      return false;
  }

  out->clear();
  out->reserve(sizeof header + n * sizeof(_MOOBJECT) + n * t * sizeof(_MOGROUP) +
               faces * sizeof(_MOFACE) + t * sizeof(_MOTEXTURE));
  Append(out, header);
  for (const _MOOBJECT& r : records) Append(out, r);
  for (const _MOGROUP& g : groups) Append(out, g);
  for (const Object& obj : objects_)
    for (const std::vector<_MOFACE>& list : obj.groups)
      for (const _MOFACE& f : list) Append(out, f);
  for (const _MOTEXTURE& r : texRecords) Append(out, r);
  return true;
}

bool MoWriter::Write(const std::string& path, std::string* error) const {
  std::string ignored;
  if (!error) error = &ignored;
  std::vector<uint8_t> bytes;
  if (!Build(&bytes, error)) return false;
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    *error = "cannot create " + path + ": " + std::strerror(errno);
    return false;
  }
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  const bool closed = std::fclose(f) == 0;
  if (!ok || !closed) {
    *error = "cannot write " + path;
    return false;
  }
  return true;
}

}  // namespace vrxmesh
