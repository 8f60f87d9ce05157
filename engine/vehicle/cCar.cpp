// cCar construction, teardown, parameter changes and the orientation
// conversions between Direct3D matrices and the physics bodies.
#include "cCar.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "cCarOde.h"
#include "cGround.h"
#include "mathkit/mathkit.h"

namespace {

const float kHalfTurn = 3.14159f;
const dReal kWheelDensity = 30.0;

// Smallest values the model can run with; smaller ones would make a body
// without mass or inertia (and so NaN in the world) or divide by zero.
const float kMinWheelRadius = 0.05f;
const float kMinBodyMass = 1.0f;
const float kMinSideSlipDiv = 1.0f;
const float kMinBoxSize = 0.1f;
// Largest values it can run with (a lorry is well inside them).
const float kMaxOffset = 20.0f;  // metres from the car's origin
const float kMaxWheelRadius = 2.0f;
const float kMaxBodyMass = 100000.0f;
const float kMaxSpring = 1.0e7f;
const float kMaxDamping = 1.0e6f;
const float kMaxForce = 1.0e6f;
const float kMaxSideSlipDiv = 1.0e9f;
const float kMaxDrag = 1000.0f;
const float kMaxRpm = 100000.0f;
const float kMaxRatio = 100.0f;

// What the messages name: the car data file where the caller knows it.
thread_local const char* tSource = "car data";

void Complain(const char* field, float value, const char* rule, float used) {
  std::fprintf(stderr, "vrx: %s: %s %g %s; using %g\n", tSource, field, value, rule, used);
}

void RaiseTo(float* v, float minimum, const char* field) {
  if (!(*v >= minimum)) {
    Complain(field, *v, "is below the minimum", minimum);
    *v = minimum;
  }
}

void LowerTo(float* v, float maximum, const char* field) {
  if (*v > maximum) {
    Complain(field, *v, "is above the maximum", maximum);
    *v = maximum;
  }
}

void KeepWithin(float* v, float limit, const char* field) {
  RaiseTo(v, -limit, field);
  LowerTo(v, limit, field);
}

}  // namespace

