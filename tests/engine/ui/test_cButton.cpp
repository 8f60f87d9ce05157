// cButton on an 800 x 600 client area with the platform's fake mouse and
// keyboard: hit test, press and click latches, the text editor, the key
// mapper and the drawn image and caption.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "cButton.h"
#include "cFont.h"
#include "cInput.h"
#include "cScreen.h"
#include "cSprite.h"
#include "platform/testing.h"
#include "platform/win32.h"
#include "screen_fixture.h"
#include "test_support.h"

namespace {

using vrxtest::Near;

const DWORD kOutColour = 0xFF000080;
const DWORD kOverColour = 0xFF008000;

class Button : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(f.Open(800, 600));
    dir = vrxtest::MakeTempDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
    vrxtesting::SetFakeInput(true);
    // The out image is 200 x 50 texels, the over image 300 x 60: at (0.1, 0.2)
    // and scale 1 they cover x 80..240 / 80..320 and y 120..160 / 120..168.
    outImage = Image("out.tga", 200, 50, kOutColour);
    overImage = Image("over.tga", 300, 60, kOverColour);
    // 16 x 16 white cells of 16 pixels: every character a white square.
    font.reset(new cFont(Image("font.tga", 256, 256, 0xFFFFFFFF).c_str(), nullptr, 0xFF000000, &f.Screen()));
    button.reset(new cButton(outImage.c_str(), overImage.c_str(), &f.Screen(), font.get()));
    button->Position = D3DXVECTOR2(0.1f, 0.2f);
  }

  void TearDown() override {
    button.reset();
    font.reset();
    vrxtesting::SetFakeInput(false);
  }

  std::string Image(const char* name, int w, int h, DWORD colour) {
    const std::string path = dir + "/" + name;
    EXPECT_TRUE(vrxtest::WriteTga(path, w, h, std::vector<DWORD>((size_t)w * h, colour)));
    return path;
  }

  // Puts the cursor at a client pixel.
  void Cursor(int x, int y) {
    POINT p{x, y};
    ClientToScreen(f.Window(), &p);
    vrxtesting::SetFakeCursorPos(p.x, p.y);
  }

  // One menu frame of a text or key field: hover test, then draw.
  void Frame() {
    button->IsCursorOver();
    button->Draw();
  }

  std::string KeyName(BYTE scan, bool extended) {
    char name[32];
    GetKeyNameTextA(static_cast<LONG>((scan << 16) | (extended ? 1u << 24 : 0u)), name, sizeof(name));
    return name;
  }

  vrxtest::ScreenFixture f;
  std::string dir, outImage, overImage;
  std::unique_ptr<cFont> font;
  std::unique_ptr<cButton> button;
};

TEST_F(Button, StartsEmptyAtScaleOneWithLimitNine) {
  cButton b(outImage.c_str(), overImage.c_str(), &f.Screen(), font.get());
  EXPECT_EQ(b.Scale.x, 1.0f);
  EXPECT_EQ(b.Scale.y, 1.0f);
  EXPECT_STREQ(b.Caption, "");
  EXPECT_EQ(b.TextLimit, 9);
  EXPECT_EQ(b.TextEditMode, 0);
  EXPECT_EQ(b.KeyMapperMode, 0);
  EXPECT_EQ(b.GetMappedKey(), 0);
  EXPECT_EQ(b.GetOutSprite()->GetTextureInfo().Width, 200u);
  EXPECT_EQ(b.GetOverSprite()->GetTextureInfo().Width, 300u);
}

TEST_F(Button, HitTestIsStrictlyInsideTheImageShownLast) {
  Cursor(81, 121);
  EXPECT_EQ(button->IsCursorOver(), 1);
  Cursor(80, 130);  // on the left edge
  EXPECT_EQ(button->IsCursorOver(), 0);
  Cursor(150, 120);  // on the top edge
  EXPECT_EQ(button->IsCursorOver(), 0);
  Cursor(239, 159);
  EXPECT_EQ(button->IsCursorOver(), 1);
  // Once over, the larger over image is the rectangle...
  Cursor(300, 165);
  EXPECT_EQ(button->IsCursorOver(), 1);
  Cursor(330, 130);
  EXPECT_EQ(button->IsCursorOver(), 0);
  // ...and once out, the smaller out image again.
  Cursor(300, 130);
  EXPECT_EQ(button->IsCursorOver(), 0);

  // At scale (0.5, 2) the out image covers x 80..160, y 120..200, the over
  // image x 80..200, y 120..216.
  button->Scale = D3DXVECTOR2(0.5f, 2.0f);
  Cursor(170, 190);
  EXPECT_EQ(button->IsCursorOver(), 0);
  Cursor(150, 190);
  EXPECT_EQ(button->IsCursorOver(), 1);
  Cursor(190, 210);
  EXPECT_EQ(button->IsCursorOver(), 1);
  Cursor(150, 220);
  EXPECT_EQ(button->IsCursorOver(), 0);
}

