// Track construction and destruction; the queries, skid marks and drawing
// live in the other files of this folder.
#include "cGround.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

#include "cMoObject.h"
#include "cScreen.h"
#include "cSprite.h"
#include "SafeWrite.h"
#include "cTexture.h"
#include "platform/files.h"
#include "platform/user_files.h"
#include "platform/win32.h"

static_assert(sizeof(dTriIndex) == 4, "collision meshes use 32-bit indices");

namespace {

const DWORD kNoTime = 0xFFFFFFFFu;

// "%s\%s" of the track directory and a file name, or the name alone.
std::string TrackFile(const char* directory, const char* name) {
  if (!directory[0]) return name;
  return std::string(directory) + "\\" + name;
}

void FillCorners(_BOXCORNERS* box, const D3DXVECTOR3& mn, const D3DXVECTOR3& mx) {
  box->corner[0] = D3DXVECTOR3(mn.x, mn.y, mx.z);
  box->corner[1] = D3DXVECTOR3(mx.x, mn.y, mx.z);
  box->corner[2] = D3DXVECTOR3(mn.x, mn.y, mn.z);
  box->corner[3] = D3DXVECTOR3(mx.x, mn.y, mn.z);
  box->corner[4] = D3DXVECTOR3(mn.x, mx.y, mx.z);
  box->corner[5] = D3DXVECTOR3(mx.x, mx.y, mx.z);
  box->corner[6] = D3DXVECTOR3(mn.x, mx.y, mn.z);
  box->corner[7] = D3DXVECTOR3(mx.x, mx.y, mn.z);
}

// Appends an object to a role list; returns false when the list is full.
bool Append(DWORD* list, DWORD* count, DWORD capacity, DWORD object) {
  if (*count >= capacity) return false;
  list[(*count)++] = object;
  return true;
}

}  // namespace

void cGround::InitPhysics() {
  static const bool initialised = (dInitODE2(0), true);
  (void)initialised;
}

