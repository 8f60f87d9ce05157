// cRaceCar: building the car from its files, the torque table and teardown.
#include "car/cRaceCar.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>

#include "cCar.h"
#include "cGround.h"
#include "cInput.h"
#include "cMoObject.h"
#include "cParticle.h"
#include "cScreen.h"
#include "cTexture.h"
#include "mathkit/mathkit.h"
#include "platform/files.h"
#include "sound/cSound3D.h"

int32_t cRaceCar::keyGearUpHeld = 0;
int32_t cRaceCar::keyGearDownHeld = 0;
int32_t cRaceCar::joyGearUpHeld = 0;
int32_t cRaceCar::joyGearDownHeld = 0;
int32_t cRaceCar::crashLatch = 0;
DWORD cRaceCar::brakeFadeInTime = 0;
DWORD cRaceCar::brakeFadeOutTime = 0;
DWORD cRaceCar::reverseFadeInTime = 0;
DWORD cRaceCar::reverseFadeOutTime = 0;

namespace {

std::string FileName(const char* base, const char* separator, const char* ending) {
  return std::string(base) + separator + ending;
}

float FloatAt(const unsigned char* bytes, int offset) {
  float f;
  std::memcpy(&f, bytes + offset, sizeof f);
  return f;
}

int32_t IntAt(const unsigned char* bytes, int offset) {
  int32_t i;
  std::memcpy(&i, bytes + offset, sizeof i);
  return i;
}

bool StartsWith(const char* name, const char* prefix) {
  return std::strncmp(name, prefix, std::strlen(prefix)) == 0;
}

}  // namespace

