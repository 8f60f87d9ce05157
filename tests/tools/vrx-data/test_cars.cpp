// Cars from their descriptions, checked on the files the tool writes: the
// 144-byte car data file, the torque and description files, the mesh's
// object names, the wheel (its size, its outer face) against the body and
// the car data, plates and light markers, budget, determinism, bad input.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>

#include "car_desc.h"
#include "geom.h"
#include "cars.h"
#include "content_test_util.h"
#include "desc_file.h"

using contenttest::MoFile;
using vrxdata::CarDesc;

namespace {

float FloatAt(const std::string& b, size_t offset) {
  float v;
  std::memcpy(&v, b.data() + offset, 4);
  return v;
}
int32_t IntAt(const std::string& b, size_t offset) {
  int32_t v;
  std::memcpy(&v, b.data() + offset, 4);
  return v;
}

struct BuiltCar {
  CarDesc desc;
  vrxdata::BodyDesc body;
  std::string base;  // directory and base name
  MoFile mo;
};

// Every car of the repository, read from the shared build.
std::vector<BuiltCar> Cars() {
  std::vector<BuiltCar> cars;
  for (const std::string& f : vrxdata::ListDescriptions(contenttest::ContentDir() + "/cars", ".car")) {
    BuiltCar c;
    EXPECT_TRUE(vrxdata::ReadCarDesc(f, &c.desc, &c.body)) << f;
    c.base = contenttest::BuiltData() + "/CARS/" + c.desc.name + "/" + c.desc.name;
    EXPECT_TRUE(contenttest::ReadMo(c.base + ".mo", &c.mo)) << c.base;
    cars.push_back(c);
  }
  return cars;
}

const MoFile::Object& Only(const MoFile& mo, const std::string& prefix) {
  const std::vector<const MoFile::Object*> found = mo.Starting(prefix);
  EXPECT_EQ(found.size(), 1u) << prefix;
  return *found.at(0);
}

}  // namespace

TEST(Cars, ThereAreThreeVariantsThatDiffer) {
  ASSERT_FALSE(contenttest::BuiltData().empty());
  const std::vector<BuiltCar> cars = Cars();
  ASSERT_GE(cars.size(), 3u);
  for (size_t i = 0; i < cars.size(); ++i)
    for (size_t j = i + 1; j < cars.size(); ++j) {
      const std::string a = vrxtest::ReadFile(cars[i].base + ".cdf"), b = vrxtest::ReadFile(cars[j].base + ".cdf");
      EXPECT_NE(a, b) << cars[i].desc.name << " and " << cars[j].desc.name << " drive alike";
      EXPECT_NE(cars[i].desc.paint, cars[j].desc.paint);
    }
}

TEST(Cars, CarDataFileHoldsTheDescriptionAtItsOffsets) {
  for (const BuiltCar& c : Cars()) {
    const std::string b = vrxtest::ReadFile(c.base + ".cdf");
    ASSERT_EQ(b.size(), 144u) << c.desc.name;
    const CarDesc& d = c.desc;
    // Wheels 0 and 1 in front, 0 and 2 on the left (-x), y the lowest point.
    const float wx[4] = {-d.wheelX, d.wheelX, -d.wheelX, d.wheelX};
    const float wz[4] = {d.frontAxle, d.frontAxle, d.rearAxle, d.rearAxle};
    for (int w = 0; w < 4; ++w) {
      EXPECT_EQ(FloatAt(b, 12 * w), wx[w]);
      EXPECT_EQ(FloatAt(b, 12 * w + 4), d.wheelBottom);
      EXPECT_EQ(FloatAt(b, 12 * w + 8), wz[w]);
    }
    EXPECT_GT(FloatAt(b, 8), 0.0f);
    EXPECT_LT(FloatAt(b, 32), 0.0f);
    const float fields[] = {d.springFront, d.springRear, d.dampingFront, d.dampingRear, d.friction, d.sideSlip,
                            d.mass,        d.brake,      d.drag,         d.maxRpm,      d.upshiftRpm, d.downshiftRpm};
    for (int i = 0; i < 12; ++i) EXPECT_EQ(FloatAt(b, 48 + 4 * i), fields[i]) << "field at " << 48 + 4 * i;
    for (size_t g = 0; g < 8; ++g) EXPECT_EQ(FloatAt(b, 96 + 4 * g), g < d.gears.size() ? d.gears[g] : 0.0f);
    EXPECT_LT(FloatAt(b, 96), 0.0f);  // reverse
    EXPECT_EQ(FloatAt(b, 100), 0.0f);  // neutral
    EXPECT_EQ(IntAt(b, 128), 0);
    EXPECT_EQ(FloatAt(b, 132), d.finalDrive);
    EXPECT_EQ(IntAt(b, 136), static_cast<int32_t>(d.gears.size()));
    EXPECT_LE(IntAt(b, 136), 8);
    EXPECT_EQ(IntAt(b, 140), d.frontDrive);
  }
}

