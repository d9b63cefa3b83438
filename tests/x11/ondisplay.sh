#!/usr/bin/env bash
# Runs a program as on a desktop, on an X display of its own: Xvfb on the
# first free display number, the openbox window manager with its stock
# settings (nothing from the home folder), the program on the xcb platform.
# No compositing manager runs. Whatever it starts ends with it, also when
# the program fails or this script is stopped.
#   ondisplay.sh PROGRAM [ARGUMENTS...]
set -euo pipefail

work="$(mktemp -d "${TMPDIR:-/tmp}/kelo-display.XXXXXX")"
virtual_display_pid=""
wm_pid=""
program_pid=""
cleanup() {
    local pid
    for pid in $program_pid $wm_pid $virtual_display_pid; do
        kill "$pid" 2>/dev/null || true
    done
    for pid in $program_pid $wm_pid $virtual_display_pid; do
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

# shellcheck source=../../scripts/virtualdisplay.sh
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/virtualdisplay.sh"
start_virtual_display "$work" || exit 1

mkdir -p "$work/config" "$work/cache" "$work/data"
XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache" XDG_DATA_HOME="$work/data" \
    openbox --sm-disable >"$work/openbox.log" 2>&1 </dev/null &
wm_pid=$!
# The window manager has taken the screen once it names itself on the root:
# at once on an idle machine, and within minutes on the busiest.
for _ in $(seq 1 3000); do
    if xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; then
        break
    fi
    if ! kill -0 "$wm_pid" 2>/dev/null; then
        break
    fi
    sleep 0.1
done
if ! xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; then
    echo "openbox did not take the display:" >&2
    cat "$work/openbox.log" >&2
    exit 1
fi

QT_QPA_PLATFORM=xcb "$@" &
program_pid=$!
status=0
wait "$program_pid" || status=$?
program_pid=""
exit "$status"
