// The window stand-in on a real (virtual) display: SDL events must come out
// of the message loop as the messages a Windows window procedure expects.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/testing.h"
#include "platform/win32.h"
#include "sdl/window.h"

namespace {

struct Seen {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};

std::vector<Seen> g_seen;
int g_active = 0;

// Behaves like the game's main window procedure.
LRESULT CALLBACK GameProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  g_seen.push_back({msg, wParam, lParam});
  switch (msg) {
    case WM_PAINT:
      ValidateRect(hwnd, nullptr);
      return 0;
    case WM_ACTIVATEAPP:
      g_active = static_cast<int>(wParam);
      return DefWindowProcA(hwnd, msg, wParam, lParam);
    case WM_KEYDOWN:
      if (wParam == VK_ESCAPE) PostQuitMessage(0);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(hwnd, msg, wParam, lParam);
  }
}

int Count(UINT message) {
  int n = 0;
  for (const Seen& s : g_seen) n += s.message == message;
  return n;
}

// Other test programs may share the virtual display, and each window they
// show takes the keyboard focus from ours. Real focus events are dropped here;
// the tests add their own with SDL_PeepEvents, which bypasses the filter.
int DropDisplayFocus(void*, SDL_Event* e) {
  return !(e->type == SDL_WINDOWEVENT &&
           (e->window.event == SDL_WINDOWEVENT_FOCUS_GAINED || e->window.event == SDL_WINDOWEVENT_FOCUS_LOST));
}

class WindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    SDL_SetEventFilter(DropDisplayFocus, nullptr);
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_CLASSDC;
    wc.lpfnWndProc = GameProc;
    wc.lpszClassName = "MainWnd";
    ASSERT_NE(RegisterClassExA(&wc), 0);
  }

  void SetUp() override {
    hwnd = CreateWindowExA(0, "MainWnd", "VRX", 8, 100, 100, 808, 606, GetDesktopWindow(), nullptr,
                           nullptr, nullptr);
    ASSERT_NE(hwnd, nullptr);
    ShowWindow(hwnd, SW_SHOWDEFAULT);
    UpdateWindow(hwnd);
    Drain();
    g_seen.clear();
  }

  void TearDown() override {
    if (IsWindow(hwnd)) DestroyWindow(hwnd);
    Drain();
  }

  // The game's loop shape: take one message at a time, translate, dispatch.
  std::vector<MSG> Drain() {
    std::vector<MSG> taken;
    MSG msg;
    for (int guard = 0; guard < 10000 && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); ++guard) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
      taken.push_back(msg);
    }
    return taken;
  }

  static const MSG* Find(const std::vector<MSG>& msgs, UINT message) {
    for (const MSG& m : msgs)
      if (m.message == message) return &m;
    return nullptr;
  }

  void Push(SDL_Event e) { ASSERT_EQ(SDL_PeepEvents(&e, 1, SDL_ADDEVENT, 0, 0), 1) << SDL_GetError(); }

  void PushKey(Uint32 type, SDL_Scancode sc, SDL_Keycode sym) {
    SDL_Event e{};
    e.type = type;
    e.key.windowID = SDL_GetWindowID(SdlWindowFromHwnd(hwnd));
    e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym.scancode = sc;
    e.key.keysym.sym = sym;
    Push(e);
  }

  void PushWindowEvent(Uint8 event) {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = SDL_GetWindowID(SdlWindowFromHwnd(hwnd));
    e.window.event = event;
    Push(e);
  }

  HWND hwnd = nullptr;
};