cRaceCar::cRaceCar(const char* basePath, _CARSTATE start, cScreen* screen, cGround* ground, cInput* input,
                   cListener* listener, uint8_t* keyMap, int32_t automaticGearbox, int32_t reflections)
    : viewDir(0, 0, 0),
      mesh(nullptr),
      car(nullptr),
      brakeLightTexture(nullptr),
      reverseLightTexture(nullptr),
      wheelObject(0),
      bodyObject(0),
      textureStageCount(0),
      position(0, 0, 0),
      engineSound(nullptr),
      skidSound(nullptr),
      shiftSound(nullptr),
      crashSound(nullptr),
      torquePointCount(0),
      frontSkidWidth(0),
      rearSkidWidth(0),
      smoke{nullptr, nullptr, nullptr, nullptr},
      lastGear(CAR_GEAR_NEUTRAL),
      reflectionsEnabled(0),
      lastDt(0.01f),
      cameraPosition(0, 0, 0),
      cameraLastTarget(0, 0, 0),
      raceable(true),
      vertices(nullptr),
      objectFirstVertex(nullptr),
      objectCount(0),
      objectBoxes(nullptr),
      cameraBearing(0, 0, 0) {
  std::memset(&carData, 0, sizeof carData);
  std::memset(&suspState, 0, sizeof suspState);
  std::memset(&wheelMatrices, 0, sizeof wheelMatrices);
  std::memset(brakeLights, 0, sizeof brakeLights);
  std::memset(reverseLights, 0, sizeof reverseLights);
  std::memset(&brakeLightDesc, 0, sizeof brakeLightDesc);
  std::memset(&reverseLightDesc, 0, sizeof reverseLightDesc);
  std::memset(lastSkidPoints, 0, sizeof lastSkidPoints);
  MatrixIdentity(&rotation);
  MatrixIdentity(&worldMatrix);
  if (!basePath) basePath = "";

  // 1. Defaults and the start state.
  shadowMap = nullptr;
  shadowMapMax = 0;
  shadowMapWidth = shadowMapHeight = 0;
  reflectionCube = nullptr;
  reflectionDepth = nullptr;
  damage = 0.0f;
  deformation = 1;
  reflectionToggle = 1;
  this->keyMap = keyMap;
  controlMode = 0;
  for (int i = 0; i < 4; ++i) skidActive[i] = 0;
  startState = start;

  // 2. The car starts half a metre above the ground under it.
  if (ground) startState.LinPos.y = ground->GetHeight(startState.LinPos.x, startState.LinPos.z) + 0.5f;

  // 3.
  this->screen = screen;
  this->input = input;
  this->ground = ground;
  brakeLightCount = reverseLightCount = 0;
  partCount = plateCount = 0;
  reverseLightLevel = brakeLightLevel = 0.0f;

  // 4. The shared light sprites.
  brakeLightTexture = new cTexture("DATA\\CARS\\COMMON\\red_light.tga", screen);
  brakeLightDesc = brakeLightTexture->GetTextureInfo();
  reverseLightTexture = new cTexture("DATA\\CARS\\COMMON\\white_light.tga", screen);
  reverseLightDesc = reverseLightTexture->GetTextureInfo();

  // 5. The mesh and the roles of its objects.
  const std::string meshFile = FileName(basePath, ".", "mo");
  mesh = new cMoObject(meshFile.c_str(), screen, nullptr);
  SortMeshObjects();
  if (raceable && mesh->ObjCount() == 0) Fail(meshFile.c_str(), "holds no objects");
  if (raceable && !StartsWith(mesh->GetName(bodyObject), "b")) Fail(meshFile.c_str(), "has no body object (\"b...\")");
  if (raceable && !StartsWith(mesh->GetName(wheelObject), "w"))
    Fail(meshFile.c_str(), "has no wheel object (\"w...\")");
  if (raceable) mesh->CalcObjBBox(bodyObject);

  // 6. The car data file.
  const std::string cdfFile = FileName(basePath, ".", "cdf");
  if (raceable) LoadCarData(cdfFile.c_str());
  carData.Automatic = automaticGearbox;

  // 7. Skid marks as wide as the wheel.
  const float wheelWidth = mesh->GetMaxBBox(wheelObject).x - mesh->GetMinBBox(wheelObject).x;
  frontSkidWidth = rearSkidWidth = -wheelWidth;

  // 8. The torque table.
  const std::string trqFile = FileName(basePath, ".", "trq");
  if (raceable) ReadTorqueFile(trqFile.c_str());

  if (!raceable || !ground) {
    // Nothing enters the physics world: the race start goes back to the menu.
    raceable = false;
    return;
  }

  // 9. The engine car on the ground's world.
  car = new cCar(&carData, &startState, ground, TorqueCurve, reinterpret_cast<float (*)(float, void*)>(this));

  // 10. Snapshot.
  RefreshState();

  // 11. Sounds.
  engineSound = new cSound3D(listener, FileName(basePath, "", "_eng.wav").c_str());
  skidSound = new cSound3D(listener, FileName(basePath, "", "_skid.wav").c_str());
  shiftSound = new cSound3D(listener, FileName(basePath, "", "_shift.wav").c_str());
  crashSound = new cSound3D(listener, FileName(basePath, "", "_crash.wav").c_str());
  engineSound->SetSampleFreq(16800);
  engineSound->SetPos(&position);

  // 12.
  BuildShadowIntensityMap();

  // 13. Skid marks start where the wheels stand.
  const _SUSPSTATE world = car->GetWorldSuspState();
  for (int i = 0; i < 4; ++i) lastSkidPoints[i] = world.Point[i];

  // 14.
  textureStageCount = screen ? screen->GetDevCaps().MaxSimultaneousTextures : 0;

  // 15. Tyre smoke, one emitter a wheel, quiet until the wheel skids.
  for (int i = 0; i < 4; ++i) {
    cParticle* p = new cParticle(50, "DATA\\MENU\\Smoke.tga", screen);
    p->lifetime = 1.0f;
    p->spawnInterval = 0.02f;
    p->direction = D3DXVECTOR3(0, 1, 0);
    p->acceleration = D3DXVECTOR3(0, -5, 0);
    p->emissionSpeed = 0.25f;
    p->positionSpread = 0.15f;
    p->startSize = 0.001f;
    p->endSize = 0.006f;
    p->stopped = 1;
    p->fade = 1;
    p->grow = 1;
    smoke[i] = p;
  }

  // 16.
  lastGear = car->GetGear();

  // 17.
  reflectionsEnabled = reflections ? CreateReflectionTargets(64) : 0;

  // 18. The chase camera approaches from the origin.
  cameraPosition = D3DXVECTOR3(0, 0, 0);
  cameraLastTarget = D3DXVECTOR3(0, 0, 0);
  lastDt = 0.01f;
}

