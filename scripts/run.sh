#!/usr/bin/env bash
# Installs what is missing, builds the program (Release, in build-release)
# and starts it. Arguments are handed to the program.
# Without a display the program runs on a virtual one (Xvfb).
#
#   bash scripts/run.sh --fake-printer
# also starts the stand-in printer of the tests (tests/fakeprinter) on
# 127.0.0.1 and runs the terminal linked to it over TCP, so it connects,
# reads its ink box and prints without hardware. That run has a program
# folder of its own, build-release/fake-printer: a copy of the program with
# its own configuration, templates, logs and print record, so the
# configuration of a plain run is never touched. What the printer received is
# traced in build-release/fake-printer/fakeprinter.log. The printer stops
# when the program ends.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${KELO_RUN_BUILD_DIR:-$here/build-release}"

fake_printer=false
args=()
for arg in "$@"; do
    if [ "$arg" = "--fake-printer" ]; then
        fake_printer=true
    else
        args+=("$arg")
    fi
done

bash "$here/scripts/install-deps.sh"

cmake -S "$here" -B "$build" -G Ninja \
    -DCMAKE_BUILD_TYPE=Release \
    -DKELO_SANITIZE=OFF \
    -DKELO_WERROR=OFF \
    -DKELO_BUILD_TESTS=OFF
cmake --build "$build" --parallel "$(nproc)" --target kelo-printer

start_program() {
    if [ -n "${DISPLAY:-}" ]; then
        "$@"
    else
        echo "No display (\$DISPLAY is empty): starting the terminal on a virtual display (Xvfb, 1920x1080)."
        xvfb-run --auto-servernum --server-args="-screen 0 1920x1080x24" "$@"
    fi
}

if ! $fake_printer; then
    # The print record and config.ini are opened relative to the working folder.
    cd "$build"
    start_program "$build/kelo-printer" ${args[@]+"${args[@]}"}
    exit $?
fi

# The program keeps its configuration beside itself, so the fake printer's
# run gets a folder, and a copy of the program, of its own.
folder="$build/fake-printer"
mkdir -p "$folder/attachment"
cp -f "$build/kelo-printer" "$folder/kelo-printer"
cp -f "$build/Tarnwick用户手册.pdf" "$folder/"
if [ -d "$build/translations" ]; then
    ln -sfn "$build/translations" "$folder/translations"
fi

announce="$folder/fakeprinter.ready"
rm -f "$announce"
python3 "$here/tests/fakeprinter/fakeprinter.py" --tcp --port 0 --no-control --lifetime 86400 --verbose \
    >"$announce" 2>"$folder/fakeprinter.log" &
printer_pid=$!
trap 'kill "$printer_pid" 2>/dev/null || true' EXIT

port=""
for _ in $(seq 1 100); do
    port="$(python3 -c 'import json, sys; print(json.loads(open(sys.argv[1]).readline())["port"])' "$announce" \
        2>/dev/null || true)"
    [ -n "$port" ] && break
    if ! kill -0 "$printer_pid" 2>/dev/null; then
        echo "the fake printer did not start; see $folder/fakeprinter.log" >&2
        exit 1
    fi
    sleep 0.1
done
if [ -z "$port" ]; then
    echo "the fake printer did not announce its port" >&2
    exit 1
fi
echo "Fake printer listening on 127.0.0.1:$port (trace: $folder/fakeprinter.log)"

# Only the link keys are set; everything else the run changed is kept.
python3 - "$folder/attachment/customConfig.json" "$port" <<'EOF'
import json, os, sys
path, port = sys.argv[1], sys.argv[2]
config = {}
if os.path.exists(path):
    try:
        with open(path, encoding="utf-8-sig") as f:
            config = json.load(f)
    except ValueError:
        # Set aside, never overwritten.
        os.replace(path, path + ".unreadable")
        config = {}
config.update({"com.mode": "tcpSocket", "socket.ip": "127.0.0.1", "socket.port": port})
with open(path, "w", encoding="utf-8") as f:
    json.dump(config, f, ensure_ascii=False, indent=4)
EOF

cd "$folder"
status=0
start_program "$folder/kelo-printer" ${args[@]+"${args[@]}"} || status=$?
exit "$status"