TEST_F(WindowTest, TheWindowIsAnOpenGlWindowOfTheRequestedSizeAndShownActive) {
  SDL_Window* sdl = SdlWindowFromHwnd(hwnd);
  ASSERT_NE(sdl, nullptr);
  EXPECT_EQ(HwndFromSdlWindow(sdl), hwnd);
  EXPECT_TRUE(SDL_GetWindowFlags(sdl) & SDL_WINDOW_OPENGL);
  EXPECT_STREQ(SDL_GetWindowTitle(sdl), "VRX");
  RECT rc;
  ASSERT_TRUE(GetClientRect(hwnd, &rc));
  EXPECT_EQ(rc.left, 0);
  EXPECT_EQ(rc.right, 808);
  EXPECT_EQ(rc.bottom, 606);
  EXPECT_FALSE(SdlWindowIsHidden(hwnd));
  EXPECT_FALSE(IsIconic(hwnd));
  EXPECT_EQ(g_active, 1);
  ASSERT_TRUE(GetClientRect(GetDesktopWindow(), &rc));
  EXPECT_GT(rc.right, 0);
  EXPECT_EQ(SdlWindowFromHwnd(GetDesktopWindow()), nullptr);

  // A hidden window gets the first activation when it is shown.
  HWND second = CreateWindowExA(0, "mainwnd", "second", 0, 0, 0, 64, 48, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_TRUE(SdlWindowIsHidden(second));
  EXPECT_FALSE(ShowWindow(second, SW_SHOW));
  EXPECT_TRUE(ShowWindow(second, SW_SHOW));
  EXPECT_TRUE(DestroyWindow(second));
  EXPECT_EQ(g_active, 1);  // the first window is still shown
}

TEST_F(WindowTest, ShowingSendsActivationAndUpdateSendsPaint) {
  ShowWindow(hwnd, SW_HIDE);
  EXPECT_EQ(g_active, 0);
  EXPECT_TRUE(SdlWindowIsHidden(hwnd));
  g_seen.clear();
  ShowWindow(hwnd, SW_SHOWDEFAULT);
  ASSERT_EQ(Count(WM_ACTIVATEAPP), 1);
  EXPECT_EQ(g_seen[0].wParam, 1u);
  UpdateWindow(hwnd);
  EXPECT_EQ(Count(WM_PAINT), 1);
  UpdateWindow(hwnd);  // validated: no second paint
  EXPECT_EQ(Count(WM_PAINT), 1);
}

TEST_F(WindowTest, EscapeArrivesAsKeyDownAndItsQuitMessageComesOut) {
  PushKey(SDL_KEYDOWN, SDL_SCANCODE_ESCAPE, SDLK_ESCAPE);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  while (msg.message != WM_KEYDOWN) {  // expose and other display traffic first
    DispatchMessageA(&msg);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  }
  EXPECT_EQ(msg.hwnd, hwnd);
  EXPECT_EQ(msg.wParam, static_cast<WPARAM>(VK_ESCAPE));
  EXPECT_EQ((msg.lParam >> 16) & 0xFF, 0x01);  // scan code
  EXPECT_EQ(msg.lParam & 0xFFFF, 1);           // repeat count
  EXPECT_EQ((msg.lParam >> 30) & 3, 0);        // fresh press
  EXPECT_TRUE(TranslateMessage(&msg));
  DispatchMessageA(&msg);
  ASSERT_EQ(Count(WM_KEYDOWN), 1);
  EXPECT_EQ(g_seen.back().wParam, static_cast<WPARAM>(VK_ESCAPE));

  const std::vector<MSG> rest = Drain();
  const MSG* quit = Find(rest, WM_QUIT);
  ASSERT_NE(quit, nullptr);
  EXPECT_EQ(quit->hwnd, nullptr);
  EXPECT_EQ(quit->wParam, 0u);
  EXPECT_EQ(Find(Drain(), WM_QUIT), nullptr);  // taken once
}

TEST_F(WindowTest, KeyUpNavigationAndKeypadKeys) {
  PushKey(SDL_KEYDOWN, SDL_SCANCODE_UP, SDLK_UP);
  PushKey(SDL_KEYUP, SDL_SCANCODE_UP, SDLK_UP);
  PushKey(SDL_KEYDOWN, SDL_SCANCODE_F13, SDLK_F13);  // no such key on a PC board: dropped
  Drain();
  std::vector<Seen> keys;
  for (const Seen& s : g_seen)
    if (s.message == WM_KEYDOWN || s.message == WM_KEYUP) keys.push_back(s);
  ASSERT_EQ(keys.size(), 2u);
  EXPECT_EQ(keys[0].message, static_cast<UINT>(WM_KEYDOWN));
  EXPECT_EQ(keys[0].wParam, static_cast<WPARAM>(VK_UP));
  EXPECT_EQ(static_cast<DWORD>(keys[0].lParam), 0x01480001u);  // scan 0x48, extended
  EXPECT_EQ(keys[1].message, static_cast<UINT>(WM_KEYUP));
  EXPECT_EQ(static_cast<DWORD>(keys[1].lParam), 0xC1480001u);  // previous down, released
  char name[32];
  ASSERT_GT(GetKeyNameTextA(static_cast<LONG>(keys[0].lParam), name, sizeof(name)), 0);
  EXPECT_STREQ(name, "Up");
}

TEST_F(WindowTest, QuitComesAfterWaitingMessagesAndStaysWithoutRemove) {
  ASSERT_TRUE(PostMessageA(hwnd, WM_USER, 7, 8));
  PostQuitMessage(3);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER));
  EXPECT_EQ(msg.wParam, 7u);
  EXPECT_EQ(msg.lParam, 8);
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(msg.wParam, 3u);
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

