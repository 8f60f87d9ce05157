// Virtual keys, scan codes and key names over SDL's keyboard, with the US
// layout a PC keyboard has.
#include <algorithm>
#include <cstring>

#include "fake_input.h"
#include "keys.h"
#include "platform/testing.h"
#include "platform/win32.h"
#include "window.h"

namespace {

#define K(sc, vk, side, scan, ext) {SDL_SCANCODE_##sc, vk, side, scan, ext, false}
#define PAD(sc, vk, nav, scan) {SDL_SCANCODE_##sc, vk, nav, scan, false, true}

const KeyInfo kKeys[] = {
    K(A, 'A', 0, 0x1E, false), K(B, 'B', 0, 0x30, false), K(C, 'C', 0, 0x2E, false),
    K(D, 'D', 0, 0x20, false), K(E, 'E', 0, 0x12, false), K(F, 'F', 0, 0x21, false),
    K(G, 'G', 0, 0x22, false), K(H, 'H', 0, 0x23, false), K(I, 'I', 0, 0x17, false),
    K(J, 'J', 0, 0x24, false), K(K, 'K', 0, 0x25, false), K(L, 'L', 0, 0x26, false),
    K(M, 'M', 0, 0x32, false), K(N, 'N', 0, 0x31, false), K(O, 'O', 0, 0x18, false),
    K(P, 'P', 0, 0x19, false), K(Q, 'Q', 0, 0x10, false), K(R, 'R', 0, 0x13, false),
    K(S, 'S', 0, 0x1F, false), K(T, 'T', 0, 0x14, false), K(U, 'U', 0, 0x16, false),
    K(V, 'V', 0, 0x2F, false), K(W, 'W', 0, 0x11, false), K(X, 'X', 0, 0x2D, false),
    K(Y, 'Y', 0, 0x15, false), K(Z, 'Z', 0, 0x2C, false),
    K(1, '1', 0, 0x02, false), K(2, '2', 0, 0x03, false), K(3, '3', 0, 0x04, false),
    K(4, '4', 0, 0x05, false), K(5, '5', 0, 0x06, false), K(6, '6', 0, 0x07, false),
    K(7, '7', 0, 0x08, false), K(8, '8', 0, 0x09, false), K(9, '9', 0, 0x0A, false),
    K(0, '0', 0, 0x0B, false),
    K(RETURN, VK_RETURN, 0, 0x1C, false), K(ESCAPE, VK_ESCAPE, 0, 0x01, false),
    K(BACKSPACE, VK_BACK, 0, 0x0E, false), K(TAB, VK_TAB, 0, 0x0F, false),
    K(SPACE, VK_SPACE, 0, 0x39, false), K(MINUS, VK_OEM_MINUS, 0, 0x0C, false),
    K(EQUALS, VK_OEM_PLUS, 0, 0x0D, false), K(LEFTBRACKET, VK_OEM_4, 0, 0x1A, false),
    K(RIGHTBRACKET, VK_OEM_6, 0, 0x1B, false), K(BACKSLASH, VK_OEM_5, 0, 0x2B, false),
    K(NONUSHASH, VK_OEM_5, 0, 0x2B, false), K(SEMICOLON, VK_OEM_1, 0, 0x27, false),
    K(APOSTROPHE, VK_OEM_7, 0, 0x28, false), K(GRAVE, VK_OEM_3, 0, 0x29, false),
    K(COMMA, VK_OEM_COMMA, 0, 0x33, false), K(PERIOD, VK_OEM_PERIOD, 0, 0x34, false),
    K(SLASH, VK_OEM_2, 0, 0x35, false), K(CAPSLOCK, VK_CAPITAL, 0, 0x3A, false),
    K(F1, VK_F1, 0, 0x3B, false), K(F2, VK_F2, 0, 0x3C, false), K(F3, VK_F3, 0, 0x3D, false),
    K(F4, VK_F4, 0, 0x3E, false), K(F5, VK_F5, 0, 0x3F, false), K(F6, VK_F6, 0, 0x40, false),
    K(F7, VK_F7, 0, 0x41, false), K(F8, VK_F8, 0, 0x42, false), K(F9, VK_F9, 0, 0x43, false),
    K(F10, VK_F10, 0, 0x44, false), K(F11, VK_F11, 0, 0x57, false),
    K(F12, VK_F12, 0, 0x58, false),
    K(PRINTSCREEN, VK_SNAPSHOT, 0, 0x37, true), K(SCROLLLOCK, VK_SCROLL, 0, 0x46, false),
    K(PAUSE, VK_PAUSE, 0, 0x45, false), K(INSERT, VK_INSERT, 0, 0x52, true),
    K(HOME, VK_HOME, 0, 0x47, true), K(PAGEUP, VK_PRIOR, 0, 0x49, true),
    K(DELETE, VK_DELETE, 0, 0x53, true), K(END, VK_END, 0, 0x4F, true),
    K(PAGEDOWN, VK_NEXT, 0, 0x51, true), K(RIGHT, VK_RIGHT, 0, 0x4D, true),
    K(LEFT, VK_LEFT, 0, 0x4B, true), K(DOWN, VK_DOWN, 0, 0x50, true),
    K(UP, VK_UP, 0, 0x48, true), K(NUMLOCKCLEAR, VK_NUMLOCK, 0, 0x45, true),
    K(KP_DIVIDE, VK_DIVIDE, 0, 0x35, true), K(KP_MULTIPLY, VK_MULTIPLY, 0, 0x37, false),
    K(KP_MINUS, VK_SUBTRACT, 0, 0x4A, false), K(KP_PLUS, VK_ADD, 0, 0x4E, false),
    K(KP_ENTER, VK_RETURN, 0, 0x1C, true),
    PAD(KP_1, VK_NUMPAD1, VK_END, 0x4F), PAD(KP_2, VK_NUMPAD2, VK_DOWN, 0x50),
    PAD(KP_3, VK_NUMPAD3, VK_NEXT, 0x51), PAD(KP_4, VK_NUMPAD4, VK_LEFT, 0x4B),
    PAD(KP_5, VK_NUMPAD5, VK_CLEAR, 0x4C), PAD(KP_6, VK_NUMPAD6, VK_RIGHT, 0x4D),
    PAD(KP_7, VK_NUMPAD7, VK_HOME, 0x47), PAD(KP_8, VK_NUMPAD8, VK_UP, 0x48),
    PAD(KP_9, VK_NUMPAD9, VK_PRIOR, 0x49), PAD(KP_0, VK_NUMPAD0, VK_INSERT, 0x52),
    PAD(KP_PERIOD, VK_DECIMAL, VK_DELETE, 0x53),
    K(NONUSBACKSLASH, VK_OEM_102, 0, 0x56, false), K(APPLICATION, VK_APPS, 0, 0x5D, true),
    K(LCTRL, VK_CONTROL, VK_LCONTROL, 0x1D, false), K(LSHIFT, VK_SHIFT, VK_LSHIFT, 0x2A, false),
    K(LALT, VK_MENU, VK_LMENU, 0x38, false), K(LGUI, VK_LWIN, 0, 0x5B, true),
    K(RCTRL, VK_CONTROL, VK_RCONTROL, 0x1D, true), K(RSHIFT, VK_SHIFT, VK_RSHIFT, 0x36, false),
    K(RALT, VK_MENU, VK_RMENU, 0x38, true), K(RGUI, VK_RWIN, 0, 0x5C, true),
};

#undef K
#undef PAD

struct ScancodeIndex {
  const KeyInfo* bySdl[SDL_NUM_SCANCODES] = {};
  ScancodeIndex() {
    for (const KeyInfo& k : kKeys) bySdl[k.sdl] = &k;
  }
};

const ScancodeIndex& Index() {
  static const ScancodeIndex index;
  return index;
}

// Names of the non-extended set-1 codes, as a PC keyboard labels its keys.
const char* const kPlainNames[0x59] = {
    nullptr, "Esc", "1", "2", "3", "4", "5", "6", "7", "8", "9", "0", "-", "=", "Backspace", "Tab",
    "Q", "W", "E", "R", "T", "Y", "U", "I", "O", "P", "[", "]", "Enter", "Ctrl", "A", "S",
    "D", "F", "G", "H", "J", "K", "L", ";", "'", "`", "Shift", "\\", "Z", "X", "C", "V",
    "B", "N", "M", ",", ".", "/", "Right Shift", "Num *", "Alt", "Space", "Caps Lock", "F1", "F2", "F3",
    "F4", "F5", "F6", "F7", "F8", "F9", "F10", "Pause", "Scroll Lock", "Num 7", "Num 8", "Num 9", "Num -", "Num 4", "Num 5", "Num 6",
    "Num +", "Num 1", "Num 2", "Num 3", "Num 0", "Num Del", "Sys Req", nullptr, "\\", "F11", "F12",
};

// Plain codes beyond F12 that a DirectInput keyboard reports.
const struct {
  BYTE scan;
  const char* name;
} kMorePlainNames[] = {
    {0x64, "F13"}, {0x65, "F14"}, {0x66, "F15"}, {0x70, "Kana"}, {0x73, "Ro"},
    {0x79, "Convert"}, {0x7B, "No Convert"}, {0x7D, "Yen"},
};

struct ExtendedName {
  BYTE scan;
  const char* name;
};

const ExtendedName kExtendedNames[] = {
    {0x1C, "Num Enter"}, {0x1D, "Right Ctrl"}, {0x35, "Num /"},         {0x37, "Prnt Scrn"},
    {0x38, "Right Alt"}, {0x45, "Num Lock"},   {0x46, "Break"},         {0x47, "Home"},
    {0x48, "Up"},        {0x49, "Page Up"},    {0x4B, "Left"},          {0x4D, "Right"},
    {0x4F, "End"},       {0x50, "Down"},       {0x51, "Page Down"},     {0x52, "Insert"},
    {0x53, "Delete"},    {0x5B, "Left Windows"}, {0x5C, "Right Windows"}, {0x5D, "Application"},
    {0x0D, "Num ="},     {0x33, "Num ,"},      {0x10, "Previous Track"}, {0x19, "Next Track"},
    {0x20, "Mute"},      {0x21, "Calculator"}, {0x22, "Play/Pause"},    {0x24, "Media Stop"},
    {0x2E, "Volume Down"}, {0x30, "Volume Up"}, {0x32, "Web Home"},     {0x5E, "Power"},
    {0x5F, "Sleep"},     {0x65, "Web Search"}, {0x66, "Web Favorites"}, {0x67, "Web Refresh"},
    {0x68, "Web Stop"},  {0x69, "Web Forward"}, {0x6A, "Web Back"},     {0x6B, "My Computer"},
    {0x6C, "Mail"},      {0x6D, "Media Select"},
};

const char* KeyName(BYTE scan, bool extended, bool noSides) {
  if (noSides) {
    if (scan == 0x36 && !extended) return "Shift";
    if ((scan == 0x1D || scan == 0x38) && extended) extended = false;
  }
  if (!extended) {
    if (scan < sizeof(kPlainNames) / sizeof(kPlainNames[0])) return kPlainNames[scan];
    for (const auto& e : kMorePlainNames)
      if (e.scan == scan) return e.name;
    return nullptr;
  }
  for (const ExtendedName& e : kExtendedNames)
    if (e.scan == scan) return e.name;
  return nullptr;
}

// Virtual keys of the physical keys that are down.
void AddPhysicalKeys(const Uint8* down, int count, bool numLock, BYTE state[256]) {
  for (const KeyInfo& k : kKeys) {
    if (k.sdl >= count || !down[k.sdl]) continue;
    state[VirtualKeyForEvent(k, SDL_GetKeyFromScancode(k.sdl), numLock)] |= 0x80;
    if (!k.keypad && k.sideVk) state[k.sideVk] |= 0x80;
  }
}

void ReadKeyboard(BYTE state[256]) {
  const FakeInput& fake = TheFakeInput();
  if (fake.on) {
    std::memcpy(state, fake.keys, 256);
    AddPhysicalKeys(fake.scancodes, SDL_NUM_SCANCODES, (fake.keys[VK_NUMLOCK] & 1) != 0, state);
    return;
  }
  // Pumping keeps the state current in loops that take no window messages.
  PumpSdlEvents();
  std::memset(state, 0, 256);
  int count = 0;
  const Uint8* down = SDL_GetKeyboardState(&count);
  const SDL_Keymod mods = SDL_GetModState();
  const bool numLock = (mods & KMOD_NUM) != 0;
  AddPhysicalKeys(down, count, numLock, state);
  const Uint32 buttons = SDL_GetMouseState(nullptr, nullptr);
  if (buttons & SDL_BUTTON_LMASK) state[VK_LBUTTON] |= 0x80;
  if (buttons & SDL_BUTTON_RMASK) state[VK_RBUTTON] |= 0x80;
  if (buttons & SDL_BUTTON_MMASK) state[VK_MBUTTON] |= 0x80;
  if (mods & KMOD_CAPS) state[VK_CAPITAL] |= 1;
  if (numLock) state[VK_NUMLOCK] |= 1;
}

bool Down(const BYTE* state, int vk) { return (state[vk] & 0x80) != 0; }

// The physical keys held now (SDL's state or the fake one) and Num Lock.
const Uint8* PhysicalKeys(int* count, bool* numLock) {
  const FakeInput& fake = TheFakeInput();
  if (fake.on) {
    *count = SDL_NUM_SCANCODES;
    *numLock = (fake.keys[VK_NUMLOCK] & 1) != 0;
    return fake.scancodes;
  }
  PumpSdlEvents();
  *numLock = (SDL_GetModState() & KMOD_NUM) != 0;
  return SDL_GetKeyboardState(count);
}

// Unshifted and shifted characters of the US punctuation keys.
struct Punct {
  BYTE vk;
  char plain, shifted;
};
const Punct kPunct[] = {
    {VK_OEM_1, ';', ':'},     {VK_OEM_PLUS, '=', '+'},  {VK_OEM_COMMA, ',', '<'},
    {VK_OEM_MINUS, '-', '_'}, {VK_OEM_PERIOD, '.', '>'}, {VK_OEM_2, '/', '?'},
    {VK_OEM_3, '`', '~'},     {VK_OEM_4, '[', '{'},     {VK_OEM_5, '\\', '|'},
    {VK_OEM_6, ']', '}'},     {VK_OEM_7, '\'', '"'},    {VK_OEM_102, '\\', '|'},
};

int CharOf(UINT vk, const BYTE* state) {
  const bool shift = state && (Down(state, VK_SHIFT) || Down(state, VK_LSHIFT) || Down(state, VK_RSHIFT));
  const bool ctrl = state && (Down(state, VK_CONTROL) || Down(state, VK_LCONTROL) || Down(state, VK_RCONTROL));
  const bool caps = state && (state[VK_CAPITAL] & 1);
  if (vk >= 'A' && vk <= 'Z') {
    if (ctrl) return static_cast<int>(vk - 'A' + 1);
    return (shift != caps) ? static_cast<int>(vk) : static_cast<int>(vk - 'A' + 'a');
  }
  if (ctrl) return 0;
  if (vk >= '0' && vk <= '9') return shift ? ")!@#$%^&*("[vk - '0'] : static_cast<int>(vk);
  if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9) return static_cast<int>('0' + vk - VK_NUMPAD0);
  for (const Punct& p : kPunct)
    if (p.vk == vk) return shift ? p.shifted : p.plain;
  switch (vk) {
    case VK_SPACE: return ' ';
    case VK_RETURN: return '\r';
    case VK_BACK: return '\b';
    case VK_TAB: return '\t';
    case VK_ESCAPE: return 0x1B;
    case VK_MULTIPLY: return '*';
    case VK_ADD: return '+';
    case VK_SUBTRACT: return '-';
    case VK_DECIMAL: return '.';
    case VK_DIVIDE: return '/';
    default: return 0;
  }
}

}  // namespace

