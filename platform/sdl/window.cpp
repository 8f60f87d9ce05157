// Window classes, windows and the message queue over SDL2. SDL events are
// turned into the messages a Windows window procedure expects.
#include "window.h"

#include <strings.h>

#include <cstdio>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "fake_input.h"
#include "keys.h"

struct HWND__ {
  SDL_Window* sdl = nullptr;
  WNDPROC proc = nullptr;
  std::string className;
  bool alive = false;
  bool needsPaint = false;
  bool closePending = false;  // a WM_CLOSE from SDL waits in the queue
  int pictureW = 0, pictureH = 0;  // the back buffer presented into it, if any
};

namespace {

const char kHwndKey[] = "vrx-hwnd";

struct WindowClass {
  std::string name;
  WNDPROC proc;
};

std::vector<WindowClass> g_classes;
// Every window ever created. Destroyed ones stay (dead, their SDL window
// hidden) so that handles and SDL pointers kept elsewhere never dangle.
std::vector<std::unique_ptr<HWND__>> g_windows;
HWND__ g_desktop;
std::deque<MSG> g_queue;
bool g_quitPosted = false;
int g_quitCode = 0;
bool g_appActive = false;

bool IsLive(HWND hwnd) {
  if (!hwnd) return false;
  for (const auto& w : g_windows)
    if (w.get() == hwnd) return w->alive;
  return false;
}

bool IsShown(HWND hwnd) { return !(SDL_GetWindowFlags(hwnd->sdl) & SDL_WINDOW_HIDDEN); }

// The picture's place in the window, in window pixels; false when the window
// shows no back buffer (its client area is then its own).
bool PictureInWindow(HWND hwnd, PictureRect* r) {
  if (hwnd->pictureW <= 0 || hwnd->pictureH <= 0) return false;
  int w = 0, h = 0;
  SDL_GetWindowSize(hwnd->sdl, &w, &h);
  *r = FitPicture(w, h, hwnd->pictureW, hwnd->pictureH);
  return r->w > 0 && r->h > 0;
}

// Window pixels to picture pixels (and back). Floor division, so a point in
// a bar lands outside the picture rather than on its edge.
LONG ToPicture(LONG v, int offset, int shown, int size) {
  const long long d = (long long)(v - offset) * size;
  return (LONG)(d >= 0 ? d / shown : -((-d + shown - 1) / shown));
}
LONG FromPicture(LONG v, int offset, int shown, int size) { return (LONG)(offset + (long long)v * shown / size); }

void WindowToClient(HWND hwnd, LONG* x, LONG* y) {
  PictureRect r;
  if (!PictureInWindow(hwnd, &r)) return;
  *x = ToPicture(*x, r.x, r.w, hwnd->pictureW);
  *y = ToPicture(*y, r.y, r.h, hwnd->pictureH);
}

LPARAM MousePosition(HWND hwnd, int x, int y) {
  LONG cx = x, cy = y;
  WindowToClient(hwnd, &cx, &cy);
  return MAKELPARAM((WORD)(short)cx, (WORD)(short)cy);
}

WindowClass* FindClass(LPCSTR name) {
  if (!name) return nullptr;
  for (WindowClass& c : g_classes)
    if (strcasecmp(c.name.c_str(), name) == 0) return &c;
  return nullptr;
}

ATOM AddClass(LPCSTR name, WNDPROC proc) {
  if (!name || !*name || FindClass(name)) return 0;
  g_classes.push_back({name, proc});
  return static_cast<ATOM>(0xC000 + g_classes.size());
}

LRESULT CallProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (!IsLive(hwnd)) return 0;
  if (!hwnd->proc) return DefWindowProcA(hwnd, msg, wParam, lParam);
  return hwnd->proc(hwnd, msg, wParam, lParam);
}

// Windows tells every top-level window of an application when the
// application as a whole gains or loses activation.
void SetAppActive(bool active) {
  if (g_appActive == active) return;
  g_appActive = active;
  for (size_t i = 0; i < g_windows.size(); ++i) {
    HWND w = g_windows[i].get();
    if (w->alive) CallProc(w, WM_ACTIVATEAPP, active ? 1 : 0, 0);
  }
}

