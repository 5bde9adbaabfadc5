#!/bin/sh
# Export speed: one 60 s recording, 1080p front + 720p rear, exported from a made card by
# `roadkeep-tool export` (whole process), against `ffmpeg -c copy` of the exported AVI into
# another AVI and against `cp` of it. Everything is read from the page cache (one warm-up
# run each); the best of RUNS runs is shown. Goal: faster than the ffmpeg copy, within 2x
# of cp.
#
#   bench/export_bench.sh [BIN_DIR] [RUNS]     (BIN_DIR defaults to build/bin)
#
# Making the card encodes a minute of 1080p and 720p video (minutes on a busy machine);
# CARD=DIR reuses one made earlier with the same make-card line.
set -eu

bin=${1:-build/bin}
runs=${2:-5}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

card=${CARD:-$work/card}
if [ -z "${CARD:-}" ]; then
  "$bin/roadkeep-tool" make-card "$card" --count 1 --seconds 60 \
    --front 1920x1080@30 --rear 1280x720@30 --seed 7 >/dev/null
fi
name=$("$bin/roadkeep-tool" list "$card" | awk '/\.avi/ { print $1; exit }')
mkdir "$work/out"

# Best wall time in milliseconds of RUNS runs of the command (after one warm-up run).
best_ms() {
  "$@" >/dev/null 2>&1
  best=
  i=0
  while [ "$i" -lt "$runs" ]; do
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s%N)
    ms=$(( (end - start) / 1000000 ))
    if [ -z "$best" ] || [ "$ms" -lt "$best" ]; then best=$ms; fi
    i=$((i + 1))
  done
  echo "$best"
}

export_ms=$(best_ms "$bin/roadkeep-tool" export "$card" "$work/out" "$name")
avi="$work/out/$name"
ffmpeg_ms=$(best_ms ffmpeg -nostdin -v error -y -i "$avi" -map 0:v -map 0:a -c copy "$work/copy.avi")
cp_ms=$(best_ms cp "$avi" "$work/cp.avi")
bytes=$(stat -c %s "$avi")

echo "recording: $name, $bytes bytes exported"
echo "roadkeep-tool export: $export_ms ms"
echo "ffmpeg -c copy:       $ffmpeg_ms ms"
echo "cp:                   $cp_ms ms"
awk -v e="$export_ms" -v f="$ffmpeg_ms" -v c="$cp_ms" 'BEGIN {
  if (c < 1) c = 1
  printf "export / ffmpeg = %.2f (goal < 1), export / cp = %.2f (goal <= 2)\n", e / f, e / c
}'
