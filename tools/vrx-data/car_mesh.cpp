#include "car_mesh.h"

#include <algorithm>
#include <cmath>

#include "car_textures.h"

namespace vrxdata {

const char* const kCarTextureFiles[] = {"paint.tga", "glass.tga", "trim.tga", "lamps.tga",
                                        "tyre.tga",  "rim.tga",   "decal.tga"};
const int kCarTextureCount = sizeof kCarTextureFiles / sizeof kCarTextureFiles[0];

namespace {

enum Tex { kPaint, kGlass, kTrim, kLamps, kTyre, kRim, kDecal };

const int kProfile = 8;          // points on each half of a body section
const float kStep = 0.12f;       // body sections at least this close
const int kWheelSegments = 20;   // a multiple of 4: the tyre's top and bottom points lie on the circle
const Vec3 kUp(0, 1, 0);

// A body section: its z, the interpolated station values and the zone of
// the stretch behind it.
struct Section {
  float z, bottom, belt, top, width, topWidth;
  std::string zone;
  Vec3 p[kProfile];  // right half, from the bottom centre round to the top centre
};

float CatmullRom(float p0, float p1, float p2, float p3, float t) {
  const float v = 0.5f * ((2 * p1) + (-p0 + p2) * t + (2 * p0 - 5 * p1 + 4 * p2 - p3) * t * t +
                          (-p0 + 3 * p1 - 3 * p2 + p3) * t * t * t);
  // No overshoot past the two stations the stretch joins.
  return Clamp(v, std::min(p1, p2), std::max(p1, p2));
}

class CarBuilder {
 public:
  CarBuilder(const CarDesc& car, const BodyDesc& body, MeshBuilder* mesh)
      : car_(car), body_(body), mesh_(mesh), layout_(LayoutOf(body)) {}

  void Build() {
    for (int i = 0; i < kCarTextureCount; ++i)
      tex_[i] = (i == kDecal && car_.number == 0) ? -1 : mesh_->Texture(kCarTextureFiles[i]);
    Sections();
    Body();
    Bumpers();
    Lamps();
    Mirrors();
    Exhaust();
    if (car_.spoiler) Spoiler();
    if (car_.roofLights) RoofLights();
    if (car_.mudFlaps) MudFlaps();
    if (car_.number > 0) Decals();
    Plates();
    LightMarkers();
    Wheel();
  }

 private:
  // Radius and centre height of the wheel arches.
  float ArchRadius() const { return car_.wheelRadius + 0.06f; }
  float ArchY() const { return car_.wheelBottom + car_.wheelRadius + 0.03f; }

  Section At(float z) const {
    const std::vector<BodyStation>& k = body_.stations;
    size_t i = 0;
    while (i + 2 < k.size() && z < k[i + 1].z) ++i;
    const float t = Clamp((k[i].z - z) / (k[i].z - k[i + 1].z), 0.0f, 1.0f);
    const BodyStation& a = k[i > 0 ? i - 1 : 0];
    const BodyStation& b = k[i];
    const BodyStation& c = k[i + 1];
    const BodyStation& d = k[std::min(k.size() - 1, i + 2)];
    Section s;
    s.z = z;
    s.bottom = CatmullRom(a.bottom, b.bottom, c.bottom, d.bottom, t);
    s.belt = CatmullRom(a.belt, b.belt, c.belt, d.belt, t);
    s.top = CatmullRom(a.top, b.top, c.top, d.top, t);
    s.width = CatmullRom(a.width, b.width, c.width, d.width, t);
    s.topWidth = CatmullRom(a.topWidth, b.topWidth, c.topWidth, d.topWidth, t);
    s.zone = b.zone;
    // Wheel arches lift the underside over each axle.
    for (float axle : {car_.frontAxle, car_.rearAxle}) {
      const float dz = z - axle, r = ArchRadius();
      if (std::fabs(dz) < r) s.bottom = std::max(s.bottom, ArchY() + std::sqrt(r * r - dz * dz));
    }
    const float yb = s.bottom, belt = std::max(s.belt, yb + 0.06f), w = s.width, wt = s.topWidth;
    s.p[0] = Vec3(0, yb, z);
    s.p[1] = Vec3(std::max(0.5f * w, w - 0.07f), yb, z);
    s.p[2] = Vec3(w - 0.01f, yb + 0.25f * (belt - yb), z);
    s.p[3] = Vec3(w, yb + 0.7f * (belt - yb), z);
    s.p[4] = Vec3(w - 0.025f, belt, z);
    s.p[5] = Vec3(wt, std::max(belt + 0.01f, s.top - 0.06f), z);
    s.p[6] = Vec3(std::max(0.02f, wt - 0.07f), std::max(belt + 0.015f, s.top - 0.02f), z);
    s.p[7] = Vec3(0, s.top, z);
    return s;
  }

