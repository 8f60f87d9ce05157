#include "menu_art.h"

#include <cmath>
#include <memory>

#include "art_paint.h"
#include "font_face.h"
#include "image_files.h"

namespace vrxdata {

namespace {

const Rgba kNavy = Rgb(0x0B1422);
const Rgba kAccent = Rgb(0xF08A24);
const Rgba kSteel = Rgb(0x5D86B8);

// A run of text as a mask the size of the canvas, with the pen at (x, baseline).
Mask TextMask(FontFace* face, int w, int h, float size, float x, float baseline, const std::string& text,
              float tracking = 0.0f) {
  Mask m(w, h);
  face->SetPixelSize(size);
  for (unsigned char ch : text) {
    const uint32_t cp = FontFace::CodePoint(ch);
    face->DrawGlyph(&m, x, baseline, cp);
    x += face->Advance(cp) + tracking;
  }
  return m;
}

float TrackedWidth(FontFace* face, float size, const std::string& text, float tracking) {
  face->SetPixelSize(size);
  return face->TextWidth(text) + tracking * float(text.size() - 1);
}

// The background, designed on the 1000 x 750 reference screen: a dark
// gradient, a column for the command buttons, a track panel (heading, best
// time, preview picture, track buttons) and a car panel (description,
// switches, the turning car on its turntable, car buttons).
Picture MenuBackground(FontFace* italic) {
  const int n = kMenuSize;
  const float sx = 0.98f, sy = 0.732f;  // reference pixels per texel
  const float aa = 1.0f / sy;           // distances in reference pixels to texels
  Canvas c(n, n, Rgb(0));
  c.Shade([&](float px, float py) {
    const float x = px * sx, y = py * sy;
    Rgba base = Mix(Rgb(0x1C2D48), Rgb(0x06090F), Clamp01(y / 750.0f));
    const float glow = std::exp(-((x - 640) * (x - 640) + (y - 260) * (y - 260)) / (2 * 380.0f * 380.0f));
    base = Mix(base, Rgb(0x2A4468), glow * 0.45f);
    // Faint diagonal speed lines and a fine grain keep the large areas alive.
    const float lane = std::fmod(x * 0.8f + y * 1.7f + 4000.0f, 90.0f);
    const float line = std::exp(-lane * lane / 6.0f) * 0.05f * (0.5f + 0.5f * Fbm(x / 120, y / 120, 3, 3));
    base = Mix(base, Rgb(0x8FB4E0), line);
    const float grain = (Hash01(uint32_t(px), uint32_t(py), 11) - 0.5f) * 0.025f;
    base.r += grain;
    base.g += grain;
    base.b += grain;
    return base;
  });

  // The left column behind the command buttons, with an accent edge.
  auto column = [&](float px, float py) { return (px * sx - 262.0f) / sx; };
  c.FillSolid(0, 0, n, n, column, Rgb(0x03060B, 0.55f));
  c.Fill(0, 0, n, n, [&](float px, float py) { return std::fabs(px * sx - 263.0f) / sx - 1.2f; },
         [&](float, float py) { return Mix(kAccent, Rgb(0x803010), Clamp01(py * sy / 750.0f)); });
  c.Fill(0, 0, n, n, [&](float px, float) { return std::fabs(px * sx - 266.0f) / sx - 6.0f; },
         [&](float px, float) {
           return Rgba{kAccent.r, kAccent.g, kAccent.b, 0.12f * std::exp(-std::fabs(px * sx - 263.0f) / 4.0f)};
         });

  // Panels: rounded, darker than the background, with a thin steel edge.
  auto panel = [&](float x0, float y0, float x1, float y1) {
    const float cx = (x0 + x1) / 2, cy = (y0 + y1) / 2, hw = (x1 - x0) / 2, hh = (y1 - y0) / 2;
    auto sd = [=](float px, float py) { return SdRoundBox(px * sx, py * sy, cx, cy, hw, hh, 16.0f) * aa; };
    c.Fill(0, 0, n, n, sd, [&](float, float py) {
      return Mix(Rgb(0x0E1A2C, 0.78f), Rgb(0x070D17, 0.85f), Clamp01((py * sy - y0) / (y1 - y0)));
    });
    c.FillSolid(0, 0, n, n, [&](float px, float py) { return std::fabs(sd(px, py) + 1.5f) - 0.9f; },
                Rgb(0x3C5F88, 0.9f));
    // A lit top edge.
    c.Fill(0, 0, n, n, [&](float px, float py) { return std::fabs(sd(px, py) + 3.0f) - 0.8f; },
           [&](float, float py) { return Rgb(0x9CC3EE, 0.35f * Clamp01(1.0f - (py * sy - y0) / 30.0f)); });
  };
  panel(284, 12, 988, 350);
  panel(284, 428, 988, 738);

  // The turntable under the car preview (the preview's camera puts the car
  // at about (0.772, 0.745) of the screen).
  const float tx = 772, ty = 566, ra = 196, rb = 44;
  auto disc = [&](float px, float py, float grow) {
    const float dx = (px * sx - tx) / (ra + grow), dy = (py * sy - ty) / (rb + grow * 0.25f);
    return (std::sqrt(dx * dx + dy * dy) - 1.0f) * (rb + grow * 0.25f) * aa;
  };
  c.Fill(0, 0, n, n, [&](float px, float py) { return disc(px, py, 40.0f); }, [&](float px, float py) {
    const float dx = (px * sx - tx) / (ra + 40), dy = (py * sy - ty) / (rb + 10);
    return Rgb(0x3F6BA0, 0.22f * Clamp01(1.0f - std::sqrt(dx * dx + dy * dy)));
  });
  c.Fill(0, 0, n, n, [&](float px, float py) { return disc(px, py, 0.0f); }, [&](float px, float py) {
    const float dx = (px * sx - tx) / ra, dy = (py * sy - ty) / rb;
    const float r = std::sqrt(dx * dx + dy * dy);
    return Mix(Rgb(0x2B3D55, 0.95f), Rgb(0x121B28, 0.95f), r * r);
  });
  c.FillSolid(0, 0, n, n, [&](float px, float py) { return std::fabs(disc(px, py, 0.0f)) - 1.0f; },
              Rgb(0x7FA6D6, 0.8f));

  // The game's name at the foot of the column.
  if (italic) {
    const float size = 70.0f;
    const std::string name = "VRX";
    const float w = TrackedWidth(italic, size, name, 2.0f);
    // Laid out on the reference screen, then stretched to texels.
    Mask ref = TextMask(italic, 1000, 750, size, (262.0f - w) / 2.0f, 728.0f, name, 2.0f);
    Mask tex(n, n);
    for (int y = 0; y < n; ++y)
      for (int x = 0; x < n; ++x) tex.ref(x, y) = ref.at(int(x * sx), int(y * sy));
    c.FillMaskSolid(Blur(Dilate(tex, 3.0f), 3), 0, 4, Rgb(0x000000, 0.6f));
    c.FillMask(tex, 0, 0, [&](float, float py) {
      return Mix(Rgb(0xFFC061, 0.55f), Rgb(0xD9501A, 0.55f), Clamp01((py * sy - 672.0f) / 60.0f));
    });
  }
  return c.ToPicture();
}

// The logo: "VRX" in a bold italic with a hot gradient, streaks behind it,
// and the subtitle. Drawn 0.7 on the loading screen and 0.15 in the race.
Picture Logo(FontFace* italic, FontFace* bold) {
  const int w = 512, h = 256;
  Canvas c(w, h);
  const float size = 168.0f;
  const std::string name = "VRX";
  const float tracking = -4.0f;
  const float textW = TrackedWidth(italic, size, name, tracking);
  const float x0 = (w - textW) / 2.0f + 20.0f, baseline = 142.0f;
  Mask text = TextMask(italic, w, h, size, x0, baseline, name, tracking);

  // Speed streaks trailing to the left of the letters.
  const float streakY[3] = {54, 86, 118};
  const float streakLen[3] = {150, 205, 120};
  for (int i = 0; i < 3; ++i) {
    const float y = streakY[i], x1 = x0 + 6.0f - i * 8.0f, xs = x1 - streakLen[i];
    c.Fill(0, 0, w, h,
           [&](float px, float py) {
             const float t = Clamp01((px - xs) / (x1 - xs));
             return std::fabs(py - y) - (1.0f + 6.0f * t);
           },
           [&](float px, float) {
             const float t = Clamp01((px - xs) / (x1 - xs));
             return Mix(Rgb(0xFF7A1A, 0.0f), Rgb(0xFFB347, 0.95f), t);
           });
  }
  c.FillMaskSolid(Blur(Dilate(text, 6.0f), 4), 5, 8, Rgb(0x000000, 0.7f));
  c.FillMaskSolid(Dilate(text, 5.0f), 0, 0, Rgb(0x0E1830));
  c.FillMask(text, 0, 0, [&](float, float py) {
    const float t = Clamp01((py - (baseline - 120.0f)) / 125.0f);
    return t < 0.5f ? Mix(Rgb(0xFFE7A3), Rgb(0xFF8A1E), t * 2.0f) : Mix(Rgb(0xFF8A1E), Rgb(0xB8260C), (t - 0.5f) * 2.0f);
  });
  // A glint along the top of the letters.
  Mask shine = text;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) shine.ref(x, y) *= Clamp01(1.0f - std::fabs(y - (baseline - 95.0f)) / 10.0f);
  c.FillMaskSolid(shine, 0, 0, Rgb(0xFFFFFF, 0.55f));

