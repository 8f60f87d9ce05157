#include "shell/startup.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "car/cCarPreview.h"
#include "car/cTrackInfo.h"
#include "demo/demo.h"
#include "platform/files.h"
#include "platform/user_files.h"
#include "platform/wingdi.h"
#include "shell/drive.h"
#include "shell/main_loop.h"
#include "shell/menu.h"
#include "shell/player_files.h"
#include "shell/program.h"
#include "shell/replay_controls.h"
#include "shell/saved_replay.h"
#include "shell/window_mode.h"
#if __has_include("shell/cReplay.h")
#include "shell/cReplay.h"
#define VRX_HAVE_REPLAY 1
#endif

namespace {

const char kClassName[] = "MainWnd";
const char kCarList[] = "DATA\\Cars.txt";
const char kTrackList[] = "DATA\\Tracks.txt";

void DrawSplashSprite(cSprite* sprite, float x, float y, float s, DWORD colour) {
  if (!sprite) return;
  const D3DXVECTOR2 scale(s, s), centre(0, 0), position(x, y);
  sprite->DrawRelative(&scale, &centre, 0.0f, &position, colour);
}

// The program's directory becomes the current one, so DATA, vrx.cfg and the
// language file are found beside it wherever it was started from.
void EnterProgramDirectory() {
  char path[4096];
  snprintf(path, sizeof path, "%s", GetCommandLineA());
  PathUnquoteSpacesA(path);
  PathRemoveFileSpecA(path);
  if (path[0]) SetCurrentDirectoryA(path);
}

// 1 when vrx.cfg was made for the graphics adapter in use. Otherwise the
// player learns from one line what is wrong with the file (size: its length).
int AdapterMatches(const char* path, long size) {
  IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
  if (!d3d) {
    MessageBoxA(nullptr, "Couldn't initialize Direct3D!", "Error!", MB_ICONHAND);
    return 0;
  }
  D3DADAPTER_IDENTIFIER9 id;
  memset(&id, 0, sizeof id);
  const HRESULT hr = d3d->GetAdapterIdentifier(0, 0, &id);
  d3d->Release();
  if (SUCCEEDED(hr) && memcmp(&id.DeviceIdentifier, &gScreenCfg.Adapter, sizeof(GUID)) == 0) return 1;
  if (size < (long)sizeof gScreenCfg)
    fprintf(stderr, "vrx: %s holds %ld of its %zu bytes; make new settings with vrx-config\n", path, size,
            sizeof gScreenCfg);
  else
    fprintf(stderr, "vrx: %s was made for another graphics adapter; make new settings with vrx-config\n", path);
  return 0;
}

void LoadLanguageTexts() {
  auto load = [](int id) { LoadStringA(gLang, id, gLangText[id], kLangSize); };
  load(11);
  for (int id = 14; id <= 36; ++id) load(id);
  load(40);
  load(41);
  for (int id = 42; id <= 53; ++id) load(id);
}

void SplashFrame() {
  IDirect3DDevice9* device = gScreen.GetDevicePointer();
  gScreen.ClearScreen();
  device->BeginScene();
  DrawSplashSprite(gLogo, 0.3f, 0.23f, 0.7f, 0xFFFFFFFF);
  if (gFont) gFont->PutTextRelative(0.4f, 0.45f, 1, 1, gLangText[11]);
  device->EndScene();
  gScreen.Flip();
}

void LoadTexturesAndSprites() {
  gShadowShape = new cTexture("DATA\\CARS\\COMMON\\Sh.tga", &gScreen);
  gSkidTexture = new cTexture("DATA\\CARS\\COMMON\\Skid.tga", &gScreen);
  gRefmap = new cTexture("DATA\\TRACKS\\COMMON\\Refmap.tga", &gScreen);
  gPlate = new cTexture("DATA\\CARS\\COMMON\\Tablica.bmp", &gScreen, 0);

  gDial = new cSprite("DATA\\CARS\\COMMON\\Licznik.tga", &gScreen);
  gNeedle = new cSprite("DATA\\CARS\\COMMON\\Strzalka.tga", &gScreen);
  gMenuBackground = new cSprite("DATA\\Menu\\Menu.bmp", &gScreen);
  gCursor = new cCursor("DATA\\MENU\\Cursor.tga", &gScreen);
  // Gear pictures by gear index: R, N, 1st to 5th, and a 6th where the data has one.
  static const char* const gears[kGearSprites] = {"g_R", "g_N", "g_1", "g_2", "g_3", "g_4", "g_5", "g_6"};
  for (int i = 0; i < kGearSprites; ++i) {
    char name[64];
    snprintf(name, sizeof name, "DATA\\CARS\\COMMON\\%s.dds", gears[i]);
    FILE* probe = i < 7 ? nullptr : vrx::OpenFile(name, "rb");
    if (i >= 7 && !probe) continue;
    if (probe) fclose(probe);
    gGears[i] = new cSprite(name, &gScreen);
  }
  gFlag = new cSprite("DATA\\MENU\\flag.tga", &gScreen);
  gBarFrame = new cSprite("DATA\\CARS\\COMMON\\Frame.dds", &gScreen);
  gBar = new cSprite("DATA\\CARS\\COMMON\\Dot.dds", &gScreen);
}

// Reads one list; a list that is missing or empty leaves nothing to choose,
// so the game cannot go on.
bool ReadOneList(const char* path, char list[][kListEntry], int* count) {
  *count = ReadList(path, list, kListMax);
  if (*count > 0) return true;
  char text[160];
  snprintf(text, sizeof text, *count < 0 ? "Cannot open %s" : "%s lists nothing", path);
  MessageBoxA(gWindow, text, "Error!", MB_ICONHAND);
  *count = 0;
  return false;
}

template <class T>
void Delete(T*& p) {
  delete p;
  p = nullptr;
}

}  // namespace

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_PAINT:
      ValidateRect(hwnd, nullptr);
      return 0;
    case WM_ACTIVATEAPP:
      gAppActive = (int)wParam;
      break;
    case WM_KEYDOWN:
      if (wParam == VK_ESCAPE)
        PostQuitMessage(0);
      else if (wParam == VK_F12) {
        // Held down, F12 repeats; one picture a press.
        if (!(lParam & (1L << 30))) RequestScreenshot();
      } else if (gRaceCar && gReplayMode)
        gReplayControls.Key(wParam, (lParam & (1L << 30)) != 0);
      else if (!gRaceCar && wParam == VK_F5 && !(lParam & (1L << 30)))
        SaveLastReplay();  // between drives: the menus
      return 0;
    case WM_SYSKEYDOWN:
      if (wParam == VK_RETURN && !(lParam & (1L << 30))) {
        ToggleWindowMode();
        return 0;
      }
      break;
    case WM_DESTROY:
      // The menus do not act on the quit message; this flag ends them.
      gWindowClosed = 1;
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

