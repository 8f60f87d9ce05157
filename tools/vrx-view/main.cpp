// vrx-view: draws a track (the race's ground passes with its shadow maps),
// a car, or a car standing at a track's start, from a viewpoint into a PNG.
// The car is the game's own race car (cRaceCar), drawn as the race draws it:
// its shadow, reflections (the live cube map, or the static map with
// --no-reflections), plate, wheels and, with --brake, its brake lights.
// Run it from the folder that holds DATA (build/bin); without a display,
// under Xvfb.
//
//   vrx-view --track TRACKPATH [--car CARBASE] [--at-start | --eye X,Y,Z --look X,Y,Z]
//            [--size 800x600] [--far 400] [--frames N] [--brake] [--no-reflections] --out FILE.png
//
// TRACKPATH and CARBASE are list entries such as DATA\TRACKS\Riverside\Riverside
// and DATA\CARS\Hatch\Hatch. --at-start looks along the start from where the
// race's chase camera settles; --frames N draws N frames first and prints the
// time a frame took and how many faces were in view.

#include <SDL.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <filesystem>

#include "cCar.h"
#include "cGround.h"
#include "cMoObject.h"
#include "cScreen.h"
#include "cTexture.h"
#include "car/cRaceCar.h"
#include "mathkit/mathkit.h"
#include "platform/win32.h"
#include "sound/cListener.h"
#include "vrxmesh/mo_writer.h"

namespace {

struct Options {
  std::string track, car, out;
  bool atStart = false, haveEye = false, haveLook = false;
  D3DXVECTOR3 eye{0, 0, 0}, look{0, 0, 0};
  int width = 800, height = 600, frames = 0;
  float far = 400;
  bool brake = false, reflections = true;
};

int Usage(const char* why) {
  if (why) std::fprintf(stderr, "vrx-view: %s\n", why);
  std::fprintf(stderr,
               "usage: vrx-view --track TRACKPATH [--car CARBASE] [--at-start | --eye X,Y,Z --look X,Y,Z]\n"
               "                [--size WxH] [--far DIST] [--frames N] [--brake] [--no-reflections] --out FILE.png\n"
               "  (--track or --car or both; run from the folder that holds DATA)\n");
  return 2;
}

bool ParseVector(const char* s, D3DXVECTOR3* v) {
  return std::sscanf(s, "%f,%f,%f", &v->x, &v->y, &v->z) == 3;
}

bool Parse(int argc, char** argv, Options* o) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool more = i + 1 < argc;
    if (a == "--track" && more) o->track = argv[++i];
    else if (a == "--car" && more) o->car = argv[++i];
    else if (a == "--out" && more) o->out = argv[++i];
    else if (a == "--at-start") o->atStart = true;
    else if (a == "--eye" && more) o->haveEye = ParseVector(argv[++i], &o->eye);
    else if (a == "--look" && more) o->haveLook = ParseVector(argv[++i], &o->look);
    else if (a == "--size" && more) {
      if (std::sscanf(argv[++i], "%dx%d", &o->width, &o->height) != 2) return false;
    } else if (a == "--far" && more) o->far = std::strtof(argv[++i], nullptr);
    else if (a == "--frames" && more) o->frames = std::atoi(argv[++i]);
    else if (a == "--brake") o->brake = true;
    else if (a == "--no-reflections") o->reflections = false;
    else return false;
  }
  return true;
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// A car without a track stands on a plain square of road written for the
// purpose (the race car lives on a ground's physics world).
std::string WritePlainGround(std::string* dir) {
  char pattern[] = "/tmp/vrx-view-XXXXXX";
  if (!mkdtemp(pattern)) return "";
  *dir = pattern;
  const std::string path = *dir + "/Plain";
  const unsigned char tga[18 + 12] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 24, 0,
                                      90, 90, 90, 90, 90, 90, 90, 90, 90, 90, 90, 90};
  std::FILE* f = std::fopen((*dir + "/road.tga").c_str(), "wb");
  if (f) {
    std::fwrite(tga, 1, sizeof tga, f);
    std::fclose(f);
  }
  f = std::fopen((*dir + "/Start.ini").c_str(), "w");
  if (f) {
    std::fputs("0\n0\n0\n", f);
    std::fclose(f);
  }
  vrxmesh::MoWriter w;
  w.AddTexture("road.tga");
  auto v = [](float x, float y, float z, float nz) { return vrxmesh::MoVertex(x, y, z, 0, nz ? 0 : 1, nz, 0, 0); };
  const int road = w.AddObject("g_road");
  w.AddQuad(road, 0, v(-30, 0, -30, 0), v(-30, 0, 30, 0), v(30, 0, 30, 0), v(30, 0, -30, 0));
  // The timing gates, far from the car.
  const int start = w.AddObject("ts");
  w.AddQuad(start, 0, v(1000, 0, 0, -1), v(1000, 4, 0, -1), v(1010, 4, 0, -1), v(1010, 0, 0, -1));
  const int half = w.AddObject("tm");
  w.AddQuad(half, 0, v(1000, 0, 10, -1), v(1000, 4, 10, -1), v(1010, 4, 10, -1), v(1010, 0, 10, -1));
  std::string error;
  if (!w.Write(path + ".mo", &error)) {
    std::fprintf(stderr, "vrx-view: %s\n", error.c_str());
    return "";
  }
  return path;
}

