#!/bin/sh
# Installs every package the build, the tests and the demo need (Debian 12).
# Runs apt-get only for what is missing; uses sudo when not root.
set -e
PACKAGES="build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
  libgtest-dev libbenchmark-dev ffmpeg libavcodec-dev libavformat-dev libavutil-dev
  libswscale-dev libopencv-core-dev libopencv-imgproc-dev libturbojpeg0-dev
  libsdl2-dev libsoundtouch-dev qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev xvfb xauth
  libxcb1-dev
  qt6-webengine-dev libjs-leaflet
  imagemagick
  fonts-noto-cjk qt6-translations-l10n
  desktop-file-utils appstream
  gpsbabel python3-gpxpy
  poppler-utils
  gdb"
missing=""
for p in $PACKAGES; do
  dpkg -s "$p" >/dev/null 2>&1 || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends $missing
