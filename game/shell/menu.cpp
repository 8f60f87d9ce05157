#include "shell/menu.h"

#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "car/cCarPreview.h"
#include "car/cTrackInfo.h"
#include "shell/drive.h"
#include "shell/main_loop.h"
#include "shell/program.h"
#include "shell/saved_replay.h"
#include "shell/window_mode.h"

namespace {

const char kButtonOut[] = "DATA\\MENU\\ButtonOut.tga";
const char kButtonOver[] = "DATA\\MENU\\ButtonOver.tga";
const char kFrameOut[] = "DATA\\MENU\\FrameOut.tga";
const char kFrameOver[] = "DATA\\MENU\\FrameOver.tga";
const DWORD kWhite = 0xFFFFFFFF;

cButton* MakeButton(bool field, float x, float y, float sx, float sy, int captionId) {
  cButton* b = new cButton(field ? kFrameOut : kButtonOut, field ? kFrameOver : kButtonOver, &gScreen, gFont);
  b->Position = D3DXVECTOR2(x, y);
  b->Scale = D3DXVECTOR2(sx, sy);
  if (captionId > 0) LoadStringA(gLang, captionId, b->Caption, sizeof b->Caption);
  return b;
}

void Text(float x, float y, int id, float scale = 1.0f) {
  if (gFont) gFont->PutTextRelative(x, y, scale, scale, gLangText[id]);
}

void DrawSprite(cSprite* sprite, float x, float y, float sx, float sy, DWORD colour = kWhite) {
  if (!sprite) return;
  const D3DXVECTOR2 scale(sx, sy), centre(0, 0), position(x, y);
  sprite->DrawRelative(&scale, &centre, 0.0f, &position, colour);
}

void Delete(cButton*& b) {
  delete b;
  b = nullptr;
}

// A drive runs inside the menu pass that saw its click; the menu's scene is
// closed around it, and the menu's view is set again when it returns (the
// race leaves its own projection and camera behind).
void Drive(int replay) {
  IDirect3DDevice9* device = gScreen.GetDevicePointer();
  device->EndScene();
  RunDrive(replay);
  SetMenuView();
  gScreen.FogDisable();
  device->BeginScene();
}

void DrawPanel() {
  if (gTrackInfo) {
    DrawSprite(gTrackInfo->GetPreview(), 0.65f, 0.03f, 0.45f, 0.45f);
  }
  Text(0.3f, 0.1f, 29);
  if (gFont) gFont->PutTextRelative(0.35f, 0.15f, 1, 1, FormatLapTime(gTrackInfo ? gTrackInfo->GetBestTime() : 0));
  if (gCarPreview && gFont) {
    gFont->PutTextRelative(0.3f, 0.6f, 1, 1, gCarPreview->GetDescription1());
    gFont->PutTextRelative(0.35f, 0.65f, 1, 1, gCarPreview->GetDescription2());
  }
  Text(0.3f, 0.72f, 36, 0.8f);
  Text(0.3f, 0.77f, 32, 0.8f);
  if (gCarPreview) gCarPreview->Draw(gRefmap, gPlate);
  for (cButton* b : {gNextCarButton, gPrevCarButton, gNextTrackButton, gPrevTrackButton, gAutomaticButton,
                     gDamageButton})
    b->Draw();
}

void MainPage() {
  // Clicks first, in this order. The car, track and switch buttons count
  // even while the panel is hidden.
  if (gStartButton->IsLClicked()) Drive(0);
  if (gReplayButton->IsLClicked()) Drive(1);
  if (gNextCarButton->IsLClicked() && gPlayer.CarIndex < gCarCount - 1) {
    ++gPlayer.CarIndex;
    delete gCarPreview;
    gCarPreview = new cCarPreview(gCarList[gPlayer.CarIndex], &gScreen);
  }
  if (gPrevCarButton->IsLClicked() && gPlayer.CarIndex > 0) {
    --gPlayer.CarIndex;
    delete gCarPreview;
    gCarPreview = new cCarPreview(gCarList[gPlayer.CarIndex], &gScreen);
  }
  if (gNextTrackButton->IsLClicked() && gPlayer.TrackIndex < gTrackCount - 1) {
    ++gPlayer.TrackIndex;
    delete gTrackInfo;
    gTrackInfo = new cTrackInfo(gTrackList[gPlayer.TrackIndex], &gScreen);
  }
  if (gPrevTrackButton->IsLClicked() && gPlayer.TrackIndex > 0) {
    --gPlayer.TrackIndex;
    delete gTrackInfo;
    gTrackInfo = new cTrackInfo(gTrackList[gPlayer.TrackIndex], &gScreen);
  }
  if (gMusicButton->IsLClicked()) {
    gMusicOn = !gMusicOn;
    LoadStringA(gLang, gMusicOn ? 13 : 12, gMusicButton->Caption, sizeof gMusicButton->Caption);
    if (gMusicOn)
      gMenuMusic.Play();
    else
      gMenuMusic.Stop();
  }
  if (gAutomaticButton->IsLClicked()) {
    gPlayer.Automatic = !gPlayer.Automatic;
    SetSwitchCaption(gAutomaticButton, gPlayer.Automatic);
  }
  if (gDamageButton->IsLClicked()) {
    gPlayer.Damage = !gPlayer.Damage;
    SetSwitchCaption(gDamageButton, gPlayer.Damage);
  }
  if (gOptionsButton->IsLClicked()) OpenOptionsPage();

  // The hints, or the panel.
  const bool overStart = gStartButton->IsCursorOver();
  const bool overReplay = gReplayButton->IsCursorOver();
  const bool overExit = gExitButton->IsCursorOver();
  if (overStart) {
    DrawSprite(gFlag, 0.48f, 0.15f, 1, 1);
    Text(0.4f, 0.5f, 14);
  }
  if (overReplay) Text(0.27f, 0.5f, 26);
  if (overExit) {
    Text(0.4f, 0.5f, 15);
    for (int row = 0; row < 5; ++row) {
      const float y = row == 0 ? 0.05f : 0.1f + 0.05f * row;
      Text(0.3f, y, 16 + 2 * row);
      Text(0.7f, y, 17 + 2 * row);
    }
    if (gFont) gFont->PutTextRelative(0.3f, 0.93f, 1, 1, "v0.7.5.0");
  }
  if (gOptionsButton->IsCursorOver())
    Text(0.35f, 0.5f, 48);
  else if (!overStart && !overReplay && !overExit)
    DrawPanel();

  for (cButton* b : {gStartButton, gReplayButton, gMusicButton, gExitButton, gOptionsButton}) b->Draw();
}

void OptionsPage() {
  if (gAcceptButton->IsLClicked()) AcceptOptions();
  if (gCancelButton->IsLClicked()) CancelOptions();
  if (gReflectionsButton->IsLClicked()) {
    gPendingReflections = !gPendingReflections;
    SetSwitchCaption(gReflectionsButton, gPendingReflections);
  }
  if (gWBufferButton->IsLClicked()) {
    gPlayer.WBuffer = !gPlayer.WBuffer;
    SetSwitchCaption(gWBufferButton, gPlayer.WBuffer);
  }

  gAcceptButton->Draw();
  gCancelButton->Draw();
  for (cButton* b : gKeyButtons) b->Draw();
  gReflectionsButton->Draw();
  gWBufferButton->Draw();

  Text(0.3f, 0.03f, 40);
  // Labels in the key map's order: accelerate, brake, left, right, up, down, handbrake.
  static const int labels[7] = {41, 44, 42, 43, 45, 46, 47};
  for (int i = 0; i < 7; ++i) Text(0.32f, 0.1f + 0.05f * i, labels[i], 0.7f);
  Text(0.3f, 0.53f, 51);
  Text(0.32f, 0.6f, 53, 0.7f);
  Text(0.32f, 0.65f, 52, 0.7f);

  if (gAcceptButton->IsCursorOver())
    Text(0.3f, 0.85f, 49);
  else if (gCancelButton->IsCursorOver())
    Text(0.3f, 0.85f, 50);
}

}  // namespace