TEST(Cars, TorqueAndDescriptionFiles) {
  for (const BuiltCar& c : Cars()) {
    const std::vector<std::string> lines = contenttest::ListEntries(c.base + ".trq");
    ASSERT_EQ(lines.size(), c.desc.torqueRpm.size());
    float last = -1;
    for (const std::string& l : lines) {
      ASSERT_LT(l.size(), 127u);
      const size_t tab = l.rfind('\t');
      ASSERT_NE(tab, std::string::npos) << l;
      const float rpm = std::strtof(l.substr(0, tab).c_str(), nullptr);
      const float nm = std::strtof(l.substr(tab + 1).c_str(), nullptr);
      EXPECT_GT(rpm, last) << l;
      EXPECT_GT(nm, 0.0f) << l;
      last = rpm;
    }
    EXPECT_GE(last, c.desc.maxRpm);  // torque up to the rev limit
    const std::vector<std::string> text = contenttest::ListEntries(c.base + ".txt");
    ASSERT_EQ(text.size(), 2u);
    EXPECT_EQ(text[0], c.desc.title);
    EXPECT_EQ(text[1], c.desc.text);
    for (const std::string& t : text) EXPECT_LT(t.size(), 126u);
  }
}

TEST(Cars, MeshNamesTheGameSortsBy) {
  for (const BuiltCar& c : Cars()) {
    const MoFile& mo = c.mo;
    Only(mo, "b");
    Only(mo, "w");
    EXPECT_EQ(mo.Starting("ls").size(), 2u);
    EXPECT_EQ(mo.Starting("lr").size(), 2u);
    EXPECT_EQ(mo.Starting("l").size(), 4u);
    EXPECT_EQ(mo.Starting("m").size(), 2u);
    EXPECT_GE(mo.objects.size(), 11u);  // body, wheel, lights, plates and parts
    for (const std::string& t : mo.textures)
      EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::path(c.base).parent_path() / t)) << t;
    // Light markers at the back, as wide as a lamp.
    for (const MoFile::Object* l : mo.Starting("l")) {
      EXPECT_LT(l->record.max[2], Only(mo, "b").record.min[2] + 0.05f) << l->name;
      EXPECT_GT(l->record.max[0] - l->record.min[0], 0.05f) << l->name;
    }
  }
}

TEST(Cars, WheelMatchesTheCarDataAndFacesOutwardOnPlusX) {
  for (const BuiltCar& c : Cars()) {
    const CarDesc& d = c.desc;
    const _MOOBJECT& w = Only(c.mo, "w").record;
    // The game's radius: half the box height; the skid width: the box's x size.
    EXPECT_FLOAT_EQ((w.max[1] - w.min[1]) * 0.5f, d.wheelRadius) << d.name;
    EXPECT_FLOAT_EQ(w.max[0] - w.min[0], d.wheelWidth) << d.name;
    for (int a = 0; a < 3; ++a) EXPECT_NEAR(w.min[a] + w.max[a], 0.0f, 1e-5f) << d.name;
    // The rim's face (the picture with the spokes) is on the +x side only.
    const MoFile::Object& wheel = Only(c.mo, "w");
    const int rim = c.mo.TextureIndex("rim.tga");
    ASSERT_GE(rim, 0);
    int faces = 0;
    for (size_t i = 0; i < wheel.faces.size(); ++i) {
      if (wheel.texture[i] != rim) continue;
      const _MOFACE& f = wheel.faces[i];
      EXPECT_GT(f.v[0].x + f.v[1].x + f.v[2].x, 0.0f) << d.name;
      EXPECT_GT(f.v[0].nx, 0.5f) << d.name;
      ++faces;
    }
    EXPECT_GT(faces, 20) << d.name;
  }
}