TEST_F(Button, OnePressAndReleaseOverTheButtonIsExactlyOneClick) {
  Cursor(150, 140);
  int clicks = 0;
  for (int i = 0; i < 3; ++i) clicks += button->IsLClicked();
  vrxtesting::SetFakeKey(VK_LBUTTON, true);
  for (int i = 0; i < 5; ++i) clicks += button->IsLClicked();
  EXPECT_EQ(clicks, 0);
  vrxtesting::SetFakeKey(VK_LBUTTON, false);
  EXPECT_EQ(button->IsLClicked(), 1);
  for (int i = 0; i < 5; ++i) clicks += button->IsLClicked();
  EXPECT_EQ(clicks, 0);

  // The right button has its own latch.
  vrxtesting::SetFakeKey(VK_RBUTTON, true);
  EXPECT_EQ(button->IsRClicked(), 0);
  EXPECT_EQ(button->IsLClicked(), 0);
  vrxtesting::SetFakeKey(VK_RBUTTON, false);
  EXPECT_EQ(button->IsLClicked(), 0);
  EXPECT_EQ(button->IsRClicked(), 1);
  EXPECT_EQ(button->IsRClicked(), 0);
}

TEST_F(Button, PressesAndReleasesOutsideAreNoClicks) {
  // Pressed outside, dragged in, released inside.
  Cursor(400, 400);
  vrxtesting::SetFakeKey(VK_LBUTTON, true);
  EXPECT_EQ(button->IsLClicked(), 0);
  Cursor(150, 140);
  EXPECT_EQ(button->IsLClicked(), 0);
  EXPECT_EQ(button->IsLClicked(), 0);
  vrxtesting::SetFakeKey(VK_LBUTTON, false);
  EXPECT_EQ(button->IsLClicked(), 0);
  EXPECT_EQ(button->IsLClicked(), 0);

  // Pressed inside, released outside, back inside.
  vrxtesting::SetFakeKey(VK_LBUTTON, true);
  EXPECT_EQ(button->IsLClicked(), 0);
  Cursor(400, 400);
  EXPECT_EQ(button->IsLClicked(), 0);
  vrxtesting::SetFakeKey(VK_LBUTTON, false);
  EXPECT_EQ(button->IsLClicked(), 0);
  Cursor(150, 140);
  EXPECT_EQ(button->IsLClicked(), 0);

  // A fresh press over it still clicks.
  vrxtesting::SetFakeKey(VK_LBUTTON, true);
  EXPECT_EQ(button->IsLClicked(), 0);
  vrxtesting::SetFakeKey(VK_LBUTTON, false);
  EXPECT_EQ(button->IsLClicked(), 1);
}