cRaceCar::~cRaceCar() {
  delete car;
  if (engineSound) engineSound->Stop();
  if (skidSound) skidSound->Stop();
  delete engineSound;
  delete skidSound;
  delete shiftSound;
  delete crashSound;
  for (cParticle* p : smoke) delete p;
  delete brakeLightTexture;
  delete reverseLightTexture;
  delete mesh;
  std::free(shadowMap);
  if (reflectionDepth) reflectionDepth->Release();
  if (reflectionCube) reflectionCube->Release();
  delete[] vertices;
  delete[] objectFirstVertex;
  delete[] objectBoxes;
}

void cRaceCar::Fail(const char* file, const char* what) {
  if (raceable) std::fprintf(stderr, "vrx: car %s %s; the car cannot race\n", vrx::ResolvePath(file).c_str(), what);
  raceable = false;
}

void cRaceCar::SortMeshObjects() {
  objectCount = (uint32_t)mesh->ObjCount();
  bool sawBody = false, sawWheel = false;
  bool tooManyParts = false, tooManyPlates = false, tooManyBrake = false, tooManyReverse = false;
  for (uint32_t i = 0; i < objectCount; ++i) {
    const char* name = mesh->GetName(i);
    if (name[0] == 'b') {
      bodyObject = i;
      sawBody = true;
    } else if (StartsWith(name, "ls")) {
      if (brakeLightCount < RACECAR_MAX_LIGHTS) brakeLights[brakeLightCount++].object = i;
      else tooManyBrake = true;
    } else if (StartsWith(name, "lr")) {
      if (reverseLightCount < RACECAR_MAX_LIGHTS) reverseLights[reverseLightCount++].object = i;
      else tooManyReverse = true;
    } else if (name[0] == 'l') {
      // Neither a light nor a part: never drawn.
    } else if (name[0] == 'm') {
      if (plateCount < RACECAR_MAX_PLATES) plateObjects[plateCount++] = i;
      else tooManyPlates = true;
    } else if (name[0] == 'w') {
      wheelObject = i;
      sawWheel = true;
    } else {
      if (partCount < RACECAR_MAX_PARTS) partObjects[partCount++] = i;
      else tooManyParts = true;
    }
  }
  // Without them these indices must not name another object.
  if (!sawBody) bodyObject = objectCount;
  if (!sawWheel) wheelObject = objectCount;
  const char* name = "the car mesh";
  if (tooManyParts) std::fprintf(stderr, "vrx: %s has more than %d parts; the rest are not drawn\n", name, RACECAR_MAX_PARTS);
  if (tooManyPlates)
    std::fprintf(stderr, "vrx: %s has more than %d number plates; the rest are not drawn\n", name, RACECAR_MAX_PLATES);
  if (tooManyBrake)
    std::fprintf(stderr, "vrx: %s has more than %d brake lights; the rest do not light\n", name, RACECAR_MAX_LIGHTS);
  if (tooManyReverse)
    std::fprintf(stderr, "vrx: %s has more than %d reverse lights; the rest do not light\n", name, RACECAR_MAX_LIGHTS);

  // A copy of every vertex: dents are worked out on it, and only the
  // vertices that move go back to the mesh.
  objectFirstVertex = new uint32_t[objectCount + 1];
  uint32_t total = 0;
  for (uint32_t i = 0; i < objectCount; ++i) {
    objectFirstVertex[i] = total;
    total += 3 * (uint32_t)mesh->GetObjFaceCount(i);
  }
  objectFirstVertex[objectCount] = total;
  vertices = new _MOVERTEX[total > 0 ? total : 1];
  for (uint32_t i = 0; i < objectCount; ++i)
    if (objectFirstVertex[i + 1] > objectFirstVertex[i])
      mesh->GetObjFaces(i, reinterpret_cast<_MOFACE*>(vertices + objectFirstVertex[i]));

  objectBoxes = new D3DXVECTOR3[2 * (size_t)objectCount + 2];
  for (uint32_t i = 0; i < objectCount; ++i) MeshBox(i, &objectBoxes[2 * i], &objectBoxes[2 * i + 1]);
  MeshBox(objectCount, &objectBoxes[2 * objectCount], &objectBoxes[2 * objectCount + 1]);

  // Lights sit at the centre of their object's box, worked out from the
  // vertices as the dents will, so that only a dent can move one.
  for (uint32_t k = 0; k < brakeLightCount + reverseLightCount; ++k) {
    _CARLIGHT& l = k < brakeLightCount ? brakeLights[k] : reverseLights[k - brakeLightCount];
    const D3DXVECTOR3& mn = objectBoxes[2 * l.object];
    const D3DXVECTOR3& mx = objectBoxes[2 * l.object + 1];
    l.centre = mn * 0.5f + mx * 0.5f;
    l.width = mx.x - mn.x;
  }
}

