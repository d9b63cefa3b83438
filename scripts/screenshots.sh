#!/usr/bin/env bash
# Starts the program on a virtual display and saves a picture of each page
# of the main window, for looking at by hand:
#   bash scripts/screenshots.sh [output folder]     (default build-release/screenshots)
# Builds the program with scripts/run.sh's build and installs the capture
# tools (ImageMagick, xdotool) when missing.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${KELO_RUN_BUILD_DIR:-$here/build-release}"
out="${1:-$build/screenshots}"

bash "$here/scripts/install-deps.sh"
for tool in import:imagemagick xdotool:xdotool; do
    if ! command -v "${tool%%:*}" >/dev/null; then
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${tool##*:}"
    fi
done
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKELO_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --parallel "$(nproc)" --target kelo-printer
mkdir -p "$out"

display=":$((100 + RANDOM % 800))"
Xvfb "$display" -screen 0 1920x1080x24 -nolisten tcp &
xvfb_pid=$!
program_pid=""
cleanup() {
    [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null || true
    kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
export DISPLAY="$display"
sleep 1

(cd "$build" && exec ./kelo-printer) &
program_pid=$!
window=""
for _ in $(seq 1 50); do
    window="$(xdotool search --name '^Tarnwick$' 2>/dev/null | head -1 || true)"
    [ -n "$window" ] && break
    sleep 0.2
done
if [ -z "$window" ]; then
    echo "the main window did not appear" >&2
    exit 1
fi
sleep 1

# Navigation buttons sit in the left column below the 80 px title block,
# 50 px high with 12 px between them; the help button is at the bottom.
click() {
    xdotool mousemove --window "$window" "$1" "$2" click 1
    sleep 0.6
}
shot() {
    import -window root "$out/$1.png"
    echo "$out/$1.png"
}
shot home
click 125 179; shot templates
click 125 241; shot print
click 125 303; shot settings
# Scroll the settings page down in steps to see its lower sections.
xdotool mousemove --window "$window" 900 700
for part in 2 3; do
    xdotool click --repeat 8 5; sleep 0.6; shot "settings-$part"
done
click 125 241
xdotool mousemove --window "$window" 125 1010 click 1; sleep 0.6; shot help-menu