TEST_F(Button, AFreshPressClicksAfterAReleaseTheButtonDidNotSee) {
  // The last look saw the mouse down away from the button (a press on
  // another page's button); the release came while the button was not
  // asked. The next press and release over it is a click.
  Cursor(400, 400);
  vrxtesting::SetFakeKey(VK_LBUTTON, true);
  EXPECT_EQ(button->IsLClicked(), 0);
  vrxtesting::SetFakeKey(VK_LBUTTON, false);
  Cursor(150, 140);
  vrxtesting::SetFakeKey(VK_LBUTTON, true);
  EXPECT_EQ(button->IsLClicked(), 0);
  vrxtesting::SetFakeKey(VK_LBUTTON, false);
  EXPECT_EQ(button->IsLClicked(), 1);
  EXPECT_EQ(button->IsLClicked(), 0);

  // The same through IsRPressed, which shares the latch with IsRClicked.
  Cursor(400, 400);
  vrxtesting::SetFakeKey(VK_RBUTTON, true);
  EXPECT_EQ(button->IsRPressed(), 0);
  vrxtesting::SetFakeKey(VK_RBUTTON, false);
  Cursor(150, 140);
  vrxtesting::SetFakeKey(VK_RBUTTON, true);
  EXPECT_EQ(button->IsRPressed(), 1);
  vrxtesting::SetFakeKey(VK_RBUTTON, false);
  EXPECT_EQ(button->IsRClicked(), 1);

  // A press held all along and dragged onto the button is still no click,
  // however long the button was not asked.
  Cursor(400, 400);
  vrxtesting::SetFakeKey(VK_LBUTTON, true);
  EXPECT_EQ(button->IsLClicked(), 0);
  Cursor(150, 140);
  EXPECT_EQ(button->IsLClicked(), 0);
  vrxtesting::SetFakeKey(VK_LBUTTON, false);
  EXPECT_EQ(button->IsLClicked(), 0);

  // A press over it whose release went unseen is no click later on.
  vrxtesting::SetFakeKey(VK_LBUTTON, true);
  EXPECT_EQ(button->IsLClicked(), 0);
  vrxtesting::SetFakeKey(VK_LBUTTON, false);
  vrxtesting::SetFakeKey(VK_LBUTTON, true);
  Cursor(400, 400);
  EXPECT_EQ(button->IsLClicked(), 0);
  Cursor(150, 140);
  EXPECT_EQ(button->IsLClicked(), 0);  // first seen away from it
  vrxtesting::SetFakeKey(VK_LBUTTON, false);
  EXPECT_EQ(button->IsLClicked(), 0);
}

TEST_F(Button, PressedWhileTheButtonIsDownOverIt) {
  Cursor(150, 140);
  EXPECT_EQ(button->IsLPressed(), 0);
  vrxtesting::SetFakeKey(VK_LBUTTON, true);
  EXPECT_EQ(button->IsLPressed(), 1);
  EXPECT_EQ(button->IsRPressed(), 0);
  EXPECT_EQ(button->IsLPressed(), 1);
  Cursor(400, 400);
  EXPECT_EQ(button->IsLPressed(), 0);
  Cursor(150, 140);
  EXPECT_EQ(button->IsLPressed(), 1);
  // A press seen by IsLPressed is clicked by IsLClicked on release.
  vrxtesting::SetFakeKey(VK_LBUTTON, false);
  EXPECT_EQ(button->IsLClicked(), 0);  // dragged back in: no click
  vrxtesting::SetFakeKey(VK_LBUTTON, true);
  EXPECT_EQ(button->IsLPressed(), 1);
  vrxtesting::SetFakeKey(VK_LBUTTON, false);
  EXPECT_EQ(button->IsLClicked(), 1);
}

TEST_F(Button, TextEditTypesEachKeyOnceWithShiftAndSpace) {
  button->TextEditMode = 1;
  Cursor(150, 140);
  vrxtesting::SetFakeScancode(SDL_SCANCODE_A, true);
  for (int i = 0; i < 5; ++i) Frame();
  EXPECT_STREQ(button->Caption, "a");
  vrxtesting::SetFakeScancode(SDL_SCANCODE_A, false);
  Frame();
  vrxtesting::SetFakeScancode(SDL_SCANCODE_LSHIFT, true);
  vrxtesting::SetFakeScancode(SDL_SCANCODE_B, true);
  Frame();
  Frame();
  vrxtesting::SetFakeScancode(SDL_SCANCODE_B, false);
  vrxtesting::SetFakeScancode(SDL_SCANCODE_LSHIFT, false);
  vrxtesting::SetFakeScancode(SDL_SCANCODE_SPACE, true);
  Frame();
  Frame();
  vrxtesting::SetFakeScancode(SDL_SCANCODE_SPACE, false);
  vrxtesting::SetFakeScancode(SDL_SCANCODE_7, true);
  Frame();
  vrxtesting::SetFakeScancode(SDL_SCANCODE_7, false);
  EXPECT_STREQ(button->Caption, "aB 7");

  // Only one new key per frame, the lowest first.
  vrxtesting::SetFakeKey('Z', true);
  vrxtesting::SetFakeKey('C', true);
  Frame();
  EXPECT_STREQ(button->Caption, "aB 7c");
  Frame();
  EXPECT_STREQ(button->Caption, "aB 7c");  // Z was down already in the last frame
  vrxtesting::SetFakeKey('Z', false);
  vrxtesting::SetFakeKey('C', false);
  Frame();

  // Keys typed while the cursor is elsewhere are not taken.
  Cursor(400, 400);
  vrxtesting::SetFakeKey('Q', true);
  Frame();
  Frame();
  EXPECT_STREQ(button->Caption, "aB 7c");
}

