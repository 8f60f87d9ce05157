#!/usr/bin/env bash
# Builds the Debian package, checks what it holds and that its Depends were
# computed from the libraries, installs it with dpkg into a fresh root, runs
# the installed `vrx --version` and removes it again: nothing may be left.
set -euo pipefail
build=$1
tmp=${VRX_TEST_TMP:-$(mktemp -d)}/package
rm -rf "$tmp"
mkdir -p "$tmp"
fail() { echo "FAIL: $*"; exit 1; }

# A folder of its own, so a `make package` at the same time does not collide.
(cd "$build" && cpack -G DEB -B "$tmp/out" >"$tmp/cpack.log" 2>&1) || { cat "$tmp/cpack.log"; fail "cpack failed"; }
deb=$(ls "$tmp"/out/vrx_*.deb)
echo "package: $deb ($(stat -c %s "$deb") bytes)"

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for lib in libsdl2-2.0-0 libode8 libopenal1 libsndfile1 libepoxy0 libc6; do
  [[ $depends == *"$lib "* || $depends == *"$lib,"* || $depends == *"$lib" ]] || fail "Depends lacks $lib"
done
# Our own libraries ship inside the package; nothing may depend on them.
[[ $depends != *vrx* ]] || fail "Depends names our own libraries"
[ "$(dpkg-deb -f "$deb" Section)" = games ] || fail "section is not games"

dpkg-deb -c "$deb" >"$tmp/contents"
for f in ./usr/lib/vrx/vrx ./usr/lib/vrx/vrx-config ./usr/lib/vrx/libvrxcore.so ./usr/lib/vrx/lang.txt \
  ./usr/lib/vrx/DATA/Tracks.txt ./usr/lib/vrx/DATA/Cars.txt ./usr/share/applications/vrx.desktop \
  ./usr/share/man/man6/vrx.6.gz ./usr/share/man/man6/vrx-config.6.gz \
  ./usr/share/icons/hicolor/48x48/apps/vrx.png ./usr/share/icons/hicolor/256x256/apps/vrx.png; do
  grep -q " $f\( \|$\)" "$tmp/contents" || fail "$f is not in the package"
done
grep -q ' ./usr/bin/vrx -> ../lib/vrx/vrx$' "$tmp/contents" || fail "/usr/bin/vrx is not a link to lib/vrx/vrx"
grep -q ' ./usr/share/metainfo/.*\.metainfo\.xml$' "$tmp/contents" || fail "no AppStream metadata"
# Nothing of the build or of a player may travel with the package.
if grep -E 'vrx\.cfg|vrx\.ini|BestTime\.dat|/tests/|vrx-data|vrx-view' "$tmp/contents"; then
  fail "the package holds files it must not"
fi

# A fresh root with an empty dpkg database. The maintainer scripts only call
# ldconfig, which the fresh root lacks, so they run outside it.
root=$tmp/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status"
dpkgr=(dpkg --root="$root" --log=/dev/null --force-depends --force-script-chrootless --force-not-root)
"${dpkgr[@]}" -i "$deb" >"$tmp/dpkg-install.log" 2>&1 || { cat "$tmp/dpkg-install.log"; fail "dpkg -i failed"; }
[ -x "$root/usr/bin/vrx" ] || fail "no /usr/bin/vrx after installing"
# Both programs find every library (started through the links below).
for p in vrx vrx-config; do
  if ldd "$root/usr/lib/vrx/$p" | grep 'not found'; then fail "$p misses a library"; fi
done
# Without a display: a program that wanted a window fails instead of waiting.
noscreen=(env -u DISPLAY -u WAYLAND_DISPLAY HOME="$tmp/home" timeout 60)
version=$("${noscreen[@]}" "$root/usr/bin/vrx" --version </dev/null) || fail "vrx --version failed"
echo "installed: $version"
[[ $version == "vrx v$(dpkg-deb -f "$deb" Version)"* ]] || fail "vrx --version says '$version'"
set +e
"${noscreen[@]}" "$root/usr/bin/vrx-config" --bogus 2>"$tmp/config.err" </dev/null
rc=$?
set -e
[ $rc -eq 2 ] && grep -q '^usage: vrx-config' "$tmp/config.err" || fail "installed vrx-config: exit $rc"

"${dpkgr[@]}" --purge vrx >"$tmp/dpkg-remove.log" 2>&1 || { cat "$tmp/dpkg-remove.log"; fail "dpkg --purge failed"; }
left=$(cd "$root" && find . -mindepth 1 \( -path ./var -prune \) -o -print)
[ -z "$left" ] || fail "left behind after removal: $left"
echo "1 passed, 0 failed"
