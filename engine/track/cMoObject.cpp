#include "cMoObject.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "cScreen.h"
#include "cTexture.h"
#include "platform/files.h"
#include "platform/win32.h"

namespace {

void Report(void (*progress)(float), float value) {
  if (progress) progress(value);
}

// Size of an open file, or -1.
long long FileSize(FILE* f) {
  if (std::fseek(f, 0, SEEK_END) != 0) return -1;
  const long long size = std::ftell(f);
  if (std::fseek(f, 0, SEEK_SET) != 0) return -1;
  return size;
}

bool ReadAll(FILE* f, void* data, size_t bytes) {
  return bytes == 0 || std::fread(data, 1, bytes, f) == bytes;
}

D3DXVECTOR3 Position(const _MOVERTEX& v) { return D3DXVECTOR3(v.x, v.y, v.z); }

}  // namespace

cMoObject::cMoObject(const char* file, cScreen* scr, void (*progress)(float))
    : TextureStage(0),
      objects(nullptr),
      groups(nullptr),
      faces(nullptr),
      textureRecords(nullptr),
      textures(nullptr),
      screen(scr),
      vertexSlot(0),
      indexSlot(0),
      spheres(nullptr),
      globalMax(-1e10f, -1e10f, -1e10f),
      globalMin(1e10f, 1e10f, 1e10f),
      hasVertexBuffer(false),
      hasIndexBuffer(false) {
  // The owner decides about lighting; lit is the safe default for a car body.
  Lighting = TRUE;
  std::memset(&header, 0, sizeof header);
  std::memcpy(header.tag, "MOFILE00", 8);

  directory[0] = 0;
  if (file) {
    std::vector<char> dir(file, file + std::strlen(file) + 1);
    PathUnquoteSpacesA(dir.data());
    PathRemoveFileSpecA(dir.data());
    if (std::strlen(dir.data()) >= sizeof directory)
      std::fprintf(stderr, "vrx: mesh directory too long (at most %zu characters): %s\n",
                   sizeof directory - 1, dir.data());
    std::snprintf(directory, sizeof directory, "%s", dir.data());
  }
  Report(progress, 0.0f);
  if (!file || !Load(file, progress)) {
    // Whatever was read is dropped: the set is empty, as for a missing file.
    std::free(objects);
    std::free(groups);
    std::free(faces);
    std::free(textureRecords);
    objects = nullptr;
    groups = nullptr;
    faces = nullptr;
    textureRecords = nullptr;
    header.objects = header.faces = header.textures = 0;
  }
}