TEST(Cars, WheelsSitInTheArchesOfTheBody) {
  for (const BuiltCar& c : Cars()) {
    const CarDesc& d = c.desc;
    const MoFile::Object& body = Only(c.mo, "b");
    const _MOOBJECT& b = body.record;
    // The body box (the car's collision box) encloses the wheels across and along.
    EXPECT_GE(b.max[0], d.wheelX + d.wheelWidth / 2 - 0.02f) << d.name;
    EXPECT_LE(-b.min[0], b.max[0] + 1e-5f);
    EXPECT_GT(b.max[2], d.frontAxle + d.wheelRadius) << d.name;
    EXPECT_LT(b.min[2], d.rearAxle - d.wheelRadius) << d.name;
    EXPECT_GT(b.min[1], d.wheelBottom + 0.1f) << d.name;  // ground clearance
    // A small hatchback: about 3.8 m long, 1.6 m wide, 1.4 m tall on its wheels.
    EXPECT_NEAR(b.max[2] - b.min[2], 3.8f, 0.3f);
    EXPECT_NEAR(b.max[0] - b.min[0], 1.6f, 0.15f);
    EXPECT_NEAR(b.max[1] - d.wheelBottom, 1.42f, 0.12f);
    // No body vertex reaches into a wheel, hanging at its lowest place or
    // raised on its spring by the car's weight as the menu preview puts it.
    const float a = std::fabs(d.frontAxle), rb = std::fabs(d.rearAxle);
    const float frontLift = d.mass * 9.81f * rb / (a + rb) * 0.5f / d.springFront;
    const float rearLift = d.mass * 9.81f * a / (a + rb) * 0.5f / d.springRear;
    EXPECT_GT(frontLift, 0.02f);
    for (const _MOFACE& f : body.faces)
      for (const _MOVERTEX& v : f.v)
        for (float axle : {d.frontAxle, d.rearAxle})
          for (float lift : {0.0f, axle > 0 ? frontLift : rearLift}) {
            const float cy = d.wheelBottom + d.wheelRadius + lift;
            const float r = std::sqrt((v.y - cy) * (v.y - cy) + (v.z - axle) * (v.z - axle));
            const bool across = std::fabs(std::fabs(v.x) - d.wheelX) < d.wheelWidth / 2;
            ASSERT_FALSE(across && r < d.wheelRadius - 0.003f)
                << d.name << " body vertex " << v.x << " " << v.y << " " << v.z;
          }
  }
}

TEST(Cars, PlatesAreFourToOneAndReadFromOutside) {
  for (const BuiltCar& c : Cars()) {
    for (const char* name : {"m_rear", "m_front"}) {
      const MoFile::Object& m = Only(c.mo, name);
      const _MOOBJECT& r = m.record;
      EXPECT_NEAR((r.max[0] - r.min[0]) / (r.max[1] - r.min[1]), 4.0f, 0.01f) << name;
      const bool rear = std::string(name) == "m_rear";
      for (const _MOFACE& f : m.faces)
        for (const _MOVERTEX& v : f.v) {
          EXPECT_NEAR(v.nz, rear ? -1.0f : 1.0f, 1e-5f);
          // u from the viewer's left to right: +x seen from behind, -x seen from the front.
          const float u = (v.x - r.min[0]) / (r.max[0] - r.min[0]);
          EXPECT_NEAR(v.u, rear ? u : 1 - u, 1e-4f) << name;
          EXPECT_NEAR(v.v, (r.max[1] - v.y) / (r.max[1] - r.min[1]), 1e-4f) << name;
        }
    }
  }
}

TEST(Cars, EveryFaceShowsTheSideItsNormalsPointTo) {
  for (const BuiltCar& c : Cars())
    for (const MoFile::Object& o : c.mo.objects)
      for (const _MOFACE& f : o.faces) {
        const vrxdata::Vec3 a(f.v[0].x, f.v[0].y, f.v[0].z), b(f.v[1].x, f.v[1].y, f.v[1].z),
            cc(f.v[2].x, f.v[2].y, f.v[2].z);
        const vrxdata::Vec3 g = vrxdata::Cross(b - a, cc - a);
        const vrxdata::Vec3 n(f.v[0].nx + f.v[1].nx + f.v[2].nx, f.v[0].ny + f.v[1].ny + f.v[2].ny,
                              f.v[0].nz + f.v[1].nz + f.v[2].nz);
        ASSERT_GT(vrxdata::Dot(g, n), 0) << c.desc.name << " " << o.name;
      }
}