cGround::cGround(const char* trackPath, cScreen* scr, void (*progress)(float)) {
  // 1.
  SkidTexture = nullptr;
  heightmap = nullptr;
  hmSize = 0;
  std::memset(hmHeader, 0, sizeof hmHeader);
  mesh = nullptr;
  groundSM = nullptr;
  roadSM = nullptr;
  sun = nullptr;
  roadGeom = borderGeom = nullptr;
  roadData = borderData = nullptr;
  roadVertices = roadNormals = borderVertices = borderNormals = nullptr;
  roadIndices = borderIndices = nullptr;
  skidBufferCreated = false;
  skidSlot = 0;
  sunPos = D3DXVECTOR2(5.0f, 5.0f);
  startX = startZ = startRadY = 0.0f;
  if (!trackPath) trackPath = "";

  // 2.
  InitPhysics();
  world = dWorldCreate();
  dWorldSetGravity(world, 0, -9.81, 0);

  // 3. The mesh below is found from the unquoted path as well.
  std::vector<char> path(trackPath, trackPath + std::strlen(trackPath) + 1);
  PathUnquoteSpacesA(path.data());
  std::vector<char> dir(path);
  PathRemoveFileSpecA(dir.data());
  if (std::strlen(dir.data()) >= sizeof directory)
    std::fprintf(stderr, "vrx: track directory too long (at most %zu characters): %s\n",
                 sizeof directory - 1, dir.data());
  std::snprintf(directory, sizeof directory, "%s", dir.data());
  screen = scr;

  // 4.
  bestTime = kNoTime;
  const std::string bestFile = TrackFile(directory, "BestTime.dat");
  // The player's own record once there is one, else the one the track ships with.
  const std::string bestPath = vrx::PlayerFileToRead(bestFile.c_str(), vrx::PlayerFile::kRecord);
  if (FILE* f = vrx::OpenFile(bestPath.c_str(), "rb")) {
    DWORD t;
    if (std::fread(&t, 1, sizeof t, f) == sizeof t)
      bestTime = t;
    else
      std::fprintf(stderr, "vrx: %s is shorter than 4 bytes; no best time\n",
                   bestPath.c_str());
    std::fclose(f);
  }

  loadedBestTime = bestTime;

  // 5.
  maxSimultaneousTextures = screen->GetDevCaps().MaxSimultaneousTextures;

  // 6.
  sun = new cSprite("DATA\\TRACKS\\COMMON\\sun.tga", screen);

  // 7.
  skidCounter = 0;
  std::memset(skidVertices, 0, sizeof skidVertices);
  const int slot = screen->GetFirstUnusedVertexBuffer();
  if (slot >= 0) {
    skidSlot = (BYTE)slot;
    skidBufferCreated = screen->CreateVertexBuffer(skidSlot, MO_VERTEX_FVF, skidVertices,
                                                   sizeof skidVertices, sizeof(_MOVERTEX)) != 0;
  }
  if (!skidBufferCreated) std::fprintf(stderr, "vrx: no vertex buffer for the skid marks\n");

  // 8.
  const std::string meshFile = std::string(path.data()) + ".mo";
  mesh = new cMoObject(meshFile.c_str(), screen, progress);

  // 9.
  trackMax = D3DXVECTOR3(-1e6f, -1e6f, -1e6f);
  trackMin = D3DXVECTOR3(1e6f, 1e6f, 1e6f);
  roadCount = borderCount = terrainCount = sceneryCount = skyCount = 0;
  startGate = halfGate = 0;

  // 10. Roles by name; what does not fit a list is left out, once reported.
  DWORD dropped = 0;
  const DWORD n = mesh->ObjCount();
  for (DWORD i = 0; i < n; ++i) {
    const char* name = mesh->GetName(i);
    bool widen = false, kept = true;
    switch (name[0]) {
      case 'g':
        kept = Append(roadList, &roadCount, GROUND_MAX_OBJS, i);
        widen = kept;
        break;
      case 'b':
        kept = Append(borderList, &borderCount, GROUND_MAX_OBJS, i);
        break;
      case 'h':
        kept = Append(terrainList, &terrainCount, GROUND_MAX_OBJS, i);
        widen = kept;
        break;
      case 's':
        kept = Append(skyList, &skyCount, GROUND_MAX_SKY, i);
        break;
      case 't':
        if (name[1] == 's') startGate = i;
        if (name[1] == 'm') halfGate = i;
        break;
      default:
        kept = Append(sceneryList, &sceneryCount, GROUND_MAX_OBJS, i);
        widen = kept;
        break;
    }
    if (!kept) ++dropped;
    if (widen) {
      const D3DXVECTOR3 mn = mesh->GetMinBBox(i), mx = mesh->GetMaxBBox(i);
      D3DXVec3Minimize(&trackMin, &trackMin, &mn);
      D3DXVec3Maximize(&trackMax, &trackMax, &mx);
    }
  }
  if (dropped)
    std::fprintf(stderr,
                 "vrx: %s: %u objects left out (at most %d road, border, terrain and scenery "
                 "objects and %d sky objects)\n",
                 meshFile.c_str(), dropped, GROUND_MAX_OBJS, GROUND_MAX_SKY);

  // 11.
  if (progress) progress(1.0f);

  // 12., 13.
  mesh->CalcGlobalBBox();
  for (DWORD i = 0; i < borderCount; ++i)
    FillCorners(&borderBoxes[i], mesh->GetMinBBox(borderList[i]), mesh->GetMaxBBox(borderList[i]));
  for (DWORD i = 0; i < roadCount; ++i)
    FillCorners(&roadBoxes[i], mesh->GetMinBBox(roadList[i]), mesh->GetMaxBBox(roadList[i]));

  // 14. All static scenery is lit once, by vertex colour; the sky keeps its own.
  mesh->Lighting = FALSE;
  D3DXVECTOR3 light(0.0f, -1.0f, 1.0f);
  for (DWORD i = 0; i < n; ++i)
    if (mesh->GetName(i)[0] != 's') mesh->AddStaticLight(&light, i);

  // 15.
  skyRadius = 0.0f;
  for (DWORD i = 0; i < skyCount; ++i) {
    const D3DXVECTOR3 mn = mesh->GetMinBBox(skyList[i]), mx = mesh->GetMaxBBox(skyList[i]);
    const float a = D3DXVec3Length(&mn), b = D3DXVec3Length(&mx);
    const float r = a > b ? a : b;
    if (r > skyRadius) skyRadius = r;
  }

  // 16.
  SetGlobalUVs(terrainList, terrainCount);
  SetGlobalUVs(roadList, roadCount);
  CalcShadowTexMtx();

  // 17.
  ReadStart();

  // 18.
  BuildCollisionMesh(roadList, roadCount, &roadData, &roadVertices, &roadNormals, &roadIndices,
                     &roadGeom);
  BuildCollisionMesh(borderList, borderCount, &borderData, &borderVertices, &borderNormals,
                     &borderIndices, &borderGeom);
}