bool AnyOtherWindowShown(HWND hwnd) {
  for (const auto& w : g_windows)
    if (w.get() != hwnd && w->alive && IsShown(w.get())) return true;
  return false;
}

void Post(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  MSG m{};
  m.hwnd = hwnd;
  m.message = message;
  m.wParam = wParam;
  m.lParam = lParam;
  m.time = GetTickCount();
  ReadCursorScreenPos(&m.pt);
  g_queue.push_back(m);
}

void PostClose(HWND hwnd) {
  if (!IsLive(hwnd) || hwnd->closePending) return;
  hwnd->closePending = true;
  Post(hwnd, WM_CLOSE, 0, 0);
}

HWND HwndFromWindowId(Uint32 id) {
  SDL_Window* sdl = id ? SDL_GetWindowFromID(id) : nullptr;
  return sdl ? HwndFromSdlWindow(sdl) : nullptr;
}

// Keyboard events without a known window go to the first live one, the way
// the keyboard focus would have it in a one-window program.
HWND KeyTarget(Uint32 id) {
  if (HWND h = HwndFromWindowId(id)) return h;
  for (const auto& w : g_windows)
    if (w->alive) return w.get();
  return nullptr;
}

WPARAM MouseKeyFlags(Uint32 buttons) {
  WPARAM flags = 0;
  if (buttons & SDL_BUTTON_LMASK) flags |= MK_LBUTTON;
  if (buttons & SDL_BUTTON_RMASK) flags |= MK_RBUTTON;
  if (buttons & SDL_BUTTON_MMASK) flags |= MK_MBUTTON;
  const SDL_Keymod mods = SDL_GetModState();
  if (mods & KMOD_SHIFT) flags |= MK_SHIFT;
  if (mods & KMOD_CTRL) flags |= MK_CONTROL;
  return flags;
}

void TranslateWindowEvent(const SDL_WindowEvent& e) {
  HWND hwnd = HwndFromWindowId(e.windowID);
  if (!hwnd) return;
  switch (e.event) {
    case SDL_WINDOWEVENT_SHOWN:
    case SDL_WINDOWEVENT_EXPOSED:
      hwnd->needsPaint = true;
      break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
      SetAppActive(true);
      break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
      SetAppActive(false);
      break;
    case SDL_WINDOWEVENT_CLOSE:
      PostClose(hwnd);
      break;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
      Post(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(e.data1, e.data2));
      break;
    case SDL_WINDOWEVENT_MINIMIZED:
      Post(hwnd, WM_SIZE, SIZE_MINIMIZED, 0);
      break;
    default:
      break;
  }
}

void TranslateKeyEvent(const SDL_KeyboardEvent& e) {
  const KeyInfo* key = KeyInfoForScancode(e.keysym.scancode);
  HWND hwnd = KeyTarget(e.windowID);
  if (!key || !hwnd) return;
  const bool up = e.type == SDL_KEYUP;
  const BYTE vk = VirtualKeyForEvent(*key, e.keysym.sym, (e.keysym.mod & KMOD_NUM) != 0);
  DWORD bits = 1u | (static_cast<DWORD>(key->scan) << 16);
  if (key->extended) bits |= 1u << 24;
  if (up || e.repeat) bits |= 1u << 30;
  if (up) bits |= 1u << 31;
  // As on Windows, keys pressed while Alt is held (Alt+Enter) are system
  // keys, with the context bit set.
  const bool alt = (e.keysym.mod & KMOD_ALT) != 0;
  if (alt) bits |= 1u << 29;
  const UINT message = alt ? (up ? WM_SYSKEYUP : WM_SYSKEYDOWN) : (up ? WM_KEYUP : WM_KEYDOWN);
  Post(hwnd, message, vk, static_cast<LPARAM>(bits));
}

