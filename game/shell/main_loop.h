// The shape every menu screen's loop shares: one window message a pass,
// the device check with its reset, and no drawing while the window is not
// the active one. Also the shadow render target and the view state that
// both the menu's and the race's reset sequences rebuild.
#pragma once

#include "platform/types.h"

// Creates gShadowTarget (edge x edge, one level, A4R4G4B4 where the screen
// can render into it, else A8R8G8B8) and its depth surface gShadowDepth in
// the screen's depth format (no multisampling, discard on).
void CreateShadowTarget(UINT edge);
// Deletes both; safe when they do not exist.
void ReleaseShadowTarget();
// Gamma 1.1, the (0, -1, 1) light and the menu view (SetMenuView): what a
// device reset loses and every screen relies on.
void RestoreViewState();
// Projection (aspect 1.33, near 0.01, far 600), the camera from (0, 30, 0)
// towards (1, 30, 1) and the world identity.
void SetMenuView();
// The menu's answer to a device that can be reset: releases the shadow
// target, resets the screen, and builds the target (128 x 128 from now on)
// and the view state again. 0 while the reset is not possible yet.
int MenuResetSequence();

// Waits about 10 ms: long enough to leave the processor to others, short
// enough that the first frame after the window comes back is not late.
void IdleBriefly();

// The housekeeping of one pass of a menu loop: takes one waiting message
// (dispatched), or checks the device (resetting it when it asks for that),
// or finds the window inactive. Returns 1 only when the pass may draw a
// frame. While nothing can be drawn it waits a little, so a hidden or
// inactive game does not keep a processor busy.
int MenuLoopPass();
