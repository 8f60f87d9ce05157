// cCar construction, parameter changes, setters, outputs and bad car data.
#include <cstddef>
#include <algorithm>
#include <cstring>

#include "car_fixture.h"
#include "mathkit/mathkit.h"

using cartest::CarTest;
using cartest::Vec;
using cartest::WheelCentre;

namespace {

void ExpectVecNear(const D3DXVECTOR3& a, const D3DXVECTOR3& b, float eps) {
  EXPECT_NEAR(a.x, b.x, eps);
  EXPECT_NEAR(a.y, b.y, eps);
  EXPECT_NEAR(a.z, b.z, eps);
}

void ExpectMatrixNear(const D3DXMATRIX& a, const D3DXMATRIX& b, float eps) {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(a.m[r][c], b.m[r][c], eps) << r << "," << c;
}

ptrdiff_t Offset(const cCar& car, const void* field) {
  return static_cast<const char*>(field) - reinterpret_cast<const char*>(&car);
}

}  // namespace

TEST_F(CarTest, ControlBlockHalfLapFlagAndCollisionsLeadTheObject) {
  cCar& car = MakeCar();
  EXPECT_EQ(Offset(car, &car.Throttle), 0);
  EXPECT_EQ(Offset(car, &car.Brake), 4);
  EXPECT_EQ(Offset(car, &car.Steering), 8);
  EXPECT_EQ(Offset(car, &car.Handbrake), 12);
  EXPECT_EQ(Offset(car, &car.SpareControl), 16);
  EXPECT_EQ(Offset(car, &car.Gear), 20);
  EXPECT_EQ(Offset(car, &car.HalfLap), 24);
  EXPECT_EQ(Offset(car, &car.Collisions[0]), 28);
  EXPECT_EQ(Offset(car, &car.Collisions[7]), 28 + 7 * 32);
}

TEST_F(CarTest, ConstructionPlacesChassisAndWheelsAtTheStartState) {
  const _CARDATA d = vrxtest::ReferenceCarData();
  cCar& car = MakeCar(d, vrxtest::RestState(10.0f, 2.0f, 5.0f));
  ExpectVecNear(car.GetLinPos(), D3DXVECTOR3(10, 2, 5), 1e-5f);
  const _WHEELSMATRICES wm = car.GetWheelsMatrices();
  for (int i = 0; i < 4; ++i) {
    const float r = i < 2 ? d.FrontRadius : d.RearRadius;
    const D3DXVECTOR3 expect = d.WheelPos[i] + D3DXVECTOR3(10, 2 + r, 5);
    ExpectVecNear(WheelCentre(car, i), expect, 1e-5f);
    // Each wheel matrix ends at the wheel centre; wheels 0 and 2 face the other way.
    ExpectVecNear(D3DXVECTOR3(wm.Matrix[i]._41, wm.Matrix[i]._42, wm.Matrix[i]._43), expect, 1e-5f);
    EXPECT_NEAR(wm.Matrix[i]._11, (i == 0 || i == 2) ? -1.0f : 1.0f, 1e-5f);
    EXPECT_NEAR(wm.Matrix[i]._22, 1.0f, 1e-5f);
  }
  const _SUSPSTATE local = car.GetSuspState();
  const _SUSPSTATE world = car.GetWorldSuspState();
  for (int i = 0; i < 4; ++i) {
    ExpectVecNear(local.Point[i], d.WheelPos[i], 0.0f);
    ExpectVecNear(world.Point[i], d.WheelPos[i] + D3DXVECTOR3(10, 2, 5), 1e-5f);
    EXPECT_EQ(local.Reserved[i], 0.0f);
    EXPECT_EQ(world.Reserved[i], 0.0f);
  }
}

TEST_F(CarTest, ConstructionStartsInNeutralAtIdleWithFlagsClear) {
  cCar& car = MakeCar();
  EXPECT_EQ(car.GetGear(), 1);
  EXPECT_EQ(car.GetEngineRot(), 62.82552f);
  EXPECT_EQ(car.HalfLap, 1);
  EXPECT_EQ(car.IsCollision(), 0);
  EXPECT_EQ(car.IsTimerCollision(), 0);
  EXPECT_EQ(car.WasTimerCollision(), 0);
  EXPECT_EQ(car.IsScrapCollision(), 0);
  EXPECT_EQ(car.WasCollision(), 0);
  EXPECT_EQ(car.Throttle, 0.0f);
  EXPECT_EQ(car.Brake, 0.0f);
  EXPECT_EQ(car.Steering, 0.0f);
  EXPECT_EQ(car.Handbrake, 0);
  const _WHEELSKIDS skids = car.GetSkids();
  for (int i = 0; i < 4; ++i) EXPECT_EQ(skids.Skid[i], 0);
  for (const _CARCOLLISION& c : car.Collisions) EXPECT_EQ(c.Valid, 0);
  EXPECT_EQ(car.GetSpeed(), 0.0f);
  const D3DXQUATERNION q = car.GetRotQuat();
  EXPECT_FLOAT_EQ(q.x, 0.0f);
  EXPECT_FLOAT_EQ(q.y, 0.0f);
  EXPECT_FLOAT_EQ(q.z, 0.0f);
  EXPECT_FLOAT_EQ(q.w, 1.0f);
  const _CARDATA expect = vrxtest::ReferenceCarData();
  const _CARDATA data = car.GetCarData();
  EXPECT_EQ(0, std::memcmp(&expect, &data, sizeof(_CARDATA)));
}

