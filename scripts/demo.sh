#!/usr/bin/env bash
# The quickest look at Rozove: installs what is missing for the Linux build
# alone, builds rozove and its module (no tests) and writes demo.gif in the
# project folder from rozove's built-in clip (three seconds of moving shapes,
# 320x180 at 29.97 frames per second).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh linux
bash scripts/build.sh linux --no-tests
build/linux/rozove demo demo.gif
echo "Wrote $PWD/demo.gif: open it in a browser or an image viewer."
