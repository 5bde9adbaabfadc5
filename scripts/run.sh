#!/bin/sh
# Builds and runs the main job: ./scripts/run.sh
# Builds the viewer and the card tool, writes a demo card into demo-card/ as a recorder would
# (when it is not there yet) and starts the viewer with that folder counted as a removable
# drive, so it finds the card by itself. On a machine without a display the viewer runs
# under Xvfb for a few seconds and its window is saved to demo-shot.png.
set -e
cd "$(dirname "$0")/.."
./scripts/deps.sh
cmake -S . -B build -G Ninja
cmake --build build --target roadkeep roadkeep-tool
CARD=${ROADKEEP_DEMO_CARD:-demo-card}
if [ ! -f "$CARD/TAT/VOLUME.TAT" ]; then
  ./build/bin/roadkeep-tool make-card "$CARD"
fi
ROADKEEP_CARD_DIRS="$(cd "$CARD" && pwd)"
export ROADKEEP_CARD_DIRS
if [ -n "$DISPLAY" ] || [ -n "$WAYLAND_DISPLAY" ]; then
  exec ./build/bin/roadkeep
fi
SHOT="$(pwd)/demo-shot.png"
xvfb-run -a -s "-screen 0 1280x1024x24" sh -c '
  ./build/bin/roadkeep & viewer=$!
  sleep 5
  import -window root "$1"
  kill $viewer; wait $viewer 2>/dev/null || true' sh "$SHOT" 2>/dev/null
echo "No display here: the viewer ran under Xvfb for a few seconds; its window is in $SHOT"
