// cCar::DoStep: engine, gearbox, steering, brakes, suspension, drag and the
// contacts of one physics substep, then the world step and the outputs.
#include <cmath>
#include <cstdio>

#include "cCar.h"
#include "cCarOde.h"
#include "cGround.h"
#include "mathkit/mathkit.h"

namespace {

const float kMaxSubstep = 0.01f;
// Longer frames (a stalled program) are cut to this: 128 substeps.
const float kMaxFrameTime = 1.0f;
const float kEngineSlew = 1000.0f;  // rad/s per second
const float kIdleRPM = 600.0f;
const float kOverRev = 1.1f;
const float kMinBrake = 2.0f;
const float kRearBrakeShare = 0.5f;
const float kGateRadius = 70.0f;
const float kTyreStiffness = 500000.0f;
const float kTyreDamping = 5000.0f;
const float kSkidThreshold = 5.0f;
const float kShiftSpeed = 1.0f;
const dReal kBodyFriction = 0.5;
// Below this speed in the contact plane a wheel counts as at rest and its
// friction follows its rolling direction instead of its (noisy) velocity.
const dReal kRestSpeed = 0.01;
// Wheel contacts whose normals lie closer than this (about 6 degrees) touch
// the same surface.
const dReal kSameSurfaceCos = 0.995;

const float kMaxEngineTorque = 100000.0f;  // N m
const float kMaxSteering = 1.5f;            // radians, short of a right angle
const float kMaxPedal = 10.0f;

float Rpm(float rads) { return rads * CAR_RADS_TO_RPM; }

// v within lo .. hi; 0 (clamped as well) when v is not a number.
float Within(float v, float lo, float hi) {
  if (!std::isfinite(v)) v = 0.0f;
  return v < lo ? lo : v > hi ? hi : v;
}

dReal Dot(const dReal* a, const dReal* b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

// First friction direction of a wheel contact: the wheel's velocity u,
// kept in the contact plane (the physics engine needs a direction
// perpendicular to the normal). A wheel at rest uses its rolling direction,
// normal x spin axis. Returns 0 when neither gives a direction.
int WheelFrictionDir(const dReal* u, const dReal* n, dBodyID wheel, dReal* dir) {
  const dReal un = Dot(u, n);
  for (int k = 0; k < 3; ++k) dir[k] = u[k] - un * n[k];
  dReal len = std::sqrt(Dot(dir, dir));
  if (len <= kRestSpeed) {
    const dReal* r = dBodyGetRotation(wheel);
    const dReal axle[3] = {r[0], r[4], r[8]};
    dir[0] = n[1] * axle[2] - n[2] * axle[1];
    dir[1] = n[2] * axle[0] - n[0] * axle[2];
    dir[2] = n[0] * axle[1] - n[1] * axle[0];
    len = std::sqrt(Dot(dir, dir));
    if (len < 1e-6) return 0;
  }
  for (int k = 0; k < 3; ++k) dir[k] /= len;
  return 1;
}

// The road collider gives one contact per triangle a wheel touches, so on an
// edge shared by two road triangles a wheel gets two contacts of the same
// surface, on a vertex three or more. Each would be a full tyre (friction
// and spring), so the wheel would grip and push double wherever the road
// happens to be split, and a car on a tiled road pulls aside and runs
// slower than on a smooth one. Measured on a flat road of 4 m tiles with
// the shipped cars: 56-205 m of drift and up to 13 % less top speed in 60 s
// of full throttle with all contacts, none with this rule. Dropping only
// coincident contacts is not enough: near an edge the other triangle's copy
// lies a few millimetres away on that edge, with the same normal and nearly
// the same depth. So of the contacts of one surface only the deepest is
// kept; contacts whose normals differ (a wheel in a real crease) each keep
// one. The chassis box keeps all its contacts: it has no tyre law to
// double, and a box resting on an edge needs its corners.
// Reorders contacts[0 .. n) so the kept ones come first; returns their count.
int KeepOneContactPerSurface(dContact* contacts, int n) {
  dContactGeom found[8];
  if (n > 8) n = 8;
  for (int k = 0; k < n; ++k) found[k] = contacts[k].geom;
  bool taken[8] = {false, false, false, false, false, false, false, false};
  int kept = 0;
  for (;;) {
    int deepest = -1;
    for (int k = 0; k < n; ++k)
      if (!taken[k] && (deepest < 0 || found[k].depth > found[deepest].depth)) deepest = k;
    if (deepest < 0) break;
    taken[deepest] = true;
    bool sameSurface = false;
    for (int j = 0; j < kept && !sameSurface; ++j)
      sameSurface = Dot(contacts[j].geom.normal, found[deepest].normal) > kSameSurfaceCos;
    if (!sameSurface) contacts[kept++].geom = found[deepest];
  }
  return kept;
}

}  // namespace

void cCar::DoStep(float dt) {
  if (!std::isfinite(dt)) {
    std::fprintf(stderr, "vrx: car: time step %g is not a number; step skipped\n", dt);
    return;
  }
  if (dt > kMaxFrameTime) {
    std::fprintf(stderr, "vrx: car: time step %g s is too long; stepping %g s\n", dt,
                 kMaxFrameTime);
    dt = kMaxFrameTime;
  }
  Advance(dt);
}

void cCar::Advance(float dt) {
  if (dt > kMaxSubstep) {
    Advance(dt * 0.5f);
    Advance(dt * 0.5f);
    return;
  }
  Substep(dt);
}

void cCar::Substep(float h) {
  ground->SortCollisionObjs(&state.LinPos);
  ground->SortGroundObjs(&state.LinPos);

  prevTimerCollision = timerCollision;
  timerCollision = ground->IsTimerCollision(pWorldCorners, &state.LinPos, kGateRadius);
  HalfLap |= ground->IsHalfTimerCollision(pWorldCorners, &state.LinPos, kGateRadius);

  int wheelContact[4] = {0, 0, 0, 0};

  // Controls may come from a file (a replay): what is not a number is let
  // go, and values far beyond any the game's controls give are cut back
  // (the keyboard's brake briefly passes full, so full is no limit here).
  Throttle = Within(Throttle, -kMaxPedal, kMaxPedal);
  Brake = Within(Brake, -kMaxPedal, kMaxPedal);
  Steering = Within(Steering, -kMaxSteering, kMaxSteering);

  if (Handbrake && !carData.FrontDrive) Throttle = 0.0f;

  if (Gear >= carData.GearCount) Gear = carData.GearCount - 1;
  if (Gear < 0) Gear = 0;

  if (carData.Automatic && Gear != CAR_GEAR_REVERSE && Gear != CAR_GEAR_NEUTRAL &&
      bodyVel.z > kShiftSpeed) {
    const float rpm = Rpm(engineRot);
    if (rpm < carData.DownshiftRPM && Gear > 2) --Gear;
    if (rpm > carData.UpshiftRPM && Gear < carData.GearCount - 1) ++Gear;
  }

  UpdateEngine(h);

  const float ratio = carData.GearRatio[Gear] * carData.FinalDrive;
  float torque = torqueCurve ? torqueCurve(engineRot, context) : 0.0f;
  // The curve comes from the car's files: no engine gives more than this.
  torque = Within(torque, -kMaxEngineTorque, kMaxEngineTorque);
  torque = torque * ratio * Throttle;
  if (Rpm(engineRot) > carData.MaxRPM && !carData.Automatic) torque = 0.0f;

  // Finite rotation about the axles keeps fast-spinning wheels round.
  D3DXVECTOR3 axle;
  const D3DXVECTOR3 frontAxle(std::cos(Steering), 0.0f, std::sin(Steering));
  D3DXVec3TransformNormal(&axle, &frontAxle, &state.RotPos);
  dBodySetFiniteRotationAxis(wheels[0], axle.x, axle.y, axle.z);
  dBodySetFiniteRotationAxis(wheels[1], axle.x, axle.y, axle.z);
  const D3DXVECTOR3 rearAxle(1.0f, 0.0f, 0.0f);
  D3DXVec3TransformNormal(&axle, &rearAxle, &state.RotPos);
  dBodySetFiniteRotationAxis(wheels[2], axle.x, axle.y, axle.z);
  dBodySetFiniteRotationAxis(wheels[3], axle.x, axle.y, axle.z);

  // Steering: both stops at the angle, moved in the order that keeps
  // low <= high at every moment.
  for (int i = 0; i < 2; ++i) {
    if (dJointGetHinge2Param(joints[i], dParamHiStop) < Steering) {
      dJointSetHinge2Param(joints[i], dParamHiStop, Steering);
      dJointSetHinge2Param(joints[i], dParamLoStop, Steering);
    } else {
      dJointSetHinge2Param(joints[i], dParamLoStop, Steering);
      dJointSetHinge2Param(joints[i], dParamHiStop, Steering);
    }
  }
  for (int i = 2; i < 4; ++i) {
    dJointSetHinge2Param(joints[i], dParamLoStop, 0.0);
    dJointSetHinge2Param(joints[i], dParamHiStop, 0.0);
  }

  SetWheelMotors(torque);

  for (int i = 0; i < 4; ++i) {
    const float k = i < 2 ? carData.FrontSpring : carData.RearSpring;
    const float d = i < 2 ? carData.FrontDamping : carData.RearDamping;
    const float den = h * k + d;
    if (den > 0.0f) {  // a zero step with no damping has no rule to give
      dJointSetHinge2Param(joints[i], dParamSuspensionERP, h * k / den);
      dJointSetHinge2Param(joints[i], dParamSuspensionCFM, 1.0f / den);
    }
  }

  // Drag is integrated explicitly: once it would more than stop the body
  // within one substep (a light car with much drag) it overshoots and grows
  // without bound. It never takes away more than the body's motion.
  const float c = carData.DragCoef;
  const float stopping = h > 0.0f ? carData.BodyMass / h : 0.0f;
  auto drag = [&](float v) {
    const float f = -Sgn(v) * v * v * c, most = stopping * std::fabs(v);
    return f < -most ? -most : f > most ? most : f;
  };
  dBodyAddRelForce(body, drag(bodyVel.x), drag(bodyVel.y), drag(bodyVel.z));

  collision = 0;
  dJointGroupEmpty(contactGroup);
  CollideBody(ground->GetGroundGeom(), 0);
  for (_CARCOLLISION& rec : Collisions) rec.Valid = 0;
  CollideBody(ground->GetBorderGeom(), 1);
  for (int i = 0; i < 4; ++i) wheelContact[i] = CollideWheel(i, h);

  if (h > 0.0f) dWorldStep(ground->GetWorld(), h);
  dJointGroupEmpty(contactGroup);

  for (int i = 0; i < 4; ++i) skids[i] = wheelContact[i] && GetSkid(i) > kSkidThreshold;

  RefreshState();
  CalcWorldBBox();
  CalcWorldSuspState();
  CalcBodyVel();
  CalcWheelsMatrices();
  CalcDriveWheelsRotVel();
}

// Neutral follows the throttle between idle and throttle x max RPM; in gear
// the engine follows the speed the wheels impose, one slew step at a time.
void cCar::UpdateEngine(float h) {
  if (Gear == CAR_GEAR_NEUTRAL) {
    if (Throttle > 0.0f && carData.MaxRPM * Throttle > Rpm(engineRot))
      engineRot += h * Throttle * kEngineSlew;
    else
      engineRot -= h * kEngineSlew;
    if (Rpm(engineRot) < kIdleRPM) engineRot = CAR_IDLE_RADS;
    return;
  }
  const float w = (driveWheelSpin[0] + driveWheelSpin[1]) * carData.GearRatio[Gear] *
                  carData.FinalDrive * 0.5f;
  const float wheelRpm = w * CAR_RADS_TO_RPM;
  // The manual box drops out of gear when the wheels over-rev the engine;
  // this substep still follows the wheels.
  if (wheelRpm > carData.MaxRPM * kOverRev && !carData.Automatic) Gear = CAR_GEAR_NEUTRAL;
  const float target = wheelRpm < kIdleRPM ? CAR_IDLE_RADS : w;
  if (target > engineRot)
    engineRot += h * kEngineSlew;
  else
    engineRot -= h * kEngineSlew;
}

// Axis 2 of each joint: a driven wheel is pushed towards the spin at which
// the engine reaches max RPM with a torque limit of |brake - T|, or held at
// standstill when its brake outweighs the drive; other wheels are held at
// standstill with their brake torque (never below the minimum).
void cCar::SetWheelMotors(float torque) {
  float front = Brake * carData.BrakeForce * carData.FrontRadius + kMinBrake;
  float rear = (Handbrake ? carData.BrakeForce : Brake * carData.BrakeForce) * kRearBrakeShare *
                   carData.RearRadius +
               kMinBrake;
  const float ratio = carData.GearRatio[Gear] * carData.FinalDrive;
  // A negative speed spins the wheel forward about the car's +x.
  float target = 0.0f;
  if (Gear != CAR_GEAR_NEUTRAL && ratio != 0.0f)
    target = -(carData.MaxRPM * CAR_RPM_TO_RADS) / ratio;
  float frontTarget = 0.0f;
  float rearTarget = 0.0f;
  if (carData.FrontDrive) {
    if (std::fabs(front) > std::fabs(torque)) target = 0.0f;
    front -= torque;
    frontTarget = target;
  } else {
    if (std::fabs(rear) > std::fabs(torque)) target = 0.0f;
    rear -= torque;
    rearTarget = target;
  }
  for (int i = 0; i < 4; ++i) {
    dJointSetHinge2Param(joints[i], dParamVel2, i < 2 ? frontTarget : rearTarget);
    dJointSetHinge2Param(joints[i], dParamFMax2, std::fabs(i < 2 ? front : rear));
  }
}

// Contacts of the body box with the road (border = 0) or the border
// (border = 1); border contacts are also recorded in the car frame.
void cCar::CollideBody(dxGeom* other, int border) {
  if (!other) return;
  const int n = dCollide(bodyGeom, other, CAR_MAX_COLLISIONS, &bodyContacts[0].geom,
                         sizeof(dContact));
  for (int k = 0; k < n; ++k) {
    dContact& c = bodyContacts[k];
    if (border) {
      collision = 1;
      dVector3 v;
      _CARCOLLISION& rec = Collisions[k];
      rec.Valid = 1;
      dBodyVectorFromWorld(body, c.geom.normal[0], c.geom.normal[1], c.geom.normal[2], v);
      rec.Normal = CarVec(v);
      dBodyGetPosRelPoint(body, c.geom.pos[0], c.geom.pos[1], c.geom.pos[2], v);
      rec.Position = CarVec(v);
      rec.Depth = static_cast<float>(c.geom.depth);
    }
    c.surface = dSurfaceParameters();
    c.surface.mode = dContactApprox1;
    c.surface.mu = kBodyFriction;
    c.surface.mu2 = kBodyFriction;
    dJointID j = dJointCreateContact(ground->GetWorld(), contactGroup, &c);
    dJointAttach(j, dGeomGetBody(c.geom.g1), dGeomGetBody(c.geom.g2));
  }
}

// Wheel i on the road. The contacts are the whole tyre law: friction
// limited by the tyre friction (a force, in newtons), soft and springy along
// the normal, and sliding sideways in proportion to the wheel's forward
// speed. Returns 1 when the wheel touches the road.
int cCar::CollideWheel(int i, float h) {
  dxGeom* road = ground->GetGroundGeom();
  if (!road) return 0;
  const dReal* u = dBodyGetLinearVel(wheels[i]);
  const float roll = std::fabs(GetWheelRollVel(i).z);
  int n = dCollide(wheelGeoms[i], road, 8, &wheelContacts[i][0].geom, sizeof(dContact));
  if (n == 0) return 0;
  n = KeepOneContactPerSurface(wheelContacts[i], n);
  const float erp = h * kTyreStiffness / (h * kTyreStiffness + kTyreDamping);
  const float cfm = 1.0f / (h * kTyreStiffness + kTyreDamping);
  for (int k = 0; k < n; ++k) {
    dContact& c = wheelContacts[i][k];
    c.surface = dSurfaceParameters();
    c.surface.mode = dContactBounce | dContactSoftERP | dContactSoftCFM | dContactSlip2;
    if (WheelFrictionDir(u, c.geom.normal, wheels[i], c.fdir1)) c.surface.mode |= dContactFDir1;
    c.surface.mu = carData.TyreFriction;
    c.surface.slip2 = roll / carData.SideSlipDiv;
    c.surface.bounce = 1.0;
    c.surface.bounce_vel = 0.0;
    c.surface.soft_erp = erp;
    c.surface.soft_cfm = cfm;
    dJointID j = dJointCreateContact(ground->GetWorld(), contactGroup, &c);
    dJointAttach(j, dGeomGetBody(c.geom.g1), dGeomGetBody(c.geom.g2));
  }
  return 1;
}