void ValidateCarData(_CARDATA* d, const char* source) {
  tSource = source ? source : "car data";
  float* f = reinterpret_cast<float*>(d);
  const int floatCount = offsetof(_CARDATA, GearCount) / sizeof(float);
  for (int i = 0; i < floatCount; ++i) {
    if (!std::isfinite(f[i])) {
      std::fprintf(stderr, "vrx: %s: field at offset %d is not a number; using 0\n", tSource, i * 4);
      f[i] = 0.0f;
    }
  }
  RaiseTo(&d->FrontRadius, kMinWheelRadius, "front wheel radius");
  RaiseTo(&d->RearRadius, kMinWheelRadius, "rear wheel radius");
  RaiseTo(&d->BodyMass, kMinBodyMass, "body mass");
  RaiseTo(&d->SideSlipDiv, kMinSideSlipDiv, "side slip divisor");
  RaiseTo(&d->FrontSpring, 0.0f, "front spring rate");
  RaiseTo(&d->RearSpring, 0.0f, "rear spring rate");
  RaiseTo(&d->FrontDamping, 0.0f, "front damping");
  RaiseTo(&d->RearDamping, 0.0f, "rear damping");
  // A spring without damping is fine; neither (or next to nothing of both,
  // whose softness would overflow) leaves the joint without a rule.
  if (d->FrontSpring < 1.0f && d->FrontDamping < 1.0f) RaiseTo(&d->FrontDamping, 1.0f, "front damping");
  if (d->RearSpring < 1.0f && d->RearDamping < 1.0f) RaiseTo(&d->RearDamping, 1.0f, "rear damping");
  RaiseTo(&d->TyreFriction, 0.0f, "tyre friction");
  RaiseTo(&d->DragCoef, 0.0f, "drag coefficient");
  // Far beyond any car, values of these sizes make forces the physics
  // engine's integrator turns into infinities (and then stops the program).
  static const char* const kWheelFields[12] = {
      "wheel 0 x", "wheel 0 y", "wheel 0 z", "wheel 1 x", "wheel 1 y", "wheel 1 z",
      "wheel 2 x", "wheel 2 y", "wheel 2 z", "wheel 3 x", "wheel 3 y", "wheel 3 z"};
  for (int i = 0; i < 4; ++i) {
    KeepWithin(&d->WheelPos[i].x, kMaxOffset, kWheelFields[3 * i]);
    KeepWithin(&d->WheelPos[i].y, kMaxOffset, kWheelFields[3 * i + 1]);
    KeepWithin(&d->WheelPos[i].z, kMaxOffset, kWheelFields[3 * i + 2]);
  }
  LowerTo(&d->FrontRadius, kMaxWheelRadius, "front wheel radius");
  LowerTo(&d->RearRadius, kMaxWheelRadius, "rear wheel radius");
  LowerTo(&d->BodyMass, kMaxBodyMass, "body mass");
  LowerTo(&d->FrontSpring, kMaxSpring, "front spring rate");
  LowerTo(&d->RearSpring, kMaxSpring, "rear spring rate");
  LowerTo(&d->FrontDamping, kMaxDamping, "front damping");
  LowerTo(&d->RearDamping, kMaxDamping, "rear damping");
  LowerTo(&d->TyreFriction, kMaxForce, "tyre friction");
  LowerTo(&d->SideSlipDiv, kMaxSideSlipDiv, "side slip divisor");
  KeepWithin(&d->BrakeForce, kMaxForce, "brake force");
  LowerTo(&d->DragCoef, kMaxDrag, "drag coefficient");
  KeepWithin(&d->MaxRPM, kMaxRpm, "maximum RPM");
  KeepWithin(&d->UpshiftRPM, kMaxRpm, "upshift RPM");
  KeepWithin(&d->DownshiftRPM, kMaxRpm, "downshift RPM");
  for (float& g : d->GearRatio) KeepWithin(&g, kMaxRatio, "gear ratio");
  KeepWithin(&d->FinalDrive, kMaxRatio, "final drive");
  float* mn = &d->BBoxMin.x;
  float* mx = &d->BBoxMax.x;
  for (int a = 0; a < 3; ++a) {
    KeepWithin(&mn[a], kMaxOffset, "body box minimum");
    KeepWithin(&mx[a], kMaxOffset, "body box maximum");
    if (!(mx[a] - mn[a] >= kMinBoxSize)) {
      std::fprintf(stderr, "vrx: %s: body box %c size %g is below %g; widened\n", tSource, 'x' + a,
                   mx[a] - mn[a], kMinBoxSize);
      const float c = (mn[a] + mx[a]) * 0.5f;
      mn[a] = c - kMinBoxSize * 0.5f;
      mx[a] = c + kMinBoxSize * 0.5f;
    }
  }
  if (d->GearCount > CAR_MAX_GEARS || d->GearCount < 1) {
    const int32_t used = d->GearCount > CAR_MAX_GEARS ? CAR_MAX_GEARS : 1;
    std::fprintf(stderr, "vrx: %s: gear count %d is outside 1..%d; using %d\n", tSource, d->GearCount,
                 CAR_MAX_GEARS, used);
    d->GearCount = used;
  }
  tSource = "car data";
}