  void Sections() {
    std::vector<float> zs;
    const std::vector<BodyStation>& k = body_.stations;
    for (size_t i = 0; i + 1 < k.size(); ++i) {
      const int n = std::max(1, static_cast<int>(std::ceil((k[i].z - k[i + 1].z) / kStep)));
      for (int j = 0; j < n; ++j) zs.push_back(k[i].z - (k[i].z - k[i + 1].z) * j / n);
    }
    zs.push_back(k.back().z);
    for (float axle : {car_.frontAxle, car_.rearAxle})
      for (int a = 0; a <= 8; ++a) zs.push_back(axle + ArchRadius() * std::cos(a * kPi / 8));
    std::sort(zs.begin(), zs.end(), [](float a, float b) { return a > b; });
    for (float z : zs)
      if (sections_.empty() || sections_.back().z - z > 0.015f) sections_.push_back(At(z));
    // The zone of a stretch is the zone at its middle.
    for (size_t i = 0; i + 1 < sections_.size(); ++i)
      sections_[i].zone = At(0.5f * (sections_[i].z + sections_[i + 1].z)).zone;
  }

  Vec3 SectionNormal(int k, int j) const {
    const int n = static_cast<int>(sections_.size());
    const Section& s = sections_[k];
    const Vec3 along = sections_[std::min(n - 1, k + 1)].p[j] - sections_[std::max(0, k - 1)].p[j];
    const Vec3 round = s.p[std::min(kProfile - 1, j + 1)] - s.p[std::max(0, j - 1)];
    Vec3 nrm = Normalize(Cross(round, along));
    const Vec3 centre(0, 0.5f * (s.bottom + s.top), s.z);
    if (Dot(nrm, s.p[j] - centre) < 0) nrm = -nrm;
    return nrm;
  }

  // Atlas coordinates of a body point for a face whose normal is n.
  void PaintUV(const Vec3& p, const Vec3& n, float* u, float* v) const {
    const CarLayout& l = layout_;
    const float len = l.front - l.back;
    if (std::fabs(n.x) >= std::fabs(n.y)) {
      *u = 0.5f * (l.front - p.z) / len;
      *v = (l.top - p.y) / (l.top - l.bottom);
    } else {
      *u = 0.5f + 0.5f * (l.front - p.z) / len;
      *v = 0.5f + 0.5f * p.x / l.width;
    }
  }