TEST_F(CarTest, ConstructionTakesVelocitiesAndTheTransposedOrientation) {
  _CARSTATE s = vrxtest::RestState(0, 3, 0);
  s.LinVel = D3DXVECTOR3(1, 2, 3);
  s.RotVel = D3DXVECTOR3(0, 0.5f, 0);
  RotationY(&s.RotPos, 0.7f);
  cCar& car = MakeCar(vrxtest::ReferenceCarData(), s);
  ExpectVecNear(car.GetLinVel(), D3DXVECTOR3(1, 2, 3), 1e-6f);
  ExpectVecNear(car.GetRotVel(), D3DXVECTOR3(0, 0.5f, 0), 1e-6f);
  // The matrix-to-body rule hands the body the quaternion of the transpose.
  D3DXMATRIX expect;
  RotationY(&expect, -0.7f);
  ExpectMatrixNear(car.GetRotPos(), expect, 1e-6f);
  // Body velocity: the start velocity in the start frame.
  D3DXVECTOR3 local;
  D3DXMATRIX inverse;
  D3DXMatrixTranspose(&inverse, &s.RotPos);
  D3DXVec3TransformNormal(&local, &s.LinVel, &inverse);
  ExpectVecNear(car.GetBodyVel(), local, 1e-6f);
}

TEST_F(CarTest, SetLinPosMovesTheWheelsWithTheChassis) {
  cCar& car = SettledCar();
  D3DXVECTOR3 before[4];
  const D3DXVECTOR3 p0 = car.GetLinPos();
  for (int i = 0; i < 4; ++i) before[i] = WheelCentre(car, i) - p0;
  D3DXVECTOR3 p(12.5f, 3.0f, -7.25f);
  car.SetLinPos(&p);
  ExpectVecNear(car.GetLinPos(), p, 1e-6f);
  for (int i = 0; i < 4; ++i) ExpectVecNear(WheelCentre(car, i) - p, before[i], 1e-5f);
}

TEST_F(CarTest, SetRotQuatTurnsTheChassisOnly) {
  cCar& car = MakeCar(vrxtest::ReferenceCarData(), vrxtest::RestState(0, 3, 0));
  dQuaternion wheelBefore[4];
  for (int i = 0; i < 4; ++i)
    std::memcpy(wheelBefore[i], dBodyGetQuaternion(cCarProbe::Wheel(car, i)), sizeof(dQuaternion));
  D3DXQUATERNION q;
  const D3DXVECTOR3 axis(0.3f, 1.0f, 0.2f);
  D3DXQuaternionRotationAxis(&q, &axis, 0.9f);
  car.SetRotQuat(&q);
  D3DXMATRIX expect;
  D3DXMatrixRotationQuaternion(&expect, &q);
  ExpectMatrixNear(car.GetRotPos(), expect, 1e-6f);
  const D3DXQUATERNION back = car.GetRotQuat();
  EXPECT_NEAR(back.x, q.x, 1e-6f);
  EXPECT_NEAR(back.y, q.y, 1e-6f);
  EXPECT_NEAR(back.z, q.z, 1e-6f);
  EXPECT_NEAR(back.w, q.w, 1e-6f);
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(0, std::memcmp(wheelBefore[i], dBodyGetQuaternion(cCarProbe::Wheel(car, i)),
                             sizeof(dQuaternion)));
}

TEST_F(CarTest, SetRotPosLeavesTheTransposeInItsArgument) {
  cCar& car = MakeCar(vrxtest::ReferenceCarData(), vrxtest::RestState(0, 3, 0));
  D3DXMATRIX m;
  RotationY(&m, 0.4f);
  D3DXMATRIX transposed;
  D3DXMatrixTranspose(&transposed, &m);
  car.SetRotPos(&m);
  ExpectMatrixNear(m, transposed, 0.0f);
  ExpectMatrixNear(car.GetRotPos(), transposed, 1e-6f);
}