void TranslateMouseMotion(const SDL_MouseMotionEvent& e) {
  HWND hwnd = HwndFromWindowId(e.windowID);
  if (!hwnd) return;
  const LPARAM pos = MousePosition(hwnd, e.x, e.y);
  // Only the latest position matters, as with Windows' own coalescing.
  if (!g_queue.empty() && g_queue.back().message == WM_MOUSEMOVE && g_queue.back().hwnd == hwnd) {
    g_queue.back().wParam = MouseKeyFlags(e.state);
    g_queue.back().lParam = pos;
    return;
  }
  Post(hwnd, WM_MOUSEMOVE, MouseKeyFlags(e.state), pos);
}

// Presses of the left, right and middle button, counted as they come in,
// whichever window they are for.
DWORD g_presses[3] = {0, 0, 0};

void TranslateMouseButton(const SDL_MouseButtonEvent& e) {
  if (e.type == SDL_MOUSEBUTTONDOWN) {
    if (e.button == SDL_BUTTON_LEFT) ++g_presses[0];
    if (e.button == SDL_BUTTON_RIGHT) ++g_presses[1];
    if (e.button == SDL_BUTTON_MIDDLE) ++g_presses[2];
  }
  HWND hwnd = HwndFromWindowId(e.windowID);
  if (!hwnd) return;
  const bool down = e.type == SDL_MOUSEBUTTONDOWN;
  UINT message;
  switch (e.button) {
    case SDL_BUTTON_LEFT: message = down ? WM_LBUTTONDOWN : WM_LBUTTONUP; break;
    case SDL_BUTTON_RIGHT: message = down ? WM_RBUTTONDOWN : WM_RBUTTONUP; break;
    case SDL_BUTTON_MIDDLE: message = down ? WM_MBUTTONDOWN : WM_MBUTTONUP; break;
    default: return;
  }
  Post(hwnd, message, MouseKeyFlags(SDL_GetMouseState(nullptr, nullptr)), MousePosition(hwnd, e.x, e.y));
}

void Translate(const SDL_Event& e) {
  switch (e.type) {
    case SDL_WINDOWEVENT:
      TranslateWindowEvent(e.window);
      break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      TranslateKeyEvent(e.key);
      break;
    case SDL_MOUSEMOTION:
      TranslateMouseMotion(e.motion);
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      TranslateMouseButton(e.button);
      break;
    case SDL_QUIT:
      // Closing the last window and signals such as Ctrl+C end up here.
      for (size_t i = 0; i < g_windows.size(); ++i) PostClose(g_windows[i].get());
      break;
    default:
      break;
  }
}

bool InRange(UINT message, UINT min, UINT max) {
  return (min == 0 && max == 0) || (message >= min && message <= max);
}

bool Matches(const MSG& m, HWND hwnd, UINT min, UINT max) {
  return (!hwnd || m.hwnd == hwnd) && InRange(m.message, min, max);
}

}  // namespace

// ---------------------------------------------------------------------------
// Platform-internal access

bool EnsureSdlVideo() {
  if (SDL_WasInit(SDL_INIT_VIDEO)) return true;
  static bool reported = false;
  // A click that brings the window forward is also a click on the menu.
  SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) return true;
  if (!reported) std::fprintf(stderr, "vrx: cannot open the display: %s\n", SDL_GetError());
  reported = true;
  return false;
}

SDL_Window* SdlWindowFromHwnd(HWND hwnd) { return IsLive(hwnd) ? hwnd->sdl : nullptr; }

PictureRect FitPicture(int outerW, int outerH, int picW, int picH) {
  if (outerW <= 0 || outerH <= 0 || picW <= 0 || picH <= 0) return PictureRect{0, 0, 0, 0};
  PictureRect r{0, 0, outerW, outerH};
  // Compare the aspects without rounding: outer wider than the picture
  // gives bars left and right, taller gives bars above and below.
  const long long wide = (long long)outerW * picH, tall = (long long)outerH * picW;
  if (wide > tall) {
    r.w = (int)((tall + picH / 2) / picH);
    r.x = (outerW - r.w) / 2;
  } else if (wide < tall) {
    r.h = (int)((wide + picW / 2) / picW);
    r.y = (outerH - r.h) / 2;
  }
  if (r.w < 1) r.w = 1;
  if (r.h < 1) r.h = 1;
  return r;
}