  void Body() {
    const int obj = mesh_->Object("b_body");
    const int n = static_cast<int>(sections_.size());
    for (int k = 0; k + 1 < n; ++k) {
      const std::string& zone = sections_[k].zone;
      for (int j = 0; j + 1 < kProfile; ++j) {
        Tex t = kPaint;
        if (j == 0) t = kTrim;
        if (j == 4 && (zone == "screen" || zone == "cabin")) t = kGlass;
        if (j == 6 && (zone == "screen" || zone == "hatch")) t = kGlass;
        for (int side = -1; side <= 1; side += 2) {
          MeshVertex v[4];
          const int ks[4] = {k, k, k + 1, k + 1}, js[4] = {j, j + 1, j + 1, j};
          for (int q = 0; q < 4; ++q) {
            Vec3 p = sections_[ks[q]].p[js[q]], nr = SectionNormal(ks[q], js[q]);
            p.x *= side;
            nr.x *= side;
            v[q] = MeshVertex(p, nr, 0, 0);
          }
          const Vec3 face = Cross(v[1].p - v[0].p, v[2].p - v[0].p) + Cross(v[2].p - v[0].p, v[3].p - v[0].p);
          for (MeshVertex& m : v) {
            if (t == kTrim) {
              m.u = m.p.x;
              m.v = m.p.z;
            } else {
              PaintUV(m.p, face, &m.u, &m.v);
            }
          }
          mesh_->SmoothQuad(obj, tex_[t], v[0], v[1], v[2], v[3]);
        }
      }
    }
    // End faces: the front in trim colour (behind grille and lamps), the back painted.
    for (int end = 0; end < 2; ++end) {
      const Section& s = end ? sections_.back() : sections_.front();
      std::vector<Vec3> ring;
      for (int j = 0; j < kProfile; ++j) ring.push_back(s.p[j]);
      for (int j = kProfile - 2; j > 0; --j) ring.push_back(Vec3(-s.p[j].x, s.p[j].y, s.p[j].z));
      Vec3 centre;
      for (const Vec3& p : ring) centre += p * (1.0f / ring.size());
      const Vec3 facing(0, 0, end ? -1.0f : 1.0f);
      const Tex t = end ? kPaint : kTrim;
      for (size_t i = 0; i < ring.size(); ++i) {
        const Vec3& a = ring[i];
        const Vec3& b = ring[(i + 1) % ring.size()];
        auto vert = [&](const Vec3& p) {
          return t == kTrim ? MeshVertex(p, facing, p.x, p.y) : MeshVertex(p, facing, 0.495f, 0.3f);
        };
        mesh_->FlatTriangle(obj, tex_[t], vert(centre), vert(a), vert(b), facing);
      }
    }
  }

  const Section& Front() const { return sections_.front(); }
  const Section& Back() const { return sections_.back(); }

  // A band round the front or the back at bumper height, following the body
  // in plan view out to the wheel arch.
  void Bumpers() {
    const int obj = mesh_->Object("p_bumpers");
    const float out = 0.03f;
    for (int end = 0; end < 2; ++end) {
      const float axle = end ? car_.rearAxle : car_.frontAxle;
      const float limit = end ? axle - ArchRadius() - 0.02f : axle + ArchRadius() + 0.02f;
      std::vector<const Section*> run;
      if (!end) {
        for (const Section& s : sections_)
          if (s.z > limit) run.push_back(&s);
      } else {
        for (auto it = sections_.rbegin(); it != sections_.rend(); ++it)
          if (it->z < limit) run.push_back(&*it);
      }
      if (run.size() < 2) continue;
      const Section& tip = *run.front();
      const float y0 = tip.bottom - 0.02f, y1 = tip.bottom + 0.18f;
      const float dir = end ? -1.0f : 1.0f;  // outwards along z
      // The path in plan: left side from the arch to the tip, across, right side back.
      std::vector<Vec3> path;
      for (auto it = run.rbegin(); it != run.rend(); ++it) path.push_back(Vec3(-((*it)->width + out), 0, (*it)->z));
      path.push_back(Vec3(-tip.width * 0.85f, 0, tip.z + dir * out));
      path.push_back(Vec3(tip.width * 0.85f, 0, tip.z + dir * out));
      for (const Section* s : run) path.push_back(Vec3(s->width + out, 0, s->z));
      const Vec3 mid(0, 0, tip.z - dir * 0.5f);
      float u = 0;
      for (size_t i = 0; i + 1 < path.size(); ++i) {
        const Vec3 a = path[i], b = path[i + 1];
        const Vec3 side = Normalize(Cross(kUp, b - a));
        const Vec3 facing = Dot(side, a - mid) > 0 ? side : -side;
        const float u1 = u + Length(b - a);
        const Vec3 in = -facing * 0.05f;
        const Tex t = car_.livery == "plain" ? kTrim : kPaint;
        auto uv = [&](const Vec3& p, float tu, float tv, const Vec3& n) {
          MeshVertex m(p, n, tu, tv);
          if (t == kPaint) PaintUV(Vec3(p.x, layout_.bottom + 0.1f, p.z), Vec3(1, 0, 0), &m.u, &m.v);
          return m;
        };
        mesh_->FlatQuad(obj, tex_[t], uv(Vec3(a.x, y0, a.z), u, 0, facing), uv(Vec3(a.x, y1, a.z), u, 0.2f, facing),
                        uv(Vec3(b.x, y1, b.z), u1, 0.2f, facing), uv(Vec3(b.x, y0, b.z), u1, 0, facing), facing);
        mesh_->FlatQuad(obj, tex_[t], uv(Vec3(a.x, y1, a.z), u, 0, kUp), uv(Vec3(a.x, y1, a.z) + in, u, 0.05f, kUp),
                        uv(Vec3(b.x, y1, b.z) + in, u1, 0.05f, kUp), uv(Vec3(b.x, y1, b.z), u1, 0, kUp), kUp);
        mesh_->FlatQuad(obj, tex_[kTrim], MeshVertex(Vec3(a.x, y0, a.z), -kUp, u, 0),
                        MeshVertex(Vec3(a.x, y0, a.z) + in, -kUp, u, 0.05f),
                        MeshVertex(Vec3(b.x, y0, b.z) + in, -kUp, u1, 0.05f),
                        MeshVertex(Vec3(b.x, y0, b.z), -kUp, u1, 0), -kUp);
        u = u1;
      }
    }
  }

