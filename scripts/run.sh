#!/usr/bin/env bash
# Installs what is missing, builds the program (Release, in build-release)
# and starts it. Arguments are handed to the program.
# Without a display the program runs on a virtual one (Xvfb) of its own.
#
#   bash scripts/run.sh --fake-printer
# also starts the stand-in printer of the tests (tests/fakeprinter) on
# 127.0.0.1 and runs the terminal linked to it over TCP, so it connects,
# reads its ink box and prints without hardware. That run has a program
# folder of its own, build-release/fake-printer: a copy of the program with
# its own configuration, templates, logs and print record, so the
# configuration of a plain run is never touched. What the printer received is
# traced in build-release/fake-printer/fakeprinter.log.
#
# It says what runs and how to reach it. Whatever it started ends with the
# program, or with Ctrl+C: the program first, then the printer and the
# virtual display.
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

# What this script started, in order; ended in reverse order.
started=()
scratch=""
# Asks a process to end, gives it 10 s to close its windows, its printer link
# and its print record, then kills it.
stop() {
    local pid="$1"
    kill -TERM "$pid" 2>/dev/null || return 0
    for _ in $(seq 1 100); do
        kill -0 "$pid" 2>/dev/null || return 0
        sleep 0.1
    done
    kill -KILL "$pid" 2>/dev/null || true
}
cleanup() {
    trap - INT TERM HUP EXIT
    local i
    for ((i = ${#started[@]} - 1; i >= 0; i--)); do
        stop "${started[i]}"
    done
    if [ -n "$scratch" ]; then
        rm -rf "$scratch"
    fi
}
trap cleanup EXIT
trap 'cleanup; exit 130' INT
trap 'cleanup; exit 143' TERM
trap 'cleanup; exit 129' HUP

# A virtual display of its own (scripts/virtualdisplay.sh), which cleanup
# ends after the program has let go of it.
# shellcheck source=virtualdisplay.sh
source "$here/scripts/virtualdisplay.sh"
display_line=""
virtual_display() {
    scratch="$(mktemp -d)"
    virtual_display_pid=""
    start_virtual_display "$scratch" || {
        [ -n "$virtual_display_pid" ] && started+=("$virtual_display_pid")
        exit 1
    }
    started+=("$virtual_display_pid")
    display_line="on the virtual display $DISPLAY (Xvfb, 1920x1080); nothing shows on this screen.
  To look at it: DISPLAY=$DISPLAY XAUTHORITY=$XAUTHORITY import -window root screen.png"
}

# Where the local API of the program in folder $1 will listen, as "host port":
# its configuration's "api.address" ("Any": every interface, so loopback
# reaches it) and "api.port", with the program's defaults.
api_endpoint() {
    python3 - "$1/attachment/customConfig.json" <<'EOF'
import ipaddress, json, sys
try:
    with open(sys.argv[1], encoding="utf-8-sig") as f:
        config = json.load(f)
except (OSError, ValueError):
    config = {}
address = config.get("api.address") or "Any"
port = str(config.get("api.port") or "")
if not (port.isdigit() and 1 <= int(port) <= 65535):
    port = "58111"
try:
    ip = ipaddress.ip_address(address)
    host = "127.0.0.1" if ip.is_unspecified else str(ip)
except ValueError:
    host = "127.0.0.1" if address == "Any" else address
print(host, port)
EOF
}

printer_line=""
folder="$build"
if $fake_printer; then
    # The program keeps its configuration beside itself, so the fake
    # printer's run gets a folder, and a copy of the program, of its own.
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
        >"$announce" 2>"$folder/fakeprinter.log" </dev/null &
    started+=($!)

    port=""
    for _ in $(seq 1 100); do
        port="$(python3 -c 'import json, sys; print(json.loads(open(sys.argv[1]).readline())["port"])' "$announce" \
            2>/dev/null || true)"
        [ -n "$port" ] && break
        if ! kill -0 "${started[-1]}" 2>/dev/null; then
            echo "the fake printer did not start; see $folder/fakeprinter.log" >&2
            exit 1
        fi
        sleep 0.1
    done
    if [ -z "$port" ]; then
        echo "the fake printer did not announce its port" >&2
        exit 1
    fi
    printer_line="  Fake printer: 127.0.0.1:$port over TCP, linked to the terminal (trace: $folder/fakeprinter.log)"

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
fi

if [ -z "${DISPLAY:-}" ]; then
    virtual_display
fi

# The print record and config.ini are opened relative to the working folder.
cd "$folder"
"$folder/kelo-printer" ${args[@]+"${args[@]}"} </dev/null &
program=$!
started+=("$program")

read -r api_host api_port < <(api_endpoint "$folder")
api_url="ws://$api_host:$api_port"
if [[ "$api_host" == *:* ]]; then
    api_url="ws://[$api_host]:$api_port"
fi
if [ -n "$display_line" ]; then
    echo "Running the terminal ($folder/kelo-printer) $display_line"
else
    echo "Running the terminal ($folder/kelo-printer)."
fi
echo "  Local API: $api_url (listens while a printer is linked); try it with"
echo "    /usr/bin/python3 $here/tests/support/apiclient.py --host $api_host --port $api_port --send '{\"requestId\":10,\"seq\":1}'"
if [ -n "$printer_line" ]; then
    echo "$printer_line"
fi
echo "Ctrl+C ends everything this started: the terminal${printer_line:+, the fake printer}${display_line:+, the virtual display}."

status=0
wait "$program" || status=$?
exit "$status"
