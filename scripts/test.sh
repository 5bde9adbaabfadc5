#!/bin/sh
# Builds everything and runs all tests: ./scripts/test.sh
# BUILD_DIR and CMAKE_ARGS may be set by the caller (CI adds -Werror and sanitizer builds).
set -e
cd "$(dirname "$0")/.."
./scripts/deps.sh
BUILD_DIR=${BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -G Ninja $CMAKE_ARGS
cmake --build "$BUILD_DIR"
cd "$BUILD_DIR"
# Qt tests draw offscreen; tests labelled "display" get a virtual X server.
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure -j2 $CTEST_ARGS