  // A flat rectangle at depth z facing `facing` (+z or -z), x0..x1, y0..y1,
  // texture rectangle u0..u1, v0..v1 (v0 at the top).
  void Panel(int obj, Tex t, float x0, float x1, float y0, float y1, float z, float facing, float u0, float u1,
             float v0, float v1) {
    const Vec3 n(0, 0, facing);
    mesh_->FlatQuad(obj, tex_[t], MeshVertex(Vec3(x0, y0, z), n, u0, v1), MeshVertex(Vec3(x0, y1, z), n, u0, v0),
                    MeshVertex(Vec3(x1, y1, z), n, u1, v0), MeshVertex(Vec3(x1, y0, z), n, u1, v1), n);
  }

  // Lamp rectangles on the two end faces (shared with the light markers).
  struct Rect {
    float x0, x1, y0, y1;
  };
  Rect HeadLamp() const {
    const Section& s = Front();
    const float h = s.top - s.bottom;
    return Rect{s.width * 0.36f, s.width * 0.86f, s.bottom + 0.52f * h, s.bottom + 0.84f * h};
  }
  Rect TailLamp() const {
    const Section& s = Back();
    const float h = s.belt - s.bottom;
    return Rect{s.width * 0.62f, s.width * 0.94f, s.bottom + 0.55f * h, s.bottom + 0.88f * h};
  }
  Rect ReverseLamp() const {
    const Rect t = TailLamp();
    return Rect{t.x0 - 0.11f, t.x0 - 0.02f, t.y0, t.y0 + 0.07f};
  }

  void Lamps() {
    const int obj = mesh_->Object("p_lamps");
    const float zf = Front().z + 0.004f, zb = Back().z - 0.004f;
    const Rect h = HeadLamp(), t = TailLamp(), r = ReverseLamp();
    for (int side = -1; side <= 1; side += 2) {
      // The indicator half of the headlamp texture sits outboard on both sides.
      const float s = static_cast<float>(side);
      if (side > 0) Panel(obj, kLamps, h.x0, h.x1, h.y0, h.y1, zf, 1, 0, 0.25f, 0, 1);
      else Panel(obj, kLamps, -h.x1, -h.x0, h.y0, h.y1, zf, 1, 0.25f, 0, 0, 1);
      Panel(obj, kLamps, std::min(s * t.x0, s * t.x1), std::max(s * t.x0, s * t.x1), t.y0, t.y1, zb, -1, 0.25f, 0.5f, 0, 1);
      Panel(obj, kLamps, std::min(s * r.x0, s * r.x1), std::max(s * r.x0, s * r.x1), r.y0, r.y1, zb, -1, 0.5f, 0.625f,
            0, 1);
    }
    Panel(obj, kLamps, -h.x0 + 0.04f, h.x0 - 0.04f, h.y0 - 0.06f, h.y1 - 0.02f, zf, 1, 0.625f, 1, 0, 1);
  }

