#include "shell/hud.h"

#include <cstdio>

#include "car/cRaceCar.h"
#include "cCar.h"
#include "shell/cGhost.h"
#include "shell/drive.h"
#include "shell/program.h"
#include "shell/replay_controls.h"

namespace {

const DWORD kOpaque = 0xFFFFFFFFu;
const DWORD kDialColour = 0x88FFFFFFu;
const DWORD kNeedleColour = 0xCCFFFFFFu;

void Sprite(cSprite* sprite, float sx, float sy, float cx, float cy, float angle, float x, float y, DWORD colour) {
  if (!sprite) return;
  const D3DXVECTOR2 scale(sx, sy), centre(cx, cy), position(x, y);
  sprite->DrawRelative(&scale, &centre, angle, &position, colour);
}

// The gear's own sprite, or the highest one there is for gears beyond them.
cSprite* GearSprite(int gear) {
  if (gear < 0) gear = 0;
  for (int i = gear < kGearSprites ? gear : kGearSprites - 1; i >= 0; --i)
    if (gGears[i]) return gGears[i];
  return nullptr;
}

void DrawInstruments(cRaceCar* car) {
  cCar* body = car->GetCar();
  float speed = body->GetSpeed() * 0.07058823f;
  if (speed < 0) speed = 0;
  const float revs = body->GetEngineRot() * 9.55026f * 0.00055555557f;
  Sprite(gDial, 0.4f, 0.4f, 0, 0, 0, 0.8f, 0.7f, kDialColour);
  Sprite(gNeedle, 1, 1, 7, 7, 3.9f - speed, 0.902f, 0.814f, kNeedleColour);
  Sprite(gNeedle, 0.4f, 0.4f, 7, 7, 3.7f - revs, 0.902f, 0.921f, kNeedleColour);
  Sprite(GearSprite(car->GetGear()), 0.5f, 0.6f, 0, 0, 0, 0.935f, 0.9f, kNeedleColour);

  const float damage = car->GetDamage();
  const DWORD b = (DWORD)(int)(damage * 2.55f) & 0xFF;  // red grows, green fades
  Sprite(gBarFrame, 0.8f, 1, 0, 0, 0, 0.01f, 0.95f, kDialColour);
  Sprite(gBar, damage * 0.5f, 2.3f, 0, 0, 0, 0.013f, 0.955f, 0x88000000u + b * 0x10000u + (255 - b) * 0x100u);
  gFont->PutTextRelative(0.01f, 0.915f, 0.8f, 0.8f, gLangText[32]);
  if (damage == 100.0f) gFont->PutTextRelative(0.27f, 0.45f, 1, 1, gLangText[33]);
}

}  // namespace

int FormatGap(float seconds, char* text, size_t size) {
  // Within half a hundredth the two are level: shown unsigned-looking white.
  if (seconds > -0.005f && seconds < 0.005f) {
    snprintf(text, size, "+0.00");
    return 0;
  }
  if (seconds > 5999.99f) seconds = 5999.99f;
  if (seconds < -5999.99f) seconds = -5999.99f;
  snprintf(text, size, "%+.2f", seconds);
  return seconds > 0 ? 1 : -1;
}

void DrawGap(cRaceCar* car) {
  if (gReplayMode || !gGhost || !gGhost->HasLap() || gTimer.GetStatus() == 0) return;
  static char text[16];
  const int sign = FormatGap(gGhost->Gap(car->GetCar()->GetLinPos(), RunningLapTime()), text, sizeof text);
  gFont->PutTextRelative(0.89f, 0.08f, 0.9f, 0.9f, text, sign > 0 ? kGapBehind : sign < 0 ? kGapAhead : kOpaque);
}

void DrawHud(cRaceCar* car) {
  if (!gFont) return;
  if (!gReplayMode) DrawInstruments(car);
  Sprite(gLogo, 0.15f, 0.15f, 0, 0, 0, 0, 0, kOpaque);
  gFont->PutTextRelative(0.89f, 0, 0.9f, 0.9f, LapClockText());
  gFont->PutTextRelative(0.89f, 0.04f, 0.9f, 0.9f, FormatLapTime(gLastLapTime));
  gFont->PutTextRelative(0.77f, 0.005f, 0.7f, 0.7f, gLangText[27]);
  gFont->PutTextRelative(0.77f, 0.045f, 0.7f, 0.7f, gLangText[28]);
  DrawGap(car);
  if (gReplayMode) gReplayControls.DrawBar();
}