  // Subtitle, letter-spaced, under an accent rule.
  const std::string sub = "DRIVING SIMULATOR";
  const float subSize = 25.0f, subTracking = 5.0f;
  const float subW = TrackedWidth(bold, subSize, sub, subTracking);
  const float sx = (w - subW) / 2.0f, sb = 196.0f;
  c.FillSolid(0, 0, w, h, [&](float px, float py) { return SdRoundBox(px, py, w / 2.0f, 164.0f, subW / 2 + 10, 2.0f, 2.0f); },
              kAccent);
  Mask subMask = TextMask(bold, w, h, subSize, sx, sb, sub, subTracking);
  c.FillMaskSolid(Dilate(subMask, 2.5f), 0, 0, Rgb(0x0E1830, 0.9f));
  c.FillMaskSolid(subMask, 0, 0, Rgb(0xF4F7FB));
  return c.ToPicture();
}

// Our badge for the physics library: a chassis on two wheels and the name.
// A BMP has no alpha, so it sits on black like the loading screen.
Picture PhysicsBadge(FontFace* bold, FontFace* regular) {
  const int w = 256, h = 128;
  Canvas c(w, h, Rgb(0x000000));
  auto plate = [&](float px, float py) { return SdRoundBox(px, py, w / 2.0f, h / 2.0f, w / 2.0f - 3, h / 2.0f - 3, 14); };
  c.Fill(0, 0, w, h, plate, [&](float, float py) { return Mix(Rgb(0x1A2636), Rgb(0x0B1119), py / h); });
  c.FillSolid(0, 0, w, h, [&](float px, float py) { return std::fabs(plate(px, py) + 1.5f) - 1.2f; }, kSteel);
  // The icon: a box resting on two spheres, with a motion arc.
  c.Fill(0, 0, w, h, [&](float px, float py) { return SdRoundBox(px, py, 52, 62, 34, 14, 4); },
         [&](float, float py) { return Mix(Rgb(0xFFB347), Rgb(0xD9501A), (py - 48) / 28); });
  for (float wx : {32.0f, 72.0f}) {
    c.FillSolid(0, 0, w, h, [&](float px, float py) { return SdCircle(px, py, wx, 84, 12); }, Rgb(0x0B1119));
    c.Fill(0, 0, w, h, [&](float px, float py) { return SdCircle(px, py, wx, 84, 10); },
           [&](float px, float py) { return Mix(Rgb(0xD8E4F2), Rgb(0x6B86A8), Clamp01(std::hypot(px - wx + 3, py - 81) / 11)); });
  }
  c.FillSolid(0, 0, w, h, [&](float px, float py) { return SdCapsule(px, py, 16, 101, 90, 101, 1.3f); }, kSteel);

  Mask small = TextMask(regular, w, h, 15.0f, 112, 36, "physics by");
  c.FillMaskSolid(small, 0, 0, Rgb(0xB9CAE0));
  Mask big = TextMask(bold, w, h, 50.0f, 110, 82, "ODE");
  c.FillMaskSolid(big, 0, 0, Rgb(0xF4F7FB));
  Mask name = TextMask(regular, w, h, 13.0f, 112, 104, "Open Dynamics Engine");
  c.FillMaskSolid(name, 0, 0, Rgb(0xB9CAE0));
  return c.ToPicture();
}

// The pointer: hot spot at the top-left texel, drawn at 0.25 (32 pixels).
Picture Cursor() {
  const int s = 128;
  Canvas c(s, s);
  const std::vector<Vec2f> arrow = {{3, 3}, {3, 98}, {27, 77}, {45, 116}, {63, 108}, {46, 70}, {78, 70}};
  auto sd = [&](float px, float py) { return SdPolygon(px, py, arrow); };
  Mask shadow(s, s);
  for (int y = 0; y < s; ++y)
    for (int x = 0; x < s; ++x) shadow.ref(x, y) = Coverage(sd(x + 0.5f - 5, y + 0.5f - 7) - 4.0f);
  c.FillMaskSolid(Blur(shadow, 3), 0, 0, Rgb(0x000000, 0.45f));
  c.FillSolid(0, 0, s, s, [&](float px, float py) { return sd(px, py) - 3.0f; }, Rgb(0x101010));
  c.Fill(0, 0, s, s, [&](float px, float py) { return sd(px, py) + 3.0f; },
         [&](float px, float py) { return Mix(Rgb(0xFFFFFF), Rgb(0xD6E2F0), Clamp01((px + py) / 150)); });
  // An accent along the left edge.
  c.FillSolid(0, 0, s, s, [&](float px, float py) { return std::max(sd(px, py) + 3.0f, px - 14.0f); }, Rgb(0xF08A24, 0.9f));
  return c.ToPicture();
}

// The start-race hint: a checkered flag waving from a pole.
Picture Flag() {
  const int s = 256;
  Canvas c(s, s);
  const float poleX = 38, top = 26, fx0 = 44, fx1 = 236, fy0 = 34, fh = 128;
  const int cols = 8, rows = 5;
  auto wave = [&](float u) { return 14.0f * u * std::sin(u * 7.0f - 0.6f); };
  auto slope = [&](float u) { return 14.0f * (std::sin(u * 7.0f - 0.6f) + 7.0f * u * std::cos(u * 7.0f - 0.6f)); };
  // Supersampled inverse mapping: each pixel asks which cloth point it shows.
  for (int y = 0; y < s; ++y) {
    for (int x = 0; x < s; ++x) {
      float r = 0, g = 0, b = 0, a = 0;
      for (int sy = 0; sy < 4; ++sy) {
        for (int sx = 0; sx < 4; ++sx) {
          const float px = x + (sx + 0.5f) / 4, py = y + (sy + 0.5f) / 4;
          const float u = (px - fx0) / (fx1 - fx0);
          if (u < 0 || u > 1) continue;
          const float v = (py - fy0 - wave(u)) / fh;
          if (v < 0 || v > 1) continue;
          const bool dark = ((int(u * cols) + int(v * rows)) & 1) != 0;
          const float light = Clamp01(0.78f + slope(u) * 0.012f);
          const float base = dark ? 0.08f : 0.96f;
          r += base * light;
          g += base * light;
          b += (base + 0.02f) * light;
          a += 1;
        }
      }
      if (a > 0) c.Over(x, y, Rgba{r / a, g / a, b / a, 1.0f}, a / 16.0f);
    }
  }
  c.Fill(0, 0, s, s, [&](float px, float py) { return SdCapsule(px, py, poleX, top + 6, poleX, 248, 4.5f); },
         [&](float px, float) { return Mix(Rgb(0xE6EDF5), Rgb(0x5B6775), Clamp01((px - poleX + 4) / 9)); });
  c.Fill(0, 0, s, s, [&](float px, float py) { return SdCircle(px, py, poleX, top, 8); },
         [&](float px, float py) { return Mix(Rgb(0xFFE7A3), Rgb(0xC27A12), Clamp01(std::hypot(px - poleX + 3, py - top + 3) / 10)); });
  return c.ToPicture();
}

// Command button skins: the resting one in steel blue, the hovered one lit orange.
Picture Button(bool over) {
  const int w = kButtonWidth, h = kButtonHeight;
  Canvas c(w, h);
  auto sd = [&](float px, float py) { return SdRoundBox(px, py, w / 2.0f, h / 2.0f, w / 2.0f - 3, h / 2.0f - 3, 13); };
  if (over)
    c.Fill(0, 0, w, h, [&](float px, float py) { return sd(px, py) - 2.0f; },
           [&](float px, float py) { return Rgb(0xFFB347, 0.5f * Clamp01(-sd(px, py) / 4 + 0.5f)); });
  const Rgba top = over ? Rgb(0xF39A3A, 0.97f) : Rgb(0x2E4C74, 0.92f);
  const Rgba bottom = over ? Rgb(0xA8440F, 0.97f) : Rgb(0x121F33, 0.92f);
  c.Fill(0, 0, w, h, sd, [&](float, float py) { return Mix(top, bottom, Clamp01((py - 3) / (h - 6))); });
  // Glassy upper half.
  c.Fill(0, 0, w, h, [&](float px, float py) { return std::max(sd(px, py) + 3.0f, py - h * 0.48f); },
         [&](float, float py) { return Rgb(0xFFFFFF, 0.16f * Clamp01(1.0f - py / (h * 0.5f))); });
  c.FillSolid(0, 0, w, h, [&](float px, float py) { return std::fabs(sd(px, py) + 1.2f) - 1.0f; },
              over ? Rgb(0xFFE1A8) : Rgb(0x6F97C8));
  return c.ToPicture();
}

// Field skins. The key fields squeeze them to half their height's scale
// across, so the shape is laid out with x counted 0.6 to a texel.
Picture Frame(bool over) {
  const int w = kFrameWidth, h = kFrameHeight;
  const float kx = 0.6f;
  Canvas c(w, h);
  auto sd = [&](float px, float py) {
    return SdRoundBox(px * kx, py, w * kx / 2, h / 2.0f, w * kx / 2 - 2, h / 2.0f - 2, 22);
  };
  c.Fill(0, 0, w, h, sd, [&](float, float py) {
    return over ? Mix(Rgb(0x22364F, 0.92f), Rgb(0x142236, 0.92f), py / h) : Mix(Rgb(0x0A1422, 0.82f), Rgb(0x050A12, 0.82f), py / h);
  });
  if (over)
    c.Fill(0, 0, w, h, sd, [&](float px, float py) { return Rgb(0xFFB347, 0.22f * Clamp01(1.0f + sd(px, py) / 26)); });
  c.FillSolid(0, 0, w, h, [&](float px, float py) { return std::fabs(sd(px, py) + 5.0f) - 4.0f; },
              over ? Rgb(0xFFB347) : Rgb(0x52779F));
  return c.ToPicture();
}

// A soft, lumpy puff of tyre smoke (the emitters fade and grow it).
Picture Smoke() {
  const int s = 128;
  Canvas c(s, s);
  c.Shade([&](float px, float py) {
    const float dx = (px - s / 2.0f) / (s / 2.0f), dy = (py - s / 2.0f) / (s / 2.0f);
    const float r = std::sqrt(dx * dx + dy * dy);
    const float lump = Fbm(px / 22, py / 22, 5, 4);
    const float a = SmoothStep(1.0f, 0.15f, r + (0.5f - lump) * 0.45f) * (0.55f + 0.45f * lump);
    const float shade = 0.78f + 0.2f * lump - 0.1f * dy;
    return Rgba{shade, shade, shade * 1.02f, Clamp01(a) * 0.85f};
  });
  return c.ToPicture();
}

}  // namespace

bool BuildMenuArt(const BuildContext& ctx) {
  std::unique_ptr<FontFace> bold = FontFace::OpenSans(true);
  std::unique_ptr<FontFace> italic = FontFace::OpenSans(true, true);
  std::unique_ptr<FontFace> regular = FontFace::OpenSans(false);
  if (!bold || !italic || !regular) return false;
  const std::string dir = ctx.outDir + "/MENU/";
  return WriteTga(dir + "vrxd.tga", Logo(italic.get(), bold.get())) &&
         WriteBmp(dir + "ode_logo.bmp", PhysicsBadge(bold.get(), regular.get())) &&
         WriteBmp(dir + "Menu.bmp", MenuBackground(italic.get())) && WriteTga(dir + "Cursor.tga", Cursor()) &&
         WriteTga(dir + "flag.tga", Flag()) && WriteTga(dir + "ButtonOut.tga", Button(false)) &&
         WriteTga(dir + "ButtonOver.tga", Button(true)) && WriteTga(dir + "FrameOut.tga", Frame(false)) &&
         WriteTga(dir + "FrameOver.tga", Frame(true)) && WriteTga(dir + "Smoke.tga", Smoke());
}

}  // namespace vrxdata