bool cMoObject::Load(const char* file, void (*progress)(float)) {
  std::vector<char> unquoted(file, file + std::strlen(file) + 1);
  PathUnquoteSpacesA(unquoted.data());
  const char* path = unquoted.data();
  FILE* f = vrx::OpenFileReported(path, "rb");
  if (!f) return false;
  const long long size = FileSize(f);
  _MOHEADER h;
  if (size < (long long)sizeof h || !ReadAll(f, &h, sizeof h)) {
    std::fprintf(stderr, "vrx: %s: not a mesh file (shorter than its header)\n", path);
    std::fclose(f);
    return false;
  }
  // Every count must fit in what the file holds before anything is allocated.
  const unsigned long long n = h.objects, t = h.textures, fc = h.faces;
  unsigned long long left = (unsigned long long)size - sizeof h;
  bool fits = n <= left / sizeof(_MOOBJECT);
  if (fits) left -= n * sizeof(_MOOBJECT);
  fits = fits && (n == 0 || t <= left / sizeof(_MOGROUP) / n);
  if (fits) left -= n * t * sizeof(_MOGROUP);
  fits = fits && fc <= left / sizeof(_MOFACE);
  if (fits) left -= fc * sizeof(_MOFACE);
  fits = fits && t <= left / sizeof(_MOTEXTURE);
  if (!fits) {
    std::fprintf(stderr,
                 "vrx: %s: mesh file is truncated (%u objects, %u faces, %u textures in %lld bytes)\n",
                 path, h.objects, h.faces, h.textures, size);
    std::fclose(f);
    return false;
  }
  header = h;
  objects = (_MOOBJECT*)std::malloc(n * sizeof(_MOOBJECT) + 1);
  groups = (_MOGROUP*)std::malloc(n * t * sizeof(_MOGROUP) + 1);
  faces = (_MOFACE*)std::malloc(fc * sizeof(_MOFACE) + 1);
  textureRecords = (_MOTEXTURE*)std::malloc(t * sizeof(_MOTEXTURE) + 1);
  const bool read = objects && groups && faces && textureRecords &&
                    ReadAll(f, objects, n * sizeof(_MOOBJECT)) &&
                    ReadAll(f, groups, n * t * sizeof(_MOGROUP)) &&
                    ReadAll(f, faces, fc * sizeof(_MOFACE)) &&
                    ReadAll(f, textureRecords, t * sizeof(_MOTEXTURE));
  std::fclose(f);
  if (!read) {
    std::fprintf(stderr, "vrx: %s: cannot read mesh file\n", path);
    return false;
  }

  // Object and group ranges must lie inside the face section, and every group
  // must be addressable with 16-bit indices.
  const unsigned long long vertices = fc * 3;
  for (unsigned long long o = 0; o < n; ++o) {
    objects[o].name[sizeof objects[o].name - 1] = 0;
    if ((unsigned long long)objects[o].firstVertex + 3ull * objects[o].faceCount > vertices) {
      std::fprintf(stderr, "vrx: %s: object %llu lies outside the face section\n", path, o);
      return false;
    }
    for (unsigned long long i = 0; i < t; ++i) {
      const _MOGROUP& g = groups[o * t + i];
      if (g.faceCount == 0) continue;
      if (g.faceCount > MO_MAX_GROUP_FACES) {
        std::fprintf(stderr, "vrx: %s: object %llu has %u faces on texture %llu (at most %d)\n",
                     path, o, g.faceCount, i, MO_MAX_GROUP_FACES);
        return false;
      }
      if ((unsigned long long)g.firstVertex + 3ull * g.faceCount > vertices) {
        std::fprintf(stderr, "vrx: %s: object %llu texture %llu lies outside the face section\n",
                     path, o, i);
        return false;
      }
    }
  }
  for (unsigned long long i = 0; i < t; ++i)
    textureRecords[i].name[sizeof textureRecords[i].name - 1] = 0;

  if (fc > 0) {
    const int vs = screen ? screen->GetFirstUnusedVertexBuffer() : -1;
    const int is = screen ? screen->GetFirstUnusedIndexBuffer() : -1;
    if (vs < 0 || is < 0) {
      std::fprintf(stderr, "vrx: %s: no free vertex or index buffer slot\n", path);
      return false;
    }
  }
  Report(progress, 0.1f);

  textures = new cTexture*[t + 1];
  for (unsigned long long i = 0; i < t; ++i) {
    char name[sizeof directory + sizeof textureRecords[i].name + 2];
    if (directory[0])
      std::snprintf(name, sizeof name, "%s\\%s", directory, textureRecords[i].name);
    else
      std::snprintf(name, sizeof name, "%s", textureRecords[i].name);
    textures[i] = new cTexture(name, screen);
    Report(progress, 0.1f + 0.7f * (float)i / (float)t);
  }

  if (fc > 0) {
    vertexSlot = (BYTE)screen->GetFirstUnusedVertexBuffer();
    hasVertexBuffer = screen->CreateVertexBuffer(vertexSlot, MO_VERTEX_FVF, faces,
                                                 (DWORD)(fc * sizeof(_MOFACE)),
                                                 sizeof(_MOVERTEX)) != 0;
    if (!hasVertexBuffer) std::fprintf(stderr, "vrx: %s: cannot create the vertex buffer\n", path);
  }
  std::free(faces);
  faces = nullptr;

  std::vector<WORD> indices(vertices);
  for (unsigned long long o = 0; o < n; ++o) {
    for (unsigned long long i = 0; i < t; ++i) {
      const _MOGROUP& g = groups[o * t + i];
      for (DWORD k = 0; k < 3 * g.faceCount; ++k) indices[g.firstVertex + k] = (WORD)k;
    }
    Report(progress, 0.8f + 0.2f * (float)o / (float)n);
  }
  if (fc > 0) {
    indexSlot = (BYTE)screen->GetFirstUnusedIndexBuffer();
    hasIndexBuffer = screen->CreateIndexBuffer(indexSlot, D3DFMT_INDEX16, indices.data(),
                                               (DWORD)(vertices * sizeof(WORD)), 2) != 0;
    if (!hasIndexBuffer) std::fprintf(stderr, "vrx: %s: cannot create the index buffer\n", path);
  }

  spheres = new _MOBSPHERE[n + 1];
  for (unsigned long long o = 0; o < n; ++o) {
    const D3DXVECTOR3 mn(objects[o].min[0], objects[o].min[1], objects[o].min[2]);
    const D3DXVECTOR3 mx(objects[o].max[0], objects[o].max[1], objects[o].max[2]);
    const D3DXVECTOR3 c = (mn + mx) * 0.5f;
    const D3DXVECTOR3 d = mx - mn;
    spheres[o].x = c.x;
    spheres[o].y = c.y;
    spheres[o].z = c.z;
    spheres[o].radius = D3DXVec3Length(&d) * 0.5f;
  }
  return true;
}