TEST_F(WindowTest, PaintWaitsForOtherMessagesAndStaysUntilValidated) {
  Drain();
  ASSERT_TRUE(PostMessageA(hwnd, WM_USER + 1, 0, 0));
  ASSERT_TRUE(InvalidateRect(hwnd, nullptr, FALSE));
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 1));
  for (int i = 0; i < 2; ++i) {  // PM_REMOVE does not take a paint request away
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_PAINT));
    EXPECT_EQ(msg.hwnd, hwnd);
  }
  DispatchMessageA(&msg);  // the procedure validates
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE));
}

TEST_F(WindowTest, FocusChangesSendActivationOncePerChange) {
  PushWindowEvent(SDL_WINDOWEVENT_FOCUS_LOST);
  Drain();
  EXPECT_EQ(g_active, 0);
  PushWindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
  PushWindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
  const std::vector<MSG> taken = Drain();
  EXPECT_EQ(g_active, 1);
  ASSERT_EQ(Count(WM_ACTIVATEAPP), 2);
  EXPECT_EQ(Find(taken, WM_ACTIVATEAPP), nullptr);  // sent to the procedure, not queued
}

TEST_F(WindowTest, ClosingTheWindowDestroysItThroughTheDefaultProcedure) {
  PushWindowEvent(SDL_WINDOWEVENT_CLOSE);
  SDL_Event quit{};
  quit.type = SDL_QUIT;
  Push(quit);  // SDL also reports the last window's close as a quit: one close only
  std::vector<MSG> closes;
  MSG m;
  for (int guard = 0; guard < 1000 && PeekMessageA(&m, hwnd, WM_CLOSE, WM_CLOSE, PM_REMOVE); ++guard)
    closes.push_back(m);
  ASSERT_EQ(closes.size(), 1u);
  EXPECT_TRUE(IsWindow(hwnd));
  DispatchMessageA(&closes[0]);
  const std::vector<MSG> taken = Drain();
  EXPECT_EQ(Count(WM_CLOSE), 1);
  EXPECT_EQ(Count(WM_DESTROY), 1);
  EXPECT_EQ(g_active, 0);  // deactivated before the destroy
  EXPECT_NE(Find(taken, WM_QUIT), nullptr);
  EXPECT_FALSE(IsWindow(hwnd));
  EXPECT_EQ(SdlWindowFromHwnd(hwnd), nullptr);
  EXPECT_TRUE(SdlWindowIsHidden(hwnd));

  // The dead handle is harmless.
  RECT rc;
  EXPECT_FALSE(GetClientRect(hwnd, &rc));
  EXPECT_FALSE(PostMessageA(hwnd, WM_USER, 0, 0));
  EXPECT_FALSE(DestroyWindow(hwnd));
  MSG msg{};
  msg.hwnd = hwnd;
  msg.message = WM_KEYDOWN;
  const size_t before = g_seen.size();
  EXPECT_EQ(DispatchMessageA(&msg), 0);
  EXPECT_EQ(g_seen.size(), before);
}

TEST_F(WindowTest, AClassWithLiveWindowsStaysRegistered) {
  EXPECT_FALSE(UnregisterClassA("MainWnd", nullptr));
  WNDCLASSA wc{};
  wc.lpfnWndProc = GameProc;
  wc.lpszClassName = "MAINWND";
  EXPECT_EQ(RegisterClassA(&wc), 0);  // the name is taken, whatever its case
  wc.lpszClassName = "Other";
  EXPECT_NE(RegisterClassA(&wc), 0);
  EXPECT_TRUE(UnregisterClassA("other", nullptr));
  EXPECT_EQ(CreateWindowExA(0, "Other", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr), nullptr);
}