TEST_F(Button, ACaptionOfLimitPlusOneTakesNoMoreKeysButBackspace) {
  button->TextEditMode = 1;
  button->TextLimit = 3;
  Cursor(150, 140);
  auto type = [&](BYTE vk) {
    vrxtesting::SetFakeKey(vk, true);
    Frame();
    vrxtesting::SetFakeKey(vk, false);
    Frame();
  };
  for (BYTE vk : {'W', 'X', 'Y', 'Z', 'Q', 'R'}) type(vk);
  EXPECT_STREQ(button->Caption, "wxyz");  // limit + 1 characters
  type(VK_SPACE);
  EXPECT_STREQ(button->Caption, "wxyz");
  type(VK_BACK);
  EXPECT_STREQ(button->Caption, "wxy");
  type('1');
  EXPECT_STREQ(button->Caption, "wxy1");
  for (int i = 0; i < 6; ++i) type(VK_BACK);
  EXPECT_STREQ(button->Caption, "");

  // However large the limit, the caption stays within its 32 bytes.
  button->TextLimit = 200;
  for (int i = 0; i < 40; ++i) type(i % 2 ? 'K' : 'L');
  EXPECT_EQ(std::string(button->Caption).size(), 31u);
}

TEST_F(Button, KeyMapperTakesTheKeyPressedAndNamesIt) {
  button->KeyMapperMode = 1;
  Cursor(150, 140);
  Frame();
  EXPECT_EQ(button->GetMappedKey(), 0);  // nothing pressed: nothing changes
  EXPECT_STREQ(button->Caption, "");

  vrxtesting::SetFakeScancode(SDL_SCANCODE_UP, true);
  Frame();
  vrxtesting::SetFakeScancode(SDL_SCANCODE_UP, false);
  EXPECT_EQ(button->GetMappedKey(), 200);
  EXPECT_EQ(button->Caption, KeyName(0x48, true));
  EXPECT_STREQ(button->Caption, "Up");

  vrxtesting::SetFakeKey('A', true);
  Frame();
  vrxtesting::SetFakeKey('A', false);
  EXPECT_EQ(button->GetMappedKey(), 0x1E);
  EXPECT_EQ(button->Caption, KeyName(0x1E, false));

  const struct {
    BYTE vk;
    BYTE code;
    const char* name;
  } navigation[] = {{VK_PRIOR, 201, "Page Up"}, {VK_NEXT, 209, "Page Down"}, {VK_END, 207, "End"},
                    {VK_HOME, 199, "Home"},     {VK_LEFT, 203, "Left"},      {VK_RIGHT, 205, "Right"},
                    {VK_DOWN, 208, "Down"},     {VK_INSERT, 210, "Insert"},  {VK_DELETE, 211, "Delete"}};
  for (const auto& n : navigation) {
    vrxtesting::SetFakeKey(n.vk, true);
    Frame();
    vrxtesting::SetFakeKey(n.vk, false);
    EXPECT_EQ(button->GetMappedKey(), n.code) << n.name;
    EXPECT_STREQ(button->Caption, n.name);
  }

  // Clicking the field binds no mouse button; the key held with it wins.
  vrxtesting::SetFakeKey(VK_LBUTTON, true);
  Frame();
  EXPECT_EQ(button->GetMappedKey(), 211);
  vrxtesting::SetFakeKey(VK_SPACE, true);
  Frame();
  EXPECT_EQ(button->GetMappedKey(), 0x39);
  EXPECT_STREQ(button->Caption, "Space");
  vrxtesting::SetFakeKey(VK_SPACE, false);
  vrxtesting::SetFakeKey(VK_LBUTTON, false);

  // Away from the field keys are not taken.
  Cursor(400, 400);
  vrxtesting::SetFakeKey('Z', true);
  Frame();
  Frame();
  EXPECT_EQ(button->GetMappedKey(), 0x39);
}

