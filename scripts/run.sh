#!/bin/sh
# Builds and runs the main job: ./scripts/run.sh
# The viewer comes in a later step. Until then this builds roadkeep-tool, writes a demo card
# into demo-card/ as a recorder would (when it is not there yet), and shows what the card
# library sees on it: the recordings of each kind, then one recording chunk by chunk.
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
./build/bin/roadkeep-tool dump "$CARD" REC_20140301_093000_D.avi | head -40