void cGround::ReadStart() {
  const std::string file = TrackFile(directory, "Start.ini");
  // Without the file, or where a line holds no number, the value is 0; the
  // player hears which.
  FILE* f = vrx::OpenFileReported(file.c_str(), "r");
  if (!f) return;
  float* values[3] = {&startX, &startZ, &startRadY};
  int lines = 0, firstWithoutNumber = 0;
  for (float* v : values) {
    char line[32];
    if (!std::fgets(line, sizeof line, f)) break;
    ++lines;
    char* end = nullptr;
    std::strtod(line, &end);
    if (end == line && !firstWithoutNumber) firstWithoutNumber = lines;
    *v = (float)std::atof(line);
    // The rest of an over-long line is not a value of its own.
    if (!std::strchr(line, '\n')) {
      int c;
      while ((c = std::fgetc(f)) != EOF && c != '\n') {
      }
    }
  }
  std::fclose(f);
  if (lines < 3)
    std::fprintf(stderr, "vrx: %s has %d of its 3 lines (start x, start z, heading); the rest are 0\n",
                 file.c_str(), lines);
  else if (firstWithoutNumber)
    std::fprintf(stderr, "vrx: %s line %d holds no number; 0 is taken\n", file.c_str(), firstWithoutNumber);
  startRadY *= 0.017444445f;
}

void cGround::BuildCollisionMesh(DWORD* list, DWORD count, dxTriMeshData** data, float** vertices,
                                 float** normals, dTriIndex** indices, dxGeom** geom) {
  DWORD v = 0;
  for (DWORD i = 0; i < count; ++i) v += 3 * mesh->GetObjFaceCount(list[i]);
  // ODE's tree builder wants at least one triangle; an empty mesh gets one
  // degenerate triangle far below the world that nothing can touch.
  const DWORD stored = v ? v : 3;
  *vertices = new float[3 * stored];
  *normals = new float[3 * stored];
  *indices = new dTriIndex[stored];
  DWORD k = 0;
  std::vector<_MOFACE> faces;
  for (DWORD i = 0; i < count; ++i) {
    faces.resize(mesh->GetObjFaceCount(list[i]));
    if (faces.empty()) continue;
    mesh->GetObjFaces(list[i], faces.data());
    for (const _MOFACE& f : faces)
      for (const _MOVERTEX& p : f.v) {
        (*vertices)[3 * k + 0] = p.x;
        (*vertices)[3 * k + 1] = p.y;
        (*vertices)[3 * k + 2] = p.z;
        (*normals)[3 * k + 0] = p.nx;
        (*normals)[3 * k + 1] = p.ny;
        (*normals)[3 * k + 2] = p.nz;
        (*indices)[k] = k;
        ++k;
      }
  }
  if (!v) {
    for (DWORD j = 0; j < 3; ++j) {
      (*vertices)[3 * j + 0] = 0.0f;
      (*vertices)[3 * j + 1] = -1e6f;
      (*vertices)[3 * j + 2] = 0.0f;
      (*normals)[3 * j + 0] = (*normals)[3 * j + 2] = 0.0f;
      (*normals)[3 * j + 1] = 1.0f;
      (*indices)[j] = j;
    }
  }
  *data = dGeomTriMeshDataCreate();
  dGeomTriMeshDataBuildSingle1(*data, *vertices, 12, (int)stored, *indices, (int)stored, 12,
                               *normals);
  *geom = dCreateTriMesh(nullptr, *data, nullptr, nullptr, nullptr);
}

