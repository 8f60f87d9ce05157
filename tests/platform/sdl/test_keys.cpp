#include <gtest/gtest.h>

#include <map>
#include <string>

#include "platform/testing.h"
#include "platform/win32.h"
#include "sdl/keys.h"

namespace {

int Char(UINT vk, const BYTE* state) {
  WORD c = 0;
  return ToAscii(vk, MapVirtualKeyA(vk, MAPVK_VK_TO_VSC), state, &c, 0) == 1 ? c : -1;
}

std::string Name(BYTE scan, bool extended) {
  char buf[64] = "junk";
  const LONG lParam = static_cast<LONG>((static_cast<DWORD>(scan) << 16) | (extended ? 1u << 24 : 0u));
  const int n = GetKeyNameTextA(lParam, buf, sizeof(buf));
  EXPECT_EQ(n, static_cast<int>(std::string(buf).size()));
  return buf;
}

TEST(ToAscii, LettersDigitsAndSymbolsFollowShiftOnAUsLayout) {
  BYTE state[256] = {};
  EXPECT_EQ(Char('A', state), 'a');
  EXPECT_EQ(Char('Z', state), 'z');
  EXPECT_EQ(Char('5', state), '5');
  EXPECT_EQ(Char(VK_SPACE, state), ' ');
  EXPECT_EQ(Char(VK_OEM_MINUS, state), '-');
  EXPECT_EQ(Char(VK_OEM_2, state), '/');

  state[VK_SHIFT] = 0x80;
  EXPECT_EQ(Char('A', state), 'A');
  EXPECT_EQ(Char('1', state), '!');
  EXPECT_EQ(Char('0', state), ')');
  EXPECT_EQ(Char('9', state), '(');
  EXPECT_EQ(Char(VK_OEM_MINUS, state), '_');
  EXPECT_EQ(Char(VK_OEM_2, state), '?');
  EXPECT_EQ(Char(VK_SPACE, state), ' ');

  // Caps Lock flips letters only; with Shift too they are small again.
  state[VK_CAPITAL] = 1;
  EXPECT_EQ(Char('Q', state), 'q');
  EXPECT_EQ(Char('2', state), '@');
  state[VK_SHIFT] = 0;
  EXPECT_EQ(Char('Q', state), 'Q');
  EXPECT_EQ(Char('2', state), '2');
}

TEST(ToAscii, KeysWithoutCharactersAndKeyUpGiveNothing) {
  BYTE state[256] = {};
  WORD c = 0xFFFF;
  EXPECT_EQ(ToAscii(VK_UP, 0x48, state, &c, 0), 0);
  EXPECT_EQ(ToAscii(VK_F1, 0x3B, state, &c, 0), 0);
  EXPECT_EQ(ToAscii(VK_SHIFT, 0x2A, state, &c, 0), 0);
  EXPECT_EQ(ToAscii(';', 0, state, &c, 0), 0);  // not a virtual key
  EXPECT_EQ(ToAscii('A', 0x1E | 0x8000, state, &c, 0), 0);
  EXPECT_EQ(c, 0xFFFF);
  EXPECT_EQ(Char(VK_RETURN, state), '\r');
  EXPECT_EQ(Char(VK_BACK, state), '\b');
  EXPECT_EQ(Char(VK_NUMPAD7, state), '7');
  state[VK_CONTROL] = 0x80;
  EXPECT_EQ(Char('C', state), 3);
  EXPECT_EQ(Char('5', state), -1);
  EXPECT_EQ(Char('A', nullptr), 'a');
}

TEST(KeyNames, NamesAsAPcKeyboardShowsThem) {
  EXPECT_EQ(Name(0x48, true), "Up");
  EXPECT_EQ(Name(0x50, true), "Down");
  EXPECT_EQ(Name(0x4B, true), "Left");
  EXPECT_EQ(Name(0x4D, true), "Right");
  EXPECT_EQ(Name(0x39, false), "Space");
  EXPECT_EQ(Name(0x1E, false), "A");
  EXPECT_EQ(Name(0x2C, false), "Z");
  EXPECT_EQ(Name(0x01, false), "Esc");
  EXPECT_EQ(Name(0x1D, false), "Ctrl");
  EXPECT_EQ(Name(0x1D, true), "Right Ctrl");
  EXPECT_EQ(Name(0x2A, false), "Shift");
  EXPECT_EQ(Name(0x36, false), "Right Shift");
  EXPECT_EQ(Name(0x38, false), "Alt");
  EXPECT_EQ(Name(0x38, true), "Right Alt");
  EXPECT_EQ(Name(0x1C, false), "Enter");
  EXPECT_EQ(Name(0x1C, true), "Num Enter");
  EXPECT_EQ(Name(0x0E, false), "Backspace");
  EXPECT_EQ(Name(0x0F, false), "Tab");
  EXPECT_EQ(Name(0x3B, false), "F1");
  EXPECT_EQ(Name(0x44, false), "F10");
  EXPECT_EQ(Name(0x58, false), "F12");
  EXPECT_EQ(Name(0x00, false), "");
  EXPECT_EQ(Name(0x7F, true), "");
}

TEST(KeyNames, KeypadCodesAreNavigationKeysOnlyWhenExtended) {
  const struct {
    BYTE scan;
    const char* keypad;
    const char* navigation;
  } cases[] = {
      {0x47, "Num 7", "Home"},   {0x48, "Num 8", "Up"},        {0x49, "Num 9", "Page Up"},
      {0x4B, "Num 4", "Left"},   {0x4D, "Num 6", "Right"},     {0x4F, "Num 1", "End"},
      {0x50, "Num 2", "Down"},   {0x51, "Num 3", "Page Down"}, {0x52, "Num 0", "Insert"},
      {0x53, "Num Del", "Delete"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Name(c.scan, false), c.keypad) << std::hex << int(c.scan);
    EXPECT_EQ(Name(c.scan, true), c.navigation) << std::hex << int(c.scan);
  }
}

TEST(KeyNames, DirectInputCodesNameTheirExtendedKeys) {
  // A code of 0x80 and above is read as a DirectInput code (DIK_UP, DIK_RCONTROL).
  EXPECT_EQ(Name(0xC8, false), "Up");
  EXPECT_EQ(Name(0x9D, false), "Right Ctrl");
  EXPECT_EQ(Name(0xD3, false), "Delete");
}

TEST(KeyNames, EveryDirectInputCodeOfAKeyHasItsName) {
  // Pause and Num Lock share scan code 0x45: the key sends Pause plain and
  // Num Lock extended; DirectInput reports Pause as 0xC5, Num Lock as 0x45.
  EXPECT_EQ(Name(0x45, false), "Pause");
  EXPECT_EQ(Name(0x45, true), "Num Lock");
  EXPECT_EQ(Name(0xC5, false), "Pause");
  EXPECT_EQ(Name(0x64, false), "F13");
  EXPECT_EQ(Name(0xB0, false), "Volume Up");
  // Every code the DirectInput keyboard can report names some key, and no
  // two keys share a name (the extra \ key of some boards aside).
  std::map<std::string, int> seen;
  for (int sc = 0; sc < SDL_NUM_SCANCODES; ++sc) {
    const BYTE code = DirectInputCodeForScancode(static_cast<SDL_Scancode>(sc));
    if (!code || code == 0x45) continue;  // 0x45 as a plain scan code is Pause
    const std::string name = Name(code, code >= 0x80);
    EXPECT_NE(name, "") << SDL_GetScancodeName(static_cast<SDL_Scancode>(sc));
    if (seen.count(name) && seen[name] != code && name != "\\")
      ADD_FAILURE() << name << " names 0x" << std::hex << seen[name] << " and 0x" << int(code);
    seen[name] = code;
  }
}

TEST(HeldKeyCode, TheDirectInputCodeOfThePhysicalKeyBehindAVirtualKey) {
  vrxtesting::SetFakeInput(true);
  EXPECT_EQ(vrx::HeldKeyCode(VK_SHIFT), 0);  // nothing held
  const struct {
    int scancode;
    bool numLock;
    BYTE vk;
    BYTE code;
  } cases[] = {
      {SDL_SCANCODE_RSHIFT, false, VK_SHIFT, 0x36},  {SDL_SCANCODE_RSHIFT, false, VK_RSHIFT, 0x36},
      {SDL_SCANCODE_LSHIFT, false, VK_SHIFT, 0x2A},  {SDL_SCANCODE_RCTRL, false, VK_CONTROL, 0x9D},
      {SDL_SCANCODE_RALT, false, VK_MENU, 0xB8},     {SDL_SCANCODE_LALT, false, VK_MENU, 0x38},
      {SDL_SCANCODE_KP_ENTER, false, VK_RETURN, 0x9C}, {SDL_SCANCODE_RETURN, false, VK_RETURN, 0x1C},
      {SDL_SCANCODE_KP_8, false, VK_UP, 0x48},       {SDL_SCANCODE_KP_8, true, VK_NUMPAD8, 0x48},
      {SDL_SCANCODE_UP, false, VK_UP, 0xC8},         {SDL_SCANCODE_PAUSE, false, VK_PAUSE, 0xC5},
      {SDL_SCANCODE_NUMLOCKCLEAR, false, VK_NUMLOCK, 0x45},
  };
  for (const auto& c : cases) {
    vrxtesting::SetFakeToggle(VK_NUMLOCK, c.numLock);
    vrxtesting::SetFakeScancode(c.scancode, true);
    EXPECT_EQ(vrx::HeldKeyCode(c.vk), c.code) << SDL_GetScancodeName(static_cast<SDL_Scancode>(c.scancode));
    // Another virtual key is not this key's.
    EXPECT_EQ(vrx::HeldKeyCode('Q'), 0);
    vrxtesting::SetFakeScancode(c.scancode, false);
  }
  // Keypad 8 with Num Lock on is no Up key.
  vrxtesting::SetFakeToggle(VK_NUMLOCK, true);
  vrxtesting::SetFakeScancode(SDL_SCANCODE_KP_8, true);
  EXPECT_EQ(vrx::HeldKeyCode(VK_UP), 0);
  vrxtesting::SetFakeInput(false);
}

TEST(KeyNames, NoLeftRightFlagAndShortBuffers) {
  char buf[64];
  EXPECT_EQ(GetKeyNameTextA((0x36 << 16) | (1 << 25), buf, sizeof(buf)), 5);
  EXPECT_STREQ(buf, "Shift");
  EXPECT_EQ(GetKeyNameTextA((0x1D << 16) | (1 << 24) | (1 << 25), buf, sizeof(buf)), 4);
  EXPECT_STREQ(buf, "Ctrl");
  char small[4];
  EXPECT_EQ(GetKeyNameTextA(0x49 << 16 | 1 << 24, small, sizeof(small)), 3);
  EXPECT_STREQ(small, "Pag");
}

TEST(MapVirtualKey, ScanCodesOfVirtualKeysAndBack) {
  EXPECT_EQ(MapVirtualKeyA(VK_ESCAPE, MAPVK_VK_TO_VSC), 0x01u);
  EXPECT_EQ(MapVirtualKeyA('A', MAPVK_VK_TO_VSC), 0x1Eu);
  EXPECT_EQ(MapVirtualKeyA(VK_SPACE, MAPVK_VK_TO_VSC), 0x39u);
  EXPECT_EQ(MapVirtualKeyA(VK_UP, MAPVK_VK_TO_VSC), 0x48u);
  EXPECT_EQ(MapVirtualKeyA(VK_NUMPAD8, MAPVK_VK_TO_VSC), 0x48u);
  EXPECT_EQ(MapVirtualKeyA(VK_SHIFT, MAPVK_VK_TO_VSC), 0x2Au);
  EXPECT_EQ(MapVirtualKeyA(VK_RSHIFT, MAPVK_VK_TO_VSC), 0x36u);
  EXPECT_EQ(MapVirtualKeyA(VK_RCONTROL, MAPVK_VK_TO_VSC), 0x1Du);
  EXPECT_EQ(MapVirtualKeyA(0, MAPVK_VK_TO_VSC), 0u);
  EXPECT_EQ(MapVirtualKeyA(VK_LBUTTON, MAPVK_VK_TO_VSC), 0u);

  EXPECT_EQ(MapVirtualKeyA(0x36, MAPVK_VSC_TO_VK), static_cast<UINT>(VK_SHIFT));
  EXPECT_EQ(MapVirtualKeyA(0x1D, MAPVK_VSC_TO_VK), static_cast<UINT>(VK_CONTROL));
  EXPECT_EQ(MapVirtualKeyA(0x48, MAPVK_VSC_TO_VK), static_cast<UINT>(VK_UP));
  EXPECT_EQ(MapVirtualKeyA(0x52, MAPVK_VSC_TO_VK), static_cast<UINT>(VK_INSERT));
  EXPECT_EQ(MapVirtualKeyA(0x4C, MAPVK_VSC_TO_VK), static_cast<UINT>(VK_CLEAR));
  EXPECT_EQ(MapVirtualKeyA(0x7F, MAPVK_VSC_TO_VK), 0u);

  // Every key with a plain, unambiguous virtual key comes back as itself.
  const UINT keys[] = {VK_ESCAPE, VK_BACK, VK_TAB, VK_RETURN, VK_SPACE, VK_CAPITAL, VK_F1,
                       VK_F10,    VK_F11,  VK_F12, VK_HOME,   VK_END,   VK_PRIOR,   VK_NEXT,
                       VK_LEFT,   VK_RIGHT, VK_UP, VK_DOWN,   VK_INSERT, VK_DELETE, VK_OEM_1,
                       VK_OEM_2,  VK_OEM_3, VK_OEM_4, VK_OEM_5, VK_OEM_6, VK_OEM_7, VK_OEM_PLUS,
                       VK_OEM_MINUS, VK_OEM_COMMA, VK_OEM_PERIOD, VK_SUBTRACT, VK_ADD, VK_SHIFT,
                       VK_CONTROL, VK_MENU};
  for (UINT vk : keys)
    EXPECT_EQ(MapVirtualKeyA(MapVirtualKeyA(vk, MAPVK_VK_TO_VSC), MAPVK_VSC_TO_VK), vk) << std::hex << vk;
  for (UINT vk = 'A'; vk <= 'Z'; ++vk) EXPECT_EQ(MapVirtualKeyA(MapVirtualKeyA(vk, 0), 1), vk);
  for (UINT vk = '0'; vk <= '9'; ++vk) EXPECT_EQ(MapVirtualKeyA(MapVirtualKeyA(vk, 0), 1), vk);
}

TEST(KeyTables, SdlKeysMapToVirtualKeysScanCodesAndDirectInputCodes) {
  const KeyInfo* up = KeyInfoForScancode(SDL_SCANCODE_UP);
  ASSERT_NE(up, nullptr);
  EXPECT_EQ(up->vk, VK_UP);
  EXPECT_EQ(up->scan, 0x48);
  EXPECT_TRUE(up->extended);
  EXPECT_EQ(DirectInputCodeForScancode(SDL_SCANCODE_UP), 0xC8);
  EXPECT_EQ(DirectInputCodeForScancode(SDL_SCANCODE_A), 0x1E);
  EXPECT_EQ(DirectInputCodeForScancode(SDL_SCANCODE_SPACE), 0x39);
  EXPECT_EQ(DirectInputCodeForScancode(SDL_SCANCODE_RCTRL), 0x9D);
  EXPECT_EQ(DirectInputCodeForScancode(SDL_SCANCODE_PAUSE), 0xC5);
  EXPECT_EQ(DirectInputCodeForScancode(SDL_SCANCODE_NUMLOCKCLEAR), 0x45);
  EXPECT_EQ(DirectInputCodeForScancode(SDL_SCANCODE_F13), 0x64);
  EXPECT_EQ(DirectInputCodeForScancode(SDL_SCANCODE_VOLUMEUP), 0xB0);
  EXPECT_EQ(DirectInputCodeForScancode(SDL_SCANCODE_F20), 0);
  EXPECT_EQ(KeyInfoForScancode(static_cast<SDL_Scancode>(-1)), nullptr);

  const KeyInfo* kp8 = KeyInfoForScancode(SDL_SCANCODE_KP_8);
  ASSERT_NE(kp8, nullptr);
  EXPECT_EQ(VirtualKeyForEvent(*kp8, SDLK_KP_8, true), VK_NUMPAD8);
  EXPECT_EQ(VirtualKeyForEvent(*kp8, SDLK_KP_8, false), VK_UP);
  // Letters follow the layout: the key at Q's place on an AZERTY board is A.
  EXPECT_EQ(VirtualKeyForEvent(*KeyInfoForScancode(SDL_SCANCODE_Q), SDLK_a, false), 'A');
  EXPECT_EQ(VirtualKeyForEvent(*KeyInfoForScancode(SDL_SCANCODE_Q), SDLK_q, false), 'Q');

  // Each table key has a name, and the name of its scan code matches its place.
  for (int sc = 0; sc < SDL_NUM_SCANCODES; ++sc) {
    const KeyInfo* k = KeyInfoForScancode(static_cast<SDL_Scancode>(sc));
    if (!k) continue;
    EXPECT_NE(Name(k->scan, k->extended), "") << SDL_GetScancodeName(k->sdl);
  }
}

TEST(KeyboardState, FakeStateFeedsTheQueries) {
  vrxtesting::SetFakeInput(true);
  vrxtesting::SetFakeKey('A', true);
  vrxtesting::SetFakeKey(VK_LBUTTON, true);
  vrxtesting::SetFakeToggle(VK_CAPITAL, true);
  BYTE state[256];
  ASSERT_TRUE(GetKeyboardState(state));
  EXPECT_EQ(state['A'], 0x80);
  EXPECT_EQ(state[VK_LBUTTON], 0x80);
  EXPECT_EQ(state['B'], 0);
  EXPECT_EQ(state[VK_CAPITAL], 1);
  EXPECT_EQ(GetAsyncKeyState('A') & 0x8000, 0x8000);
  EXPECT_EQ(GetAsyncKeyState('B'), 0);
  EXPECT_EQ(static_cast<WORD>(GetKeyState(VK_CAPITAL)), 1);
  vrxtesting::SetFakeKey('A', false);
  EXPECT_EQ(GetAsyncKeyState('A'), 0);
  vrxtesting::SetFakeCursorPos(120, 45);
  POINT p;
  ASSERT_TRUE(GetCursorPos(&p));
  EXPECT_EQ(p.x, 120);
  EXPECT_EQ(p.y, 45);
  vrxtesting::SetFakeInput(false);
  EXPECT_FALSE(GetKeyboardState(nullptr));
}

}  // namespace
