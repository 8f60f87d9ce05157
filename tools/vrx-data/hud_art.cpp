#include "hud_art.h"

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include "art_paint.h"
#include "font_face.h"
#include "image_files.h"

namespace vrxdata {

namespace {

using namespace hud;

const Rgba kWhite = Rgb(0xF4F7FB);
const Rgba kRed = Rgb(0xFF3B1F);

// Smooth union of two distances (blends the outlines within k pixels).
float SmoothMin(float a, float b, float k) {
  const float h = Clamp01(0.5f + 0.5f * (b - a) / k);
  return b + (a - b) * h - k * h * (1.0f - h);
}

// A tick from radius r0 to r1 at screen angle phi (clockwise, 0 right).
float SdTick(float x, float y, float cx, float cy, float phi, float r0, float r1, float halfWidth) {
  const float dx = std::cos(phi), dy = std::sin(phi);
  return SdCapsule(x, y, cx + dx * r0, cy + dy * r0, cx + dx * r1, cy + dy * r1, halfWidth);
}

// Distance to the ring arc of radii [r0, r1] between two angles (a0 > a1,
// the scale running from a0 down to a1 as on the dial).
float SdArc(float x, float y, float cx, float cy, float r0, float r1, float a0, float a1) {
  const float r = std::hypot(x - cx, y - cy);
  float phi = std::atan2(y - cy, x - cx);
  // Bring phi into [a1, a1 + 2 pi).
  while (phi < a1) phi += 2.0f * float(M_PI);
  while (phi >= a1 + 2.0f * float(M_PI)) phi -= 2.0f * float(M_PI);
  const float radial = std::max(r0 - r, r - r1);
  if (phi <= a0) return radial;
  // Outside the angular range: distance to the nearer end.
  const float da = std::min(phi - a0, a1 + 2.0f * float(M_PI) - phi);
  return std::max(radial, da * r);
}

void CentredText(Canvas* c, FontFace* face, float size, float cx, float cy, const std::string& text, const Rgba& colour) {
  face->SetPixelSize(size);
  const float w = face->TextWidth(text);
  // Centre on the digits' height, not the font's full line.
  const float capHeight = size * 0.72f;
  Mask m(c->Width(), c->Height());
  face->DrawText(&m, cx - w / 2.0f, cy + capHeight / 2.0f, text);
  c->FillMaskSolid(Dilate(m, 1.6f), 0, 0, Rgb(0x05080E, 0.9f));
  c->FillMaskSolid(m, 0, 0, colour);
}

// Licznik.tga: the speed dial above, the engine dial below, the gear window
// to the right of the engine dial, all on one face.
Picture Dial(FontFace* bold) {
  const int s = kDialSize;
  Canvas c(s, s);
  const float sx = kSpeedPivotX, sy = kSpeedPivotY, rx = kRevPivotX, ry = kRevPivotY;
  const float speedFace = 150.0f, revFace = 66.0f;
  // The gear window (the gear sprite lands at (337.5, 375) to (417.5, 471)).
  const float gx = 377.5f, gy = 423.0f, ghw = 46.0f, ghh = 54.0f;
  auto face = [&](float x, float y) {
    const float a = SdCircle(x, y, sx, sy, speedFace), b = SdCircle(x, y, rx, ry, revFace);
    const float g = SdRoundBox(x, y, gx, gy, ghw, ghh, 14.0f);
    return SmoothMin(SmoothMin(a, b, 24.0f), g, 20.0f);
  };
  c.Fill(0, 0, s, s, [&](float x, float y) { return face(x, y) - 6.0f; }, [&](float, float) { return Rgb(0x000000, 0.35f); });
  c.Fill(0, 0, s, s, face, [&](float x, float y) {
    const float d = std::hypot(x - sx, y - sy) / speedFace;
    return Mix(Rgb(0x1B2A40, 0.92f), Rgb(0x070C14, 0.95f), Clamp01(d * d));
  });
  c.FillSolid(0, 0, s, s, [&](float x, float y) { return std::fabs(face(x, y) + 3.0f) - 2.2f; }, Rgb(0x9DB4CF));
  c.FillSolid(0, 0, s, s, [&](float x, float y) { return std::fabs(face(x, y) + 7.0f) - 0.8f; }, Rgb(0x3C5F88));

  // Speed scale: a red band from 200, ticks every 10 km/h, numbers every 40.
  const float tip = kSpeedTipRadius;
  c.FillSolid(0, 0, s, s, [&](float x, float y) { return SdArc(x, y, sx, sy, tip - 2, tip + 5, SpeedAngle(0), SpeedAngle(kSpeedMaxKmh)); },
              Rgb(0x6F8FB5, 0.55f));
  for (int kmh = 0; kmh <= int(kSpeedMaxKmh); kmh += 10) {
    const bool major = kmh % 20 == 0;
    const float phi = SpeedAngle(float(kmh));
    const float r0 = major ? tip - 14.0f : tip - 7.0f;
    c.FillSolid(0, 0, s, s, [&](float x, float y) { return SdTick(x, y, sx, sy, phi, r0, tip + 5.0f, major ? 2.4f : 1.4f); },
                kWhite);
    if (kmh % 40 == 0) {
      const float lr = tip - 34.0f;
      CentredText(&c, bold, 24.0f, sx + std::cos(phi) * lr, sy + std::sin(phi) * lr, std::to_string(kmh), kWhite);
    }
  }
  CentredText(&c, bold, 22.0f, sx, sy - 62.0f, "km/h", Rgb(0xB9CAE0));

  // Engine scale: 0 to 8 thousand rpm, red from 7000.
  const float rtip = kRevTipRadius;
  c.FillSolid(0, 0, s, s, [&](float x, float y) { return SdArc(x, y, rx, ry, rtip - 1, rtip + 4, RevAngle(kRevRedRpm), RevAngle(kRevMaxRpm)); },
              kRed);
  for (int rpm = 0; rpm <= int(kRevMaxRpm); rpm += 500) {
    const bool major = rpm % 1000 == 0;
    const float phi = RevAngle(float(rpm));
    const Rgba colour = rpm >= int(kRevRedRpm) ? Rgb(0xFF6A4F) : kWhite;
    c.FillSolid(0, 0, s, s, [&](float x, float y) { return SdTick(x, y, rx, ry, phi, major ? rtip - 9.0f : rtip - 6.0f, rtip + 4.0f, major ? 2.2f : 1.7f); },
                colour);
    if (major) {
      const float lr = rtip - 20.0f;
      CentredText(&c, bold, 17.0f, rx + std::cos(phi) * lr, ry + std::sin(phi) * lr, std::to_string(rpm / 1000), colour);
    }
  }
  CentredText(&c, bold, 13.0f, rx, ry - 30.0f, "rpm", Rgb(0xB9CAE0));

  // The gear window's glass.
  c.Fill(0, 0, s, s, [&](float x, float y) { return SdRoundBox(x, y, gx, gy, 40.0f, 48.0f, 9.0f); },
         [&](float, float y) { return Mix(Rgb(0x02040A, 0.9f), Rgb(0x0E1828, 0.9f), Clamp01((y - gy + 48) / 96)); });
  c.FillSolid(0, 0, s, s, [&](float x, float y) { return std::fabs(SdRoundBox(x, y, gx, gy, 40.0f, 48.0f, 9.0f)) - 1.2f; },
              Rgb(0x52779F));
  return c.ToPicture();
}

// Strzalka.tga: a tapering needle from the hub at (7, 7) to the tip at +x.
Picture Needle() {
  const int w = kNeedleWidth, h = kNeedleHeight;
  Canvas c(w, h);
  const float px = 7.0f, py = 7.0f;
  const std::vector<Vec2f> body = {{px, py - 2.8f}, {kNeedleTip - 3.0f, py - 1.0f}, {kNeedleTip, py},
                                   {kNeedleTip - 3.0f, py + 1.0f}, {px, py + 2.8f}};
  c.FillSolid(0, 0, w, h, [&](float x, float y) { return SdPolygon(x, y, body) - 0.7f; }, Rgb(0x2A0A04, 0.9f));
  c.Fill(0, 0, w, h, [&](float x, float y) { return SdPolygon(x, y, body); }, [&](float, float y) {
    return Mix(Rgb(0xFFD0A0), Rgb(0xFF4A12), Clamp01(std::fabs(y - py) / 2.4f));
  });
  c.FillSolid(0, 0, w, h, [&](float x, float y) { return SdCircle(x, y, px, py, 6.3f); }, Rgb(0x0B1119));
  c.Fill(0, 0, w, h, [&](float x, float y) { return SdCircle(x, y, px, py, 5.0f); },
         [&](float x, float y) { return Mix(Rgb(0xDCE6F2), Rgb(0x4A5A6E), Clamp01(std::hypot(x - px + 1.5f, y - py + 1.5f) / 6.0f)); });
  return c.ToPicture();
}

// g_R ... g_6: the gear's letter, bright on transparent; the dial's gear
// window is the background.
Picture Gear(FontFace* bold, const std::string& label) {
  const int s = kGearSize;
  Canvas c(s, s);
  bold->SetPixelSize(58.0f);
  const float w = bold->TextWidth(label);
  Mask m(s, s);
  bold->DrawText(&m, (s - w) / 2.0f, 53.0f, label);
  c.FillMaskSolid(Blur(Dilate(m, 2.5f), 2), 0, 0, Rgb(0x000000, 0.8f));
  const bool reverse = label == "R";
  c.FillMask(m, 0, 0, [&](float, float y) {
    return reverse ? Mix(Rgb(0xFFB0A0), Rgb(0xFF3B1F), y / s) : Mix(Rgb(0xFFFFFF), Rgb(0xFFB347), y / s);
  });
  return c.ToPicture();
}

// Frame.dds: the damage bar's frame, its window exactly where the bar lies
// at damage 100 (3.75 to 253.75 across, 3.75 to 12.95 down).
Picture BarFrame() {
  const int w = kBarFrameWidth, h = kBarFrameHeight;
  Canvas c(w, h);
  const float il = 3.75f, ir = 253.75f, it = 3.75f, ib = 12.95f;
  auto outer = [&](float x, float y) { return SdRoundBox(x, y, w / 2.0f, h / 2.0f, w / 2.0f - 0.5f, h / 2.0f - 0.5f, 4.0f); };
  auto window = [&](float x, float y) { return SdRoundBox(x, y, (il + ir) / 2, (it + ib) / 2, (ir - il) / 2, (ib - it) / 2, 1.0f); };
  c.Fill(0, 0, w, h, [&](float x, float y) { return std::max(outer(x, y), -window(x, y)); },
         [&](float, float y) { return Mix(Rgb(0xC9D8EA), Rgb(0x5D7896), y / h); });
  c.FillSolid(0, 0, w, h, window, Rgb(0x000000, 0.55f));
  return c.ToPicture();
}

// Sh.tga: what the car's silhouette is drawn with into the shadow target; the
// shadow takes its darkness from the alpha.
Picture ShadowShape() { return Picture(64, 64, 0xB0000000u); }

// Skid.tga: across (u) a rubber streak with soft edges and tread grooves,
// along (v) a repeating grain, so that the segments join.
Picture SkidMark() {
  const int w = 64, h = 256;
  Canvas c(w, h);
  c.Shade([&](float x, float y) {
    const float u = x / w;
    const float edge = SmoothStep(0.0f, 0.16f, u) * SmoothStep(1.0f, 0.84f, u);
    const float groove = 1.0f - 0.45f * std::pow(std::fabs(std::sin(u * 5.0f * float(M_PI))), 12.0f);
    const float grain = 0.75f + 0.25f * Fbm(x / 8.0f, y / 8.0f, 21, 4, 32);
    return Rgba{0.05f, 0.05f, 0.05f, 0.62f * edge * groove * grain};
  });
  return c.ToPicture();
}

// Tablica.bmp: a white plate, the white GDI paints behind the name; the
// name is drawn on it from x 25 on, so the left 25 texels carry a blue band
// with the game's letters.
Picture Plate(FontFace* bold) {
  const int w = 256, h = 64;
  Canvas c(w, h, Rgb(0x1A1A1A));
  c.FillSolid(0, 0, w, h, [&](float x, float y) { return SdRoundBox(x, y, w / 2.0f, h / 2.0f, w / 2.0f - 2, h / 2.0f - 2, 6); },
              Rgb(0xFFFFFF));
  c.FillSolid(0, 0, w, h, [&](float x, float y) { return std::max(SdRoundBox(x, y, w / 2.0f, h / 2.0f, w / 2.0f - 4, h / 2.0f - 4, 4), x - 23.0f); },
              Rgb(0x1F3F9F));
  const char* letters[3] = {"V", "R", "X"};
  for (int i = 0; i < 3; ++i) CentredText(&c, bold, 15.0f, 13.5f, 15.0f + i * 17.0f, letters[i], Rgb(0xFFD24A));
  return c.ToPicture();
}

// Brake and reverse light flares: a hot centre in a glow that fades to nothing
// at the edge (the sprite is 1.28 lamp widths across).
Picture LightFlare(const Rgba& glow, const Rgba& core) {
  const int s = 128;
  Canvas c(s, s);
  c.Shade([&](float x, float y) {
    const float r = std::hypot(x - s / 2.0f, y - s / 2.0f) / (s / 2.0f);
    const float a = Clamp01(std::exp(-r * 2.6f) * 1.15f) * SmoothStep(1.0f, 0.7f, r);
    const Rgba colour = Mix(core, glow, SmoothStep(0.05f, 0.35f, r));
    return Rgba{colour.r, colour.g, colour.b, a};
  });
  return c.ToPicture();
}

// Refmap.tga: a soft studio environment (sampled by reflection vectors, so it
// repeats both ways): light streaks over a grey-blue sky, the alpha setting how
// much of it the paint reflects.
Picture ReflectionMap() {
  const int s = 256;
  Canvas c(s, s);
  c.Shade([&](float x, float y) {
    const float u = x / s, v = y / s;
    const float tau = 2.0f * float(M_PI);
    const float bands = 0.5f + 0.5f * std::sin(v * tau);
    const float streak1 = std::exp(-std::pow(std::sin((v - 0.18f) * float(M_PI)) * 9.0f, 2.0f));
    const float streak2 = std::exp(-std::pow(std::sin((v - 0.62f) * float(M_PI)) * 14.0f, 2.0f));
    const float cloud = Fbm(x / 32.0f, y / 32.0f, 31, 4, 8);
    const float light = Clamp01(0.35f + 0.25f * bands + 0.5f * streak1 * (0.6f + 0.4f * std::sin(u * tau * 2.0f)) +
                                0.35f * streak2 + 0.15f * (cloud - 0.5f));
    const Rgba sky = Mix(Rgb(0x6F86A3), Rgb(0xF2F6FA), light);
    return Rgba{sky.r, sky.g, sky.b, 0.22f + 0.38f * light};
  });
  return c.ToPicture();
}

// sun.tga: drawn 4 times its size about its centre (64, 64) and turned with
// the view: a white core, a warm glow and faint rays, nothing at the edge.
Picture Sun() {
  const int s = 128;
  Canvas c(s, s);
  c.Shade([&](float x, float y) {
    const float dx = x - 64.0f, dy = y - 64.0f;
    const float r = std::hypot(dx, dy);
    const float theta = std::atan2(dy, dx);
    const float core = Coverage(r - 6.0f);
    const float glow = std::exp(-r / 9.0f) * 0.9f + std::exp(-r / 30.0f) * 0.25f;
    const float rays = std::pow(std::fabs(std::cos(theta * 4.0f)), 40.0f) * std::exp(-r / 22.0f) * 0.35f;
    const float fade = SmoothStep(63.0f, 44.0f, r);
    const float a = Clamp01(std::max(core, glow + rays) * fade);
    const Rgba colour = Mix(Rgb(0xFFFFFF), Rgb(0xFFD98A), SmoothStep(4.0f, 30.0f, r));
    return Rgba{colour.r, colour.g, colour.b, a};
  });
  return c.ToPicture();
}

}  // namespace

bool BuildHudArt(const BuildContext& ctx) {
  std::unique_ptr<FontFace> bold = FontFace::OpenSans(true);
  if (!bold) return false;
  const std::string cars = ctx.outDir + "/CARS/COMMON/";
  const std::string tracks = ctx.outDir + "/TRACKS/COMMON/";
  bool ok = WriteTga(cars + "Sh.tga", ShadowShape()) && WriteTga(cars + "Skid.tga", SkidMark()) &&
            WriteBmp(cars + "Tablica.bmp", Plate(bold.get())) && WriteTga(cars + "Licznik.tga", Dial(bold.get())) &&
            WriteTga(cars + "Strzalka.tga", Needle()) &&
            WriteDds(cars + "Frame.dds", BarFrame(), D3DFMT_A8R8G8B8, 0) &&
            WriteDds(cars + "Dot.dds", Picture(kBarDotSize, kBarDotSize, 0xFFFFFFFFu), D3DFMT_A8R8G8B8, 0) &&
            WriteTga(cars + "red_light.tga", LightFlare(Rgb(0xFF1A0A), Rgb(0xFFD0C0))) &&
            WriteTga(cars + "white_light.tga", LightFlare(Rgb(0xFFF0D8), Rgb(0xFFFFFF))) &&
            WriteTga(tracks + "Refmap.tga", ReflectionMap()) && WriteTga(tracks + "sun.tga", Sun());
  // Index order of the HUD: reverse, neutral, first to fifth; a sixth for
  // cars that have one.
  const char* gears[8][2] = {{"g_R.dds", "R"}, {"g_N.dds", "N"}, {"g_1.dds", "1"}, {"g_2.dds", "2"},
                             {"g_3.dds", "3"}, {"g_4.dds", "4"}, {"g_5.dds", "5"}, {"g_6.dds", "6"}};
  for (const auto& g : gears) ok = ok && WriteDds(cars + g[0], Gear(bold.get(), g[1]), D3DFMT_A8R8G8B8, 0);
  return ok;
}

}  // namespace vrxdata
