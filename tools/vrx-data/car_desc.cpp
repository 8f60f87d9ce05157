#include "car_desc.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "desc_file.h"

namespace vrxdata {

namespace {

const char* const kZones[] = {"nose", "screen", "cabin", "pillar", "hatch", "tail"};

void Put(std::vector<uint8_t>* b, const void* p, size_t n) {
  const uint8_t* c = static_cast<const uint8_t*>(p);
  b->insert(b->end(), c, c + n);
}
void PutFloat(std::vector<uint8_t>* b, float v) { Put(b, &v, 4); }
void PutInt(std::vector<uint8_t>* b, int32_t v) { Put(b, &v, 4); }

std::string Number(float v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", v);
  return buf;
}

}  // namespace

bool ReadBodyDesc(const std::string& path, BodyDesc* body) {
  *body = BodyDesc();
  body->file = path;
  DescParser p(path);
  std::vector<DescLine> lines;
  p.Lines("station", &lines);
  if (!p.Parse()) return false;
  for (const DescLine& l : lines) {
    if (l.args.size() != 7)
      return p.Fail(l.line, "station takes z, bottom, belt, top, width, top width and a zone");
    BodyStation s;
    s.line = l.line;
    float* v[6] = {&s.z, &s.bottom, &s.belt, &s.top, &s.width, &s.topWidth};
    for (int i = 0; i < 6; ++i)
      if (!ParseFloat(l.args[i], v[i]) || std::fabs(*v[i]) > 5)
        return p.Fail(l.line, "station: '" + l.args[i] + "' is not a length in metres (-5 to 5)");
    s.zone = l.args[6];
    bool known = false;
    for (const char* z : kZones) known = known || s.zone == z;
    if (!known) return p.Fail(l.line, "station: zone '" + s.zone + "' is none of nose, screen, cabin, pillar, hatch, tail");
    if (!(s.bottom < s.belt && s.belt < s.top))
      return p.Fail(l.line, "station: bottom, belt and top must rise in that order");
    if (!(s.width > 0.1f && s.topWidth > 0.05f && s.topWidth < s.width))
      return p.Fail(l.line, "station: the top width must be above 0.05 and below the width");
    if (!body->stations.empty() && s.z >= body->stations.back().z - 0.05f)
      return p.Fail(l.line, "stations run from the front (largest z) to the back, at least 5 cm apart");
    body->stations.push_back(s);
  }
  if (body->stations.size() < 4) return p.Fail(0, "a body needs at least 4 stations");
  return true;
}

bool ReadCarDesc(const std::string& path, CarDesc* car, BodyDesc* body) {
  *car = CarDesc();
  car->file = path;
  DescParser p(path);
  CarDesc& c = *car;
  std::vector<DescRow> gears, torque;
  p.Name("name", &c.name, 20, true);
  p.Text("title", &c.title, 60, true);
  p.Text("text", &c.text, 60, true);
  p.Text("body", &c.body, 60, true);
  p.Colour("paint", &c.paint);
  p.Colour("stripe_colour", &c.stripeColour);
  p.Choice("livery", &c.livery, {"plain", "stripes", "rally"});
  p.Colour("trim", &c.trim);
  p.Choice("rim", &c.rim, {"steel", "alloy", "rally"});
  p.Colour("rim_colour", &c.rimColour);
  p.Integer("spoiler", &c.spoiler, 0, 1);
  p.Integer("roof_lights", &c.roofLights, 0, 1);
  p.Integer("mud_flaps", &c.mudFlaps, 0, 1);
  p.Integer("number", &c.number, 0, 99);
  p.Number("wheel_x", &c.wheelX, 0.4f, 1.0f);
  p.Number("front_axle", &c.frontAxle, 0.5f, 2.0f);
  p.Number("rear_axle", &c.rearAxle, -2.0f, -0.5f);
  p.Number("wheel_bottom", &c.wheelBottom, -1.0f, 0.0f);
  p.Number("wheel_radius", &c.wheelRadius, 0.2f, 0.45f);
  p.Number("wheel_width", &c.wheelWidth, 0.12f, 0.35f);
  p.Number("spring_front", &c.springFront, 5000, 200000);
  p.Number("spring_rear", &c.springRear, 5000, 200000);
  p.Number("damping_front", &c.dampingFront, 100, 20000);
  p.Number("damping_rear", &c.dampingRear, 100, 20000);
  p.Number("tyre_friction", &c.friction, 100, 20000);
  p.Number("side_slip", &c.sideSlip, 100, 100000);
  p.Number("mass", &c.mass, 300, 3000);
  p.Number("brake", &c.brake, 100, 20000);
  p.Number("drag", &c.drag, 0, 5);
  p.Number("max_rpm", &c.maxRpm, 1000, 15000);
  p.Number("upshift_rpm", &c.upshiftRpm, 1000, 15000);
  p.Number("downshift_rpm", &c.downshiftRpm, 500, 15000);
  p.Rows("gears", &gears, 3, 8, -10, 10);
  p.Number("final_drive", &c.finalDrive, 1, 10);
  p.Integer("front_drive", &c.frontDrive, 0, 1);
  p.Rows("torque", &torque, 2, 2, 0, 20000);
  if (!p.Parse()) return false;

  if (gears.empty()) return p.Fail(0, "'gears' is missing");
  if (gears.size() > 1)
    return p.Fail(gears[1].line, "'gears' given again (first on line " + std::to_string(gears[0].line) + ")");
  c.gears = gears[0].values;
  const int line = gears[0].line;
  if (c.gears[0] >= 0) return p.Fail(line, "the first gear ratio is reverse and must be negative");
  if (c.gears[1] != 0) return p.Fail(line, "the second gear ratio is neutral and must be 0");
  for (size_t i = 2; i < c.gears.size(); ++i) {
    if (c.gears[i] <= 0) return p.Fail(line, "forward gear ratios must be positive");
    if (i > 2 && c.gears[i] >= c.gears[i - 1]) return p.Fail(line, "forward gear ratios must fall from gear to gear");
  }
  if (!(c.downshiftRpm < c.upshiftRpm && c.upshiftRpm < c.maxRpm))
    return p.Fail(0, "engine speeds must rise: downshift_rpm < upshift_rpm < max_rpm");
  if (torque.size() < 2) return p.Fail(0, "the engine needs at least two 'torque' points");
  if (torque.size() > 256) return p.Fail(torque[256].line, "at most 256 torque points");
  for (size_t i = 0; i < torque.size(); ++i) {
    if (i > 0 && torque[i].values[0] <= torque[i - 1].values[0])
      return p.Fail(torque[i].line, "torque points must rise in engine speed");
    c.torqueRpm.push_back(torque[i].values[0]);
    c.torqueNm.push_back(torque[i].values[1]);
  }
  if (c.torqueRpm.back() < c.maxRpm)
    return p.Fail(torque.back().line, "the torque table must reach max_rpm (" + Number(c.maxRpm) +
                                          "); the engine gives nothing beyond its last point");
  if (c.wheelBottom + 2 * c.wheelRadius > 0.5f)
    return p.Fail(0, "the wheels reach too high into the body (wheel_bottom + 2 wheel_radius > 0.5)");

  const std::string bodyPath = (std::filesystem::path(path).parent_path() / c.body).string();
  if (!ReadBodyDesc(bodyPath, body)) return false;
  // The wheels must sit under the body, inside its width.
  const BodyStation& front = body->stations.front();
  const BodyStation& back = body->stations.back();
  if (c.frontAxle + c.wheelRadius > front.z || c.rearAxle - c.wheelRadius < back.z)
    return p.Fail(0, "the wheels stick out of the body's length (" + bodyPath + ")");
  return true;
}

std::vector<uint8_t> CarDataFile(const CarDesc& c) {
  std::vector<uint8_t> b;
  const float wheels[4][3] = {{-c.wheelX, c.wheelBottom, c.frontAxle},
                              {c.wheelX, c.wheelBottom, c.frontAxle},
                              {-c.wheelX, c.wheelBottom, c.rearAxle},
                              {c.wheelX, c.wheelBottom, c.rearAxle}};
  for (const auto& w : wheels)
    for (float v : w) PutFloat(&b, v);
  for (float v : {c.springFront, c.springRear, c.dampingFront, c.dampingRear, c.friction, c.sideSlip, c.mass,
                  c.brake, c.drag, c.maxRpm, c.upshiftRpm, c.downshiftRpm})
    PutFloat(&b, v);
  for (int i = 0; i < 8; ++i) PutFloat(&b, i < static_cast<int>(c.gears.size()) ? c.gears[i] : 0.0f);
  PutInt(&b, 0);  // not read by the game
  PutFloat(&b, c.finalDrive);
  PutInt(&b, static_cast<int32_t>(c.gears.size()));
  PutInt(&b, c.frontDrive);
  return b;
}

std::string TorqueFile(const CarDesc& c) {
  std::string out;
  for (size_t i = 0; i < c.torqueRpm.size(); ++i) out += Number(c.torqueRpm[i]) + "\t" + Number(c.torqueNm[i]) + "\n";
  return out;
}

}  // namespace vrxdata
