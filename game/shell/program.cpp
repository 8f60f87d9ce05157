#include "shell/program.h"

#include <cstdio>

// Constructed in this order before the entry point runs, destroyed in the
// reverse order after it returns.
cScreen gScreen;
cInput gInput;
cMP3 gMenuMusic;
cMP3 gRaceMusic;
cTimer gTimer;

HINSTANCE gInstance = nullptr;
HWND gWindow = nullptr;
HMODULE gLang = nullptr;
MSG gMsg = {};
int gAppActive = 0;
int gWindowClosed = 0;
int gMenuPage = 0;
int gReplayMode = 0;
int gMusicOn = 1;
int gCameraMode = 0;

_SCREENCFG gScreenCfg = {};
_PLAYERCFG gPlayer = {};
char gLangText[kLangCount][kLangSize] = {};
char gTimeText[kLangSize] = {};

char gCarList[kListMax][kListEntry] = {};
int gCarCount = 0;
char gTrackList[kListMax][kListEntry] = {};
int gTrackCount = 0;

cFont* gFont = nullptr;
cCursor* gCursor = nullptr;
cSprite* gLogo = nullptr;
cSprite* gOdeLogo = nullptr;
cSprite* gDial = nullptr;
cSprite* gNeedle = nullptr;
cSprite* gMenuBackground = nullptr;
cSprite* gGears[kGearSprites] = {};
cSprite* gFlag = nullptr;
cSprite* gBarFrame = nullptr;
cSprite* gBar = nullptr;
cTexture* gShadowShape = nullptr;
cTexture* gSkidTexture = nullptr;
cTexture* gRefmap = nullptr;
cTexture* gPlate = nullptr;
cTexture* gShadowTarget = nullptr;
IDirect3DSurface9* gShadowDepth = nullptr;
cButton* gContinueButton = nullptr;
cButton* gBackButton = nullptr;
cButton* gNameButton = nullptr;
cButton* gStartButton = nullptr;
cButton* gReplayButton = nullptr;
cButton* gOptionsButton = nullptr;
cButton* gExitButton = nullptr;
cButton* gMusicButton = nullptr;
cButton* gPrevTrackButton = nullptr;
cButton* gNextTrackButton = nullptr;
cButton* gPrevCarButton = nullptr;
cButton* gNextCarButton = nullptr;
cButton* gAutomaticButton = nullptr;
cButton* gDamageButton = nullptr;
cButton* gAcceptButton = nullptr;
cButton* gCancelButton = nullptr;
cButton* gKeyButtons[7] = {};
cButton* gReflectionsButton = nullptr;
cButton* gWBufferButton = nullptr;
int gPendingReflections = 1;
cListener* gListener = nullptr;
cReplay* gReplay = nullptr;
cCarPreview* gCarPreview = nullptr;
cTrackInfo* gTrackInfo = nullptr;

char* FormatLapTime(DWORD t) {
  if (t == 0 || t == 0xFFFFFFFFu)
    snprintf(gTimeText, sizeof gTimeText, "--:--:--");
  else
    snprintf(gTimeText, sizeof gTimeText, "%02u:%02u:%02u", t / 60000, (t / 1000) % 60, (t / 10) % 100);
  return gTimeText;
}