void SetSwitchCaption(cButton* button, int on) {
  if (button) snprintf(button->Caption, sizeof button->Caption, "%s", gLangText[on ? 34 : 35]);
}

void CreateButtons() {
  gStartButton = MakeButton(false, 0.02f, 0.03f, 0.85f, 0.7f, 1);
  gReplayButton = MakeButton(false, 0.02f, 0.18f, 0.77f, 0.7f, 2);
  gOptionsButton = MakeButton(false, 0.02f, 0.33f, 0.74f, 0.7f, 37);
  gExitButton = MakeButton(false, 0.02f, 0.48f, 0.72f, 0.7f, 3);
  gMusicButton = MakeButton(false, 0.02f, 0.8f, 0.79f, 0.4f, gMusicOn ? 13 : 12);
  gPrevTrackButton = MakeButton(false, 0.3f, 0.4f, 1.1f, 0.5f, 10);
  gNextTrackButton = MakeButton(false, 0.7f, 0.4f, 1.1f, 0.5f, 9);
  gPrevCarButton = MakeButton(false, 0.3f, 0.85f, 1.1f, 0.5f, 7);
  gNextCarButton = MakeButton(false, 0.7f, 0.85f, 1.1f, 0.5f, 6);
  gAutomaticButton = MakeButton(false, 0.47f, 0.715f, 0.4f, 0.5f, 0);
  SetSwitchCaption(gAutomaticButton, gPlayer.Automatic);
  gDamageButton = MakeButton(false, 0.47f, 0.765f, 0.4f, 0.5f, 0);
  SetSwitchCaption(gDamageButton, gPlayer.Damage);

  gAcceptButton = MakeButton(false, 0.02f, 0.03f, 0.85f, 0.7f, 38);
  gCancelButton = MakeButton(false, 0.02f, 0.18f, 0.77f, 0.7f, 39);
  for (int i = 0; i < 7; ++i) {
    gKeyButtons[i] = MakeButton(true, 0.6f, 0.1f + 0.05f * i, 0.1f, 0.2f, 0);
    gKeyButtons[i]->SetMappedKey(gPlayer.KeyMap[i]);
    gKeyButtons[i]->KeyMapperMode = 1;
  }
  gReflectionsButton = MakeButton(false, 0.6f, 0.6f, 0.4f, 0.4f, 0);
  SetSwitchCaption(gReflectionsButton, gPlayer.Reflections);
  gWBufferButton = MakeButton(false, 0.6f, 0.65f, 0.4f, 0.4f, 0);
  SetSwitchCaption(gWBufferButton, gPlayer.WBuffer);

  gContinueButton = MakeButton(false, 0.4f, 0.4f, 1.0f, 0.8f, 4);
  gBackButton = MakeButton(false, 0.4f, 0.5f, 1.0f, 0.8f, 5);

  gNameButton = MakeButton(true, 0.3f, 0.4f, 0.39f, 0.4f, 0);
  gNameButton->TextEditMode = 1;
  snprintf(gNameButton->Caption, sizeof gNameButton->Caption, "%s", gPlayer.Name);
}