const KeyInfo* KeyInfoForScancode(SDL_Scancode sc) {
  if (sc < 0 || sc >= SDL_NUM_SCANCODES) return nullptr;
  return Index().bySdl[sc];
}

BYTE VirtualKeyForEvent(const KeyInfo& key, SDL_Keycode sym, bool numLock) {
  if (key.keypad) return numLock ? key.vk : key.sideVk;
  // Letters follow the layout, as Windows maps them; everything else is positional.
  if (key.vk >= 'A' && key.vk <= 'Z' && sym >= 'a' && sym <= 'z') return static_cast<BYTE>(sym - 'a' + 'A');
  return key.vk;
}

BYTE DirectInputCodeForScancode(SDL_Scancode sc) {
  switch (sc) {
    case SDL_SCANCODE_PAUSE: return 0xC5;
    case SDL_SCANCODE_NUMLOCKCLEAR: return 0x45;
    // Keys DirectInput knows that have no place in the virtual-key table:
    // F13-F15, the extra keypad keys, Japanese and Brazilian keys, media and
    // browser keys.
    case SDL_SCANCODE_F13: return 0x64;
    case SDL_SCANCODE_F14: return 0x65;
    case SDL_SCANCODE_F15: return 0x66;
    case SDL_SCANCODE_KP_EQUALS: return 0x8D;
    case SDL_SCANCODE_KP_COMMA: return 0xB3;
    case SDL_SCANCODE_INTERNATIONAL1: return 0x73;
    case SDL_SCANCODE_INTERNATIONAL2: return 0x70;
    case SDL_SCANCODE_INTERNATIONAL3: return 0x7D;
    case SDL_SCANCODE_INTERNATIONAL4: return 0x79;
    case SDL_SCANCODE_INTERNATIONAL5: return 0x7B;
    case SDL_SCANCODE_AUDIOPREV: return 0x90;
    case SDL_SCANCODE_AUDIONEXT: return 0x99;
    case SDL_SCANCODE_AUDIOMUTE: return 0xA0;
    case SDL_SCANCODE_CALCULATOR: return 0xA1;
    case SDL_SCANCODE_AUDIOPLAY: return 0xA2;
    case SDL_SCANCODE_AUDIOSTOP: return 0xA4;
    case SDL_SCANCODE_VOLUMEDOWN: return 0xAE;
    case SDL_SCANCODE_VOLUMEUP: return 0xB0;
    case SDL_SCANCODE_AC_HOME: return 0xB2;
    case SDL_SCANCODE_POWER: return 0xDE;
    case SDL_SCANCODE_SLEEP: return 0xDF;
    case SDL_SCANCODE_AC_SEARCH: return 0xE5;
    case SDL_SCANCODE_AC_BOOKMARKS: return 0xE6;
    case SDL_SCANCODE_AC_REFRESH: return 0xE7;
    case SDL_SCANCODE_AC_STOP: return 0xE8;
    case SDL_SCANCODE_AC_FORWARD: return 0xE9;
    case SDL_SCANCODE_AC_BACK: return 0xEA;
    case SDL_SCANCODE_COMPUTER: return 0xEB;
    case SDL_SCANCODE_MAIL: return 0xEC;
    case SDL_SCANCODE_MEDIASELECT: return 0xED;
    default: break;
  }
  const KeyInfo* key = KeyInfoForScancode(sc);
  if (!key) return 0;
  return static_cast<BYTE>(key->scan | (key->extended ? 0x80 : 0));
}