cCar::cCar(_CARDATA* data, _CARSTATE* startState, cGround* carGround,
           float (*torque)(float, void*), float (*ctx)(float, void*)) {
  // Everything not set below starts at zero.
  std::memset(static_cast<void*>(this), 0, sizeof(*this));
  dMassSetZero(&bodyMass);
  for (dMass& m : wheelMasses) dMassSetZero(&m);
  torqueCurve = torque;
  context = reinterpret_cast<void*>(ctx);
  ground = carGround;
  HalfLap = 1;
  pWorldCorners = worldCorners;
  pLocalCorners = localCorners;

  carData = *data;
  state = *startState;
  ValidateCarData(&carData, nullptr);

  const D3DXVECTOR3 size = carData.BBoxMax - carData.BBoxMin;
  const D3DXVECTOR3 centre = (carData.BBoxMin + carData.BBoxMax) * 0.5f;
  driveWheelSpin[0] = driveWheelSpin[1] = 0.0f;
  engineRot = CAR_IDLE_RADS;

  for (int i = 0; i < 4; ++i) localSusp.Point[i] = carData.WheelPos[i];
  CarBoxCorners(localCorners, carData.BBoxMin, carData.BBoxMax);
  CalcWorldBBox();
  CalcBodyVel();

  Gear = CAR_GEAR_NEUTRAL;

  dWorldID world = ground->GetWorld();
  body = dBodyCreate(world);
  for (dBodyID& w : wheels) w = dBodyCreate(world);

  // The body's origin is its centre of mass: the box mass is shifted to keep
  // its inertia about that origin, then its centre reset (the physics engine
  // accepts only centred masses; the dynamics ignore the centre anyway).
  dMassSetBoxTotal(&bodyMass, carData.BodyMass, size.x, size.y, size.z);
  dMassTranslate(&bodyMass, 0.0, -centre.y, -centre.z);
  bodyMass.c[0] = bodyMass.c[1] = bodyMass.c[2] = 0.0;
  for (int i = 0; i < 4; ++i) dMassSetSphere(&wheelMasses[i], kWheelDensity, WheelRadius(i));
  dBodySetMass(body, &bodyMass);
  for (int i = 0; i < 4; ++i) dBodySetMass(wheels[i], &wheelMasses[i]);

  BuildBodyGeom();
  for (int i = 0; i < 4; ++i) wheelGeoms[i] = dCreateSphere(nullptr, WheelRadius(i));

  dGeomSetBody(bodyGeom, body);
  for (int i = 0; i < 4; ++i) {
    dGeomSetBody(wheelGeoms[i], wheels[i]);
    dBodySetFiniteRotationMode(wheels[i], 1);
  }

  // Wheels 0 and 2 face the other way, so their own x is the car's -x.
  D3DXMATRIX halfTurn;
  SetBodyRotPos(wheels[0], RotationY(&halfTurn, kHalfTurn));
  SetBodyRotPos(wheels[2], RotationY(&halfTurn, kHalfTurn));

  for (int i = 0; i < 4; ++i) {
    const D3DXVECTOR3& p = carData.WheelPos[i];
    dBodySetPosition(wheels[i], p.x, p.y + WheelRadius(i), p.z);
  }

  // Axis 1 steers and springs, axis 2 spins. Both axes are set in one call:
  // a joint's default axis 2 is parallel to (0, 1, 0), which the physics
  // engine refuses as axis 1 on its own.
  const dReal steerAxis[3] = {0.0, 1.0, 0.0};
  const dReal spinAxis[3] = {1.0, 0.0, 0.0};
  for (int i = 0; i < 4; ++i) {
    joints[i] = dJointCreateHinge2(world, nullptr);
    dJointAttach(joints[i], body, wheels[i]);
    const D3DXVECTOR3& p = carData.WheelPos[i];
    dJointSetHinge2Anchor(joints[i], p.x, p.y + WheelRadius(i), p.z);
  }
  for (int i = 0; i < 4; ++i) dJointSetHinge2Axes(joints[i], steerAxis, spinAxis);

  D3DXVECTOR3 pos = state.LinPos;
  SetLinPos(&pos);
  dBodySetLinearVel(body, state.LinVel.x, state.LinVel.y, state.LinVel.z);
  state.LinVel = CarVec(dBodyGetLinearVel(body));
  D3DXMATRIX rot = state.RotPos;
  SetBodyRotPos(body, &rot);
  state.RotPos = CarBodyMatrix(body);
  dBodySetAngularVel(body, state.RotVel.x, state.RotVel.y, state.RotVel.z);
  state.RotVel = CarVec(dBodyGetAngularVel(body));
  RefreshState();

  contactGroup = dJointGroupCreate(0);
  CalcWheelsMatrices();
  CalcWorldSuspState();
  for (_CARCOLLISION& c : Collisions) c.Valid = 0;
  for (dBodyID w : wheels) dBodySetFiniteRotationMode(w, 1);
}

