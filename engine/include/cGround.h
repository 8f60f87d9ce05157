// The loaded track: one mesh object set whose objects take their roles from
// their names (road, border, terrain, scenery, sky, start and half gates),
// the physics world the car lives on with the road and border collision
// meshes, start position, best lap time, sky and sun, shadow maps and the
// ring of skid marks. Allocate it on the heap: its lists are fixed arrays.
#pragma once

#include <ode/ode.h>

#include "MoTypes.h"
#include "mathkit/mathkit.h"
#include "platform/d3dx9math.h"
#include "platform/types.h"

class cScreen;
class cTexture;
class cSprite;
class cMoObject;

// The six Pluecker coordinates of a directed line.
struct _PLUCKERCOORD {
  float p[6];
};
static_assert(sizeof(_PLUCKERCOORD) == 24, "_PLUCKERCOORD is 24 bytes");

// One test point's answer from cGround::GetCollision.
struct _COLLISIONINFO {
  int hit;
  D3DXVECTOR3 normal;    // horizontal unit normal of the crossed face
  D3DXVECTOR3 position;  // not filled (0)
  float depth;           // crossing point to test point
  BYTE point;            // index of the test point
};
static_assert(sizeof(_COLLISIONINFO) == 36, "_COLLISIONINFO is 36 bytes");

#define GROUND_MAX_OBJS 4096
#define GROUND_MAX_SKY 64
#define GROUND_SKID_QUADS 256

// Draw flags.
#define GROUND_DRAW_ROAD 1
#define GROUND_DRAW_BORDER 2
#define GROUND_DRAW_SKY 4
#define GROUND_DRAW_TERRAIN 8
#define GROUND_DRAW_SKIDS 16

class cGround {
 public:
  // Set by the game after construction; skid marks are drawn only with it. Not owned.
  cTexture* SkidTexture;

  // trackPath is the track's directory and base name without extension.
  cGround(const char* trackPath, cScreen* screen, void (*progress)(float));
  virtual ~cGround();
  cGround(const cGround&) = delete;
  // Initialises the physics library once per process; the constructor calls
  // it, and so may anything that builds physics objects without a ground.
  static void InitPhysics();
  cGround& operator=(const cGround&) = delete;

  void LoadShadowMaps();
  cTexture* GetRoadSM();
  cTexture* GetGroundSM();

  float GetStartX();
  float GetStartZ();
  float GetStartRadY();
  float GetStartY();
  void SetBestTime(DWORD t);
  DWORD GetBestTime();

  dxWorld* GetWorld();
  dxGeom* GetGroundGeom();
  dxGeom* GetBorderGeom();

  void LoadHM(const char* file);
  BYTE GetByteHeight(DWORD x, DWORD z);

  // Road height at (x, z), or -1000 off the road.
  float GetH(float x, float z);
  float GetHeight(float x, float z);
  void SortGroundObjs(D3DXVECTOR3* pos);
  void SortCollisionObjs(D3DXVECTOR3* pos);
  void SetGroundObjsOrder(DWORD i);
  int GetCameraCollision(D3DXVECTOR3* out, D3DXVECTOR3* a, D3DXVECTOR3* b, float r);
  int GetCollision(_COLLISIONINFO* info, D3DXVECTOR3* points, D3DXVECTOR3* centre, float r);
  int IsTimerCollision(D3DXVECTOR3* points, D3DXVECTOR3* pos, float r);
  int IsHalfTimerCollision(D3DXVECTOR3* points, D3DXVECTOR3* pos, float r);

  void AddSkid(D3DXVECTOR3* from, D3DXVECTOR3* to, float width);

  void Draw(DWORD flags);
  void DrawSimple();
  D3DXVECTOR2 GetGlobalUV(float x, float z);
  D3DXMATRIX GetShadowTexMtx();
  DWORD GetBackBufferColor(D3DXVECTOR2* pos);

  // Read-only views of the track's state, for tools and diagnostics.
  cMoObject* GetMesh() { return mesh; }
  DWORD GetRoadCount() { return roadCount; }
  DWORD GetRoadObj(DWORD i) { return i < roadCount ? roadList[i] : 0xFFFFFFFFu; }
  DWORD GetBorderCount() { return borderCount; }
  DWORD GetBorderObj(DWORD i) { return i < borderCount ? borderList[i] : 0xFFFFFFFFu; }
  DWORD GetTerrainCount() { return terrainCount; }
  DWORD GetSceneryCount() { return sceneryCount; }
  DWORD GetSkyCount() { return skyCount; }
  DWORD GetStartGate() { return startGate; }
  DWORD GetHalfGate() { return halfGate; }
  float GetSkyRadius() { return skyRadius; }
  D3DXVECTOR2 GetSunPos() { return sunPos; }
  D3DXVECTOR3 GetTrackBoxMin() { return trackMin; }
  D3DXVECTOR3 GetTrackBoxMax() { return trackMax; }
  int GetSkidCount() { return skidCounter; }
  BYTE GetSkidVertexBuffer() { return skidSlot; }

 private:
  void SortObjects(DWORD* list, _BOXCORNERS* boxes, DWORD count, D3DXVECTOR3* pos);
  int GateCollision(DWORD gate, D3DXVECTOR3* points, D3DXVECTOR3* pos, float r);
  D3DXVECTOR2 Calc2dDirLightPos(D3DXVECTOR3 dir);
  void DrawSky();
  void DrawSkids();
  void SetGlobalUVs(DWORD* list, DWORD count);
  void CalcShadowTexMtx();
  void ReadStart();
  void BuildCollisionMesh(DWORD* list, DWORD count, dxTriMeshData** data, float** vertices,
                          float** normals, dTriIndex** indices, dxGeom** geom);
  void WriteBestTime();

  DWORD bestTime;
  DWORD loadedBestTime = 0xFFFFFFFFu;  // as read at construction
  BYTE hmHeader[36];
  BYTE* heightmap;
  DWORD hmSize;
  BYTE skidSlot;
  cMoObject* mesh;
  DWORD roadList[GROUND_MAX_OBJS];
  DWORD roadCount;
  DWORD borderList[GROUND_MAX_OBJS];
  DWORD borderCount;
  DWORD terrainList[GROUND_MAX_OBJS];
  DWORD terrainCount;
  DWORD sceneryList[GROUND_MAX_OBJS];
  DWORD sceneryCount;
  DWORD skyList[GROUND_MAX_SKY];
  DWORD skyCount;
  DWORD startGate;
  DWORD halfGate;
  int skidCounter;
  _BOXCORNERS borderBoxes[GROUND_MAX_OBJS];
  _BOXCORNERS roadBoxes[GROUND_MAX_OBJS];
  _MOVERTEX skidVertices[GROUND_SKID_QUADS * 6];
  cScreen* screen;
  D3DXVECTOR3 trackMax;
  D3DXVECTOR3 trackMin;
  D3DXMATRIX shadowTexMtx;
  DWORD maxSimultaneousTextures;
  float skyRadius;
  D3DXVECTOR2 sunPos;
  cSprite* sun;
  char directory[128];
  cTexture* groundSM;
  cTexture* roadSM;
  float startX;
  float startZ;
  float startRadY;
  dxWorld* world;
  dxGeom* roadGeom;
  dxGeom* borderGeom;
  dxTriMeshData* roadData;
  float* roadVertices;
  float* roadNormals;
  dTriIndex* roadIndices;
  dxTriMeshData* borderData;
  float* borderVertices;
  float* borderNormals;
  dTriIndex* borderIndices;
  bool skidBufferCreated;  // whether skidSlot holds our buffer
};
