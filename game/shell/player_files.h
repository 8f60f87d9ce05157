// The files the game reads at start and writes at exit: the screen settings
// (vrx.cfg, read only), the player's settings (vrx.ini) and the car and track
// lists. Kept apart from the start-up so each can be checked on its own.
#pragma once

#include <cstddef>

#include "shell/program.h"

// Reads up to 36 bytes of vrx.cfg over *cfg. 0 when the file cannot be opened.
int ReadScreenConfig(const char* path, _SCREENCFG* cfg);

// The player's settings before any file is read: "Player", the first car and
// track, automatic gearbox, damage, the arrow keys, A, Z and Space,
// reflections and W-buffer on.
void SetPlayerDefaults(_PLAYERCFG* player);
// Reads up to 48 bytes of vrx.ini over *player, so a short file keeps the
// defaults of its missing tail; a missing file keeps them all. Returns the
// number of bytes read.
size_t ReadPlayerConfig(const char* path, _PLAYERCFG* player);
// Brings a stored record into the range the game can use: a name without its
// NUL inside the 16 bytes is cut to 15 characters; a car or track index
// outside its list becomes 0; switches hold 0 or 1.
void ClampPlayerConfig(_PLAYERCFG* player, int carCount, int trackCount);
// Writes the whole 48-byte record so that a crash or power loss during the
// write leaves either the old file or the new one. 1 on success, else 0
// with one line on stderr.
int WritePlayerConfig(const char* path, const _PLAYERCFG* player);

// Reads a list file, one entry a line (at most kListMax entries of at most
// kListEntry - 1 characters): line ends ("\n", "\r\n") are removed, a last
// entry without its newline is kept, a line too long for an entry is cut and
// its rest skipped. Returns the number of entries; -1 when the file cannot be
// opened.
int ReadList(const char* path, char list[][kListEntry], int maxEntries);

// Removes every newline and carriage return at the end of a list line; a line
// of only those becomes empty.
void StripLineEnd(char* line);
