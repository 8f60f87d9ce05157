// vrx-view: draws a track (the race's ground passes with its shadow maps),
// a car, or a car standing at a track's start, from a viewpoint into a PNG.
// Run it from the folder that holds DATA (build/bin); without a display,
// under Xvfb.
//
//   vrx-view --track TRACKPATH [--car CARBASE] [--at-start | --eye X,Y,Z --look X,Y,Z]
//            [--size 800x600] [--far 400] [--frames N] --out FILE.png
//
// TRACKPATH and CARBASE are list entries such as DATA\TRACKS\Riverside\Riverside
// and DATA\CARS\Hatch\Hatch. --at-start looks along the start from where the
// race's chase camera would be; --frames N draws N frames first and prints the
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

#include "cCar.h"
#include "cGround.h"
#include "cMoObject.h"
#include "cScreen.h"
#include "cTexture.h"
#include "mathkit/mathkit.h"
#include "platform/win32.h"

namespace {

struct Options {
  std::string track, car, out;
  bool atStart = false, haveEye = false, haveLook = false;
  D3DXVECTOR3 eye{0, 0, 0}, look{0, 0, 0};
  int width = 800, height = 600, frames = 0;
  float far = 400;
};

int Usage(const char* why) {
  if (why) std::fprintf(stderr, "vrx-view: %s\n", why);
  std::fprintf(stderr,
               "usage: vrx-view --track TRACKPATH [--car CARBASE] [--at-start | --eye X,Y,Z --look X,Y,Z]\n"
               "                [--size WxH] [--far DIST] [--frames N] --out FILE.png\n"
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
    else return false;
  }
  return true;
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// A car as the race assembles and draws it, reduced to what a picture needs.
class Car {
 public:
  bool Load(const std::string& base, cScreen* screen) {
    mesh.reset(new cMoObject((base + ".mo").c_str(), screen, nullptr));
    mesh->Lighting = TRUE;
    for (DWORD i = 0; i < mesh->ObjCount(); ++i) {
      const char* n = mesh->GetName(i);
      if (n[0] == 'b') body = static_cast<int>(i);
      else if (n[0] == 'w') wheel = static_cast<int>(i);
      else if (n[0] == 'm') plates.push_back(i);
      else if (n[0] != 'l') parts.push_back(i);
    }
    std::string file = base + ".cdf";
    for (char& c : file)
      if (c == '\\') c = '/';
    std::ifstream in(file, std::ios::binary);
    char cdf[144];
    if (body < 0 || wheel < 0 || !in.read(cdf, sizeof cdf)) {
      std::fprintf(stderr, "vrx-view: %s is not a complete car\n", base.c_str());
      return false;
    }
    mesh->CalcObjBBox(body);
    std::memset(&data, 0, sizeof data);
    std::memcpy(data.WheelPos, cdf, 48);
    std::memcpy(&data.FrontSpring, cdf + 48, 24);
    std::memcpy(&data.BodyMass, cdf + 72, 48);
    std::memcpy(&data.FinalDrive, cdf + 132, 12);
    data.BBoxMin = mesh->GetMinBBox(body);
    data.BBoxMax = mesh->GetMaxBBox(body);
    data.FrontRadius = data.RearRadius = (mesh->GetMaxBBox(wheel).y - mesh->GetMinBBox(wheel).y) * 0.5f;
    data.Automatic = 1;
    // Standing still: the wheels where the car data puts them, 0 and 2 turned outwards.
    MatrixIdentity(&world);
    for (int w = 0; w < 4; ++w) {
      D3DXMATRIX t, f;
      TranslationV(&t, data.WheelPos[w].x, data.WheelPos[w].y + data.FrontRadius, data.WheelPos[w].z);
      RotationY(&f, 3.14159f);
      wheels.Matrix[w] = (w == 0 || w == 2) ? f * t : t;
    }
    return true;
  }

  // Settles the car at the track's start on the physics world, as the race places it.
  void PlaceAtStart(cGround* ground) {
    const float x = ground->GetStartX(), z = ground->GetStartZ();
    _CARSTATE s;
    std::memset(&s, 0, sizeof s);
    s.LinPos = D3DXVECTOR3(x, ground->GetHeight(x, z) + 0.5f, z);
    RotationY(&s.RotPos, ground->GetStartRadY());
    cCar car(&data, &s, ground, [](float, void*) { return 0.0f; }, nullptr);
    for (int i = 0; i < 200; ++i) car.DoStep(0.01f);
    position = car.GetLinPos();
    D3DXMATRIX t;
    TranslationV(&t, position.x, position.y, position.z);
    rotation = car.GetRotPos();
    world = rotation * t;
    wheels = car.GetWheelsMatrices();
  }

  void Draw(cScreen* screen, cTexture* env, cTexture* plate) {
    IDirect3DDevice9* dev = screen->GetDevicePointer();
    screen->SetWorldMatrix(&world);
    if (env) {
      dev->SetRenderState(D3DRS_NORMALIZENORMALS, 1);
      dev->SetTextureStageState(1, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
      dev->SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR);
      env->Set(1);
      dev->SetRenderState(D3DRS_NORMALIZENORMALS, 0);
    }
    D3DXVECTOR3 light(0, -1, 1);
    screen->AddDirectionalLight(&light, 1.0f);
    dev->SetRenderState(D3DRS_SPECULARENABLE, 1);
    mesh->Draw(body);
    screen->OffStage(1);
    dev->SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, 0);
    for (DWORD p : parts) mesh->Draw(p);
    for (DWORD p : plates) {
      if (plate) mesh->DrawOneTexture(p, plate);
      else mesh->Draw(p);
    }
    dev->SetRenderState(D3DRS_SPECULARENABLE, 0);
    for (int w = 0; w < 4; ++w) {
      D3DXMATRIX m = wheels.Matrix[w];
      if (!placed) m = m * world;
      screen->SetWorldMatrix(&m);
      mesh->Draw(wheel);
    }
    D3DXMATRIX identity;
    MatrixIdentity(&identity);
    screen->SetWorldMatrix(&identity);
  }

  // Faces drawn a frame: body and parts once, the wheel four times.
  size_t DrawnFaces() {
    size_t n = 0;
    for (DWORD i = 0; i < mesh->ObjCount(); ++i)
      if (mesh->GetName(i)[0] != 'l') n += mesh->GetObjFaceCount(i) * (static_cast<int>(i) == wheel ? 4 : 1);
    return n;
  }

  std::unique_ptr<cMoObject> mesh;
  int body = -1, wheel = -1;
  std::vector<DWORD> parts, plates;
  _CARDATA data;
  D3DXVECTOR3 position{0, 0, 0};
  D3DXMATRIX rotation, world;
  _WHEELSMATRICES wheels;
  bool placed = false;
};

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
  if (!o.track.empty()) {
    ground.reset(new cGround(o.track.c_str(), &screen, nullptr));
    ground->LoadShadowMaps();
  }
  std::unique_ptr<Car> car;
  if (!o.car.empty()) {
    car.reset(new Car);
    if (!car->Load(o.car, &screen)) return 1;
    if (ground) {
      car->PlaceAtStart(ground.get());
      car->placed = true;
    }
  }
  std::unique_ptr<cTexture> env, plate;
  if (car && Exists("DATA/TRACKS/COMMON/Refmap.tga")) env.reset(new cTexture("DATA\\TRACKS\\COMMON\\Refmap.tga", &screen));
  if (car && Exists("DATA/CARS/COMMON/Tablica.bmp")) plate.reset(new cTexture("DATA\\CARS\\COMMON\\Tablica.bmp", &screen, 0));