TEST_F(WindowTest, MouseButtonsAndCursorCoordinates) {
  SDL_Event e{};
  e.type = SDL_MOUSEBUTTONDOWN;
  e.button.windowID = SDL_GetWindowID(SdlWindowFromHwnd(hwnd));
  e.button.button = SDL_BUTTON_LEFT;
  e.button.state = SDL_PRESSED;
  e.button.x = 40;
  e.button.y = 30;
  Push(e);
  const std::vector<MSG> taken = Drain();
  const MSG* down = Find(taken, WM_LBUTTONDOWN);
  ASSERT_NE(down, nullptr);
  EXPECT_EQ(LOWORD(down->lParam), 40);
  EXPECT_EQ(HIWORD(down->lParam), 30);

  POINT p{5, 7};
  ASSERT_TRUE(ClientToScreen(hwnd, &p));
  ASSERT_TRUE(ScreenToClient(hwnd, &p));
  EXPECT_EQ(p.x, 5);
  EXPECT_EQ(p.y, 7);

  vrxtesting::SetFakeInput(true);
  POINT inside{200, 150};
  ClientToScreen(hwnd, &inside);
  vrxtesting::SetFakeCursorPos(inside.x, inside.y);
  POINT cursor;
  ASSERT_TRUE(GetCursorPos(&cursor));
  ASSERT_TRUE(ScreenToClient(hwnd, &cursor));
  EXPECT_EQ(cursor.x, 200);
  EXPECT_EQ(cursor.y, 150);
  vrxtesting::SetFakeInput(false);
}

TEST_F(WindowTest, MouseButtonPressesAreCountedAsTheyArrive) {
  const DWORD left = vrx::MouseButtonPresses(VK_LBUTTON);
  const DWORD right = vrx::MouseButtonPresses(VK_RBUTTON);
  SDL_Event e{};
  e.button.windowID = SDL_GetWindowID(SdlWindowFromHwnd(hwnd));
  for (Uint8 button : {SDL_BUTTON_LEFT, SDL_BUTTON_LEFT, SDL_BUTTON_RIGHT}) {
    e.button.button = button;
    e.type = SDL_MOUSEBUTTONDOWN;
    e.button.state = SDL_PRESSED;
    Push(e);
    e.type = SDL_MOUSEBUTTONUP;
    e.button.state = SDL_RELEASED;
    Push(e);
  }
  // Counted without anyone taking the messages.
  EXPECT_EQ(vrx::MouseButtonPresses(VK_LBUTTON), left + 2);
  EXPECT_EQ(vrx::MouseButtonPresses(VK_RBUTTON), right + 1);
  EXPECT_EQ(vrx::MouseButtonPresses('A'), 0u);
  Drain();
  EXPECT_EQ(vrx::MouseButtonPresses(VK_LBUTTON), left + 2);
}

TEST_F(WindowTest, TheRealPointerIsReadInScreenCoordinates) {
  POINT target{300, 200};
  ASSERT_TRUE(ClientToScreen(hwnd, &target));
  ASSERT_TRUE(SetCursorPos(target.x, target.y));
  POINT p;
  ASSERT_TRUE(GetCursorPos(&p));
  EXPECT_EQ(p.x, target.x);
  EXPECT_EQ(p.y, target.y);
  ASSERT_TRUE(ScreenToClient(hwnd, &p));
  EXPECT_EQ(p.x, 300);
  EXPECT_EQ(p.y, 200);
}

TEST_F(WindowTest, CursorCounterHidesAndShowsThePointer) {
  EXPECT_EQ(ShowCursor(FALSE), -1);
  EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
  EXPECT_EQ(ShowCursor(FALSE), -2);
  EXPECT_EQ(ShowCursor(TRUE), -1);
  EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
  EXPECT_EQ(ShowCursor(TRUE), 0);
  EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_ENABLE);
}

TEST_F(WindowTest, KeysHeldWithAltAreSystemKeys) {
  PushKey(SDL_KEYDOWN, SDL_SCANCODE_RETURN, SDLK_RETURN);
  SDL_Event alt{};
  alt.type = SDL_KEYDOWN;
  alt.key.windowID = SDL_GetWindowID(SdlWindowFromHwnd(hwnd));
  alt.key.state = SDL_PRESSED;
  alt.key.keysym.scancode = SDL_SCANCODE_RETURN;
  alt.key.keysym.sym = SDLK_RETURN;
  alt.key.keysym.mod = KMOD_LALT;
  Push(alt);
  alt.key.repeat = 1;
  Push(alt);
  Drain();
  std::vector<Seen> keys;
  for (const Seen& s : g_seen)
    if (s.message == WM_KEYDOWN || s.message == WM_SYSKEYDOWN) keys.push_back(s);
  ASSERT_EQ(keys.size(), 3u);
  EXPECT_EQ(keys[0].message, static_cast<UINT>(WM_KEYDOWN));  // Enter alone
  EXPECT_EQ(keys[1].message, static_cast<UINT>(WM_SYSKEYDOWN));
  EXPECT_EQ(keys[1].wParam, static_cast<WPARAM>(VK_RETURN));
  EXPECT_EQ((keys[1].lParam >> 29) & 7, 1);  // Alt down, fresh press
  EXPECT_EQ((keys[2].lParam >> 29) & 7, 3);  // Alt down, repeated
}

