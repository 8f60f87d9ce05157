// Where the player's own files live: the screen settings (vrx.cfg), the
// player's settings (vrx.ini) and the records kept per track (BestTime.dat).
//
// Beside the program while its folder is writable (the build folder, an
// unpacked archive): names resolve exactly as the game gives them. An
// installed game (its folder read-only, or marked by a file "installed" that
// `make install` puts there) keeps them in the player's XDG folders instead:
// settings in $XDG_CONFIG_HOME/vrx/ (default ~/.config/vrx/), records in
// $XDG_DATA_HOME/vrx/ (default ~/.local/share/vrx/) under the name's own
// relative path, so DATA\TRACKS\Oval\BestTime.dat becomes
// ~/.local/share/vrx/DATA/TRACKS/Oval/BestTime.dat. A file the game ships
// (a track's first best time) is read until the player has their own.
#pragma once

#include <string>

namespace vrx {

enum class PlayerFile {
  kSettings,  // vrx.cfg, vrx.ini
  kRecord,    // per-track records
};

// True while the player's files stay beside the program.
bool PlayerFilesBesideProgram();

// The path to read a player's file from, for a Windows-style name relative
// to the program's folder: the player's own copy when it exists, else the
// one beside the program.
std::string PlayerFileToRead(const char* name, PlayerFile kind);

// The path to write it to. Creates the player's folders it needs (mode 0700
// for new ones); a folder that cannot be made prints one line on stderr and
// the path is returned all the same, so the write itself fails and says so.
std::string PlayerFileToWrite(const char* name, PlayerFile kind);

// The player's folder for a kind, without a trailing slash
// ("~/.config/vrx", "~/.local/share/vrx"), whether or not it is used.
std::string PlayerFolder(PlayerFile kind);

// The player's pictures folder for screenshots: $XDG_PICTURES_DIR (from the
// environment or ~/.config/user-dirs.dirs) or ~/Pictures, with "/vrx".
std::string PicturesFolder();

}  // namespace vrx
