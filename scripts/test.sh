#!/usr/bin/env bash
# Installs what is missing, builds everything with AddressSanitizer,
# UndefinedBehaviorSanitizer and warnings as errors, and runs every test.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${KELO_TEST_BUILD_DIR:-$here/build-test}"

bash "$here/scripts/install-deps.sh"

cmake -S "$here" -B "$build" -G Ninja \
    -DCMAKE_BUILD_TYPE=Debug \
    -DKELO_SANITIZE=ON \
    -DKELO_WERROR=ON \
    -DKELO_BUILD_TESTS=ON
cmake --build "$build" --parallel "$(nproc)"

export QT_QPA_PLATFORM=offscreen
cd "$build"
ctest --output-on-failure --parallel "$(nproc)" "$@"