  const Section& SectionNear(float z) const {
    const Section* best = &sections_.front();
    for (const Section& s : sections_)
      if (std::fabs(s.z - z) < std::fabs(best->z - z)) best = &s;
    return *best;
  }

  void Mirrors() {
    const int obj = mesh_->Object("p_mirrors");
    const float z = layout_.doorFront - 0.02f;
    const Section& s = SectionNear(z);
    for (int side = -1; side <= 1; side += 2) {
      const float x0 = s.p[4].x - 0.02f, x1 = s.p[4].x + 0.13f;
      const float y0 = s.belt + 0.03f, y1 = s.belt + 0.14f;
      BoxPart(obj, car_.livery == "plain" ? kTrim : kPaint, side, x0, x1, y0, y1, z - 0.12f, z);
    }
  }

  // An axis-aligned box (x mirrored to the given side); painted boxes take a
  // plain spot of the paint atlas.
  void BoxPart(int obj, Tex t, int side, float x0, float x1, float y0, float y1, float z0, float z1) {
    const float s = static_cast<float>(side);
    const float xa = std::min(s * x0, s * x1), xb = std::max(s * x0, s * x1);
    const Vec3 p[8] = {Vec3(xa, y0, z0), Vec3(xb, y0, z0), Vec3(xb, y0, z1), Vec3(xa, y0, z1),
                       Vec3(xa, y1, z0), Vec3(xb, y1, z0), Vec3(xb, y1, z1), Vec3(xa, y1, z1)};
    const int faces[6][4] = {{0, 4, 5, 1}, {2, 6, 7, 3}, {3, 7, 4, 0}, {1, 5, 6, 2}, {4, 7, 6, 5}, {0, 1, 2, 3}};
    const Vec3 normals[6] = {Vec3(0, 0, -1), Vec3(0, 0, 1), Vec3(-1, 0, 0), Vec3(1, 0, 0), kUp, -kUp};
    for (int f = 0; f < 6; ++f) {
      MeshVertex v[4];
      for (int q = 0; q < 4; ++q) {
        const Vec3& c = p[faces[f][q]];
        v[q] = t == kPaint ? MeshVertex(c, normals[f], 0.45f, 0.05f) : MeshVertex(c, normals[f], c.x + c.z, c.y);
      }
      mesh_->FlatQuad(obj, tex_[t], v[0], v[1], v[2], v[3], normals[f]);
    }
  }

  void Exhaust() {
    const int obj = mesh_->Object("p_exhaust");
    const Section& s = Back();
    const float x = -0.45f * s.width, y = s.bottom - 0.03f, r = 0.032f;
    const float z0 = s.z + 0.25f, z1 = s.z - 0.06f;
    const int n = 8;
    for (int i = 0; i < n; ++i) {
      const float a0 = i * 2 * kPi / n, a1 = (i + 1) * 2 * kPi / n;
      const Vec3 d0(std::cos(a0), std::sin(a0), 0), d1(std::cos(a1), std::sin(a1), 0);
      const Vec3 c0(x, y, z0), c1(x, y, z1);
      mesh_->SmoothQuad(obj, tex_[kTrim], MeshVertex(c0 + d0 * r, d0, 0, 0), MeshVertex(c1 + d0 * r, d0, 0, 1),
                        MeshVertex(c1 + d1 * r, d1, 1, 1), MeshVertex(c0 + d1 * r, d1, 1, 0));
      // The pipe's dark inside, seen from behind.
      mesh_->SmoothQuad(obj, tex_[kTrim], MeshVertex(c0 + d0 * (r * 0.8f), -d0, 0, 0),
                        MeshVertex(c1 + d0 * (r * 0.8f), -d0, 0, 1), MeshVertex(c1 + d1 * (r * 0.8f), -d1, 1, 1),
                        MeshVertex(c0 + d1 * (r * 0.8f), -d1, 1, 0));
    }
  }

