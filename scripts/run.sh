#!/bin/sh
# Builds and runs the main job: ./scripts/run.sh
# The viewer comes in a later step; until then this builds roadkeep-tool, makes a sample
# two-camera recording with ffmpeg, shows what the AVI reader sees in it and copies it
# through the reader and the writer.
set -e
cd "$(dirname "$0")/.."
./scripts/deps.sh
cmake -S . -B build -G Ninja
cmake --build build --target roadkeep-tool
mkdir -p demo-card
SAMPLE=demo-card/sample.avi
if [ ! -f "$SAMPLE" ]; then
  ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=1280x720:rate=30 \
    -f lavfi -i testsrc=size=640x360:rate=30 -f lavfi -i sine=frequency=440:sample_rate=8000 \
    -t 10 -map 0:v -map 1:v -map 2:a -c:v libx264 -g 24 -bf 0 -pix_fmt yuv420p \
    -c:a pcm_s16le -ac 1 "$SAMPLE"
fi
./build/bin/roadkeep-tool avi-info "$SAMPLE"
./build/bin/roadkeep-tool avi-copy "$SAMPLE" demo-card/sample-copy.avi
./build/bin/roadkeep-tool avi-info demo-card/sample-copy.avi
