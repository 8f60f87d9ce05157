#include "cButton.h"

#include <cstring>

#include "cFont.h"
#include "cScreen.h"
#include "cSprite.h"
#include "platform/win32.h"

namespace {

const DWORD kOpaqueWhite = 0xFFFFFFFF;

// The navigation keys are bound by the extended codes the input devices
// report for them, not by the keypad's scan codes they share.
const struct {
  BYTE vk;
  BYTE code;
} kNavigation[] = {
    {VK_PRIOR, 201}, {VK_NEXT, 209},  {VK_END, 207},  {VK_HOME, 199},   {VK_LEFT, 203},
    {VK_UP, 200},    {VK_RIGHT, 205}, {VK_DOWN, 208}, {VK_INSERT, 210}, {VK_DELETE, 211},
};

bool Down(const BYTE* keys, int vk) { return (keys[vk] & 0x80) != 0; }

bool ButtonDown(int vk) { return (GetAsyncKeyState(vk) & 0x8000) != 0; }

// The mouse buttons count as keys in the keyboard state; a click on a key
// field must not bind them.
bool IsMouseButton(int vk) { return vk == VK_LBUTTON || vk == VK_RBUTTON || (vk >= VK_MBUTTON && vk <= 6); }

void Append(char* caption, size_t capacity, char c) {
  const size_t n = std::strlen(caption);
  if (n + 1 >= capacity) return;
  caption[n] = c;
  caption[n + 1] = 0;
}

// The window system's name of a key given by scan code, extended or not.
void NameKey(UINT scan, bool extended, char* caption, int size) {
  const LONG lParam = static_cast<LONG>((scan << 16) | (extended ? 1u << 24 : 0u));
  if (GetKeyNameTextA(lParam, caption, size) == 0) caption[0] = 0;
}

// The name of a key by the code the input devices report for it: the scan
// code, plus 0x80 for extended keys, except that those devices swap Pause
// (0xC5) and Num Lock (0x45) against what the keys send.
void NameCode(BYTE code, char* caption, int size) {
  if (code == 0xC5) NameKey(0x45, false, caption, size);
  else if (code == 0x45) NameKey(0x45, true, caption, size);
  else NameKey(code & 0x7Fu, (code & 0x80) != 0, caption, size);
}

}  // namespace

cButton::cButton(const char* outImage, const char* overImage, cScreen* screen, cFont* font)
    : Position(0, 0),
      Scale(1, 1),
      Caption(),
      previousKeys(),
      TextLimit(9),
      TextEditMode(0),
      KeyMapperMode(0),
      cursorOver(0),
      leftLatch(0),
      rightLatch(0),
      mappedKey(0),
      outSprite(new cSprite(outImage, screen)),
      overSprite(new cSprite(overImage, screen)),
      screen(screen),
      font(font),
      leftWasDown(0),
      rightWasDown(0),
      leftPresses(vrx::MouseButtonPresses(VK_LBUTTON)),
      rightPresses(vrx::MouseButtonPresses(VK_RBUTTON)) {}

cButton::~cButton() {
  delete outSprite;
  delete overSprite;
}

int cButton::IsCursorOver() {
  HWND window = screen ? screen->GetWindowHandle() : nullptr;
  RECT client;
  POINT cursor;
  if (!window || !GetClientRect(window, &client) || client.right <= 0 || client.bottom <= 0 ||
      !GetCursorPos(&cursor) || !ScreenToClient(window, &cursor)) {
    cursorOver = 0;
    return 0;
  }
  const float x = static_cast<float>(cursor.x) / static_cast<float>(client.right);
  const float y = static_cast<float>(cursor.y) / static_cast<float>(client.bottom);
  const D3DSURFACE_DESC image = (cursorOver ? overSprite : outSprite)->GetTextureInfo();
  const float right = Position.x + static_cast<float>(image.Width) * Scale.x * 0.001f;
  const float bottom = Position.y + static_cast<float>(image.Height) * Scale.y * 0.0013333333f;
  cursorOver = x > Position.x && x < right && y > Position.y && y < bottom;
  return cursorOver;
}

void cButton::Draw() {
  if (TextEditMode && cursorOver) EditText();
  if (KeyMapperMode && cursorOver) MapKey();
  const D3DXVECTOR2 centre(0, 0);
  (IsCursorOver() ? overSprite : outSprite)->DrawRelative(&Scale, &centre, 0.0f, &Position, kOpaqueWhite);

  RECT client;
  if (!font || !screen || !GetClientRect(screen->GetWindowHandle(), &client)) return;
  const float w = static_cast<float>(client.right), h = static_cast<float>(client.bottom);
  const D3DSURFACE_DESC image = overSprite->GetTextureInfo();
  const float rowHeight = font->GetRowHeight();
  const float sx = rowHeight * Scale.y * static_cast<float>(image.Height) * w * 7.9999995e-7f;
  const float sy = rowHeight * Scale.y * static_cast<float>(image.Height) * h * 1.0666666e-6f;
  const float x = w * (0.001f * static_cast<float>(image.Width) * Scale.x * 0.5f + Position.x) -
                  static_cast<float>(font->GetPixelLength(Caption)) * sx * 0.5f;
  const float y = h * Position.y + 2.0f * sy;
  font->PutText(x, y, sx, sy, Caption);
}