BYTE vrx::HeldKeyCode(UINT vk) {
  if (vk == 0 || vk > 255) return 0;
  int count = 0;
  bool numLock = false;
  const Uint8* down = PhysicalKeys(&count, &numLock);
  for (const KeyInfo& k : kKeys) {
    if (k.sdl >= count || !down[k.sdl]) continue;
    if (VirtualKeyForEvent(k, SDL_GetKeyFromScancode(k.sdl), numLock) == vk || (!k.keypad && k.sideVk == vk))
      return DirectInputCodeForScancode(k.sdl);
  }
  return 0;
}

BOOL GetKeyboardState(PBYTE keyState) {
  if (!keyState) return FALSE;
  ReadKeyboard(keyState);
  return TRUE;
}

SHORT GetAsyncKeyState(int vk) {
  if (vk < 0 || vk > 255) return 0;
  BYTE state[256];
  ReadKeyboard(state);
  return static_cast<SHORT>(Down(state, vk) ? 0x8000 : 0);
}

SHORT GetKeyState(int vk) {
  if (vk < 0 || vk > 255) return 0;
  BYTE state[256];
  ReadKeyboard(state);
  return static_cast<SHORT>((Down(state, vk) ? 0x8000 : 0) | (state[vk] & 1));
}

int ToAscii(UINT vk, UINT scanCode, const BYTE* keyState, LPWORD outChar, UINT flags) {
  if (!outChar || (scanCode & 0x8000)) return 0;
  const int c = CharOf(vk, keyState);
  if (c == 0) return 0;
  *outChar = static_cast<WORD>(c);
  return 1;
}

