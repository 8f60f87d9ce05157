// Records the car model exchanges with the game: its parameters, its motion
// state and its per-step outputs. Every record is a plain block of 32-bit
// fields without padding; the game copies them whole, so order and size are
// fixed.
//
// Car frame: y up, z forward, x across (the wheels' spin axis). Wheel order
// everywhere: 0 and 1 front (steered), 2 and 3 rear; 0 and 2 on one side,
// 1 and 3 on the other. Engine speeds are RPM in _CARDATA and rad/s inside
// the car (CAR_RADS_TO_RPM, CAR_RPM_TO_RADS).
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/d3dx9math.h"

// The single-precision conversion factors used throughout (not 60 / 2 pi).
#define CAR_RADS_TO_RPM 9.55026f
#define CAR_RPM_TO_RADS 0.1047092f
// Engine idle: 600 RPM.
#define CAR_IDLE_RADS 62.82552f
#define CAR_MAX_GEARS 8
#define CAR_MAX_COLLISIONS 8

// Gear numbers: 0 reverse, 1 neutral, 2 and up the forward gears.
#define CAR_GEAR_REVERSE 0
#define CAR_GEAR_NEUTRAL 1

// The car's parameters (176 bytes).
struct _CARDATA {
  D3DXVECTOR3 WheelPos[4];  // car frame; y is the wheel's lowest point
  D3DXVECTOR3 BBoxMin;      // the body's collision box
  D3DXVECTOR3 BBoxMax;
  float FrontSpring;        // suspension stiffness, wheels 0 and 1
  float RearSpring;         // wheels 2 and 3
  float FrontDamping;
  float RearDamping;
  float TyreFriction;       // friction force limit of a wheel contact, N
  float SideSlipDiv;        // sideways slip = wheel forward speed / this
  float FrontRadius;
  float RearRadius;
  float BodyMass;           // kg
  float BrakeForce;         // full brake, scaled by the pedal
  float DragCoef;           // per car axis: force = -sgn(v) v^2 this
  float MaxRPM;             // rev limit and drive motor target
  float UpshiftRPM;
  float DownshiftRPM;
  float GearRatio[CAR_MAX_GEARS];  // by gear number; reverse < 0, neutral 0
  float FinalDrive;
  int32_t GearCount;        // gear numbers in use, 0 .. count - 1
  int32_t Automatic;        // nonzero: automatic gearbox
  int32_t FrontDrive;       // nonzero: wheels 0 and 1 driven, else 2 and 3
};

// The chassis's motion state (100 bytes).
struct _CARSTATE {
  D3DXVECTOR3 LinPos;  // world frame
  D3DXVECTOR3 LinVel;
  D3DXMATRIX RotPos;   // rotation part only; fourth row (0, 0, 0, 1)
  D3DXVECTOR3 RotVel;
};

// Four points in wheel order, then four floats that stay 0 (64 bytes).
struct _SUSPSTATE {
  D3DXVECTOR3 Point[4];
  float Reserved[4];
};

// 1 when the wheel touched the ground and slipped beyond the skid threshold
// in the last substep (16 bytes).
struct _WHEELSKIDS {
  int32_t Skid[4];
};

// Each wheel body's world matrix, rotation then translation (256 bytes).
struct _WHEELSMATRICES {
  D3DXMATRIX Matrix[4];
};

// One contact of the car body with the track border, in the car frame.
struct _CARCOLLISION {
  int32_t Valid;  // 1: a contact of the last step
  D3DXVECTOR3 Normal;
  D3DXVECTOR3 Position;
  float Depth;
};

static_assert(sizeof(_CARDATA) == 176, "_CARDATA is 176 bytes");
static_assert(offsetof(_CARDATA, BBoxMin) == 48, "_CARDATA layout");
static_assert(offsetof(_CARDATA, FrontSpring) == 72, "_CARDATA layout");
static_assert(offsetof(_CARDATA, FrontRadius) == 96, "_CARDATA layout");
static_assert(offsetof(_CARDATA, MaxRPM) == 116, "_CARDATA layout");
static_assert(offsetof(_CARDATA, GearRatio) == 128, "_CARDATA layout");
static_assert(offsetof(_CARDATA, FinalDrive) == 160, "_CARDATA layout");
static_assert(offsetof(_CARDATA, GearCount) == 164, "_CARDATA layout");
static_assert(offsetof(_CARDATA, FrontDrive) == 172, "_CARDATA layout");
static_assert(sizeof(_CARSTATE) == 100, "_CARSTATE is 100 bytes");
static_assert(offsetof(_CARSTATE, RotPos) == 24, "_CARSTATE layout");
static_assert(offsetof(_CARSTATE, RotVel) == 88, "_CARSTATE layout");
static_assert(sizeof(_SUSPSTATE) == 64, "_SUSPSTATE is 64 bytes");
static_assert(sizeof(_WHEELSKIDS) == 16, "_WHEELSKIDS is 16 bytes");
static_assert(sizeof(_WHEELSMATRICES) == 256, "_WHEELSMATRICES is 256 bytes");
static_assert(sizeof(_CARCOLLISION) == 32, "_CARCOLLISION is 32 bytes");
static_assert(offsetof(_CARCOLLISION, Position) == 16, "_CARCOLLISION layout");