void SetSdlWindowPictureSize(HWND hwnd, int width, int height) {
  if (!IsLive(hwnd)) return;
  hwnd->pictureW = width > 0 && height > 0 ? width : 0;
  hwnd->pictureH = width > 0 && height > 0 ? height : 0;
}

HWND HwndFromSdlWindow(SDL_Window* window) {
  if (!window) return nullptr;
  HWND hwnd = static_cast<HWND>(SDL_GetWindowData(window, kHwndKey));
  return IsLive(hwnd) ? hwnd : nullptr;
}

bool SdlWindowIsMinimized(HWND hwnd) {
  return IsLive(hwnd) && (SDL_GetWindowFlags(hwnd->sdl) & SDL_WINDOW_MINIMIZED);
}

bool SdlWindowIsHidden(HWND hwnd) { return !IsLive(hwnd) || !IsShown(hwnd); }

void PumpSdlEvents() {
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return;
  SDL_Event e;
  while (SDL_PollEvent(&e)) Translate(e);
}

DWORD vrx::MouseButtonPresses(int vk) {
  const int i = vk == VK_LBUTTON ? 0 : vk == VK_RBUTTON ? 1 : vk == VK_MBUTTON ? 2 : -1;
  if (i < 0) return 0;
  const FakeInput& fake = TheFakeInput();
  if (fake.on) return fake.presses[i];
  PumpSdlEvents();
  return g_presses[i];
}

// ---------------------------------------------------------------------------
// Classes and windows

ATOM RegisterClassExA(const WNDCLASSEXA* wc) { return wc ? AddClass(wc->lpszClassName, wc->lpfnWndProc) : 0; }

ATOM RegisterClassA(const WNDCLASSA* wc) { return wc ? AddClass(wc->lpszClassName, wc->lpfnWndProc) : 0; }

BOOL UnregisterClassA(LPCSTR className, HINSTANCE instance) {
  const WindowClass* c = FindClass(className);
  if (!c) return FALSE;
  // As in Windows, a class with live windows stays registered.
  for (const auto& w : g_windows)
    if (w->alive && strcasecmp(w->className.c_str(), className) == 0) return FALSE;
  g_classes.erase(g_classes.begin() + (c - g_classes.data()));
  return TRUE;
}

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                     int nWidth, int nHeight, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
  const WindowClass* c = FindClass(className);
  if (!c || !EnsureSdlVideo()) return nullptr;
  if (x == CW_USEDEFAULT) x = y = SDL_WINDOWPOS_CENTERED;
  if (nWidth == CW_USEDEFAULT) {
    nWidth = 640;
    nHeight = 480;
  }
  Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
  if (style & WS_POPUP) flags |= SDL_WINDOW_BORDERLESS;
  SDL_Window* sdl = SDL_CreateWindow(windowName ? windowName : "", x, y, nWidth > 0 ? nWidth : 1,
                                     nHeight > 0 ? nHeight : 1, flags);
  if (!sdl) {
    std::fprintf(stderr, "vrx: cannot create a window: %s\n", SDL_GetError());
    return nullptr;
  }
  auto window = std::make_unique<HWND__>();
  window->sdl = sdl;
  window->proc = c->proc;
  window->className = c->name;
  window->alive = true;
  HWND hwnd = window.get();
  g_windows.push_back(std::move(window));
  SDL_SetWindowData(sdl, kHwndKey, hwnd);
  if (style & WS_VISIBLE) ShowWindow(hwnd, (style & WS_MINIMIZE) ? SW_SHOWMINIMIZED : SW_SHOW);
  return hwnd;
}

