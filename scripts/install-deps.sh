#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need. Safe to run again:
# it only calls apt-get when something is missing.
set -euo pipefail

PACKAGES=(
    build-essential cmake ninja-build pkg-config
    qtbase5-dev qtbase5-dev-tools libqt5sql5-sqlite
    libqt5websockets5-dev libqt5serialport5-dev libqt5charts5-dev
    # whether a compositing manager runs (translucent windows)
    libqt5x11extras5-dev
    libqrencode-dev libquazip5-dev
    # zlib itself: the import bench's floor inflates workbooks with it
    zlib1g-dev
    fonts-wqy-zenhei fonts-wqy-microhei fonts-dejavu-core
    # Qt's own Chinese texts for its standard dialogs
    qttranslations5-l10n
    # a display for the program where none is (scripts/run.sh)
    xvfb xauth
    # a desktop where the tests in tests/x11 look at windows as a window
    # manager stacks them: openbox, xwininfo and xprop (x11-utils), and
    # xdotool to click as the user does
    openbox x11-utils xdotool
    # outside oracles used by the tests
    zbar-tools qrencode zint python3 python3-openpyxl python3-websockets sqlite3
    # reads the user manual back (pdfinfo, pdftotext) and renders its pages
    poppler-utils
)

missing=()
for p in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
fi
echo "installing: ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