  void Spoiler() {
    const int obj = mesh_->Object("p_spoiler");
    // Over the end of the roof, where the rear window starts.
    const Section* roofEnd = &sections_.back();
    for (const Section& s : sections_)
      if (s.zone == "hatch") {
        roofEnd = &s;
        break;
      }
    const float y = roofEnd->top, w = roofEnd->topWidth - 0.02f;
    const Tex t = kPaint;
    BoxPart(obj, t, 1, -w, w, y + 0.06f, y + 0.1f, roofEnd->z - 0.26f, roofEnd->z + 0.02f);
    for (int side = -1; side <= 1; side += 2) BoxPart(obj, t, side, w - 0.05f, w - 0.02f, y - 0.03f, y + 0.06f,
                                                       roofEnd->z - 0.2f, roofEnd->z - 0.02f);
  }

  void RoofLights() {
    const int obj = mesh_->Object("p_rooflights");
    const Section* roof = &sections_.front();
    for (const Section& s : sections_)
      if (s.zone == "cabin") {
        roof = &s;
        break;
      }
    const float z = roof->z - 0.06f, y0 = roof->top + 0.01f, y1 = roof->top + 0.13f;
    BoxPart(obj, kTrim, 1, -0.5f, 0.5f, y0, y1, z - 0.14f, z);
    for (int i = 0; i < 4; ++i) {
      const float x0 = -0.46f + i * 0.235f;
      Panel(obj, kLamps, x0, x0 + 0.2f, y0 + 0.015f, y1 - 0.015f, z + 0.004f, 1, 0, 0.2f, 0.1f, 0.9f);
    }
  }

  void MudFlaps() {
    const int obj = mesh_->Object("p_mudflaps");
    for (float axle : {car_.frontAxle, car_.rearAxle}) {
      const float z = axle - car_.wheelRadius - 0.07f;
      const float y0 = car_.wheelBottom + 0.07f, y1 = ArchY() + 0.05f;
      for (int side = -1; side <= 1; side += 2) {
        const float s = static_cast<float>(side);
        const float x0 = s * (car_.wheelX - car_.wheelWidth * 0.6f), x1 = s * (car_.wheelX + car_.wheelWidth * 0.6f);
        for (float f : {-1.0f, 1.0f})
          Panel(obj, kTrim, std::min(x0, x1), std::max(x0, x1), y0, y1, z + f * 0.003f, f, 0, 1, 0, 1);
      }
    }
  }

  void Decals() {
    const int obj = mesh_->Object("p_decals");
    const float zc = 0.5f * (layout_.doorFront + layout_.doorBack);
    const float size = 0.34f;
    const Section& s = SectionNear(zc);
    const float yc = s.p[2].y + 0.5f * (s.p[3].y - s.p[2].y) + 0.04f;
    const float x = s.width + 0.004f;
    const float z0 = zc - size / 2, z1 = zc + size / 2, y0 = yc - size / 2, y1 = yc + size / 2;
    // Readable from each side: u runs towards the front on the right, towards the back on the left.
    const Vec3 r(1, 0, 0);
    mesh_->FlatQuad(obj, tex_[kDecal], MeshVertex(Vec3(x, y0, z0), r, 0, 1), MeshVertex(Vec3(x, y1, z0), r, 0, 0),
                    MeshVertex(Vec3(x, y1, z1), r, 1, 0), MeshVertex(Vec3(x, y0, z1), r, 1, 1), r);
    mesh_->FlatQuad(obj, tex_[kDecal], MeshVertex(Vec3(-x, y0, z1), -r, 0, 1), MeshVertex(Vec3(-x, y1, z1), -r, 0, 0),
                    MeshVertex(Vec3(-x, y1, z0), -r, 1, 0), MeshVertex(Vec3(-x, y0, z0), -r, 1, 1), -r);
  }