TEST_F(Button, KeyMapperStoresTheCodeTheRaceReadsForTheKeyPressed) {
  cInput input;
  ASSERT_EQ(input.Init(nullptr), 0);
  ASSERT_EQ(input.CreateKeyboard(f.Window()), 0);
  button->KeyMapperMode = 1;
  Cursor(150, 140);
  const struct {
    int scancode;
    bool numLock;
    const char* name;
  } keys[] = {
      {SDL_SCANCODE_RSHIFT, false, "Right Shift"}, {SDL_SCANCODE_RCTRL, false, "Right Ctrl"},
      {SDL_SCANCODE_RALT, false, "Right Alt"},     {SDL_SCANCODE_KP_ENTER, false, "Num Enter"},
      {SDL_SCANCODE_KP_8, false, "Num 8"},         {SDL_SCANCODE_KP_8, true, "Num 8"},
      {SDL_SCANCODE_PAUSE, false, "Pause"},        {SDL_SCANCODE_NUMLOCKCLEAR, false, "Num Lock"},
      {SDL_SCANCODE_LSHIFT, false, "Shift"},       {SDL_SCANCODE_LCTRL, false, "Ctrl"},
      {SDL_SCANCODE_LALT, false, "Alt"},           {SDL_SCANCODE_RETURN, false, "Enter"},
      {SDL_SCANCODE_UP, false, "Up"},              {SDL_SCANCODE_KP_DIVIDE, false, "Num /"},
      {SDL_SCANCODE_PRINTSCREEN, false, "Prnt Scrn"}, {SDL_SCANCODE_A, false, "A"},
  };
  for (const auto& k : keys) {
    const char* sdlName = SDL_GetScancodeName(static_cast<SDL_Scancode>(k.scancode));
    vrxtesting::SetFakeToggle(VK_NUMLOCK, k.numLock);
    vrxtesting::SetFakeScancode(k.scancode, true);
    Frame();
    ASSERT_EQ(input.GetKeyboardState(), 0);
    vrxtesting::SetFakeScancode(k.scancode, false);
    int held = -1, count = 0;
    for (int code = 0; code < 256; ++code)
      if (input.Keys[code] & 0x80) {
        held = code;
        ++count;
      }
    ASSERT_EQ(count, 1) << sdlName;
    EXPECT_EQ(button->GetMappedKey(), held) << sdlName;
    EXPECT_STREQ(button->Caption, k.name) << sdlName;
    // A stored binding shows the same name.
    cButton copy(outImage.c_str(), overImage.c_str(), &f.Screen(), font.get());
    copy.SetMappedKey(button->GetMappedKey());
    EXPECT_STREQ(copy.Caption, k.name) << sdlName;
  }
  input.CleanUp();
}

TEST_F(Button, SetMappedKeyNamesNavigationKeysAsExtendedKeys) {
  button->SetMappedKey(200);
  EXPECT_EQ(button->GetMappedKey(), 200);
  EXPECT_EQ(button->Caption, KeyName(0x48, true));
  const struct {
    BYTE code;
    const char* name;
  } cases[] = {{0xC8, "Up"},    {0xD0, "Down"},   {0xCB, "Left"},       {0xCD, "Right"},
               {0x1E, "A"},     {0x2C, "Z"},      {0x39, "Space"},      {0x48, "Num 8"},
               {0xD3, "Delete"}, {0xC9, "Page Up"}, {0x9D, "Right Ctrl"}, {0x00, ""}};
  for (const auto& c : cases) {
    button->SetMappedKey(c.code);
    EXPECT_EQ(button->GetMappedKey(), c.code);
    EXPECT_STREQ(button->Caption, c.name) << int(c.code);
  }
}

