// Records of the mesh object file (".mo") and of every mesh vertex buffer.
// The file is little-endian with no padding; these records are its exact
// byte images, shared by the engine's loader and the content tools' writer.
#pragma once

#include "platform/types.h"

#pragma pack(push, 1)

// One vertex: position, normal, A8R8G8B8 diffuse colour, two coordinate sets.
struct _MOVERTEX {
  float x, y, z;
  float nx, ny, nz;
  DWORD diffuse;
  float u, v;
  float u2, v2;
};

// One triangle, three vertices in drawing order.
struct _MOFACE {
  _MOVERTEX v[3];
};

struct _MOBSPHERE {
  float x, y, z;
  float radius;
};

// File header (60 bytes).
struct _MOHEADER {
  char tag[8];  // "MOFILE00"
  DWORD objects;
  DWORD faces;
  DWORD textures;
  BYTE reserved[40];
};

// One object record (160 bytes).
struct _MOOBJECT {
  char name[128];
  DWORD firstVertex;  // 3 x the object's first face
  DWORD faceCount;
  float min[3];
  float max[3];
};

// Group table entry (object o, texture t) at o * T + t (8 bytes).
struct _MOGROUP {
  DWORD firstVertex;  // absolute vertex index of the group's first face
  DWORD faceCount;    // 0: the object has no faces on this texture
};

// Texture record (300 bytes); the name is relative to the file's directory.
struct _MOTEXTURE {
  DWORD unused;
  char name[296];
};

#pragma pack(pop)

static_assert(sizeof(_MOVERTEX) == 44, "_MOVERTEX is 44 bytes");
static_assert(sizeof(_MOFACE) == 132, "_MOFACE is 132 bytes");
static_assert(sizeof(_MOBSPHERE) == 16, "_MOBSPHERE is 16 bytes");
static_assert(sizeof(_MOHEADER) == 60, "_MOHEADER is 60 bytes");
static_assert(sizeof(_MOOBJECT) == 160, "_MOOBJECT is 160 bytes");
static_assert(sizeof(_MOGROUP) == 8, "_MOGROUP is 8 bytes");
static_assert(sizeof(_MOTEXTURE) == 300, "_MOTEXTURE is 300 bytes");

// Flexible vertex format of _MOVERTEX: position, normal, diffuse, two 2D sets.
#define MO_VERTEX_FVF 0x252
// Largest group a 16-bit index buffer can address (3 indices per face).
#define MO_MAX_GROUP_FACES 21845
