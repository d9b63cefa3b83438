#!/usr/bin/env bash
# Installs what is missing, builds the program (Release, in build-release)
# and starts it. Arguments are handed to the program.
# Without a display the program runs on a virtual one (Xvfb).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${KELO_RUN_BUILD_DIR:-$here/build-release}"

bash "$here/scripts/install-deps.sh"

cmake -S "$here" -B "$build" -G Ninja \
    -DCMAKE_BUILD_TYPE=Release \
    -DKELO_SANITIZE=OFF \
    -DKELO_WERROR=OFF \
    -DKELO_BUILD_TESTS=OFF
cmake --build "$build" --parallel "$(nproc)" --target kelo-printer

program="$build/kelo-printer"
# The print record and config.ini are opened relative to the working folder.
cd "$build"
if [ -n "${DISPLAY:-}" ]; then
    exec "$program" "$@"
fi
echo "No display (\$DISPLAY is empty): starting the terminal on a virtual display (Xvfb, 1920x1080)."
exec xvfb-run --auto-servernum --server-args="-screen 0 1920x1080x24" "$program" "$@"
