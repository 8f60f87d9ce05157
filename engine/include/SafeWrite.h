// The one way the game and the engine write their files (best times, the
// player's settings, later ghosts and replays).
#pragma once

#include <cstddef>

namespace vrx {
// Writes size bytes to path so that a crash never leaves a torn file: a temporary file beside the target,
// written, synced, renamed over it; a symlink is followed to its target; the target's mode is kept; where
// no temporary file can be made beside it, the bytes are written in place. Returns true on success; on
// failure one line on stderr naming the file and the reason, and false.
bool WriteFileSafely(const char* path, const void* data, size_t size);
}