BOOL DestroyWindow(HWND hwnd) {
  if (!IsLive(hwnd)) return FALSE;
  // Losing its last shown window deactivates the application first.
  if (IsShown(hwnd) && !AnyOtherWindowShown(hwnd)) SetAppActive(false);
  CallProc(hwnd, WM_DESTROY, 0, 0);
  hwnd->alive = false;
  SDL_HideWindow(hwnd->sdl);
  for (auto it = g_queue.begin(); it != g_queue.end();)
    it = it->hwnd == hwnd ? g_queue.erase(it) : it + 1;
  return TRUE;
}

BOOL IsWindow(HWND hwnd) { return IsLive(hwnd) ? TRUE : FALSE; }

BOOL ShowWindow(HWND hwnd, int cmdShow) {
  if (!IsLive(hwnd)) return FALSE;
  SDL_Window* sdl = hwnd->sdl;
  const BOOL wasVisible = IsShown(hwnd) ? TRUE : FALSE;
  bool activate = false;
  switch (cmdShow) {
    case SW_HIDE:
      SDL_HideWindow(sdl);
      if (!AnyOtherWindowShown(hwnd)) SetAppActive(false);
      return wasVisible;
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
    case SW_SHOWMINNOACTIVE:
      SDL_ShowWindow(sdl);
      SDL_MinimizeWindow(sdl);
      if (cmdShow == SW_MINIMIZE) SetAppActive(false);
      break;
    case SW_SHOWMAXIMIZED:
      SDL_ShowWindow(sdl);
      SDL_MaximizeWindow(sdl);
      activate = true;
      break;
    case SW_SHOWNOACTIVATE:
    case SW_SHOWNA:
      SDL_ShowWindow(sdl);
      break;
    case SW_SHOWNORMAL:
    case SW_RESTORE:
    case SW_SHOWDEFAULT:
      SDL_ShowWindow(sdl);
      SDL_RestoreWindow(sdl);
      activate = true;
      break;
    default:  // SW_SHOW and unknown commands
      SDL_ShowWindow(sdl);
      activate = true;
      break;
  }
  hwnd->needsPaint = true;
  if (activate) {
    SDL_RaiseWindow(sdl);
    SetAppActive(true);
  }
  return wasVisible;
}

BOOL UpdateWindow(HWND hwnd) {
  if (!IsLive(hwnd)) return FALSE;
  if (hwnd->needsPaint && IsShown(hwnd)) CallProc(hwnd, WM_PAINT, 0, 0);
  return TRUE;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint) {
  return SetWindowPos(hwnd, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE) &&
         (!repaint || InvalidateRect(hwnd, nullptr, TRUE));
}

BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
  if (!IsLive(hwnd)) return FALSE;
  if (!(flags & SWP_NOMOVE)) SDL_SetWindowPosition(hwnd->sdl, x, y);
  if (!(flags & SWP_NOSIZE) && cx > 0 && cy > 0) SDL_SetWindowSize(hwnd->sdl, cx, cy);
  if (flags & SWP_HIDEWINDOW) ShowWindow(hwnd, SW_HIDE);
  if (flags & SWP_SHOWWINDOW) ShowWindow(hwnd, (flags & SWP_NOACTIVATE) ? SW_SHOWNA : SW_SHOW);
  return TRUE;
}

BOOL IsIconic(HWND hwnd) { return SdlWindowIsMinimized(hwnd) ? TRUE : FALSE; }

HWND GetDesktopWindow() { return &g_desktop; }

BOOL GetClientRect(HWND hwnd, RECT* rect) {
  if (!rect) return FALSE;
  int w = 0, h = 0;
  if (hwnd == &g_desktop) {
    SDL_DisplayMode mode;
    if (!EnsureSdlVideo() || SDL_GetDesktopDisplayMode(0, &mode) != 0) return FALSE;
    w = mode.w;
    h = mode.h;
  } else if (IsLive(hwnd) && hwnd->pictureW > 0) {
    w = hwnd->pictureW;
    h = hwnd->pictureH;
  } else if (IsLive(hwnd)) {
    SDL_GetWindowSize(hwnd->sdl, &w, &h);
  } else {
    return FALSE;
  }
  *rect = RECT{0, 0, w, h};
  return TRUE;
}

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase) {
  if (!IsLive(hwnd)) return FALSE;
  hwnd->needsPaint = true;
  return TRUE;
}