TEST(FitPicture, ScalesToFitKeepingTheAspectWithBarsOnTwoSides) {
  auto same = [](PictureRect a, PictureRect b) { return a.x == b.x && a.y == b.y && a.w == b.w && a.h == b.h; };
  EXPECT_TRUE(same(FitPicture(200, 150, 100, 75), {0, 0, 200, 150}));     // the same shape fills it
  EXPECT_TRUE(same(FitPicture(300, 150, 100, 75), {50, 0, 200, 150}));    // wider: bars left and right
  EXPECT_TRUE(same(FitPicture(1280, 1024, 800, 600), {0, 32, 1280, 960})); // taller: above and below
  EXPECT_TRUE(same(FitPicture(1000, 500, 800, 600), {166, 0, 667, 500}));
  EXPECT_TRUE(same(FitPicture(808, 606, 800, 600), {0, 0, 808, 606}));    // scaled up, the same shape
  EXPECT_TRUE(same(FitPicture(801, 600, 800, 600), {0, 0, 800, 600}));    // one column over: a bar of one
  EXPECT_TRUE(same(FitPicture(0, 600, 800, 600), {0, 0, 0, 0}));
  EXPECT_TRUE(same(FitPicture(800, 600, 0, 600), {0, 0, 0, 0}));
}

// A device's back buffer shown in a window of another shape: the program
// sees the back buffer's size as its client area and the cursor in its
// pixels, whatever the window's size.
TEST_F(WindowTest, APresentedPictureIsTheClientAreaAndTheCursorFollowsIt) {
  SDL_Window* sdl = SdlWindowFromHwnd(hwnd);
  SDL_SetWindowSize(sdl, 1000, 500);
  int wx = 0, wy = 0;
  SDL_GetWindowPosition(sdl, &wx, &wy);
  SetSdlWindowPictureSize(hwnd, 800, 600);
  RECT r{};
  ASSERT_TRUE(GetClientRect(hwnd, &r));
  EXPECT_EQ(r.right, 800);
  EXPECT_EQ(r.bottom, 600);

  // The picture is 667 x 500 at x 166: its middle, its corner, and a bar.
  POINT middle{wx + 500, wy + 250};
  ASSERT_TRUE(ScreenToClient(hwnd, &middle));
  EXPECT_NEAR(middle.x, 400, 1);
  EXPECT_NEAR(middle.y, 300, 1);
  POINT corner{wx + 166, wy};
  ScreenToClient(hwnd, &corner);
  EXPECT_EQ(corner.x, 0);
  EXPECT_EQ(corner.y, 0);
  POINT bar{wx + 20, wy + 100};
  ScreenToClient(hwnd, &bar);
  EXPECT_LT(bar.x, 0);
  POINT back{400, 300};
  ASSERT_TRUE(ClientToScreen(hwnd, &back));
  EXPECT_NEAR(back.x, wx + 500, 1);
  EXPECT_NEAR(back.y, wy + 250, 1);

  // Without the picture the window's own size is the client area again.
  SetSdlWindowPictureSize(hwnd, 0, 0);
  ASSERT_TRUE(GetClientRect(hwnd, &r));
  EXPECT_EQ(r.right, 1000);
  EXPECT_EQ(r.bottom, 500);
}

TEST(MessageBox, WritesCaptionAndTextOnStderr) {
  vrxtesting::SetMessageBoxesToStderr(true);
  testing::internal::CaptureStderr();
  EXPECT_EQ(MessageBoxA(nullptr, "Config loading error!", "Error!", MB_ICONHAND), IDOK);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error!: Config loading error!\n");
  vrxtesting::SetMessageBoxesToStderr(false);
}

TEST(Ticks, TheFakeClockReplacesTheRealOne) {
  vrxtesting::SetFakeTickCount(0xFFFFFFF0u);
  EXPECT_EQ(GetTickCount(), 0xFFFFFFF0u);
  vrxtesting::SetTickSource(nullptr);
  const DWORD a = GetTickCount();
  EXPECT_LT(a, 0xFFFFFFF0u);  // SDL's counter starts near zero
  EXPECT_GE(GetTickCount(), a);
}

}  // namespace
