#include "reference_car.h"

#include <cstring>
#include <filesystem>

#include "mathkit/mathkit.h"
#include "test_support.h"
#include "vrxmesh/mo_writer.h"

namespace vrxtest {

const float kReferenceTorqueRpm[kReferenceTorquePoints] = {0, 1000, 2000, 3000,
                                                           4000, 5000, 6000, 7000};
const float kReferenceTorqueNm[kReferenceTorquePoints] = {35, 38, 42, 45, 47, 46, 42, 35};

_CARDATA ReferenceCarData() {
  _CARDATA d;
  std::memset(&d, 0, sizeof d);
  // Wheel bottoms 0.4 m below the car's origin, which is its centre of mass.
  d.WheelPos[0] = D3DXVECTOR3(-0.7f, -0.4f, 1.1f);
  d.WheelPos[1] = D3DXVECTOR3(0.7f, -0.4f, 1.1f);
  d.WheelPos[2] = D3DXVECTOR3(-0.7f, -0.4f, -1.3f);
  d.WheelPos[3] = D3DXVECTOR3(0.7f, -0.4f, -1.3f);
  d.BBoxMin = D3DXVECTOR3(-0.8f, -0.15f, -2.1f);
  d.BBoxMax = D3DXVECTOR3(0.8f, 0.95f, 1.9f);
  d.FrontSpring = 40000.0f;
  d.RearSpring = 40000.0f;
  d.FrontDamping = 3000.0f;
  d.RearDamping = 3000.0f;
  d.TyreFriction = 2500.0f;
  d.SideSlipDiv = 10000.0f;
  d.FrontRadius = 0.3f;
  d.RearRadius = 0.3f;
  d.BodyMass = 800.0f;
  d.BrakeForce = 3000.0f;
  d.DragCoef = 0.4f;
  d.MaxRPM = 6500.0f;
  d.UpshiftRPM = 6000.0f;
  d.DownshiftRPM = 3000.0f;
  const float ratios[CAR_MAX_GEARS] = {-3.5f, 0.0f, 3.67f, 2.15f, 1.53f, 1.15f, 0.92f, 0.0f};
  std::memcpy(d.GearRatio, ratios, sizeof ratios);
  d.FinalDrive = 4.0f;
  d.GearCount = 7;
  d.Automatic = 1;
  d.FrontDrive = 0;
  return d;
}

float ReferenceTorque(float engineSpeed, void*) {
  const float rpm = engineSpeed * CAR_RADS_TO_RPM;
  for (int i = 0; i + 1 < kReferenceTorquePoints; ++i) {
    const float a = kReferenceTorqueRpm[i];
    const float b = kReferenceTorqueRpm[i + 1];
    if (a <= rpm && rpm < b)
      return kReferenceTorqueNm[i] +
             (rpm - a) / (b - a) * (kReferenceTorqueNm[i + 1] - kReferenceTorqueNm[i]);
  }
  return 0.0f;
}

_CARSTATE RestState(float x, float y, float z) {
  _CARSTATE s;
  std::memset(&s, 0, sizeof s);
  s.LinPos = D3DXVECTOR3(x, y, z);
  MatrixIdentity(&s.RotPos);
  return s;
}

namespace {

// Quad a, b, c, d seen from the side `n` points to.
void Quad(vrxmesh::MoWriter* w, int object, const D3DXVECTOR3& a, const D3DXVECTOR3& b,
          const D3DXVECTOR3& c, const D3DXVECTOR3& d, const D3DXVECTOR3& n) {
  auto v = [&](const D3DXVECTOR3& p, float u, float t) {
    return vrxmesh::MoVertex(p.x, p.y, p.z, n.x, n.y, n.z, u, t);
  };
  w->AddQuad(object, 0, v(a, 0, 0), v(b, 0, 1), v(c, 1, 1), v(d, 1, 0));
}

// A vertical quad across x = -half .. half at z, facing -z.
void Gate(vrxmesh::MoWriter* w, int object, float x, float half, float y, float z, float height) {
  Quad(w, object, D3DXVECTOR3(x - half, y, z), D3DXVECTOR3(x - half, y + height, z),
       D3DXVECTOR3(x + half, y + height, z), D3DXVECTOR3(x + half, y, z),
       D3DXVECTOR3(0, 0, -1));
}

// A 2 x 2 grey uncompressed TGA.
bool WriteTexture(const std::string& path) {
  unsigned char tga[18 + 12] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 24, 0};
  std::memset(tga + 18, 0x80, 12);
  return WriteFile(path, tga, sizeof tga);
}

}  // namespace

bool WriteFlatTrack(const std::string& trackPath, const FlatTrackLayout& layout, std::string* error) {
  const std::filesystem::path path(trackPath);
  const std::filesystem::path dir = path.parent_path();
  if (!WriteTexture((dir / "road.tga").string()) ||
      !WriteTextFile((dir / "Start.ini").string(), "0\n0\n0\n")) {
    if (error) *error = "cannot write into " + dir.string();
    return false;
  }
  vrxmesh::MoWriter w;
  w.AddTexture("road.tga");
  const int road = w.AddObject("g_road");
  const D3DXVECTOR3 up(0, 1, 0);
  const float y = layout.height;
  for (float x = layout.xMin; x < layout.xMax - 1e-3f; x += layout.tile) {
    for (float z = layout.zMin; z < layout.zMax - 1e-3f; z += layout.tile) {
      const float x1 = x + layout.tile;
      const float z1 = z + layout.tile;
      Quad(&w, road, D3DXVECTOR3(x, y, z), D3DXVECTOR3(x, y, z1), D3DXVECTOR3(x1, y, z1),
           D3DXVECTOR3(x1, y, z), up);
    }
  }
  if (layout.wall) {
    const int wall = w.AddObject("b_wall");
    Gate(&w, wall, 0.0f, layout.wallHalfWidth, y - 1.0f, layout.wallZ, layout.wallHeight + 1.0f);
  }
  const float away = 1.0e4f;  // x of the gates nobody asked for
  const int start = w.AddObject("ts");
  Gate(&w, start, layout.startGate ? 0.0f : away, layout.gateHalfWidth, y, layout.startGateZ, 4.0f);
  const int half = w.AddObject("tm");
  Gate(&w, half, layout.halfGate ? 0.0f : away, layout.gateHalfWidth, y, layout.halfGateZ, 4.0f);
  return w.Write(trackPath + ".mo", error);
}

}  // namespace vrxtest
