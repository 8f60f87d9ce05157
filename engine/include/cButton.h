// cButton: the menu widget. An image that changes while the cursor is over
// it, with a centred caption, reporting presses and clicks of the mouse
// buttons. Doubles as a text field (text-edit mode: the caption is typed
// while the cursor is over it) and as a key-binding field (key-mapper mode:
// the caption names the last key pressed while the cursor is over it).
// It reads the cursor, the mouse buttons and the keyboard from the window
// system each time it is asked.
//
// Positions are fractions of the client area from its top-left corner;
// scales are relative to a 1000 x 750 client area, as for
// cSprite::DrawRelative.
#pragma once

#include "platform/d3dx9math.h"
#include "platform/types.h"

class cScreen;
class cFont;
class cSprite;

class cButton {
 public:
  // The two images are loaded as sprites owned by the button; the screen
  // and the font are borrowed.
  cButton(const char* outImage, const char* overImage, cScreen* screen, cFont* font);
  ~cButton();
  cButton(const cButton&) = delete;
  cButton& operator=(const cButton&) = delete;

  // 1 when the cursor is strictly inside the image (the over image if the
  // previous test found the cursor over, else the out image); kept for Draw.
  int IsCursorOver();
  // Edits the caption or maps a key when that mode is on and the cursor was
  // over at the last test, draws the image for a fresh test, and writes the
  // caption centred on it.
  void Draw();
  // 1 while the cursor is over and that mouse button is down.
  int IsLPressed();
  int IsRPressed();
  // 1 exactly once for a press that began over the widget and is released
  // over it.
  int IsLClicked();
  int IsRClicked();

  cSprite* GetOverSprite() { return overSprite; }
  cSprite* GetOutSprite() { return outSprite; }
  // The DirectInput key code chosen in key-mapper mode.
  BYTE GetMappedKey() { return mappedKey; }
  // Stores the code and sets the caption to the key's name.
  void SetMappedKey(BYTE scanCode);

  D3DXVECTOR2 Position;
  D3DXVECTOR2 Scale;  // (1, 1) after construction
  char Caption[32];   // empty after construction

 private:
  BYTE previousKeys[256];

 public:
  BYTE TextLimit;     // 9 after construction; the caption may reach TextLimit + 1 characters
  int TextEditMode;
  int KeyMapperMode;

 private:
  int Press(int vk, int& latch, int& wasDown, DWORD& presses);
  int Click(int vk, int& latch, int& wasDown, DWORD& presses);
  void EditText();
  void MapKey();

  int cursorOver;
  int leftLatch, rightLatch;
  BYTE mappedKey;
  cSprite* outSprite;
  cSprite* overSprite;
  cScreen* screen;
  cFont* font;
  // The mouse buttons at the previous look, so that a press begun outside
  // the widget does not latch when the cursor is dragged onto it.
  int leftWasDown, rightWasDown;
  // The presses of each mouse button counted at the previous look: when a
  // new one began since, the release of the press seen then went unseen
  // (the widget was not asked meanwhile) and the button down now is a new
  // press, not the old one held.
  DWORD leftPresses, rightPresses;
};
