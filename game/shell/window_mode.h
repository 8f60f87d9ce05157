// Playing in a window or full screen, and screenshots: the two things a
// player asks of the game's window while playing. Alt+Enter switches the
// window mode, F12 keeps the next shown frame as a PNG picture.
#pragma once

#include <ctime>
#include <string>

#include "shell/program.h"

// Bit 0 of vrx.cfg's reserved word: play in a window. Clear (as in every
// older file) means full screen.
constexpr uint32_t kScreenCfgWindowed = 1u << 0;

int WantsWindow(const _SCREENCFG& cfg);
// The mode flags for cScreen::Init3D: full screen with a depth buffer and
// the colour depth of the settings (7 or 6), or a window with a depth
// buffer (1; a window takes the desktop's colour format).
DWORD ScreenModeFlags(const _SCREENCFG& cfg);

// Alt+Enter: window to full screen or back, the race and every resource
// going on as they were.
void ToggleWindowMode();

// F12: the frame shown next is saved.
void RequestScreenshot();
// Presents the frame (cScreen::Flip), saving it first when a screenshot
// was asked for.
int PresentFrame();

// Reserves a new file for a screenshot taken at `now` (local time) in
// `folder`, created if needed: vrx-YYYYMMDD-HHMMSS.png, or with "-2", "-3"
// ... before ".png" when that name is taken, so no picture is ever
// overwritten. The path, or "" (with one line on stderr) when the folder
// cannot be made or written.
std::string ReserveScreenshotFile(const std::string& folder, std::time_t now);
// Saves the back buffer to a new file in the player's pictures folder and
// prints its path on stdout. The path, or "" on failure (said on stderr).
std::string SaveScreenshot();