TEST(Cars, BudgetAndSameBytesOnEveryBuild) {
  const std::string dir = vrxtest::MakeTempDir("cars_twice");
  for (const std::string& f : vrxdata::ListDescriptions(contenttest::ContentDir() + "/cars", ".car")) {
    vrxdata::CarStats st;
    ASSERT_TRUE(vrxdata::BuildCar(f, dir + "/a", &st));
    EXPECT_LE(st.drawnFaces, vrxdata::kMaxCarFaces) << f;
    EXPECT_GT(st.bodyFaces, 800u) << f;  // the detail goes into the body
    ASSERT_TRUE(vrxdata::BuildCar(f, dir + "/b"));
  }
  const std::vector<std::string> a = contenttest::FilesBelow(dir + "/a");
  ASSERT_EQ(a, contenttest::FilesBelow(dir + "/b"));
  for (const std::string& f : a) EXPECT_TRUE(vrxtest::ReadFile(dir + "/a/" + f) == vrxtest::ReadFile(dir + "/b/" + f)) << f;
}

TEST(Cars, BadDescriptionsStopWithFileLineAndReason) {
  const std::string dir = vrxtest::MakeTempDir("cars_bad");
  std::filesystem::copy_file(contenttest::ContentDir() + "/cars/hatch.body", dir + "/hatch.body");
  const std::string head = "name Bad\ntitle A\ntext B\nbody hatch.body\n";
  const std::string torque = "torque 1000 40\ntorque 7000 40\n";
  struct Case {
    std::string text, where, what;
  };
  const std::vector<Case> cases = {
      {head + "gears -3 0 2 3\n" + torque, ":5: ", "must fall"},
      {head + "gears 3 0 2 1\n" + torque, ":5: ", "reverse"},
      {head + "gears -3 0 2 1\ntorque 1000 40\ntorque 900 40\n", ":7: ", "must rise"},
      {head + "gears -3 0 2 1\ntorque 1000 40\ntorque 5000 40\n", ":7: ", "must reach max_rpm"},
      {head + "gears -3 0 2 1\nwheel_radius 0.5\n" + torque, ":6: ", "out of range"},
      {"name Bad\ntitle A\ntext B\nbody none.body\ngears -3 0 2 1\n" + torque, "none.body: ", "cannot open"},
      {head + "gears -3 0 2 1\nrim wire\n" + torque, ":6: ", "none of: steel, alloy, rally"},
      {head + torque, ": ", "'gears' is missing"},
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    const std::string path = dir + "/bad" + std::to_string(i) + ".car";
    ASSERT_TRUE(vrxtest::WriteTextFile(path, cases[i].text));
    testing::internal::CaptureStderr();
    EXPECT_FALSE(vrxdata::BuildCar(path, dir + "/out")) << cases[i].what;
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find(cases[i].where), std::string::npos) << err;
    EXPECT_NE(err.find(cases[i].what), std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
  }
  EXPECT_FALSE(std::filesystem::exists(dir + "/out"));
}

TEST(Lists, NameEveryCarAndTrackOneALine) {
  const std::string data = contenttest::BuiltData();
  ASSERT_FALSE(data.empty());
  for (const char* list : {"Cars.txt", "Tracks.txt"}) {
    const std::string text = vrxtest::ReadFile(data + "/" + list);
    ASSERT_FALSE(text.empty()) << list;
    EXPECT_EQ(text.back(), '\n') << list;
    const std::vector<std::string> entries = contenttest::ListEntries(data + "/" + list);
    EXPECT_GE(entries.size(), 3u) << list;
    for (const std::string& e : entries) {
      EXPECT_LE(e.size(), 63u) << e;
      EXPECT_EQ(e.find('\r'), std::string::npos);
      const bool car = std::string(list) == "Cars.txt";
      EXPECT_EQ(e.rfind(car ? "DATA\\CARS\\" : "DATA\\TRACKS\\", 0), 0u) << e;
      EXPECT_TRUE(std::filesystem::is_regular_file(contenttest::EntryPath(data, e) + (car ? ".cdf" : ".mo"))) << e;
    }
  }
}