  // The viewpoint: given, or where the race's chase camera settles behind a
  // car at the start (6 behind, 2 up, looking at a point 1 above the car).
  D3DXVECTOR3 eye = o.eye, look = o.look;
  if (o.atStart) {
    D3DXVECTOR3 at(ground->GetStartX(), ground->GetStartY(), ground->GetStartZ());
    D3DXMATRIX r;
    RotationY(&r, ground->GetStartRadY());
    D3DXVECTOR3 nose(r._13, 0, r._33);  // the car turns by the transpose
    if (car) {
      at = car->position;
      nose = D3DXVECTOR3(car->rotation._31, 0, car->rotation._33);
    }
    const float l = std::sqrt(nose.x * nose.x + nose.z * nose.z);
    nose = nose / l;
    look = at + D3DXVECTOR3(0, 1, 0);
    eye = at - nose * 5.69f + D3DXVECTOR3(0, 2, 0);
  } else if (!o.haveEye) {
    eye = D3DXVECTOR3(4.2f, 1.6f, 5.0f);
    look = D3DXVECTOR3(0, 0.3f, 0);
  }

  // One race frame (sky, road, land and scenery, the car, skid marks) as the race draws it.
  auto frame = [&]() {
    screen.ClearScreen(ground ? 0xFF648080u : 0xFF5A6E84u);
    screen.SetTransformMatrix(1.33f, 0, 0.01f, o.far, FALSE);
    screen.SetCamera(eye, look, D3DXVECTOR3(0, 1, 0));
    if (ground) {
      screen.SetLinearFog(0xFF648080, 0, 400);
      ground->Draw(GROUND_DRAW_SKY);
      screen.FogDisable();
      screen.OffStage(1);
      screen.SetLight(FALSE);
      screen.SetLinearFog(0xFF648080, 0, 400);
      ground->Draw(GROUND_DRAW_ROAD);
      screen.OffStage(1);
      ground->Draw(GROUND_DRAW_TERRAIN | GROUND_DRAW_SKIDS);
    }
    if (car) {
      screen.SetLight(TRUE);
      car->Draw(&screen, env.get(), plate.get());
      screen.SetLight(FALSE);
    }
    if (ground) ground->Draw(32);
    screen.FogDisable();
  };

  if (o.frames > 0) {
    frame();
    screen.Flip();
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < o.frames; ++i) {
      frame();
      screen.Flip();
    }
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count() / o.frames;
    size_t faces = car ? car->DrawnFaces() : 0;
    if (ground) {
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
  ground.reset();
  env.reset();
  plate.reset();
  screen.CleanUp();
  DestroyWindow(window);
  return 0;
}