cMoObject::~cMoObject() {
  if (hasVertexBuffer) screen->DeleteVertexBuffer(vertexSlot);
  if (hasIndexBuffer) screen->DeleteIndexBuffer(indexSlot);
  if (textures) {
    for (DWORD i = 0; i < header.textures; ++i) delete textures[i];
    delete[] textures;
  }
  delete[] spheres;
  std::free(objects);
  std::free(groups);
  std::free(faces);
  std::free(textureRecords);
}

bool cMoObject::ReadVertices(DWORD first, DWORD count, _MOVERTEX* out) {
  if (count == 0) return true;
  if (!hasVertexBuffer || !screen->ReadVertexBuffer(vertexSlot, out, first, count)) {
    std::memset(out, 0, count * sizeof(_MOVERTEX));
    return false;
  }
  return true;
}

void cMoObject::WriteVertices(DWORD first, DWORD count, _MOVERTEX* in) {
  if (count > 0 && hasVertexBuffer) screen->WriteVertexBuffer(vertexSlot, in, first, count);
}

unsigned long cMoObject::ObjCount() { return header.objects; }

char* cMoObject::GetName(DWORD index) {
  static char empty[1] = {0};
  return ValidIndex(index) ? objects[index].name : empty;
}

D3DXVECTOR3 cMoObject::GetMinBBox(DWORD index) {
  if (!ValidIndex(index)) return D3DXVECTOR3(0, 0, 0);
  const float* m = objects[index].min;
  return D3DXVECTOR3(m[0], m[1], m[2]);
}

D3DXVECTOR3 cMoObject::GetMaxBBox(DWORD index) {
  if (!ValidIndex(index)) return D3DXVECTOR3(0, 0, 0);
  const float* m = objects[index].max;
  return D3DXVECTOR3(m[0], m[1], m[2]);
}

_MOBSPHERE cMoObject::GetObjBSphere(DWORD index) {
  if (!ValidIndex(index)) return _MOBSPHERE{0, 0, 0, 0};
  return spheres[index];
}

unsigned long cMoObject::GetObjFaceCount(DWORD index) {
  return ValidIndex(index) ? objects[index].faceCount : 0;
}

_MOFACE cMoObject::GetObjFace(DWORD index, DWORD face) {
  _MOFACE f;
  if (!ValidIndex(index) || face >= objects[index].faceCount) {
    std::memset(&f, 0, sizeof f);
    return f;
  }
  ReadVertices(objects[index].firstVertex + 3 * face, 3, f.v);
  return f;
}

int cMoObject::GetObjFaces(DWORD index, _MOFACE* out) {
  if (!ValidIndex(index)) return 1;
  ReadVertices(objects[index].firstVertex, 3 * objects[index].faceCount, out->v);
  return 1;
}

_MOVERTEX cMoObject::GetObjVertex(DWORD index, DWORD vertex) {
  _MOVERTEX v;
  if (!ValidIndex(index) || vertex >= 3 * objects[index].faceCount) {
    std::memset(&v, 0, sizeof v);
    return v;
  }
  ReadVertices(objects[index].firstVertex + vertex, 1, &v);
  return v;
}

void cMoObject::SetObjVertex(DWORD index, DWORD vertex, _MOVERTEX* v) {
  if (!ValidIndex(index) || vertex >= 3 * objects[index].faceCount) return;
  WriteVertices(objects[index].firstVertex + vertex, 1, v);
}

void cMoObject::CalcObjBBox(DWORD index) {
  if (!ValidIndex(index)) return;
  _MOOBJECT& o = objects[index];
  D3DXVECTOR3 mn(1e10f, 1e10f, 1e10f), mx(-1e10f, -1e10f, -1e10f);
  std::vector<_MOVERTEX> v(3 * o.faceCount);
  ReadVertices(o.firstVertex, (DWORD)v.size(), v.data());
  for (const _MOVERTEX& p : v) {
    const D3DXVECTOR3 q = Position(p);
    D3DXVec3Minimize(&mn, &mn, &q);
    D3DXVec3Maximize(&mx, &mx, &q);
  }
  o.min[0] = mn.x, o.min[1] = mn.y, o.min[2] = mn.z;
  o.max[0] = mx.x, o.max[1] = mx.y, o.max[2] = mx.z;
}

void cMoObject::CalcGlobalBBox() {
  globalMin = D3DXVECTOR3(1e10f, 1e10f, 1e10f);
  globalMax = D3DXVECTOR3(-1e10f, -1e10f, -1e10f);
  for (DWORD i = 0; i < header.objects; ++i) {
    CalcObjBBox(i);
    const D3DXVECTOR3 mn = GetMinBBox(i), mx = GetMaxBBox(i);
    D3DXVec3Minimize(&globalMin, &globalMin, &mn);
    D3DXVec3Maximize(&globalMax, &globalMax, &mx);
  }
}