TEST_F(CarTest, VelocitySettersActOnTheChassis) {
  cCar& car = MakeCar(vrxtest::ReferenceCarData(), vrxtest::RestState(0, 3, 0));
  D3DXVECTOR3 v(4, -1, 2);
  D3DXVECTOR3 w(0.1f, 0.2f, -0.3f);
  car.SetLinVel(&v);
  car.SetRotVel(&w);
  ExpectVecNear(car.GetLinVel(), v, 1e-6f);
  ExpectVecNear(car.GetRotVel(), w, 1e-6f);
  ExpectVecNear(Vec(dBodyGetLinearVel(cCarProbe::Wheel(car, 0))), D3DXVECTOR3(0, 0, 0), 0.0f);
  // The body velocity follows at the next step.
  ExpectVecNear(car.GetBodyVel(), D3DXVECTOR3(0, 0, 0), 0.0f);
}

TEST_F(CarTest, SmallerBoxChangesOnlyTheBodyCollisions) {
  vrxtest::FlatTrackLayout layout;
  layout.wall = true;
  layout.wallZ = 5.0f;
  LoadTrack(layout);
  // The box's front reaches 5 cm into the wall.
  const _CARDATA d = vrxtest::ReferenceCarData();
  cCar& car = MakeCar(d, vrxtest::RestState(0, 0.5f, 5.0f - d.BBoxMax.z + 0.05f));
  car.DoStep(0.01f);
  ASSERT_EQ(car.IsCollision(), 1);
  dMass massBefore;
  dBodyGetMass(cCarProbe::Body(car), &massBefore);
  const _SUSPSTATE suspBefore = car.GetSuspState();

  _CARDATA shorter = d;
  shorter.BBoxMax.z = 1.0f;
  car.SetCarData(&shorter);
  car.DoStep(0.01f);
  EXPECT_EQ(car.IsCollision(), 0);
  EXPECT_EQ(car.Collisions[0].Valid, 0);
  dMass massAfter;
  dBodyGetMass(cCarProbe::Body(car), &massAfter);
  EXPECT_EQ(massAfter.mass, massBefore.mass);
  EXPECT_EQ(0, std::memcmp(massAfter.I, massBefore.I, sizeof massAfter.I));
  const _SUSPSTATE suspAfter = car.GetSuspState();
  EXPECT_EQ(0, std::memcmp(&suspAfter, &suspBefore, sizeof suspAfter));
  EXPECT_EQ(car.GetCarData().BBoxMax.z, 1.0f);
  EXPECT_EQ(dGeomSphereGetRadius(dBodyGetFirstGeom(cCarProbe::Wheel(car, 0))), d.FrontRadius);

  // New wheel positions replace x and z of the local suspension state only.
  _CARDATA moved = shorter;
  moved.WheelPos[1] = D3DXVECTOR3(0.9f, -0.9f, 1.4f);
  car.SetCarData(&moved);
  const _SUSPSTATE s = car.GetSuspState();
  EXPECT_EQ(s.Point[1].x, 0.9f);
  EXPECT_EQ(s.Point[1].y, d.WheelPos[1].y);
  EXPECT_EQ(s.Point[1].z, 1.4f);
}

TEST_F(CarTest, SlipAngleFollowsTheWheelHeading) {
  cCar& car = MakeCar(vrxtest::ReferenceCarData(), vrxtest::RestState(0, 3, 0));
  for (unsigned char w = 0; w < 4; ++w) EXPECT_EQ(car.GetSlipAngle(w), 0.0f);  // at rest
  EXPECT_EQ(car.GetSlipAngle(4), 0.0f);

  D3DXVECTOR3 ahead(0, 0, 10);
  car.SetLinVel(&ahead);
  for (unsigned char w = 0; w < 4; ++w) EXPECT_NEAR(car.GetSlipAngle(w), 0.0f, 1e-6f);

  // Steered left, the front wheels point along (-sin s, 0, cos s).
  car.Steering = 0.3f;
  D3DXVECTOR3 alongFront(-10 * std::sin(0.3f), 0, 10 * std::cos(0.3f));
  car.SetLinVel(&alongFront);
  EXPECT_NEAR(car.GetSlipAngle(0), 0.0f, 1e-5f);
  EXPECT_NEAR(car.GetSlipAngle(2), 0.15f, 1e-5f);  // half the rear wheels' angle
  const D3DXVECTOR3 roll = car.GetWheelRollVel(0);
  EXPECT_NEAR(roll.x, 0.0f, 1e-4f);
  EXPECT_NEAR(roll.z, 10.0f, 1e-4f);

  D3DXVECTOR3 sideways(-10, 0, 0.01f);
  car.SetLinVel(&sideways);
  for (unsigned char w = 0; w < 4; ++w) EXPECT_LE(std::fabs(car.GetSlipAngle(w)), 0.785398f);
}