cCar::~cCar() {
  dBodyDestroy(body);
  for (dBodyID w : wheels) dBodyDestroy(w);
  dGeomDestroy(bodyGeom);  // takes the box with it
  for (dGeomID g : wheelGeoms) dGeomDestroy(g);
  for (dJointID j : joints) dJointDestroy(j);
  dJointGroupDestroy(contactGroup);
}

// The body box inside a transform, so that the box can sit off the body's
// origin; the transform reports the box itself in contacts. The transform
// calls are deprecated in the physics library but still the way to do this.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
void cCar::BuildBodyGeom() {
  const D3DXVECTOR3 size = carData.BBoxMax - carData.BBoxMin;
  const D3DXVECTOR3 centre = (carData.BBoxMin + carData.BBoxMax) * 0.5f;
  dGeomID box = dCreateBox(nullptr, size.x, size.y, size.z);
  dGeomSetPosition(box, centre.x, centre.y, centre.z);
  bodyGeom = dCreateGeomTransform(nullptr);
  dGeomTransformSetCleanup(bodyGeom, 1);
  dGeomTransformSetInfo(bodyGeom, 1);
  dGeomTransformSetGeom(bodyGeom, box);
}
#pragma GCC diagnostic pop

void cCar::SetCarData(_CARDATA* data) {
  carData = *data;
  ValidateCarData(&carData, nullptr);
  CarBoxCorners(localCorners, carData.BBoxMin, carData.BBoxMax);
  for (int i = 0; i < 4; ++i) {
    localSusp.Point[i].x = carData.WheelPos[i].x;
    localSusp.Point[i].z = carData.WheelPos[i].z;
  }
  dGeomDestroy(bodyGeom);
  BuildBodyGeom();
  dGeomSetBody(bodyGeom, body);
}

_CARDATA cCar::GetCarData() { return carData; }

float cCar::WheelRadius(int wheel) { return wheel < 2 ? carData.FrontRadius : carData.RearRadius; }

// Matrix to body: the quaternion of the transposed matrix, in the physics
// engine's (w, x, y, z) order. The transpose is left in *m.
void cCar::SetBodyRotPos(dBodyID b, D3DXMATRIX* m) {
  D3DXMatrixTranspose(m, m);
  D3DXQUATERNION q;
  D3DXQuaternionRotationMatrix(&q, m);
  const dQuaternion dq = {q.w, q.x, q.y, q.z};
  dBodySetQuaternion(b, dq);
}

void cCar::SetRotPos(D3DXMATRIX* m) {
  SetBodyRotPos(body, m);
  state.RotPos = CarBodyMatrix(body);
}

void cCar::SetRotQuat(D3DXQUATERNION* q) {
  const dQuaternion dq = {q->w, q->x, q->y, q->z};
  dBodySetQuaternion(body, dq);
  state.RotPos = CarBodyMatrix(body);
}

void cCar::SetLinPos(D3DXVECTOR3* p) {
  const dReal* c = dBodyGetPosition(body);
  const dReal off[3] = {p->x - c[0], p->y - c[1], p->z - c[2]};
  for (dBodyID w : wheels) {
    const dReal* wp = dBodyGetPosition(w);
    dBodySetPosition(w, wp[0] + off[0], wp[1] + off[1], wp[2] + off[2]);
  }
  dBodySetPosition(body, p->x, p->y, p->z);
  state.LinPos = CarVec(dBodyGetPosition(body));
}

void cCar::SetLinVel(D3DXVECTOR3* v) {
  dBodySetLinearVel(body, v->x, v->y, v->z);
  state.LinVel = CarVec(dBodyGetLinearVel(body));
}

void cCar::SetRotVel(D3DXVECTOR3* w) {
  dBodySetAngularVel(body, w->x, w->y, w->z);
  state.RotVel = CarVec(dBodyGetAngularVel(body));
}

void cCar::RefreshState() {
  state.LinPos = CarVec(dBodyGetPosition(body));
  state.LinVel = CarVec(dBodyGetLinearVel(body));
  state.RotPos = CarBodyMatrix(body);
  state.RotVel = CarVec(dBodyGetAngularVel(body));
}