void cRaceCar::MeshBox(uint32_t object, D3DXVECTOR3* min, D3DXVECTOR3* max) {
  D3DXVECTOR3 mn(1e10f, 1e10f, 1e10f), mx(-1e10f, -1e10f, -1e10f);
  if (object < objectCount) {
    for (uint32_t v = objectFirstVertex[object]; v < objectFirstVertex[object + 1]; ++v) {
      const D3DXVECTOR3 p(vertices[v].x, vertices[v].y, vertices[v].z);
      D3DXVec3Minimize(&mn, &mn, &p);
      D3DXVec3Maximize(&mx, &mx, &p);
    }
  }
  *min = mn;
  *max = mx;
}

bool cRaceCar::LoadCarData(const char* file) {
  std::FILE* f = vrx::OpenFile(file, "rb");
  if (!f) {
    const std::string why = std::string("cannot be opened (") + std::strerror(errno) + ")";
    Fail(file, why.c_str());
    return false;
  }
  unsigned char b[RACECAR_CDF_SIZE];
  const size_t got = std::fread(b, 1, sizeof b, f);
  std::fclose(f);
  if (got < sizeof b) {
    const std::string why = "is " + std::to_string(got) + " bytes, shorter than " + std::to_string(RACECAR_CDF_SIZE);
    Fail(file, why.c_str());
    return false;
  }
  for (int w = 0; w < 4; ++w)
    carData.WheelPos[w] = D3DXVECTOR3(FloatAt(b, 12 * w), FloatAt(b, 12 * w + 4), FloatAt(b, 12 * w + 8));
  carData.FrontSpring = FloatAt(b, 48);
  carData.RearSpring = FloatAt(b, 52);
  carData.FrontDamping = FloatAt(b, 56);
  carData.RearDamping = FloatAt(b, 60);
  carData.TyreFriction = FloatAt(b, 64);
  carData.SideSlipDiv = FloatAt(b, 68);
  carData.BodyMass = FloatAt(b, 72);
  carData.BrakeForce = FloatAt(b, 76);
  carData.DragCoef = FloatAt(b, 80);
  carData.MaxRPM = FloatAt(b, 84);
  carData.UpshiftRPM = FloatAt(b, 88);
  carData.DownshiftRPM = FloatAt(b, 92);
  for (int g = 0; g < CAR_MAX_GEARS; ++g) carData.GearRatio[g] = FloatAt(b, 96 + 4 * g);
  // Offset 128 is not read.
  carData.FinalDrive = FloatAt(b, 132);
  carData.GearCount = IntAt(b, 136);
  carData.FrontDrive = IntAt(b, 140);

  carData.BBoxMin = mesh->GetMinBBox(bodyObject);
  carData.BBoxMax = mesh->GetMaxBBox(bodyObject);
  const float radius = (mesh->GetMaxBBox(wheelObject).y - mesh->GetMinBBox(wheelObject).y) * 0.5f;
  carData.FrontRadius = carData.RearRadius = radius;
  ValidateCarData(&carData, file);
  return true;
}