void DeleteButtons() {
  for (cButton** b : {&gStartButton, &gReplayButton, &gOptionsButton, &gExitButton, &gMusicButton,
                      &gPrevTrackButton, &gNextTrackButton, &gPrevCarButton, &gNextCarButton, &gAutomaticButton,
                      &gDamageButton, &gAcceptButton, &gCancelButton, &gReflectionsButton, &gWBufferButton,
                      &gContinueButton, &gBackButton, &gNameButton})
    Delete(*b);
  for (cButton*& b : gKeyButtons) Delete(b);
}

void CreatePreviews() {
  DeletePreviews();
  if (gTrackCount > 0) gTrackInfo = new cTrackInfo(gTrackList[gPlayer.TrackIndex], &gScreen);
  if (gCarCount > 0) gCarPreview = new cCarPreview(gCarList[gPlayer.CarIndex], &gScreen);
}

void DeletePreviews() {
  delete gCarPreview;
  gCarPreview = nullptr;
  delete gTrackInfo;
  gTrackInfo = nullptr;
}

void OpenOptionsPage() {
  gMenuPage = 1;
  for (int i = 0; i < 7; ++i) gKeyButtons[i]->SetMappedKey(gPlayer.KeyMap[i]);
  SetSwitchCaption(gReflectionsButton, gPlayer.Reflections);
  gPendingReflections = gPlayer.Reflections;
  SetSwitchCaption(gWBufferButton, gPlayer.WBuffer);
}

void AcceptOptions() {
  gMenuPage = 0;
  for (int i = 0; i < 7; ++i) gPlayer.KeyMap[i] = gKeyButtons[i]->GetMappedKey();
  gPlayer.Reflections = gPendingReflections;
  // Switches the depth mode and keeps the depth test on; the screen's mode
  // is then what a later cancel goes back to.
  gScreen.UseW(gPlayer.WBuffer);
}

void CancelOptions() {
  gMenuPage = 0;
  gPlayer.WBuffer = gScreen.IsW();
}

int NameScreenFrame() {
  IDirect3DDevice9* device = gScreen.GetDevicePointer();
  gScreen.ClearScreen();
  device->BeginScene();
  Text(0.3f, 0.35f, 30);
  gNameButton->Draw();
  if (gNameButton->IsCursorOver()) Text(0.25f, 0.55f, 31);
  if (gNameButton->IsLClicked()) {
    device->EndScene();
    gScreen.ClearScreen();
    gScreen.Flip();
    return 0;
  }
  if (gCursor) gCursor->Draw(0.25f);
  device->EndScene();
  PresentFrame();
  return 1;
}

void RunNameScreen() {
  memset(&gMsg, 0, sizeof gMsg);
  while (!gWindowClosed) {
    if (!MenuLoopPass()) continue;
    if (!NameScreenFrame()) break;
  }
  // What was typed counts also when the window is closed on this screen.
  snprintf(gPlayer.Name, sizeof gPlayer.Name, "%.15s", gNameButton->Caption);
}

int MenuFrame() {
  if (gMusicOn && gMenuMusic.GetRelativePos() == 1.0f) gMenuMusic.Play();
  IDirect3DDevice9* device = gScreen.GetDevicePointer();
  gScreen.ClearScreen();
  device->BeginScene();
  DrawSprite(gMenuBackground, 0, 0, 0.98f, 0.732f);
  const int page = gMenuPage;
  if (page == 0)
    MainPage();
  else
    OptionsPage();
  if (page == 0 && gExitButton->IsLClicked()) {
    device->EndScene();
    return 0;
  }
  DrawSavedReplayNote();
  if (gCursor) gCursor->Draw(0.25f);
  device->EndScene();
  PresentFrame();
  return 1;
}

void RunMenu() {
  memset(&gMsg, 0, sizeof gMsg);
  while (!gWindowClosed) {
    if (!MenuLoopPass()) continue;
    if (!MenuFrame()) return;
  }
}