BOOL ValidateRect(HWND hwnd, const RECT* rect) {
  if (!IsLive(hwnd)) return FALSE;
  hwnd->needsPaint = false;
  return TRUE;
}

BOOL ScreenToClient(HWND hwnd, POINT* point) {
  if (!point) return FALSE;
  if (hwnd == &g_desktop) return TRUE;
  if (!IsLive(hwnd)) return FALSE;
  int x = 0, y = 0;
  SDL_GetWindowPosition(hwnd->sdl, &x, &y);
  point->x -= x;
  point->y -= y;
  WindowToClient(hwnd, &point->x, &point->y);
  return TRUE;
}

BOOL ClientToScreen(HWND hwnd, POINT* point) {
  if (!point) return FALSE;
  if (hwnd == &g_desktop) return TRUE;
  if (!IsLive(hwnd)) return FALSE;
  int x = 0, y = 0;
  SDL_GetWindowPosition(hwnd->sdl, &x, &y);
  PictureRect r;
  if (PictureInWindow(hwnd, &r)) {
    point->x = FromPicture(point->x, r.x, r.w, hwnd->pictureW);
    point->y = FromPicture(point->y, r.y, r.h, hwnd->pictureH);
  }
  point->x += x;
  point->y += y;
  return TRUE;
}

LRESULT DefWindowProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CLOSE:
      DestroyWindow(hwnd);
      return 0;
    case WM_PAINT:
      ValidateRect(hwnd, nullptr);
      return 0;
    default:
      return 0;
  }
}

LRESULT SendMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return CallProc(hwnd, msg, wParam, lParam);
}

// ---------------------------------------------------------------------------
// The message queue

BOOL PeekMessageA(LPMSG msg, HWND hwnd, UINT msgFilterMin, UINT msgFilterMax, UINT removeMsg) {
  if (!msg) return FALSE;
  PumpSdlEvents();
  for (auto it = g_queue.begin(); it != g_queue.end(); ++it) {
    if (!Matches(*it, hwnd, msgFilterMin, msgFilterMax)) continue;
    *msg = *it;
    if (removeMsg & PM_REMOVE) g_queue.erase(it);
    return TRUE;
  }
  if (g_quitPosted && InRange(WM_QUIT, msgFilterMin, msgFilterMax)) {
    *msg = MSG{};
    msg->message = WM_QUIT;
    msg->wParam = static_cast<WPARAM>(g_quitCode);
    msg->time = GetTickCount();
    ReadCursorScreenPos(&msg->pt);
    if (removeMsg & PM_REMOVE) g_quitPosted = false;
    return TRUE;
  }
  if (InRange(WM_PAINT, msgFilterMin, msgFilterMax)) {
    for (const auto& w : g_windows) {
      if (!w->alive || !w->needsPaint || (hwnd && hwnd != w.get()) || !IsShown(w.get())) continue;
      *msg = MSG{};
      msg->hwnd = w.get();
      msg->message = WM_PAINT;
      msg->time = GetTickCount();
      ReadCursorScreenPos(&msg->pt);
      return TRUE;
    }
  }
  return FALSE;
}

BOOL TranslateMessage(const MSG* msg) {
  return msg && (msg->message == WM_KEYDOWN || msg->message == WM_KEYUP || msg->message == WM_SYSKEYDOWN ||
                 msg->message == WM_SYSKEYUP)
             ? TRUE
             : FALSE;
}

LRESULT DispatchMessageA(const MSG* msg) {
  if (!msg || !IsLive(msg->hwnd)) return 0;
  if (msg->message == WM_CLOSE) msg->hwnd->closePending = false;
  return CallProc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

BOOL PostMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (hwnd && !IsLive(hwnd)) return FALSE;
  Post(hwnd, msg, wParam, lParam);
  return TRUE;
}

void PostQuitMessage(int exitCode) {
  g_quitPosted = true;
  g_quitCode = exitCode;
}
