// cCar's outputs: wheel matrices, suspension states, wheel speeds and slips,
// the accessors and the small tyre and suspension formulas.
#include <cmath>

#include "cCar.h"
#include "cCarOde.h"
#include "mathkit/mathkit.h"

namespace {

const float kQuarterTurn = 1.570795f;
const float kHalfTurn = 3.14159f;

D3DXVECTOR3 Cross(const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
  D3DXVECTOR3 r;
  D3DXVec3Cross(&r, &a, &b);
  return r;
}

}  // namespace

// A positive steering angle turns the front wheels towards the car's -x
// (left): their heading is the car's z turned by -angle about y.
D3DXMATRIX* cCar::FrontWheelHeading(D3DXMATRIX* out) { return RotationY(out, -Steering); }

void cCar::CalcWheelsMatrices() {
  for (int i = 0; i < 4; ++i) {
    const dReal* p = dBodyGetPosition(wheels[i]);
    D3DXMATRIX t;
    TranslationV(&t, static_cast<float>(p[0]), static_cast<float>(p[1]), static_cast<float>(p[2]));
    wheelsMatrices.Matrix[i] = CarBodyMatrix(wheels[i]) * t;
  }
}

// Each wheel's ground point: one radius below its centre along the car's -y.
void cCar::CalcWorldSuspState() {
  for (int i = 0; i < 4; ++i) {
    const dReal* c = dBodyGetPosition(wheels[i]);
    dVector3 l;
    dBodyGetPosRelPoint(body, c[0], c[1], c[2], l);
    l[1] -= WheelRadius(i);
    dVector3 w;
    dBodyGetRelPointPos(body, l[0], l[1], l[2], w);
    worldSusp.Point[i] = CarVec(w);
  }
}

// Spin of the two driven wheels about the car's +x: wheel A (0 or 2) is
// turned half a turn, so its own x is the car's -x.
void cCar::CalcDriveWheelsRotVel() {
  const int a = carData.FrontDrive ? 0 : 2;
  driveWheelSpin[0] = -GetWheelRotVel(a);
  driveWheelSpin[1] = GetWheelRotVel(a + 1);
}

void cCar::CalcWorldBBox() {
  for (int i = 0; i < 8; ++i) {
    D3DXVec3TransformNormal(&worldCorners[i], &localCorners[i], &state.RotPos);
    worldCorners[i] += state.LinPos;
  }
}

void cCar::CalcBodyVel() {
  D3DXMATRIX inverse;
  D3DXMatrixTranspose(&inverse, &state.RotPos);
  D3DXVec3TransformNormal(&bodyVel, &state.LinVel, &inverse);
}

float cCar::GetWheelRotVel(int wheel) {
  dVector3 w;
  const dReal* a = dBodyGetAngularVel(wheels[wheel]);
  dBodyVectorFromWorld(wheels[wheel], a[0], a[1], a[2], w);
  return static_cast<float>(w[0]);
}

// Velocity of the chassis at the wheel centre, in the wheel's heading frame:
// x sideways, y up, z along the heading.
D3DXVECTOR3 cCar::GetWheelRollVel(int wheel) {
  const dReal* c = dBodyGetPosition(wheels[wheel]);
  dVector3 v;
  dBodyGetPointVel(body, c[0], c[1], c[2], v);
  dVector3 l;
  dBodyVectorFromWorld(body, v[0], v[1], v[2], l);
  D3DXVECTOR3 r = CarVec(l);
  if (wheel < 2) {
    // Into the wheel's frame: the inverse of its heading rotation.
    D3DXMATRIX toWheel;
    RotationY(&toWheel, Steering);
    D3DXVECTOR3 t;
    D3DXVec3TransformNormal(&t, &r, &toWheel);
    r = t;
  }
  return r;
}

// Speed difference between tyre surface and ground along the heading plus
// the sideways speed.
float cCar::GetSkid(int wheel) {
  const D3DXVECTOR3 v = GetWheelRollVel(wheel);
  float w = GetWheelRotVel(wheel) * WheelRadius(wheel);
  if (wheel == 1 || wheel == 3) w = -w;
  return std::fabs(w + v.z) + std::fabs(v.x);
}