UINT MapVirtualKeyA(UINT code, UINT mapType) {
  if (mapType == MAPVK_VK_TO_VSC) {
    if (code == VK_SHIFT) return 0x2A;
    if (code == VK_CONTROL || code == VK_LCONTROL || code == VK_RCONTROL) return 0x1D;
    if (code == VK_MENU || code == VK_LMENU || code == VK_RMENU) return 0x38;
    if (code == 0) return 0;
    for (const KeyInfo& k : kKeys)
      if (k.vk == code || k.sideVk == code) return k.scan;
    return 0;
  }
  if (mapType == MAPVK_VSC_TO_VK) {
    // The first entry carrying a code is its plain key: keypad codes name the
    // navigation key they give without Num Lock, as a Windows layout does.
    switch (code) {
      case 0x2A: case 0x36: return VK_SHIFT;
      case 0x1D: return VK_CONTROL;
      case 0x38: return VK_MENU;
      case 0x45: return VK_NUMLOCK;
      case 0x37: return VK_MULTIPLY;
      default: break;
    }
    for (const KeyInfo& k : kKeys)
      if (k.scan == code) {
        if (k.keypad) return k.sideVk;
        if (!k.extended) return k.vk;
      }
    return 0;
  }
  return 0;
}

int GetKeyNameTextA(LONG lParam, LPSTR buffer, int size) {
  if (!buffer || size <= 0) return 0;
  const DWORD bits = static_cast<DWORD>(lParam);
  BYTE scan = static_cast<BYTE>((bits >> 16) & 0xFF);
  bool extended = (bits >> 24) & 1;
  if (scan == 0xC5) {  // DirectInput's Pause: the plain 0x45 the key sends
    scan = 0x45;
    extended = false;
  } else if (scan & 0x80) {
    scan &= 0x7F;
    extended = true;
  }
  const char* name = KeyName(scan, extended, (bits >> 25) & 1);
  if (!name) {
    buffer[0] = 0;
    return 0;
  }
  const size_t len = std::min(std::strlen(name), static_cast<size_t>(size - 1));
  std::memcpy(buffer, name, len);
  buffer[len] = 0;
  return static_cast<int>(len);
}

FakeInput& TheFakeInput() {
  static FakeInput fake;
  return fake;
}

namespace vrxtesting {

void SetFakeInput(bool on) { TheFakeInput() = FakeInput{on, {}, {0, 0}}; }

void SetFakeKey(BYTE vk, bool down) {
  BYTE& b = TheFakeInput().keys[vk];
  const int button = vk == VK_LBUTTON ? 0 : vk == VK_RBUTTON ? 1 : vk == VK_MBUTTON ? 2 : -1;
  if (button >= 0 && down && !(b & 0x80)) ++TheFakeInput().presses[button];
  b = static_cast<BYTE>(down ? (b | 0x80) : (b & ~0x80));
}

void SetFakeScancode(int scancode, bool down) {
  if (scancode > 0 && scancode < SDL_NUM_SCANCODES) TheFakeInput().scancodes[scancode] = down ? 1 : 0;
}

void SetFakeToggle(BYTE vk, bool on) {
  BYTE& b = TheFakeInput().keys[vk];
  b = static_cast<BYTE>(on ? (b | 1) : (b & ~1));
}

void SetFakeCursorPos(LONG x, LONG y) { TheFakeInput().cursor = {x, y}; }

}  // namespace vrxtesting