void LoadingProgress(float fraction) {
  IDirect3DDevice9* device = gScreen.GetDevicePointer();
  if (!device) return;
  char line[kLangSize + 16];
  snprintf(line, sizeof line, "%s %d%%", gLangText[11], (int)(fraction * 100.0f));
  const DWORD alpha = (DWORD)(fraction * 255.0f) & 0xFF;
  gScreen.ClearScreen();
  device->BeginScene();
  DrawSplashSprite(gLogo, 0.3f, 0.23f, 0.7f, 0x00FFFFFF + (alpha << 24));
  if (gOdeLogo) {
    const D3DXVECTOR2 scale(0.4f, 0.4f), centre(0, 0), position(0.8f, 0.93f);
    gOdeLogo->DrawRelative(&scale, &centre, 0.0f, &position, 0xFFFFFFFF);
  }
  if (gFont) gFont->PutTextRelative(0.35f, 0.45f, 1, 1, line);
  device->EndScene();
  gScreen.Flip();
}

void PaintNumberPlate() {
  if (!gPlate) return;
  HDC dc = gPlate->GetDC();
  if (!dc) return;
  LOGFONTA lf;
  memset(&lf, 0, sizeof lf);
  lf.lfHeight = -45;
  lf.lfCharSet = DEFAULT_CHARSET;
  strcpy(lf.lfFaceName, "Arial");
  HFONT font = CreateFontIndirectA(&lf);
  SelectObject(dc, font);
  RECT r = {25, 0, 255, 63};
  DrawTextA(dc, gPlayer.Name, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  SelectObject(dc, GetStockObject(SYSTEM_FONT));
  DeleteObject(font);
  gPlate->ReleaseDC();
}

void Shutdown(HINSTANCE instance, int writeSettings) {
  Delete(gFont);
  Delete(gCursor);
  Delete(gLogo);
  Delete(gOdeLogo);
  Delete(gDial);
  // The rest of the engine objects go while the device they were made on
  // still exists.
  DeletePreviews();
  DeleteButtons();
  Delete(gNeedle);
  Delete(gMenuBackground);
  for (cSprite*& g : gGears) Delete(g);
  Delete(gFlag);
  Delete(gBarFrame);
  Delete(gBar);
  Delete(gShadowShape);
  Delete(gSkidTexture);
  Delete(gRefmap);
  Delete(gPlate);
  ReleaseShadowTarget();
#ifdef VRX_HAVE_REPLAY
  Delete(gReplay);
#endif
  gScreen.CleanUp();
  gMenuMusic.Stop();
  gRaceMusic.Stop();
  gMenuMusic.Cleanup();
  gRaceMusic.Cleanup();
  gInput.CleanUp();
  Delete(gListener);
  if (writeSettings) WritePlayerConfig(vrx::PlayerFileToWrite("vrx.ini", vrx::PlayerFile::kSettings).c_str(), &gPlayer);
  if (gLang) FreeLibrary(gLang);
  gLang = nullptr;
  ShowCursor(TRUE);
  if (gWindow && IsWindow(gWindow)) DestroyWindow(gWindow);
  UnregisterClassA(kClassName, instance);
}

int StartProgram(HINSTANCE instance, int* exitCode) {
  gInstance = instance;
  EnterProgramDirectory();

  WNDCLASSEXA wc;
  memset(&wc, 0, sizeof wc);
  wc.cbSize = sizeof wc;
  wc.style = CS_CLASSDC;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.lpszClassName = kClassName;
  RegisterClassExA(&wc);
  gWindow = CreateWindowExA(0, kClassName, "VRX", 8, 100, 100, 808, 606, GetDesktopWindow(), nullptr, instance,
                            nullptr);
  if (!gWindow) {
    fprintf(stderr, "vrx: cannot open the game window (is there a display?)\n");
    UnregisterClassA(kClassName, instance);
    *exitCode = 1;
    return 0;
  }
  ShowWindow(gWindow, SW_SHOWDEFAULT);
  UpdateWindow(gWindow);

  // Without settings there is nothing to start with: the settings program
  // makes them, and the game is started again afterwards.
  const std::string screenCfg = vrx::PlayerFileToRead("vrx.cfg", vrx::PlayerFile::kSettings);
  long cfgSize = 0;
  if (FILE* probe = vrx::OpenFile(screenCfg.c_str(), "rb")) {
    if (fseek(probe, 0, SEEK_END) == 0) cfgSize = ftell(probe);
    fclose(probe);
  } else {
    WinExec("Config.exe", SW_SHOWDEFAULT);
    *exitCode = 1;
    return 0;
  }
  if (!ReadScreenConfig(screenCfg.c_str(), &gScreenCfg) || !AdapterMatches(screenCfg.c_str(), cfgSize)) {
    MessageBoxA(nullptr, "Config loading error!", "Error!", MB_ICONHAND);
    *exitCode = 1;
    return 0;
  }

  gLang = LoadLibraryA("Lang.dll");
  SetPlayerDefaults(&gPlayer);
  ReadPlayerConfig(vrx::PlayerFileToRead("vrx.ini", vrx::PlayerFile::kSettings).c_str(), &gPlayer);
  // A name without its end would run into the next field.
  if (!memchr(gPlayer.Name, 0, sizeof gPlayer.Name)) gPlayer.Name[sizeof gPlayer.Name - 1] = 0;

  if (!gScreen.Init3D(gWindow, gScreenCfg.Width, gScreenCfg.Height, ScreenModeFlags(gScreenCfg), gPlayer.WBuffer)) {
    Shutdown(instance, 1);
    *exitCode = 0;
    return 0;
  }
  // A window shows the chosen size pixel for pixel (it may be resized later).
  if (WantsWindow(gScreenCfg))
    SetWindowPos(gWindow, nullptr, 0, 0, (int)gScreenCfg.Width, (int)gScreenCfg.Height,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  ShowCursor(FALSE);
  LoadLanguageTexts();

  gLogo = new cSprite("DATA\\MENU\\vrxd.tga", &gScreen);
  gOdeLogo = new cSprite("DATA\\MENU\\ode_logo.bmp", &gScreen);
  gScreen.SetGamma(1.1f);
  gFont = new cFont("DATA\\MENU\\Font1.bmp", "DATA\\MENU\\Font1.dat", 0xFF000000, &gScreen);
  SplashFrame();

  gMenuMusic.Load("DATA\\MUSIC\\Dni.mp3");
  gRaceMusic.Load("DATA\\MUSIC\\UPM_.mp3");
  D3DXVECTOR3 light(0, -1, 1);
  gScreen.AddDirectionalLight(&light, 1.0f);
  CreateShadowTarget(256);
  LoadTexturesAndSprites();

  // Indexes out of the lists' range are mended once the lists are read;
  // the buttons only need the switches.
  CreateButtons();
  gListener = new cListener(gWindow);
#ifdef VRX_HAVE_REPLAY
  gReplay = new cReplay();
#endif
  gInput.Init(instance);
  gInput.CreateKeyboard(gWindow);
  gInput.CreateJoy(gWindow);
  SetMenuView();

  if (!ReadOneList(kCarList, gCarList, &gCarCount) || !ReadOneList(kTrackList, gTrackList, &gTrackCount)) {
    Shutdown(instance, 0);
    *exitCode = 1;
    return 0;
  }
  ClampPlayerConfig(&gPlayer, gCarCount, gTrackCount);
  CreatePreviews();
  return 1;
}

int RunProgram(HINSTANCE instance) {
  int exitCode = 0;
  if (!StartProgram(instance, &exitCode)) return exitCode;
  if (gDemo.Active()) {
    PaintNumberPlate();
    const int result = RunDemo();
    Shutdown(instance, 0);
    return result;
  }
  if (const vrx::Recording* replay = ReplayAtStart()) {
    PaintNumberPlate();
    const int result = PlaySavedReplay(*replay, ReplayAtStartPath());
    Shutdown(instance, 0);
    return result;
  }
  RunNameScreen();
  PaintNumberPlate();
  if (!gWindowClosed) {
    gMenuMusic.Play();
    RunMenu();
  }
  Shutdown(instance, 1);
  return 0;
}