// A press that began since the last look, with the button down now, owes
// nothing to what that look saw: it latches only by where it is now.
static void ForgetUnseenRelease(int vk, bool down, int& latch, int& wasDown, DWORD& presses) {
  const DWORD now = vrx::MouseButtonPresses(vk);
  if (now != presses && down) {
    latch = 0;
    wasDown = 0;
  }
  presses = now;
}

int cButton::Press(int vk, int& latch, int& wasDown, DWORD& presses) {
  const int over = IsCursorOver();
  const bool down = ButtonDown(vk);
  ForgetUnseenRelease(vk, down, latch, wasDown, presses);
  latch = over && down && (latch || !wasDown);
  wasDown = down;
  return over && down;
}

int cButton::Click(int vk, int& latch, int& wasDown, DWORD& presses) {
  int over = IsCursorOver();
  bool down = ButtonDown(vk);
  ForgetUnseenRelease(vk, down, latch, wasDown, presses);
  if (over && latch && !down) {
    over = IsCursorOver();
    down = ButtonDown(vk);
    wasDown = down;
    presses = vrx::MouseButtonPresses(vk);
    if (!(over && down)) {
      latch = 0;
      return 1;
    }
    // Pressed again already: that press holds the latch.
    latch = 1;
    return 0;
  }
  latch = over && down && (latch || !wasDown);
  wasDown = down;
  return 0;
}

int cButton::IsLPressed() { return Press(VK_LBUTTON, leftLatch, leftWasDown, leftPresses); }
int cButton::IsRPressed() { return Press(VK_RBUTTON, rightLatch, rightWasDown, rightPresses); }
int cButton::IsLClicked() { return Click(VK_LBUTTON, leftLatch, leftWasDown, leftPresses); }
int cButton::IsRClicked() { return Click(VK_RBUTTON, rightLatch, rightWasDown, rightPresses); }

void cButton::EditText() {
  BYTE keys[256];
  if (!GetKeyboardState(keys)) return;
  const size_t n = std::strlen(Caption);
  if (Down(keys, VK_BACK) && !Down(previousKeys, VK_BACK) && n > 0) {
    Caption[n - 1] = 0;
  } else {
    for (int vk = '0'; vk <= 'Z'; ++vk) {
      if (!Down(keys, vk) || Down(previousKeys, vk) || n > TextLimit) continue;
      WORD c = 0;
      if (ToAscii(vk, MapVirtualKeyA(vk, MAPVK_VK_TO_VSC), keys, &c, 0) == 1) Append(Caption, sizeof(Caption), static_cast<char>(c));
      break;
    }
    if (Down(keys, VK_SPACE) && !Down(previousKeys, VK_SPACE) && n <= TextLimit) Append(Caption, sizeof(Caption), ' ');
  }
  std::memcpy(previousKeys, keys, sizeof(previousKeys));
}

void cButton::MapKey() {
  BYTE keys[256];
  if (!GetKeyboardState(keys)) return;
  for (int vk = 0; vk < 255; ++vk) {
    if (!Down(keys, vk) || IsMouseButton(vk)) continue;
    // The code of the physical key itself, as the race will read it: the
    // virtual key is the same for both Shifts, both Enters and keypad 8
    // without Num Lock and Up, and the scan code of Pause is Num Lock's code.
    if (const BYTE code = vrx::HeldKeyCode(vk)) {
      mappedKey = code;
      NameCode(code, Caption, sizeof(Caption));
      return;
    }
    // A key state with no physical key behind it (made up by a program):
    // the scan code of the virtual key.
    const UINT scan = MapVirtualKeyA(vk, MAPVK_VK_TO_VSC);
    if (scan == 0) continue;  // nothing the input devices could report
    mappedKey = vk == VK_PAUSE ? 0xC5 : static_cast<BYTE>(scan);
    for (const auto& nav : kNavigation)
      if (nav.vk == vk) mappedKey = nav.code;
    NameCode(mappedKey, Caption, sizeof(Caption));
    return;
  }
}

void cButton::SetMappedKey(BYTE scanCode) {
  mappedKey = scanCode;
  NameCode(scanCode, Caption, sizeof(Caption));
}
