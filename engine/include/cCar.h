// The car model: a chassis box on four sphere wheels held by hinge-2 joints
// (steering axis with spring-damper suspension, spin axis with the drive and
// brake motor), in the physics world of the track. An engine torque curve, a
// gearbox, brakes and air drag act through the joints; tyre grip is the
// physics engine's contact friction with a sideways slip that grows with the
// wheel's speed.
//
// The game writes the control block (the first 24 bytes of the object) and
// the half-lap flag directly and reads the collision records behind them, so
// these fields come first and in this order.
#pragma once

#include <ode/ode.h>

#include "CarTypes.h"
#include "platform/d3dx9math.h"

class cGround;

// Brings the values of a car data record that the model cannot run with
// (not numbers, beyond any car, zero masses and sizes) into its working
// range, one stderr line per changed field, each starting with `source`
// (the car data file's name; null: "car data"). cCar does it to every
// record it is given; a caller that read the record from a file does it
// first, so the player learns which file was wrong.
void ValidateCarData(_CARDATA* d, const char* source);

class cCar {
 public:
  // Control block, copied by the game as one 24-byte block.
  float Throttle;        // 0 .. 1
  float Brake;           // 0 .. 1
  float Steering;        // front wheel angle about the car's y, radians; positive turns left
  int32_t Handbrake;     // nonzero: pulled
  int32_t SpareControl;  // written by the game, not read here
  int32_t Gear;          // 0 reverse, 1 neutral, 2 and up forward
  // Set at construction; each substep ORs in the half gate test. The race
  // loop clears it when it books a lap.
  int32_t HalfLap;
  // Body-versus-border contacts of the last step (car frame).
  _CARCOLLISION Collisions[CAR_MAX_COLLISIONS];

  // Builds the car from copies of data and state on the ground's world. The
  // ground must outlive the car. context is never called: it is handed back
  // as the torque callback's second argument.
  cCar(_CARDATA* data, _CARSTATE* state, cGround* ground, float (*torque)(float, void*),
       float (*context)(float, void*));
  ~cCar();
  cCar(const cCar&) = delete;
  cCar& operator=(const cCar&) = delete;

  // Advances the car and the world by dt seconds in substeps of at most 0.01 s.
  void DoStep(float dt);

  // Replaces the parameters; the body box is rebuilt from the new bounding
  // box, everything else takes effect from the next step.
  void SetCarData(_CARDATA* data);
  _CARDATA GetCarData();

  D3DXVECTOR3 GetLinPos();  // live
  D3DXVECTOR3 GetLinVel();
  D3DXMATRIX GetRotPos();
  D3DXVECTOR3 GetRotVel();  // live
  D3DXQUATERNION GetRotQuat();  // live
  D3DXVECTOR3 GetBodyVel();  // car frame
  _SUSPSTATE GetSuspState();
  _SUSPSTATE GetWorldSuspState();
  _WHEELSMATRICES GetWheelsMatrices();
  _WHEELSKIDS GetSkids();
  float GetEngineRot();  // rad/s
  int GetGear();
  float GetSpeed();  // driven wheels' road speed, m/s, positive forward
  int IsCollision();
  int IsTimerCollision();
  int WasTimerCollision();
  int IsScrapCollision();
  int WasCollision();
  float GetSkid(int wheel);
  D3DXVECTOR3 GetWheelRollVel(int wheel);
  float GetSlipAngle(unsigned char wheel);
  float GetSideTireForce(float slip);
  void CalcWheelsMatrices();

  // Chassis setters, meant for between steps (replay playback).
  void SetLinPos(D3DXVECTOR3* p);
  void SetLinVel(D3DXVECTOR3* v);
  void SetRotVel(D3DXVECTOR3* w);
  void SetRotQuat(D3DXQUATERNION* q);
  // Leaves the transpose of *m in *m.
  void SetRotPos(D3DXMATRIX* m);

 private:
  // Read access to the bodies and joints for the test programs.
  friend struct cCarProbe;

  void Advance(float dt);
  void Substep(float h);
  void UpdateEngine(float h);
  void SetWheelMotors(float torque);
  void CollideBody(dxGeom* other, int border);
  int CollideWheel(int wheel, float h);
  void RefreshState();
  void BuildBodyGeom();
  float WheelRadius(int wheel);
  D3DXMATRIX* FrontWheelHeading(D3DXMATRIX* out);

  void CalcWorldSuspState();
  void CalcDriveWheelsRotVel();
  void CalcWorldBBox();
  void CalcBodyVel();
  float GetWheelRotVel(int wheel);
  float GetDumperForce(float k, float x);
  float GetAdditionalForce(float);
  D3DXVECTOR3 GetNextWheelWorldPos(D3DXVECTOR3* a, D3DXVECTOR3* b, float t);
  void SetBodyRotPos(dBodyID body, D3DXMATRIX* m);
  float Sgn(float x);

  cGround* ground;
  _CARDATA carData;
  _CARSTATE state;
  _SUSPSTATE localSusp;
  _SUSPSTATE worldSusp;
  D3DXVECTOR3 localCorners[8];
  D3DXVECTOR3 worldCorners[8];
  D3DXVECTOR3* pWorldCorners;
  D3DXVECTOR3* pLocalCorners;
  D3DXVECTOR3 bodyVel;
  _WHEELSMATRICES wheelsMatrices;
  int32_t skids[4];
  float driveWheelSpin[2];
  float engineRot;
  float (*torqueCurve)(float, void*);
  int32_t collision;
  int32_t scrapCollision;
  int32_t timerCollision;
  int32_t prevTimerCollision;
  int32_t pastCollision;
  void* context;
  dBodyID body;
  dBodyID wheels[4];
  dGeomID bodyGeom;
  dGeomID wheelGeoms[4];
  dMass bodyMass;
  dMass wheelMasses[4];
  dJointID joints[4];
  dContact bodyContacts[CAR_MAX_COLLISIONS];
  dContact wheelContacts[4][8];
  dJointGroupID contactGroup;
};
