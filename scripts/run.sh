#!/bin/sh
# Builds and runs the main job: ./scripts/run.sh
# The viewer's window comes in a later step. Until then this builds roadkeep-tool, writes a
# demo card into demo-card/ as a recorder would (when it is not there yet), lists it as the
# card library sees it, and plays its first recordings through the real player engine
# without a window (the sound goes to the audio device, or nowhere when there is none).
set -e
cd "$(dirname "$0")/.."
./scripts/deps.sh
cmake -S . -B build -G Ninja
cmake --build build --target roadkeep-tool
CARD=${ROADKEEP_DEMO_CARD:-demo-card}
if [ ! -f "$CARD/TAT/VOLUME.TAT" ]; then
  ./build/bin/roadkeep-tool make-card "$CARD"
fi
./build/bin/roadkeep-tool list "$CARD"
./build/bin/roadkeep-tool play "$CARD" REC_20140301_093000_D.avi EVENT_20140301_093025_D.avi
