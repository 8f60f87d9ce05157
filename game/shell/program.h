// The program-wide state of the game: the objects that live for the whole
// run (screen, input, the two music players, the race timer, constructed in
// that order), the long-lived objects the start-up creates, the two settings
// records and the menu selection. The loops of the menus and the drive share
// them; nothing else in the game is global.
#pragma once

#include <cstdint>

#include "cButton.h"
#include "cCursor.h"
#include "cFont.h"
#include "cInput.h"
#include "cScreen.h"
#include "cSprite.h"
#include "cTexture.h"
#include "cTimer.h"
#include "platform/win32.h"
#include "sound/cListener.h"
#include "sound/cMP3.h"

class cReplay;
class cCarPreview;
class cTrackInfo;

// vrx.cfg, written by the settings program and only read by the game.
#pragma pack(push, 1)
struct _SCREENCFG {
  uint32_t Width;
  uint32_t Height;
  uint32_t Colour32;      // nonzero: 32-bit colour
  uint32_t Reserved;
  GUID Adapter;           // the graphics adapter the settings were made for
  uint32_t ViewDistance;  // the race's far plane is this times 80
};

// vrx.ini, the player's own settings; read at start, written at exit.
struct _PLAYERCFG {
  char Name[16];
  int32_t CarIndex;
  int32_t TrackIndex;
  int32_t Automatic;
  int32_t Damage;
  uint8_t KeyMap[7];  // DirectInput codes: throttle, brake, left, right, up, down, handbrake
  uint8_t Padding;
  int32_t Reflections;
  int32_t WBuffer;
};
#pragma pack(pop)
static_assert(sizeof(_SCREENCFG) == 36, "vrx.cfg is 36 bytes");

// Bit 1 of vrx.cfg's reserved word: races are driven with the game
// controller when one is plugged in.
constexpr uint32_t kCfgController = 2;
static_assert(sizeof(_PLAYERCFG) == 48, "vrx.ini is 48 bytes");

// The language strings the game keeps loaded (by id, 1 .. 53).
constexpr int kLangCount = 54;
constexpr int kLangSize = 64;
// Entries of the car and track lists.
constexpr int kListMax = 128;
constexpr int kListEntry = 64;
// Gear sprites by gear index: R, N, 1st ... (a sixth gear where the data has one).
constexpr int kGearSprites = 8;

// Alive for the whole process, constructed in this order.
extern cScreen gScreen;
extern cInput gInput;
extern cMP3 gMenuMusic;
extern cMP3 gRaceMusic;
extern cTimer gTimer;

extern HINSTANCE gInstance;
extern HWND gWindow;
extern HMODULE gLang;
extern MSG gMsg;          // the last message the current loop took
extern int gAppActive;    // the window is the active application
extern int gWindowClosed; // the window is gone: every loop ends
extern int gMenuPage;     // 0 main, 1 options
extern int gReplayMode;
extern int gMusicOn;
extern int gCameraMode;   // 0 chase, 1 trackside

extern _SCREENCFG gScreenCfg;
extern _PLAYERCFG gPlayer;
extern char gLangText[kLangCount][kLangSize];
extern char gTimeText[kLangSize];  // shared by the HUD's last lap and the menu's best time

extern char gCarList[kListMax][kListEntry];
extern int gCarCount;
extern char gTrackList[kListMax][kListEntry];
extern int gTrackCount;

// Created by the start-up.
extern cFont* gFont;
extern cCursor* gCursor;
extern cSprite* gLogo;
extern cSprite* gOdeLogo;
extern cSprite* gDial;
extern cSprite* gNeedle;
extern cSprite* gMenuBackground;
extern cSprite* gGears[kGearSprites];
extern cSprite* gFlag;
extern cSprite* gBarFrame;
extern cSprite* gBar;
extern cTexture* gShadowShape;
extern cTexture* gSkidTexture;
extern cTexture* gRefmap;
extern cTexture* gPlate;
extern cTexture* gShadowTarget;
extern IDirect3DSurface9* gShadowDepth;
extern cButton* gContinueButton;  // pause screen
extern cButton* gBackButton;
// The name screen's field and the menu's controls.
extern cButton* gNameButton;
extern cButton* gStartButton;
extern cButton* gReplayButton;
extern cButton* gOptionsButton;
extern cButton* gExitButton;
extern cButton* gMusicButton;
extern cButton* gPrevTrackButton;
extern cButton* gNextTrackButton;
extern cButton* gPrevCarButton;
extern cButton* gNextCarButton;
extern cButton* gAutomaticButton;
extern cButton* gDamageButton;
extern cButton* gAcceptButton;
extern cButton* gCancelButton;
extern cButton* gKeyButtons[7];
extern cButton* gReflectionsButton;
extern cButton* gWBufferButton;
extern int gPendingReflections;  // the options page's copy until accept
extern cListener* gListener;
extern cReplay* gReplay;
extern cCarPreview* gCarPreview;
extern cTrackInfo* gTrackInfo;

// A lap or best time as "%02u:%02u:%02u" (minutes, seconds, hundredths) in
// gTimeText; 0 and 0xFFFFFFFF (no time) as "--:--:--".
char* FormatLapTime(DWORD milliseconds);
