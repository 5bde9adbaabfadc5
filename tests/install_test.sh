#!/bin/sh
# cmake --install into a temporary prefix: the programs run from there, the map module sits
# where the viewer looks for it, and the desktop entry and AppStream metainfo validate.
# Usage: install_test.sh BUILD_DIR
set -eu
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
fail() { echo "install: $*" >&2; exit 1; }
for f in bin/roadkeep bin/roadkeep-tool bin/roadkeep-tool-full; do
  [ -x "$prefix/$f" ] || fail "$f is missing"
done
if [ -e "$build/lib/roadkeep-map.so" ]; then
  [ -f "$prefix/lib/roadkeep-map.so" ] || fail "lib/roadkeep-map.so is missing"
fi
for size in 16 32 48 128 256; do
  icon="$prefix/share/icons/hicolor/${size}x${size}/apps/org.roadkeep.Roadkeep.png"
  [ -f "$icon" ] || fail "no ${size}x${size} icon"
done
desktop-file-validate "$prefix/share/applications/org.roadkeep.Roadkeep.desktop"
grep -q '^Exec=roadkeep %F$' "$prefix/share/applications/org.roadkeep.Roadkeep.desktop" ||
  fail "the desktop entry does not start roadkeep with its files"
appstreamcli validate --no-net "$prefix/share/metainfo/org.roadkeep.Roadkeep.metainfo.xml" >/dev/null ||
  appstreamcli validate --no-net "$prefix/share/metainfo/org.roadkeep.Roadkeep.metainfo.xml"
# The installed programs run: the viewer answers without a display, the tool's front hands
# a command to the full tool beside it.
"$prefix/bin/roadkeep" --version | grep -q '^roadkeep ' || fail "roadkeep --version"
"$prefix/bin/roadkeep-tool" make-card "$prefix/card" --count 1 --seconds 1 >/dev/null ||
  fail "the installed roadkeep-tool cannot make a card"
"$prefix/bin/roadkeep-tool" list "$prefix/card" | grep -q '\.avi' || fail "roadkeep-tool list"
echo "install: ok"