TEST_F(CarTest, TyreAndSuspensionFormulas) {
  cCar& car = MakeCar();
  EXPECT_EQ(car.GetSideTireForce(0.0f), 0.0f);
  EXPECT_FLOAT_EQ(car.GetSideTireForce(1.0f), std::atan(2.0f) * 0.68f - 0.005f);
  EXPECT_FLOAT_EQ(car.GetSideTireForce(-1.0f), -car.GetSideTireForce(1.0f));
  EXPECT_EQ(cCarProbe::DumperForce(car, 2, -3), -6.0f);
  EXPECT_EQ(cCarProbe::DumperForce(car, 2, 3), 3.0f);
  EXPECT_EQ(cCarProbe::AdditionalForce(car, 5.0f), 0.0f);
  EXPECT_EQ(cCarProbe::Sgn(car, -0.5f), -1.0f);
  EXPECT_EQ(cCarProbe::Sgn(car, 0.0f), 0.0f);
  EXPECT_EQ(cCarProbe::Sgn(car, 2.0f), 1.0f);
  D3DXVECTOR3 v(1, 0, 2);
  D3DXVECTOR3 w(0, 1, 0);
  car.SetLinVel(&v);
  car.SetRotVel(&w);
  // b + t (v + a x w): a = (0, 0, 1) gives a x w = (-1, 0, 0).
  const D3DXVECTOR3 next =
      cCarProbe::NextWheelWorldPos(car, D3DXVECTOR3(0, 0, 1), D3DXVECTOR3(5, 5, 5), 0.5f);
  ExpectVecNear(next, D3DXVECTOR3(5, 5, 6), 1e-6f);
}

// Values the model cannot run with are clamped with one line on stderr each,
// and the car still steps without NaN.
struct BadField {
  const char* name;
  void (*spoil)(_CARDATA*);
  bool (*clamped)(const _CARDATA&);
};

class CarBadData : public CarTest, public ::testing::WithParamInterface<BadField> {};

TEST_P(CarBadData, IsClampedAndTheWorldStaysFinite) {
  _CARDATA d = vrxtest::ReferenceCarData();
  GetParam().spoil(&d);
  LoadTrack();
  ::testing::internal::CaptureStderr();
  cCar& car = MakeCar(d);
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("vrx: car data:"), std::string::npos) << err;
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
  EXPECT_TRUE(GetParam().clamped(car.GetCarData()));
  car.Gear = 3;
  car.Throttle = 1.0f;
  car.Steering = 0.2f;
  cartest::RunFor(car, 2.0f, 0.016f);
  EXPECT_TRUE(cartest::Finite(car.GetLinPos()));
  EXPECT_TRUE(cartest::Finite(car.GetLinVel()));
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(cartest::Finite(WheelCentre(car, i)));
  EXPECT_TRUE(std::isfinite(car.GetEngineRot()));
  EXPECT_LT(car.GetGear(), car.GetCarData().GearCount);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, CarBadData,
    ::testing::Values(
        BadField{"ZeroFrontRadius", [](_CARDATA* d) { d->FrontRadius = 0; },
                 [](const _CARDATA& d) { return d.FrontRadius > 0; }},
        BadField{"NegativeRearRadius", [](_CARDATA* d) { d->RearRadius = -0.3f; },
                 [](const _CARDATA& d) { return d.RearRadius > 0; }},
        BadField{"ZeroMass", [](_CARDATA* d) { d->BodyMass = 0; },
                 [](const _CARDATA& d) { return d.BodyMass > 0; }},
        BadField{"TwelveGears", [](_CARDATA* d) { d->GearCount = 12; },
                 [](const _CARDATA& d) { return d.GearCount == 8; }},
        BadField{"ZeroSlipDivisor", [](_CARDATA* d) { d->SideSlipDiv = 0; },
                 [](const _CARDATA& d) { return d.SideSlipDiv > 0; }},
        BadField{"NanSpring", [](_CARDATA* d) { d->FrontSpring = std::nanf(""); },
                 [](const _CARDATA& d) { return d.FrontSpring == 0; }},
        BadField{"FlatBox", [](_CARDATA* d) { d->BBoxMax.y = d->BBoxMin.y; },
                 [](const _CARDATA& d) { return d.BBoxMax.y - d.BBoxMin.y >= 0.099f; }}),
    [](const ::testing::TestParamInfo<BadField>& info) { return std::string(info.param.name); });

TEST_F(CarTest, BadTimeStepsNeitherHangNorPoison) {
  cCar& car = SettledCar();
  ::testing::internal::CaptureStderr();
  car.DoStep(std::nanf(""));
  car.DoStep(INFINITY);
  car.DoStep(1e9f);  // a stalled program: cut to one second of substeps
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 3) << err;
  EXPECT_TRUE(cartest::Finite(car.GetLinPos()));
  car.DoStep(0.0f);  // everything but the world step
  car.DoStep(-1.0f);
  EXPECT_TRUE(cartest::Finite(car.GetLinPos()));
}