void cGround::WriteBestTime() {
  const DWORD t = bestTime;
  // An installed game shows the shipped record until the player sets one of
  // their own, so an unchanged time is not copied into the player's folder.
  if (t == loadedBestTime && !vrx::PlayerFilesBesideProgram()) return;
  const std::string path =
      vrx::PlayerFileToWrite(TrackFile(directory, "BestTime.dat").c_str(), vrx::PlayerFile::kRecord);
  vrx::WriteFileSafely(path.c_str(), &t, sizeof t);
}

cGround::~cGround() {
  delete mesh;
  if (skidBufferCreated) screen->DeleteVertexBuffer(skidSlot);
  delete groundSM;
  delete roadSM;
  delete sun;
  WriteBestTime();
  dGeomDestroy(roadGeom);
  dGeomTriMeshDataDestroy(roadData);
  delete[] roadVertices;
  delete[] roadNormals;
  delete[] roadIndices;
  dGeomDestroy(borderGeom);
  dGeomTriMeshDataDestroy(borderData);
  delete[] borderVertices;
  delete[] borderNormals;
  delete[] borderIndices;
  dWorldDestroy(world);
  std::free(heightmap);
}

void cGround::LoadShadowMaps() {
  delete groundSM;
  delete roadSM;
  groundSM = new cTexture(TrackFile(directory, "ground_sh.dds").c_str(), screen);
  roadSM = new cTexture(TrackFile(directory, "road_sh.dds").c_str(), screen);
}

cTexture* cGround::GetRoadSM() { return roadSM; }
cTexture* cGround::GetGroundSM() { return groundSM; }
float cGround::GetStartX() { return startX; }
float cGround::GetStartZ() { return startZ; }
float cGround::GetStartRadY() { return startRadY; }
float cGround::GetStartY() { return GetH(startX, startZ); }

void cGround::SetBestTime(DWORD t) {
  if (t != 0 && t < bestTime) bestTime = t;
}

DWORD cGround::GetBestTime() { return bestTime; }
dxWorld* cGround::GetWorld() { return world; }
dxGeom* cGround::GetGroundGeom() { return roadGeom; }
dxGeom* cGround::GetBorderGeom() { return borderGeom; }

void cGround::LoadHM(const char* file) {
  FILE* f = vrx::OpenFileReported(file, "rb");
  if (!f) return;
  BYTE h[36];
  DWORD width = 0, depth = 0;
  long long size = -1;
  if (std::fread(h, 1, sizeof h, f) == sizeof h) {
    std::memcpy(&width, h + 4, 4);
    std::memcpy(&depth, h + 8, 4);
    if (std::fseek(f, 0, SEEK_END) == 0) size = std::ftell(f) - (long long)sizeof h;
    std::fseek(f, sizeof h, SEEK_SET);
  }
  // The samples must be in the file before a buffer is sized from the header.
  const unsigned long long samples = (unsigned long long)width * depth;
  if (size < 0 || samples > (unsigned long long)size || samples > 0xFFFFFFFFull) {
    std::fprintf(stderr, "vrx: %s: heightmap shorter than its %u x %u samples\n",
                 vrx::ResolvePath(file).c_str(), width, depth);
    std::fclose(f);
    return;
  }
  BYTE* bytes = (BYTE*)std::malloc(samples + 1);
  if (!bytes || std::fread(bytes, 1, samples, f) != samples) {
    std::free(bytes);
    std::fclose(f);
    return;
  }
  std::fclose(f);
  std::memcpy(hmHeader, h, sizeof h);
  std::free(heightmap);
  heightmap = bytes;
  hmSize = (DWORD)samples;
}

BYTE cGround::GetByteHeight(DWORD x, DWORD z) {
  DWORD width;
  std::memcpy(&width, hmHeader + 4, 4);
  const unsigned long long at = (unsigned long long)x + (unsigned long long)z * width;
  return at < hmSize ? heightmap[at] : 0;
}