  // Number plates: 0.52 x 0.13 m, the 256 x 64 plate texture over the whole
  // quad, read upright from outside (u left to right as seen).
  void Plates() {
    const float w = 0.26f, h = 0.13f;
    const Section& b = Back();
    const float yb = b.bottom + 0.28f * (b.belt - b.bottom);
    const int rear = mesh_->Object("m_rear");
    mesh_->FlatQuad(rear, tex_[kTrim], MeshVertex(Vec3(-w, yb, b.z - 0.006f), Vec3(0, 0, -1), 0, 1),
                    MeshVertex(Vec3(-w, yb + h, b.z - 0.006f), Vec3(0, 0, -1), 0, 0),
                    MeshVertex(Vec3(w, yb + h, b.z - 0.006f), Vec3(0, 0, -1), 1, 0),
                    MeshVertex(Vec3(w, yb, b.z - 0.006f), Vec3(0, 0, -1), 1, 1), Vec3(0, 0, -1));
    const Section& f = Front();
    const float yf = f.bottom + 0.015f, zf = f.z + 0.035f;
    const int front = mesh_->Object("m_front");
    mesh_->FlatQuad(front, tex_[kTrim], MeshVertex(Vec3(w, yf, zf), Vec3(0, 0, 1), 0, 1),
                    MeshVertex(Vec3(w, yf + h, zf), Vec3(0, 0, 1), 0, 0),
                    MeshVertex(Vec3(-w, yf + h, zf), Vec3(0, 0, 1), 1, 0),
                    MeshVertex(Vec3(-w, yf, zf), Vec3(0, 0, 1), 1, 1), Vec3(0, 0, 1));
  }

  // Invisible markers: the game puts its light sprites at their boxes' centres.
  void LightMarkers() {
    const float z = Back().z - 0.01f;
    const Rect t = TailLamp(), r = ReverseLamp();
    const char* names[2][2] = {{"ls_left", "ls_right"}, {"lr_left", "lr_right"}};
    for (int kind = 0; kind < 2; ++kind) {
      const Rect& q = kind ? r : t;
      for (int side = 0; side < 2; ++side) {
        const float s = side ? 1.0f : -1.0f;
        const int obj = mesh_->Object(names[kind][side]);
        Panel(obj, kLamps, std::min(s * q.x0, s * q.x1), std::max(s * q.x0, s * q.x1), q.y0, q.y1, z, -1, 0, 1, 0, 1);
      }
    }
  }

