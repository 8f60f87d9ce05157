// A mesh object set loaded from a ".mo" file: named triangle meshes sharing
// one vertex buffer, one index buffer and one list of textures. After
// loading, the vertices live only in the screen's vertex buffer; every read
// or change of a vertex goes through that buffer.
#pragma once

#include "MoTypes.h"
#include "platform/d3dx9math.h"
#include "platform/types.h"

class cScreen;
class cTexture;

class cMoObject {
 public:
  // Passed to the screen's lighting switch before each draw; set by the owner.
  BOOL Lighting;
  // Texture stage the object's textures are set on when drawing.
  BYTE TextureStage;

  // Loads `file`; `progress` (may be null) is told 0 .. about 1 while loading.
  // A missing or malformed file leaves the set empty (one line on stderr).
  cMoObject(const char* file, cScreen* screen, void (*progress)(float));
  ~cMoObject();
  cMoObject(const cMoObject&) = delete;
  cMoObject& operator=(const cMoObject&) = delete;

  unsigned long ObjCount();
  char* GetName(DWORD index);
  D3DXVECTOR3 GetMinBBox(DWORD index);
  D3DXVECTOR3 GetMaxBBox(DWORD index);
  _MOBSPHERE GetObjBSphere(DWORD index);
  unsigned long GetObjFaceCount(DWORD index);
  _MOFACE GetObjFace(DWORD index, DWORD face);
  int GetObjFaces(DWORD index, _MOFACE* out);
  _MOVERTEX GetObjVertex(DWORD index, DWORD vertex);
  void SetObjVertex(DWORD index, DWORD vertex, _MOVERTEX* v);

  void CalcObjBBox(DWORD index);
  void CalcGlobalBBox();
  D3DXVECTOR3 GetGlobalBBoxMin();
  D3DXVECTOR3 GetGlobalBBoxMax();
  void CalcNormals(DWORD index);
  void AddStaticLight(D3DXVECTOR3* dir, DWORD index);

  int IsInView(DWORD index);
  int Draw(DWORD index);
  void Draw();
  void DrawOneTexture(DWORD index, cTexture* tex);

 private:
  bool Load(const char* file, void (*progress)(float));
  bool ReadVertices(DWORD first, DWORD count, _MOVERTEX* out);
  void WriteVertices(DWORD first, DWORD count, _MOVERTEX* in);
  bool ValidIndex(DWORD index) const { return index < header.objects; }

  _MOHEADER header;
  _MOOBJECT* objects;
  _MOGROUP* groups;
  _MOFACE* faces;  // only while loading
  _MOTEXTURE* textureRecords;
  cTexture** textures;
  cScreen* screen;
  BYTE vertexSlot;
  BYTE indexSlot;
  char directory[261];
  _MOBSPHERE* spheres;
  D3DXVECTOR3 globalMax;
  D3DXVECTOR3 globalMin;
  // Whether the slots above were taken (an empty set holds none).
  bool hasVertexBuffer;
  bool hasIndexBuffer;
};
