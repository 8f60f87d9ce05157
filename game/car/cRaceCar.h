// cRaceCar: one playable car of a drive. It builds the engine's car from the
// car's files (mesh, car data, torque table, sounds) and wraps everything
// the game adds around it: controls from keyboard or joystick, mesh dents
// and damage, engine/skid/shift/crash sounds, skid marks and tyre smoke,
// drawing with reflections, road shadow and lights, and the cameras.
//
// A car whose files are missing or damaged is still a valid object, but not
// raceable: IsRaceable() is false (one stderr line said why), it holds no
// engine car, and every method is then harmless and does nothing.
#pragma once

#include <cstdint>

#include "CarTypes.h"
#include "MoTypes.h"
#include "platform/d3d9.h"
#include "platform/d3dx9math.h"

class cCar;
class cGround;
class cInput;
class cListener;
class cMoObject;
class cParticle;
class cScreen;
class cSound3D;
class cTexture;

// One brake or reverse light: where its sprite sits (car frame) and how big.
struct _CARLIGHT {
  D3DXVECTOR3 centre;
  float width;  // 0: broken (or never lit), draws nothing
  uint32_t object;
};
static_assert(sizeof(_CARLIGHT) == 20, "_CARLIGHT is 20 bytes");

#define RACECAR_MAX_TORQUE_POINTS 256
#define RACECAR_MAX_LIGHTS 16
#define RACECAR_MAX_PARTS 256
#define RACECAR_MAX_PLATES 4
#define RACECAR_CDF_SIZE 144

// Key map positions (DirectInput key codes).
#define RACECAR_KEY_THROTTLE 0
#define RACECAR_KEY_BRAKE 1
#define RACECAR_KEY_STEER_POSITIVE 2
#define RACECAR_KEY_STEER_NEGATIVE 3
#define RACECAR_KEY_GEAR_UP 4
#define RACECAR_KEY_GEAR_DOWN 5
#define RACECAR_KEY_HANDBRAKE 6

class cRaceCar {
 public:
  // Written by the race loop each frame: car position + (0, 1, 0) - camera
  // position. Up vector of the silhouette camera.
  D3DXVECTOR3 viewDir;
  int32_t controlMode;  // 0 keyboard, 1 joystick, 2 clamp only, 3 none (replay)
  int32_t deformation;  // nonzero: collisions dent the mesh and add damage

  // basePath: the car list's entry, e.g. "DATA\CARS\Hatch\Hatch"; every file
  // of the car is this plus a fixed ending. The start state's y is replaced
  // by the ground height + 0.5. keyMap: 7 key codes, borrowed.
  cRaceCar(const char* basePath, _CARSTATE startState, cScreen* screen, cGround* ground, cInput* input,
           cListener* listener, uint8_t* keyMap, int32_t automaticGearbox, int32_t reflections);
  ~cRaceCar();
  cRaceCar(const cRaceCar&) = delete;
  cRaceCar& operator=(const cRaceCar&) = delete;

  bool IsRaceable() const { return raceable; }
  cCar* GetCar() { return car; }  // null when not raceable
  float GetDamage() const { return damage; }
  int GetGear();  // neutral (1) when not raceable
  // The engine car's 24-byte control block (replay recording and playback).
  void CopyControlsOut(void* out24);
  void CopyControlsIn(const void* in24);
  void StopSounds();        // engine, skid and shift together
  void StartEngineSound();  // engine sound looping
  void Silence();           // every sound of the car, the crash included
  // Pitch of every sound of the car over its normal one, for a replay that
  // runs faster or slower than real time (1: normal).
  void SetSoundSpeed(float factor);
  // The engine car's body was placed from outside (a replay's seek): the
  // drawn pose follows it, and skid marks start afresh rather than joining
  // the old place to the new one.
  void Relocated();

  // The frame's update: controls, dents, physics, sounds, skid marks, smoke.
  void Step(float dt);

  // The whole car in the current scene: reflection cube map (every second
  // call), body with reflection and road shadow, parts, plates, wheels,
  // brake and reverse light sprites, smoke.
  void Draw(cTexture* envTexture, cTexture* plateTexture);
  // The silhouette into the caller's render target, seen from the light.
  void DrawShadowCaster(D3DXVECTOR3* lightOffset, cTexture* shadowTexture);
  void DrawAllWithTexture(cTexture* texture);
  // 1 when the cube map and its depth surface were made, else 0.
  int CreateReflectionTargets(uint32_t edge);
  // Around a device reset; nothing unless reflections are on.
  void ReleaseReflectionTargets();
  void RestoreReflectionTargets();
  // 0 (full shadow) .. 255 (open sky) under the car; 255 without a map.
  BYTE SampleShadowIntensity();

  // Camera positions; both keep out of walls and above the road.
  D3DXVECTOR3 ChaseCamera(D3DXVECTOR3* offset);
  D3DXVECTOR3 TrackCamera(int32_t grid, float height);

