// A small car on the small track, for the car file harnesses: the car's
// files are written once; the harness replaces one of them, and the car is
// then built as the drive start builds it, driven a little and drawn.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "cGround.h"
#include "cScreen.h"
#include "car/cRaceCar.h"
#include "fuzz_track_common.h"
#include "platform/dinput.h"
#include "reference_car.h"
#include "sound/cListener.h"
#include "test_support.h"
#include "vrxmesh/mo_writer.h"

namespace vrxfuzz {

inline void AddBox(vrxmesh::MoWriter* w, int object, int texture, D3DXVECTOR3 a, D3DXVECTOR3 b) {
  typedef D3DXVECTOR3 V;
  auto quad = [&](V p, V q, V r, V s, V n) {
    w->AddQuad(object, texture, vrxmesh::MoVertex(p.x, p.y, p.z, n.x, n.y, n.z, 0, 0),
               vrxmesh::MoVertex(q.x, q.y, q.z, n.x, n.y, n.z, 1, 0),
               vrxmesh::MoVertex(r.x, r.y, r.z, n.x, n.y, n.z, 1, 1),
               vrxmesh::MoVertex(s.x, s.y, s.z, n.x, n.y, n.z, 0, 1));
  };
  quad(V(a.x, a.y, a.z), V(a.x, b.y, a.z), V(b.x, b.y, a.z), V(b.x, a.y, a.z), V(0, 0, -1));
  quad(V(b.x, a.y, b.z), V(b.x, b.y, b.z), V(a.x, b.y, b.z), V(a.x, a.y, b.z), V(0, 0, 1));
  quad(V(a.x, a.y, b.z), V(a.x, b.y, b.z), V(a.x, b.y, a.z), V(a.x, a.y, a.z), V(-1, 0, 0));
  quad(V(b.x, a.y, a.z), V(b.x, b.y, a.z), V(b.x, b.y, b.z), V(b.x, a.y, b.z), V(1, 0, 0));
  quad(V(a.x, b.y, a.z), V(a.x, b.y, b.z), V(b.x, b.y, b.z), V(b.x, b.y, a.z), V(0, 1, 0));
  quad(V(a.x, a.y, b.z), V(a.x, a.y, a.z), V(b.x, a.y, a.z), V(b.x, a.y, b.z), V(0, -1, 0));
}

struct CarRig {
  cGround* ground = nullptr;
  cListener* listener = nullptr;
  std::string base;  // "car\Test\Test"
  std::string folder;
  uint8_t keyMap[7] = {DIK_UP, DIK_DOWN, DIK_LEFT, DIK_RIGHT, DIK_A, DIK_Z, DIK_SPACE};
};

// The reference car's data file, as the content tool writes car data.
inline std::vector<uint8_t> ReferenceCdf() {
  const _CARDATA d = vrxtest::ReferenceCarData();
  std::vector<uint8_t> b(144, 0);
  auto put = [&](int at, const void* v) { std::memcpy(b.data() + at, v, 4); };
  for (int i = 0; i < 4; ++i) {
    put(12 * i, &d.WheelPos[i].x);
    put(12 * i + 4, &d.WheelPos[i].y);
    put(12 * i + 8, &d.WheelPos[i].z);
  }
  const float f[] = {d.FrontSpring, d.RearSpring, d.FrontDamping, d.RearDamping, d.TyreFriction, d.SideSlipDiv,
                     d.BodyMass,    d.BrakeForce, d.DragCoef,     d.MaxRPM,      d.UpshiftRPM,   d.DownshiftRPM};
  for (int i = 0; i < 12; ++i) put(48 + 4 * i, &f[i]);
  for (int g = 0; g < 8; ++g) put(96 + 4 * g, &d.GearRatio[g]);
  put(132, &d.FinalDrive);
  put(136, &d.GearCount);
  put(140, &d.FrontDrive);
  return b;
}

inline CarRig& Rig() {
  static CarRig* rig = nullptr;
  if (rig) return *rig;
  rig = new CarRig;
  cScreen* screen = Screen();
  rig->ground = new cGround(TrackPath().c_str(), screen, nullptr);
  rig->ground->LoadShadowMaps();
  rig->listener = new cListener(nullptr);
  rig->folder = "car/Test";
  rig->base = "car\\Test\\Test";
  WriteImage(rig->folder + "/paint.tga", 4, 4, 0xFF808080);
  vrxmesh::MoWriter w;
  const int paint = w.AddTexture("paint.tga");
  typedef D3DXVECTOR3 V;
  AddBox(&w, w.AddObject("body"), paint, V(-0.8f, -0.15f, -2.1f), V(0.8f, 0.95f, 1.9f));
  AddBox(&w, w.AddObject("ls_back"), paint, V(-0.3f, 0.6f, -2.14f), V(0.3f, 0.7f, -2.1f));
  AddBox(&w, w.AddObject("lr_back"), paint, V(-0.1f, 0.4f, -2.14f), V(0.1f, 0.5f, -2.1f));
  AddBox(&w, w.AddObject("mplate"), paint, V(-0.25f, 0.2f, -2.13f), V(0.25f, 0.35f, -2.1f));
  AddBox(&w, w.AddObject("wheel"), paint, V(-0.1f, -0.3f, -0.3f), V(0.1f, 0.3f, 0.3f));
  std::string error;
  if (!w.Write(rig->folder + "/Test.mo", &error)) {
    std::fprintf(stderr, "vrx fuzz: cannot write the car: %s\n", error.c_str());
    std::exit(2);
  }
  const std::vector<uint8_t> cdf = ReferenceCdf();
  WriteInput(rig->folder + "/Test.cdf", cdf.data(), cdf.size());
  vrxtest::WriteTextFile(rig->folder + "/Test.trq",
                         "0\t35\n1000\t38\n2000\t42\n3000\t45\n4000\t47\n5000\t46\n6000\t42\n7000\t35\n");
  return *rig;
}

// Builds the car, drives it flat out for half a second with a little
// steering, draws it, asks what the race loop asks of it, and asks the
// engine's torque callback across the whole speed range.
inline void BuildAndDriveCar() {
  CarRig& rig = Rig();
  _CARSTATE start = vrxtest::RestState(rig.ground->GetStartX(), 0.0f, rig.ground->GetStartZ());
  cRaceCar car(rig.base.c_str(), start, Screen(), rig.ground, nullptr, rig.listener, rig.keyMap, 1, 0);
  if (!car.IsRaceable()) return;
  car.controlMode = 3;
  uint8_t controls[24];
  car.CopyControlsOut(controls);
  const float drive[3] = {1.0f, 0.0f, 0.1f};
  std::memcpy(controls, drive, sizeof drive);
  car.CopyControlsIn(controls);
  D3DXVECTOR3 offset(0.0f, 2.0f, -6.0f);
  for (int i = 0; i < 50; ++i) {
    car.Step(0.01f);
    (void)car.ChaseCamera(&offset);
  }
  (void)car.GetGear();
  (void)car.SampleShadowIntensity();
  (void)car.TrackCamera(1, 3.0f);
  car.Draw(nullptr, nullptr);
  for (float speed = -100.0f; speed < 2000.0f; speed += 7.3f) (void)cRaceCar::TorqueCurve(speed, &car);
}

}  // namespace vrxfuzz
