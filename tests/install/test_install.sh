#!/usr/bin/env bash
# Installs the game with DESTDIR into a temporary root and checks the result:
# the layout, the links, the desktop entry and AppStream metadata (with the
# Debian tools), the man pages and the icons. Then, with the installed folder
# read-only, an ordinary user (HOME and the XDG folders inside the test
# folder) writes settings with the installed vrx-config and runs the
# installed `vrx --demo --laps 1` and then the game up to its name screen:
# both must run, the settings must land in the user's config folder, and
# nothing may be written into the installed tree.
set -euo pipefail
build=$(cd "$1" && pwd)
# Outside the build tree: an ordinary user must be able to reach it.
tmp=$(mktemp -d /tmp/vrx-install-test.XXXXXX)
chmod 755 "$tmp"
trap 'chmod -R u+w "$tmp" 2>/dev/null; rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

root=$tmp/root
DESTDIR=$root cmake --install "$build" --prefix /usr >"$tmp/install.log" 2>&1 || { cat "$tmp/install.log"; fail "install failed"; }
lib=$root/usr/lib/vrx
for f in vrx vrx-config libvrxcore.so libvrxplatform.so libmathkit.so libsound.so lang.txt DATA/Cars.txt DATA/Tracks.txt; do
  [ -e "$lib/$f" ] || fail "usr/lib/vrx/$f was not installed"
done
for p in vrx vrx-config; do
  [ "$(readlink "$root/usr/bin/$p")" = "../lib/vrx/$p" ] || fail "usr/bin/$p is not a link to ../lib/vrx/$p"
done
for f in vrx.cfg vrx.ini vrx-data vrx-view; do
  [ ! -e "$lib/$f" ] || fail "usr/lib/vrx/$f must not be installed"
done

desktop-file-validate "$root/usr/share/applications/vrx.desktop" || fail "desktop-file-validate"
grep -q '^Categories=Game;Simulation;$' "$root/usr/share/applications/vrx.desktop" || fail "desktop categories"
metainfo=$(ls "$root"/usr/share/metainfo/*.metainfo.xml)
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate"
grep -q '<caption>' "$metainfo" || fail "screenshots without captions"
for page in vrx vrx-config; do
  man=$root/usr/share/man/man6/$page.6.gz
  warnings=$(zcat "$man" | groff -man -ww -z 2>&1) || fail "groff failed on $page.6"
  [ -z "$warnings" ] || fail "$page.6: $warnings"
  zcat "$man" | grep -q '^\.TH' || fail "$page.6 has no title"
done
for size in 16 32 48 64 128 256; do
  icon=$root/usr/share/icons/hicolor/${size}x${size}/apps/vrx.png
  file "$icon" | grep -q "PNG image data, $size x $size, 8-bit/color RGBA" || fail "icon $size: $(file "$icon")"
done

# The installed game as a player would have it: nobody may write into it.
chmod -R a-w "$lib"
(cd "$root" && find . -printf '%p %s %m %T@\n' | sort) >"$tmp/before"
home=$tmp/home
mkdir -p "$home"
chmod 777 "$home"
as_player=(env HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" XDG_CACHE_HOME="$home/cache")
if [ "$(id -u)" -eq 0 ]; then
  # An ordinary user, who may use the test's display.
  if [ -n "${XAUTHORITY:-}" ] && [ -f "$XAUTHORITY" ]; then
    cp "$XAUTHORITY" "$tmp/xauth"
    chmod 644 "$tmp/xauth"
    as_player+=(XAUTHORITY="$tmp/xauth")
  fi
  as_player=(setpriv --reuid=65534 --regid=65534 --clear-groups "${as_player[@]}")
fi

"${as_player[@]}" timeout 60 "$root/usr/bin/vrx-config" --width 800 --height 600 --depth 32 --view 5 \
  </dev/null >"$tmp/config.out" 2>&1 || { cat "$tmp/config.out"; fail "installed vrx-config failed"; }
[ -s "$home/config/vrx/vrx.cfg" ] || { cat "$tmp/config.out"; fail "vrx.cfg is not in the config folder"; }
echo "settings: $(cat "$tmp/config.out")"

set +e
(cd "$home" && "${as_player[@]}" timeout 600 "$root/usr/bin/vrx" --demo --laps 1 --stats "$home/stats.txt" \
  </dev/null >"$tmp/vrx.out" 2>&1)
rc=$?
set -e
[ $rc -eq 0 ] || { cat "$tmp/vrx.out"; fail "installed vrx --demo --laps 1 ended with $rc"; }
grep -q '^laps 1' "$home/stats.txt" || { cat "$home/stats.txt"; fail "the demo did not drive its lap"; }
# The demo leaves the player's settings alone; the game itself writes them
# when it ends in order, here on SIGTERM while the name screen shows.
[ ! -e "$home/config/vrx/vrx.ini" ] || fail "the demo wrote vrx.ini"
(cd "$home" && exec "${as_player[@]}" "$root/usr/bin/vrx" </dev/null >"$tmp/game.out" 2>&1) &
game=$!
timeout 120 xdotool search --sync --onlyvisible --name '^VRX$' >/dev/null || { kill -9 $game; fail "no game window"; }
sleep 5
kill -TERM $game
set +e
wait $game
rc=$?
set -e
[ $rc -eq 0 ] || { cat "$tmp/game.out"; fail "the installed game ended with $rc on SIGTERM"; }
[ -s "$home/config/vrx/vrx.ini" ] || { cat "$tmp/game.out"; fail "vrx.ini is not in the config folder"; }
[ "$(stat -c %s "$home/config/vrx/vrx.ini")" -eq 48 ] || fail "vrx.ini is not 48 bytes"
# Records, if any were written, are the player's too.
if find "$root" -name BestTime.dat -newer "$tmp/before" | grep .; then fail "a best time was written into the installed tree"; fi

(cd "$root" && find . -printf '%p %s %m %T@\n' | sort) >"$tmp/after"
diff "$tmp/before" "$tmp/after" || fail "the installed tree changed"
echo "player's files: $(cd "$home" && find config data -type f 2>/dev/null | tr '\n' ' ')"
echo "1 passed, 0 failed"