TEST_F(Button, DrawsTheImageForTheCursorAndCentresTheCaption) {
  button->SetMappedKey(0x1E);
  ASSERT_STREQ(button->Caption, "A");
  strcpy(button->Caption, "AB");
  Cursor(400, 400);
  f.Screen().ClearScreen(0xFF000000);
  button->Draw();
  EXPECT_TRUE(Near(f.Pixel(100, 150), kOutColour, 2)) << vrxtest::Hex(f.Pixel(100, 150));
  EXPECT_EQ(f.Pixel(260, 150), 0xFF000000u);
  // Row height 16 and the over image's 300 x 60 texels: text scale
  // 16 x 60 x 800 x 8e-7 = 0.614 by 16 x 60 x 600 x 1.0667e-6 = 0.614; two
  // 16-texel cells make 19.7 pixels centred on x = 800 x (0.15 + 0.1) = 200,
  // 14 rows make 8.6 pixels from y = 120 + 1.2.
  EXPECT_EQ(f.Pixel(200, 125), 0xFFFFFFFFu) << vrxtest::Hex(f.Pixel(200, 125));
  EXPECT_EQ(f.Pixel(192, 125), 0xFFFFFFFFu);
  EXPECT_EQ(f.Pixel(208, 125), 0xFFFFFFFFu);
  EXPECT_EQ(f.Pixel(200, 128), 0xFFFFFFFFu);
  EXPECT_TRUE(Near(f.Pixel(187, 125), kOutColour, 2)) << vrxtest::Hex(f.Pixel(187, 125));
  EXPECT_TRUE(Near(f.Pixel(213, 125), kOutColour, 2)) << vrxtest::Hex(f.Pixel(213, 125));
  EXPECT_TRUE(Near(f.Pixel(200, 119 + 13), kOutColour, 2)) << vrxtest::Hex(f.Pixel(200, 132));

  Cursor(150, 140);
  f.Screen().ClearScreen(0xFF000000);
  button->Draw();
  EXPECT_TRUE(Near(f.Pixel(100, 150), kOverColour, 2)) << vrxtest::Hex(f.Pixel(100, 150));
  EXPECT_TRUE(Near(f.Pixel(300, 165), kOverColour, 2)) << vrxtest::Hex(f.Pixel(300, 165));
  f.SaveScreenshot("button_over");
}

// The text size follows the vertical scale only; the horizontal scale moves
// the centre with the image's width.
TEST_F(Button, CaptionSizeFollowsTheVerticalScaleAndItsCentreTheWidth) {
  strcpy(button->Caption, "AB");
  Cursor(400, 400);

  // Scale (0.5, 1): text as at scale 1 (19.7 by 8.6 pixels), centred on
  // x = 800 x (0.075 + 0.1) = 140.
  button->Scale = D3DXVECTOR2(0.5f, 1.0f);
  f.Screen().ClearScreen(0xFF000000);
  button->Draw();
  for (int x : {132, 140, 148}) EXPECT_EQ(f.Pixel(x, 125), 0xFFFFFFFFu) << x;
  EXPECT_EQ(f.Pixel(140, 128), 0xFFFFFFFFu);
  for (int x : {127, 153}) EXPECT_TRUE(Near(f.Pixel(x, 125), kOutColour, 2)) << x << " " << vrxtest::Hex(f.Pixel(x, 125));

  // Scale (1, 0.5): half-size text (9.8 by 4.3 pixels from y = 120.6),
  // centred on x = 200.
  button->Scale = D3DXVECTOR2(1.0f, 0.5f);
  f.Screen().ClearScreen(0xFF000000);
  button->Draw();
  for (int x : {197, 200, 203}) EXPECT_EQ(f.Pixel(x, 122), 0xFFFFFFFFu) << x;
  for (int x : {192, 208}) EXPECT_TRUE(Near(f.Pixel(x, 122), kOutColour, 2)) << x << " " << vrxtest::Hex(f.Pixel(x, 122));
  EXPECT_TRUE(Near(f.Pixel(200, 127), kOutColour, 2)) << vrxtest::Hex(f.Pixel(200, 127));
}

TEST_F(Button, MissingImagesDrawNothingAndAreNeverUnderTheCursor) {
  const std::string missing = dir + "/none.tga";
  cButton b(missing.c_str(), missing.c_str(), &f.Screen(), font.get());
  b.Position = D3DXVECTOR2(0.1f, 0.2f);
  Cursor(150, 140);
  EXPECT_EQ(b.IsCursorOver(), 0);
  vrxtesting::SetFakeKey(VK_LBUTTON, true);
  EXPECT_EQ(b.IsLClicked(), 0);
  vrxtesting::SetFakeKey(VK_LBUTTON, false);
  EXPECT_EQ(b.IsLClicked(), 0);
  f.Screen().ClearScreen(0xFF000000);
  b.Draw();
  EXPECT_EQ(f.Pixel(100, 150), 0xFF000000u);
}

}  // namespace