  // One wheel at the origin, axle along x, its outside at +x.
  void Wheel() {
    const int obj = mesh_->Object("w_wheel");
    const float R = car_.wheelRadius, hw = car_.wheelWidth * 0.5f, rim = R * 0.6f;
    // Tyre cross-section (x, radius) from the inner bead round to the outer one.
    const int strips = 5, treadStrip = 2;
    const float px[strips + 1] = {-hw * 0.9f, -hw, -hw + 0.025f, hw - 0.025f, hw, hw * 0.9f};
    const float pr[strips + 1] = {rim, R - 0.035f, R, R, R - 0.035f, rim};
    auto ring = [&](float x, float r, int k) {
      const float a = k * 2 * kPi / kWheelSegments;
      return Vec3(x, r * std::cos(a), r * std::sin(a));
    };
    auto radial = [&](int k) {
      const float a = k * 2 * kPi / kWheelSegments;
      return Vec3(0, std::cos(a), std::sin(a));
    };
    for (int j = 0; j < strips; ++j) {
      const bool tread = j == treadStrip;
      // Outward normal of this strip in the (x, r) plane: the section runs
      // round the outside, so the direction turned a quarter clockwise.
      float nx = -(pr[j + 1] - pr[j]), nr = px[j + 1] - px[j];
      const float l = std::sqrt(nx * nx + nr * nr);
      nx /= l;
      nr /= l;
      for (int k = 0; k < kWheelSegments; ++k) {
        MeshVertex v[4];
        const int ks[4] = {k, k, k + 1, k + 1}, js[4] = {j, j + 1, j + 1, j};
        for (int q = 0; q < 4; ++q) {
          const Vec3 n = Vec3(nx, 0, 0) + radial(ks[q]) * nr;
          float u, tv;
          if (tread) {
            u = (px[js[q]] + hw) / (2 * hw);
            tv = 0.5f * ks[q] / kWheelSegments * 4;
          } else {
            u = (pr[js[q]] - rim) / (R - rim);
            tv = 0.5f + 0.5f * ks[q] / kWheelSegments;
          }
          v[q] = MeshVertex(ring(px[js[q]], pr[js[q]], ks[q]), n, u, tv);
        }
        mesh_->SmoothQuad(obj, tex_[kTyre], v[0], v[1], v[2], v[3]);
      }
    }
    // Rim: lip, barrel and the face with the spokes, recessed from the outer bead.
    const float xLip = hw * 0.9f, xFace = hw * 0.45f, rLip = rim * 0.94f;
    auto rimUV = [&](const Vec3& p) { return MeshVertex(p, Vec3(1, 0, 0), 0.5f + 0.5f * p.z / rim, 0.5f - 0.5f * p.y / rim); };
    for (int k = 0; k < kWheelSegments; ++k) {
      MeshVertex a = rimUV(ring(xLip, rim, k)), b = rimUV(ring(xLip, rim, k + 1));
      MeshVertex c = rimUV(ring(xLip - 0.01f, rLip, k + 1)), d = rimUV(ring(xLip - 0.01f, rLip, k));
      mesh_->FlatQuad(obj, tex_[kRim], a, b, c, d, Vec3(1, 0, 0));
      MeshVertex e = rimUV(ring(xFace, rLip, k + 1)), f = rimUV(ring(xFace, rLip, k));
      const Vec3 inward = -radial(k) - radial(k + 1);
      mesh_->FlatQuad(obj, tex_[kTrim], d, c, e, f, inward);
      // The face: a shallow dome out to the hub.
      const float hub = rim * 0.25f;
      mesh_->FlatQuad(obj, tex_[kRim], f, e, rimUV(ring(xFace + 0.015f, hub, k + 1)),
                      rimUV(ring(xFace + 0.015f, hub, k)), Vec3(1, 0, 0));
      mesh_->FlatTriangle(obj, tex_[kRim], rimUV(Vec3(xFace + 0.025f, 0, 0)), rimUV(ring(xFace + 0.015f, hub, k)),
                          rimUV(ring(xFace + 0.015f, hub, k + 1)), Vec3(1, 0, 0));
      // The inner side: a plain dark disc.
      mesh_->FlatTriangle(obj, tex_[kTrim], MeshVertex(Vec3(-hw * 0.9f, 0, 0), Vec3(-1, 0, 0), 0, 0),
                          MeshVertex(ring(-hw * 0.9f, rim, k), Vec3(-1, 0, 0), 0, 0),
                          MeshVertex(ring(-hw * 0.9f, rim, k + 1), Vec3(-1, 0, 0), 0, 0), Vec3(-1, 0, 0));
    }
  }

  const CarDesc& car_;
  const BodyDesc& body_;
  MeshBuilder* mesh_;
  CarLayout layout_;
  int tex_[kCarTextureCount];
  std::vector<Section> sections_;
};

}  // namespace

void BuildCarMesh(const CarDesc& car, const BodyDesc& body, MeshBuilder* mesh) {
  CarBuilder(car, body, mesh).Build();
}

}  // namespace vrxdata