float cCar::GetSlipAngle(unsigned char wheel) {
  D3DXMATRIX heading;
  if (wheel < 2) {
    D3DXMATRIX steer;
    heading = *FrontWheelHeading(&steer) * state.RotPos;
  } else if (wheel < 4) {
    heading = state.RotPos;
  } else {
    return 0.0f;
  }
  const D3DXVECTOR3 v = Cross(carData.WheelPos[wheel], state.RotVel) + state.LinVel;
  if (D3DXVec3Length(&v) < 0.1f) return 0.0f;
  const D3DXVECTOR3 forward(0.0f, 0.0f, 1.0f);
  D3DXVECTOR3 f;
  D3DXVec3TransformNormal(&f, &forward, &heading);
  float a = GetVec2ToVec2Angle(D3DXVECTOR2(f.x, f.z), D3DXVECTOR2(v.x, v.z));
  if (std::isnan(a)) return 0.0f;
  if (a > kQuarterTurn) a = kHalfTurn - a;
  if (a < -kQuarterTurn) a = -kHalfTurn - a;
  return a * 0.5f;
}

float cCar::GetSideTireForce(float slip) { return std::atan(2.0f * slip) * 0.68f - slip * 0.005f; }

float cCar::GetDumperForce(float k, float x) { return x >= 0.0f ? k * x * 0.5f : k * x; }

float cCar::GetAdditionalForce(float) { return 0.0f; }

D3DXVECTOR3 cCar::GetNextWheelWorldPos(D3DXVECTOR3* a, D3DXVECTOR3* b, float t) {
  const D3DXVECTOR3 lin = CarVec(dBodyGetLinearVel(body));
  const D3DXVECTOR3 ang = CarVec(dBodyGetAngularVel(body));
  return *b + (lin + Cross(*a, ang)) * t;
}

float cCar::Sgn(float x) { return x > 0.0f ? 1.0f : (x < 0.0f ? -1.0f : 0.0f); }

D3DXVECTOR3 cCar::GetLinPos() { return CarVec(dBodyGetPosition(body)); }
D3DXVECTOR3 cCar::GetLinVel() { return state.LinVel; }
D3DXMATRIX cCar::GetRotPos() { return state.RotPos; }
D3DXVECTOR3 cCar::GetRotVel() { return CarVec(dBodyGetAngularVel(body)); }

D3DXQUATERNION cCar::GetRotQuat() {
  const dReal* q = dBodyGetQuaternion(body);
  return D3DXQUATERNION(static_cast<float>(q[1]), static_cast<float>(q[2]),
                        static_cast<float>(q[3]), static_cast<float>(q[0]));
}

D3DXVECTOR3 cCar::GetBodyVel() { return bodyVel; }
_SUSPSTATE cCar::GetSuspState() { return localSusp; }
_SUSPSTATE cCar::GetWorldSuspState() { return worldSusp; }
_WHEELSMATRICES cCar::GetWheelsMatrices() { return wheelsMatrices; }

_WHEELSKIDS cCar::GetSkids() {
  _WHEELSKIDS s;
  for (int i = 0; i < 4; ++i) s.Skid[i] = skids[i];
  return s;
}

float cCar::GetEngineRot() { return engineRot; }
int cCar::GetGear() { return Gear; }

float cCar::GetSpeed() {
  const float r = carData.FrontDrive ? carData.FrontRadius : carData.RearRadius;
  return r * (driveWheelSpin[0] + driveWheelSpin[1]) * 0.5f;
}

int cCar::IsCollision() { return collision; }
int cCar::IsTimerCollision() { return timerCollision; }
int cCar::WasTimerCollision() { return prevTimerCollision; }
int cCar::IsScrapCollision() { return scrapCollision; }
int cCar::WasCollision() { return pastCollision; }