bool Exists(const char* path) {
  std::FILE* f = std::fopen(path, "rb");
  if (f) std::fclose(f);
  return f != nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (!Parse(argc, argv, &o)) return Usage(nullptr);
  if (o.out.empty()) return Usage("--out is missing");
  if (o.track.empty() && o.car.empty()) return Usage("give --track, --car or both");
  if (o.atStart && o.track.empty()) return Usage("--at-start needs a track");
  if (!o.atStart && (!o.haveEye || !o.haveLook) && !(o.car.size() && o.track.empty()))
    return Usage("give --at-start or both --eye and --look");
  if (o.width < 16 || o.height < 16 || o.width > 4096 || o.height > 4096) return Usage("bad --size");

  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = WindowProc;
  wc.lpszClassName = "VrxView";
  RegisterClassExA(&wc);
  HWND window = CreateWindowExA(0, "VrxView", "vrx-view", WS_POPUP, 0, 0, o.width, o.height, nullptr, nullptr,
                                nullptr, nullptr);
  if (!window) {
    std::fprintf(stderr, "vrx-view: no window (is there a display?)\n");
    return 1;
  }
  ShowWindow(window, SW_SHOW);
  cScreen screen;
  // Full screen as the game runs, which also gives the game's depth buffer.
  if (!screen.Init3D(window, o.width, o.height, 7, FALSE)) {
    std::fprintf(stderr, "vrx-view: the drawing device cannot be made\n");
    return 1;
  }
  D3DXVECTOR3 light(0, -1, 1);
  screen.AddDirectionalLight(&light, 1.0f);

  std::unique_ptr<cGround> ground;
  std::string plainDir;
  const bool plain = o.track.empty();
  const std::string trackPath = plain ? WritePlainGround(&plainDir) : o.track;
  if (trackPath.empty()) {
    std::fprintf(stderr, "vrx-view: cannot write a ground for the car\n");
    return 1;
  }
  ground.reset(new cGround(trackPath.c_str(), &screen, nullptr));
  if (!plain) ground->LoadShadowMaps();
  std::unique_ptr<cTexture> skid(new cTexture("DATA\\CARS\\COMMON\\Skid.tga", &screen));
  ground->SkidTexture = skid.get();

  // The race car at the start (or at the origin of the plain ground), settled
  // on the physics world with its brakes on, as the race places it.
  std::unique_ptr<cListener> listener;
  std::unique_ptr<cRaceCar> car;
  uint8_t keyMap[7] = {0xC8, 0xD0, 0xCB, 0xCD, 0x1E, 0x2C, 0x39};
  if (!o.car.empty()) {
    listener.reset(new cListener(window));
    _CARSTATE s;
    std::memset(&s, 0, sizeof s);
    s.LinPos = D3DXVECTOR3(ground->GetStartX(), ground->GetStartY() + 1.0f, ground->GetStartZ());
    RotationY(&s.RotPos, ground->GetStartRadY());
    car.reset(new cRaceCar(o.car.c_str(), s, &screen, ground.get(), nullptr, listener.get(), keyMap, 1,
                           o.reflections ? 1 : 0));
    if (!car->IsRaceable()) return 1;
    car->controlMode = 3;
    car->GetCar()->Brake = 1.0f;
    for (int i = 0; i < 200; ++i) car->Step(0.01f);
    if (!o.brake) car->GetCar()->Brake = 0.0f;
  }
  std::unique_ptr<cTexture> env, plate, shape;
  if (car && Exists("DATA/TRACKS/COMMON/Refmap.tga")) env.reset(new cTexture("DATA\\TRACKS\\COMMON\\Refmap.tga", &screen));
  if (car && Exists("DATA/CARS/COMMON/Tablica.bmp")) plate.reset(new cTexture("DATA\\CARS\\COMMON\\Tablica.bmp", &screen, 0));
  if (car) shape.reset(new cTexture("DATA\\CARS\\COMMON\\Sh.tga", &screen));

  // The car's shadow: its silhouette into a render target, projected onto the road.
  constexpr int kShadowSize = 256;
  const D3DFORMAT shadowFormat =
      screen.IsRenderTargetFormatExisting(D3DFMT_A4R4G4B4) ? D3DFMT_A4R4G4B4 : D3DFMT_A8R8G8B8;
  std::unique_ptr<cTexture> shadowTarget;
  IDirect3DSurface9* shadowDepth = nullptr;
  D3DXMATRIX adjust;
  GetAdjustMtx(&adjust, kShadowSize, 24);
  if (car && !plain) {
    shadowTarget.reset(new cTexture(kShadowSize, D3DUSAGE_RENDERTARGET, shadowFormat, &screen));
    if (FAILED(screen.GetDevicePointer()->CreateDepthStencilSurface(kShadowSize, kShadowSize, screen.GetDepthFormat(),
                                                                  D3DMULTISAMPLE_NONE, 0, TRUE, &shadowDepth, nullptr)))
      shadowDepth = nullptr;
  }

  // The viewpoint: given, or where the race's chase camera settles behind the
  // car at the start, looking 1 above the car.
  D3DXVECTOR3 eye = o.eye, look = o.look;
  if (o.atStart) {
    if (car) {
      D3DXVECTOR3 offset(0, 2, -6);
      for (int i = 0; i < 600; ++i) {
        car->Step(1.0f / 60.0f);
        eye = car->ChaseCamera(&offset);
      }
      look = car->GetPosition() + D3DXVECTOR3(0, 1, 0);
    } else {
      D3DXVECTOR3 at(ground->GetStartX(), ground->GetStartY(), ground->GetStartZ());
      D3DXMATRIX r;
      RotationY(&r, ground->GetStartRadY());
      D3DXVECTOR3 nose(r._31, 0, r._33);
      nose = nose / std::sqrt(nose.x * nose.x + nose.z * nose.z);
      look = at + D3DXVECTOR3(0, 1, 0);
      eye = at - nose * 5.69f + D3DXVECTOR3(0, 2, 0);
    }
  } else if (!o.haveEye) {
    eye = D3DXVECTOR3(4.2f, 1.6f, 5.0f);
    look = D3DXVECTOR3(0, 0.3f, 0);
  }
  if (plain && car) {
    // Without a track the eye and the target are taken from the car where it stands.
    const D3DXVECTOR3 at = car->GetPosition();
    eye += at;
    look += at;
  }

  // One race frame (sky, the car's shadow, road, land and scenery, skid
  // marks, the car) as the race draws it.
  IDirect3DDevice9* dev = screen.GetDevicePointer();
  auto frame = [&]() {
    screen.ClearScreen(plain ? 0xFF5A6E84u : 0xFF648080u);
    screen.SetTransformMatrix(1.33f, 0, 0.01f, o.far, FALSE);
    screen.SetCamera(eye, look, D3DXVECTOR3(0, 1, 0));
    if (car) car->viewDir = car->GetPosition() + D3DXVECTOR3(0, 1, 0) - eye;
    const D3DXMATRIX inverseCamera = screen.GetInverseCameraMtx();
    if (!plain) {
      screen.SetLinearFog(0xFF648080, 0, 400);
      ground->Draw(GROUND_DRAW_SKY);
      screen.FogDisable();
      screen.OffStage(1);
      D3DXMATRIX projected;
      const bool shadow = car && shadowTarget && shadowDepth;
      if (shadow) {
        dev->SetDepthStencilSurface(shadowDepth);
        shadowTarget->SetAsTarget();
        screen.ClearScreen();
        D3DXVECTOR3 lightOffset(0, -3, 3);
        car->DrawShadowCaster(&lightOffset, shape.get());
        projected = inverseCamera * screen.GetCameraMtx() * screen.GetTransformMtx() * adjust;
        screen.RestoreTarget();
        screen.RestoreDepthStencil();
        screen.SetTransformMatrix(1.33f, 0, 0.01f, o.far, FALSE);
        screen.SetCamera(eye, look, D3DXVECTOR3(0, 1, 0));
      }
      screen.SetLight(FALSE);
      screen.SetLinearFog(0xFF648080, 0, 400);
      if (shadow) {
        dev->SetTextureStageState(1, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
        dev->SetTransform(D3DTS_TEXTURE1, &projected);
        dev->SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACEPOSITION);
        shadowTarget->Set(1);
      }
      D3DXMATRIX identity;
      screen.SetWorldMatrix(MatrixIdentity(&identity));
      ground->Draw(GROUND_DRAW_ROAD);
      screen.OffStage(1);
      dev->SetTextureStageState(1, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
      ground->Draw(GROUND_DRAW_TERRAIN | GROUND_DRAW_SKIDS);
    }
    if (car) {
      screen.SetLight(TRUE);
      car->Draw(env.get(), plate.get());
      screen.SetLight(FALSE);
    }
    if (!plain) ground->Draw(32);
    screen.FogDisable();
  };

  // Brake lights fade in over about 100 ms of the clock.
  if (car && o.brake)
    for (int i = 0; i < 20 && car->GetBrakeLightLevel() < 1.0f; ++i) {
      frame();
      screen.Flip();
      SDL_Delay(15);
    }

  if (o.frames > 0) {
    frame();
    screen.Flip();
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < o.frames; ++i) {
      frame();
      screen.Flip();
    }
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count() / o.frames;
    size_t faces = 0;  // of the track
    if (ground && !plain) {
      cMoObject* m = ground->GetMesh();
      for (DWORD i = 0; i < m->ObjCount(); ++i) {
        const char c = m->GetName(i)[0];
        if (c != 'b' && c != 't' && c != 's' && m->IsInView(i)) faces += m->GetObjFaceCount(i);
      }
    }
    std::printf("vrx-view: %.2f ms a frame (%.1f frames a second), %zu faces in view\n", ms, 1000.0 / ms, faces);
  }
  frame();
  if (FAILED(VrxSaveScreenshot(screen.GetDevicePointer(), o.out.c_str()))) {
    std::fprintf(stderr, "vrx-view: cannot write %s\n", o.out.c_str());
    return 1;
  }
  car.reset();
  if (shadowDepth) shadowDepth->Release();
  shadowTarget.reset();
  ground.reset();
  skid.reset();
  env.reset();
  plate.reset();
  shape.reset();
  listener.reset();
  screen.CleanUp();
  if (!plainDir.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(plainDir, ec);
  }
  DestroyWindow(window);
  return 0;
}