D3DXVECTOR3 cMoObject::GetGlobalBBoxMin() { return globalMin; }
D3DXVECTOR3 cMoObject::GetGlobalBBoxMax() { return globalMax; }

void cMoObject::CalcNormals(DWORD index) {
  if (!ValidIndex(index)) return;
  const _MOOBJECT& o = objects[index];
  std::vector<_MOVERTEX> v(3 * o.faceCount);
  if (v.empty()) return;
  ReadVertices(o.firstVertex, (DWORD)v.size(), v.data());
  for (size_t f = 0; f < v.size(); f += 3) {
    const D3DXVECTOR3 p0 = Position(v[f]), p1 = Position(v[f + 1]), p2 = Position(v[f + 2]);
    const D3DXVECTOR3 e1 = p1 - p0, e2 = p2 - p0;
    D3DXVECTOR3 n;
    D3DXVec3Cross(&n, &e1, &e2);
    D3DXVec3Normalize(&n, &n);
    for (size_t k = f; k < f + 3; ++k) {
      v[k].nx = n.x;
      v[k].ny = n.y;
      v[k].nz = n.z;
    }
  }
  WriteVertices(o.firstVertex, (DWORD)v.size(), v.data());
}

void cMoObject::AddStaticLight(D3DXVECTOR3* dir, DWORD index) {
  if (!ValidIndex(index) || !dir) return;
  const _MOOBJECT& o = objects[index];
  std::vector<_MOVERTEX> v(3 * o.faceCount);
  if (v.empty()) return;
  ReadVertices(o.firstVertex, (DWORD)v.size(), v.data());
  const float lengthSq = D3DXVec3LengthSq(dir);
  for (_MOVERTEX& p : v) {
    const D3DXVECTOR3 n(p.nx, p.ny, p.nz);
    float m = D3DXVec3Dot(&n, dir) / lengthSq;
    if (m > 0.0f) m = 0.0f;
    // A file's normal need not be a unit vector (nor a number at all): the
    // light never gets brighter than full.
    if (!(m >= -1.0f)) m = -1.0f;
    const BYTE b = (BYTE)(DWORD)(std::fabs(m) * 191.0f + 64.0f);
    p.diffuse = 0xFF000000u + b * 0x010101u;
  }
  WriteVertices(o.firstVertex, (DWORD)v.size(), v.data());
}

int cMoObject::IsInView(DWORD index) {
  if (!ValidIndex(index)) return 0;
  const _MOBSPHERE& s = spheres[index];
  const D3DXMATRIX world = screen->GetWorldMtx();
  const D3DXMATRIX camera = screen->GetCameraMtx();
  const D3DXMATRIX m = world * camera;
  const D3DXVECTOR3 centre(s.x, s.y, s.z);
  D3DXVECTOR3 c;
  D3DXVec3TransformCoord(&c, &centre, &m);
  const _VIEWPLANES planes = screen->GetViewPlanes();
  for (int i = 0; i < 6; ++i) {
    const _VIEWPLANE& p = planes.plane[i];
    const float v = p.a * c.x + p.b * c.y + p.c * c.z + p.d;
    if (v > 0.0f && std::fabs(v) / p.length > s.radius) return 0;
  }
  return 1;
}

int cMoObject::Draw(DWORD index) {
  if (!ValidIndex(index) || !IsInView(index)) return 0;
  screen->SetVertexFormat(MO_VERTEX_FVF);
  screen->SetLighting(Lighting);
  const DWORD t = header.textures;
  for (DWORD i = 0; i < t; ++i) {
    const _MOGROUP& g = groups[index * t + i];
    if (g.faceCount == 0) continue;
    textures[i]->Set(TextureStage);
    if (hasVertexBuffer && hasIndexBuffer)
      screen->DrawIndexedVertexBuffer(indexSlot, vertexSlot, g.firstVertex, D3DPT_TRIANGLELIST,
                                      g.faceCount);
  }
  return 1;
}

void cMoObject::Draw() {
  for (DWORD i = 0; i < header.objects; ++i) Draw(i);
}

void cMoObject::DrawOneTexture(DWORD index, cTexture* tex) {
  if (!ValidIndex(index) || !IsInView(index)) return;
  screen->SetVertexFormat(MO_VERTEX_FVF);
  screen->SetLighting(Lighting);
  if (tex) tex->Set(TextureStage);
  if (hasVertexBuffer && objects[index].faceCount > 0)
    screen->DrawVertexBuffer(vertexSlot, objects[index].firstVertex, D3DPT_TRIANGLELIST,
                             objects[index].faceCount);
}