  // The engine's torque callback: full-throttle torque (N m) at engineSpeed
  // (rad/s) from the car's torque table, reduced by damage above 50.
  static float TorqueCurve(float engineSpeed, void* car);
  // The engine sound's sample rate at engineSpeed (rad/s): (1500 + rpm) x 8.
  static unsigned long EngineSoundFreq(float engineSpeed);
  // Whether a step with this collision flag and body velocity starts the
  // crash sound; keeps the latch shared by all cars (a long contact at speed
  // plays it every second step).
  static bool CrashSoundDue(int collision, D3DXVECTOR3 bodyVelocity);
  // How hard the controller rumbles (0..1) for a crash at this body speed
  // (m/s): a light knock at the crash sound's threshold, full from 20 m/s.
  static float CrashRumble(float speed);

  // Read-only views for the race loop and tools.
  D3DXVECTOR3 GetPosition() const { return position; }
  D3DXMATRIX GetWorldMatrix() const { return worldMatrix; }
  float GetBrakeLightLevel() const { return brakeLightLevel; }
  float GetReverseLightLevel() const { return reverseLightLevel; }
  int32_t AreReflectionsEnabled() const { return reflectionsEnabled; }
  // Whether the next Draw renders the reflection cube map (every second one).
  bool RefreshesReflectionNextDraw() const { return reflectionToggle == 1 && reflectionsEnabled && reflectionCube; }

 private:
  friend struct cRaceCarProbe;  // tests

  bool LoadCarData(const char* file);
  bool ReadTorqueFile(const char* file);
  void SortMeshObjects();
  void BuildShadowIntensityMap();
  void Fail(const char* file, const char* what);
  void ReadKeyboard(float dt);
  void ReadJoystick();
  void Deform();
  void RefreshState();
  void UpdateSounds();
  void LaySkidsAndSmoke();
  void RenderReflectionCube();
  void UpdateLightLevel(float* level, bool on, DWORD* fadeInTime, DWORD* fadeOutTime, DWORD now);
  void DrawLights(const _CARLIGHT* lights, uint32_t count, float level, cTexture* texture,
                  const D3DSURFACE_DESC& desc, bool resetWorld);
  void MeshBox(uint32_t object, D3DXVECTOR3* min, D3DXVECTOR3* max);

  _CARDATA carData;
  _CARSTATE startState;
  cMoObject* mesh;
  cCar* car;
  cScreen* screen;
  cInput* input;
  cGround* ground;
  cTexture* brakeLightTexture;
  cTexture* reverseLightTexture;
  uint32_t wheelObject;
  uint32_t bodyObject;
  uint32_t textureStageCount;
  uint32_t brakeLightCount;
  uint32_t reverseLightCount;
  uint32_t partObjects[RACECAR_MAX_PARTS];
  uint32_t partCount;
  uint32_t plateObjects[RACECAR_MAX_PLATES];
  uint32_t plateCount;
  D3DXVECTOR3 position;
  D3DXMATRIX rotation;
  D3DXMATRIX worldMatrix;
  _SUSPSTATE suspState;
  _WHEELSMATRICES wheelMatrices;
  cSound3D* engineSound;
  cSound3D* skidSound;
  cSound3D* shiftSound;
  cSound3D* crashSound;
  float torqueSpeeds[RACECAR_MAX_TORQUE_POINTS];
  float torqueValues[RACECAR_MAX_TORQUE_POINTS];
  float damage;
  // Wider than a byte: a full table of 256 points must not read as empty.
  uint32_t torquePointCount;
  D3DXVECTOR3 lastSkidPoints[4];
  float frontSkidWidth;
  float rearSkidWidth;
  int32_t skidActive[4];
  cParticle* smoke[4];
  int32_t lastGear;
  _CARLIGHT brakeLights[RACECAR_MAX_LIGHTS];
  _CARLIGHT reverseLights[RACECAR_MAX_LIGHTS];
  D3DSURFACE_DESC brakeLightDesc;
  D3DSURFACE_DESC reverseLightDesc;
  float reverseLightLevel;
  float brakeLightLevel;
  BYTE* shadowMap;
  BYTE shadowMapMax;
  uint32_t shadowMapWidth;
  uint32_t shadowMapHeight;
  IDirect3DCubeTexture9* reflectionCube;
  IDirect3DSurface9* reflectionDepth;
  int32_t reflectionsEnabled;
  int32_t reflectionToggle;
  float lastDt;
  D3DXVECTOR3 cameraPosition;
  D3DXVECTOR3 cameraLastTarget;
  uint8_t* keyMap;

  // Beyond the published record: whether the files made a car, and a copy
  // of the mesh's vertices (the dents work on it and write back only what
  // moved), with each object's first vertex in it.
  bool raceable;
  _MOVERTEX* vertices;
  uint32_t* objectFirstVertex;
  uint32_t objectCount;
  D3DXVECTOR3* objectBoxes;  // min and max of each object's vertices
  // The chase camera's last good bearing from the car (unit, horizontal
  // part used); zero until the first one.
  D3DXVECTOR3 cameraBearing;

  // Program-wide state shared by all cars: gear key press flags (keyboard
  // and joystick), the crash latch, and the light fade timestamps.
  static int32_t keyGearUpHeld, keyGearDownHeld, joyGearUpHeld, joyGearDownHeld;
  static int32_t crashLatch;
  static DWORD brakeFadeInTime, brakeFadeOutTime, reverseFadeInTime, reverseFadeOutTime;
};