bool cRaceCar::ReadTorqueFile(const char* file) {
  torquePointCount = 0;
  std::FILE* f = vrx::OpenFile(file, "r");
  if (!f) {
    const std::string why = std::string("cannot be opened (") + std::strerror(errno) + ")";
    Fail(file, why.c_str());
    return false;
  }
  char line[128];
  int lineNumber = 0;
  bool tooMany = false, cut = false, unordered = false;
  while (std::fgets(line, sizeof line, f)) {
    ++lineNumber;
    char* newline = std::strchr(line, '\n');
    if (newline) {
      *newline = 0;
    } else if (!std::feof(f)) {
      // Longer than the buffer: the rest of the line is dropped, not read as a line of its own.
      cut = true;
      int c;
      while ((c = std::fgetc(f)) != EOF && c != '\n') {
      }
    }
    char* tab = std::strrchr(line, '\t');
    if (!tab) {
      bool blank = true;
      for (const char* p = line; *p; ++p) blank = blank && (*p == ' ' || *p == '\r');
      if (blank) continue;
      std::fclose(f);
      const std::string why = "line " + std::to_string(lineNumber) + " has no TAB between speed and torque";
      Fail(file, why.c_str());
      torquePointCount = 0;
      return false;
    }
    *tab = 0;
    if (torquePointCount >= RACECAR_MAX_TORQUE_POINTS) {
      tooMany = true;
      continue;
    }
    torqueSpeeds[torquePointCount] = std::strtof(line, nullptr);
    torqueValues[torquePointCount] = std::strtof(tab + 1, nullptr);
    if (torquePointCount > 0 && torqueSpeeds[torquePointCount] < torqueSpeeds[torquePointCount - 1]) unordered = true;
    ++torquePointCount;
  }
  std::fclose(f);
  const std::string path = vrx::ResolvePath(file);
  if (torquePointCount == 0) {
    Fail(file, "holds no torque points");
    return false;
  }
  if (tooMany)
    std::fprintf(stderr, "vrx: %s has more than %d points; the first %d are used\n", path.c_str(),
                 RACECAR_MAX_TORQUE_POINTS, RACECAR_MAX_TORQUE_POINTS);
  if (cut) std::fprintf(stderr, "vrx: %s has lines longer than 127 characters; they are cut\n", path.c_str());
  if (unordered)
    std::fprintf(stderr, "vrx: %s: engine speeds are not in rising order; the points are used as they stand\n",
                 path.c_str());
  if (torquePointCount == 1) std::fprintf(stderr, "vrx: %s has one point only; the engine gives no torque\n", path.c_str());
  return true;
}

float cRaceCar::TorqueCurve(float engineSpeed, void* context) {
  const cRaceCar* self = static_cast<const cRaceCar*>(context);
  if (!self) return 0.0f;
  const float rpm = engineSpeed * CAR_RADS_TO_RPM;
  const float factor = self->damage <= 50.0f ? 1.0f : 1.5f - 0.01f * self->damage;
  const float* s = self->torqueSpeeds;
  const float* t = self->torqueValues;
  for (uint32_t i = 0; i + 1 < self->torquePointCount; ++i)
    if (s[i] <= rpm && rpm < s[i + 1]) return (t[i] + (rpm - s[i]) / (s[i + 1] - s[i]) * (t[i + 1] - t[i])) * factor;
  return 0.0f;
}

int cRaceCar::GetGear() { return car ? car->GetGear() : CAR_GEAR_NEUTRAL; }

void cRaceCar::CopyControlsOut(void* out24) {
  if (!out24) return;
  if (car) std::memcpy(out24, &car->Throttle, 24);
  else std::memset(out24, 0, 24);
}

void cRaceCar::CopyControlsIn(const void* in24) {
  if (car && in24) std::memcpy(&car->Throttle, in24, 24);
}

void cRaceCar::StopSounds() {
  if (engineSound) engineSound->Stop();
  if (skidSound) skidSound->Stop();
  if (shiftSound) shiftSound->Stop();
}

void cRaceCar::StartEngineSound() {
  if (engineSound) engineSound->PlayLooping();
}

void cRaceCar::Silence() {
  StopSounds();
  if (crashSound) crashSound->Stop();
}

void cRaceCar::SetSoundSpeed(float factor) {
  for (cSound3D* s : {engineSound, skidSound, shiftSound, crashSound})
    if (s) s->SetSpeed(factor);
}

void cRaceCar::Relocated() {
  if (!car) return;
  RefreshState();
  for (int32_t& active : skidActive) active = 0;
}

void cRaceCar::RefreshState() {
  suspState = car->GetSuspState();
  position = car->GetLinPos();
  rotation = car->GetRotPos();
  wheelMatrices = car->GetWheelsMatrices();
  D3DXMATRIX translation;
  TranslationV(&translation, position.x, position.y, position.z);
  worldMatrix = rotation * translation;
}
