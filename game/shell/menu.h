// The name screen and the two-page menu, and the previews the menu shows.
#pragma once

// Creates every button of the name screen, the menu and the pause screen,
// with its caption, skin and mode.
void CreateButtons();
void DeleteButtons();

// The car and track previews for the current selection (gCarPreview,
// gTrackInfo); Create replaces existing ones.
void CreatePreviews();
void DeletePreviews();

// Runs the name screen until the name field is clicked (or the window is
// closed) and stores the typed name in gPlayer.
void RunNameScreen();
// Runs the menu until its exit button is clicked or the window is closed.
void RunMenu();
// One drawn frame of each (what a loop pass does once nothing else is
// pending); 0 when the frame's click leaves the screen.
int NameScreenFrame();
int MenuFrame();

// The options page's key fields, switches and pending values loaded from
// the saved settings (what opening the page does).
void OpenOptionsPage();
// Accept: the key map, reflections and W-buffer take effect.
void AcceptOptions();
// Cancel: everything edited on the page is dropped.
void CancelOptions();

// Sets an on/off switch's caption (texts 34 / 35).
void SetSwitchCaption(class cButton* button, int on);
