#!/usr/bin/env bash
# Starts the terminal against the stand-in printer (scripts/run.sh
# --fake-printer) on a virtual display with a window manager, walks through
# its pages and dialogs as a user would and saves a picture of each, for
# looking at by hand:
#   bash scripts/screenshots.sh [output folder]     (default build-release/screenshots)
# Installs the capture tools (ImageMagick, xdotool, openbox) when missing.
# The clicks are placed for the maximised window on a 1920x1080 screen.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${KELO_RUN_BUILD_DIR:-$here/build-release}"
out="${1:-$build/screenshots}"

bash "$here/scripts/install-deps.sh"
for tool in import:imagemagick xdotool:xdotool openbox:openbox; do
    if ! command -v "${tool%%:*}" >/dev/null; then
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${tool##*:}"
    fi
done
mkdir -p "$out"

display=":$((100 + RANDOM % 800))"
Xvfb "$display" -screen 0 1920x1080x24 -nolisten tcp &
xvfb_pid=$!
run_pid=""
wm_pid=""
cleanup() {
    [ -n "$run_pid" ] && kill "$run_pid" 2>/dev/null || true
    [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null || true
    kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
export DISPLAY="$display"
sleep 1
# Without a window manager nothing is maximised.
openbox >/dev/null 2>&1 &
wm_pid=$!

# Rows to import on the print page, for the built-in template 通用3CM.
rows="$out/rows.xlsx"
/usr/bin/python3 - "$rows" <<'EOF'
import sys
import openpyxl
book = openpyxl.Workbook()
sheet = book.active
sheet.title = "数据"
sheet.append(["脊背档号", "档号", "馆室号", "缩微号", "脊背案卷题名", "案卷题名", "编制单位", "编制日期", "保管期限", "密级"])
for i in range(1, 5):
    sheet.append([f"A-2024-{i:03d}", f"A-2024-{i:03d}", "001", f"W{i}", f"城建档案第{i}卷",
                  f"道路工程竣工资料第{i}卷", "城建档案馆", f"2024-05-0{i}", "永久", "内部"])
book.save(sys.argv[1])
EOF

bash "$here/scripts/run.sh" --fake-printer >"$out/run.log" 2>&1 &
run_pid=$!
window=""
for _ in $(seq 1 600); do
    window="$(xdotool search --name '^Tarnwick$' 2>/dev/null | head -1 || true)"
    [ -n "$window" ] && break
    sleep 0.5
done
if [ -z "$window" ]; then
    echo "the main window did not appear; see $out/run.log" >&2
    exit 1
fi
sleep 3

click() {
    xdotool mousemove "$1" "$2" click 1
    sleep "${3:-0.8}"
}
shot() {
    import -window root "$out/$1.png"
    echo "$out/$1.png"
}
# The help pop-up's entries from the top, 48 px apart; without branding
# (config.ini) the about entry at the bottom is hidden and the rest move down.
branded=false
grep -qs '^config=true' "$build/fake-printer/config.ini" && branded=true
help_entry() {
    local top=605
    $branded || top=653
    click 124 1006
    click 130 $((top + 48 * $1)) 1.5
}

# The editor zoomed out 14 steps in all (its rulers' marks thin out), then
# restored by its title bar button and maximised again.
zoom_far_and_restore_editor() {
    xdotool mousemove 200 200
    for _ in $(seq 1 8); do
        xdotool keydown ctrl click 5 keyup ctrl; sleep 0.3
    done
    sleep 0.5; shot editor-zoomed-far
    click 1834 21 2; shot editor-restored
    local editor geometry
    editor="$(xdotool search --name '^模板编辑$' | head -1)"
    geometry="$(xdotool getwindowgeometry --shell "$editor")"
    local X Y WIDTH
    X="$(sed -n 's/^X=//p' <<<"$geometry")"
    Y="$(sed -n 's/^Y=//p' <<<"$geometry")"
    WIDTH="$(sed -n 's/^WIDTH=//p' <<<"$geometry")"
    click $((X + WIDTH - 86)) $((Y + 21)) 2
}

# A second run in a folder of its own: no printer (the serial device it
# names is missing), a branded title and administrator mode, whose login
# asks first. Its settings pages show their printer buttons disabled.
unlinked_and_branded() {
    local folder="$build/look"
    rm -rf "$folder"
    mkdir -p "$folder/attachment"
    cp -f "$build/kelo-printer" "$folder/"
    convert -size 72x72 xc:'#1890FF' "$folder/logo.png"
    printf '{"com.mode": "serialPort", "com.port": "ttyUSB9", "admin.feature": "true"}\n' \
        >"$folder/attachment/customConfig.json"
    printf '[Application]\nconfig=true\ntitle=档案盒标签打印终端\nlogo=logo.png\nname=VEMR系列 \n' >"$folder/config.ini"
    (cd "$folder" && exec ./kelo-printer) >"$out/run-look.log" 2>&1 &
    run_pid=$!
    local login=""
    for _ in $(seq 1 120); do
        login="$(xdotool search --name '^管理员登录$' 2>/dev/null | head -1 || true)"
        [ -n "$login" ] && break
        sleep 0.5
    done
    sleep 1; shot admin-login
    xdotool type --delay 100 "kelo$(date +%y%m%d)"; xdotool key Return
    sleep 4; shot home-branded
    # A tooltip of the main window: the printer indicator's.
    xdotool mousemove 1701 24; sleep 2; shot tooltip-main
    click 160 302 1.5; shot settings-unlinked
    xdotool mousemove 1000 700
    for part in 2 3; do
        xdotool click --repeat 8 5; sleep 0.6; shot "settings-unlinked-$part"
    done
    # A five-digit port, typed into the network section's port box.
    click 538 869 0.3; xdotool key ctrl+a; xdotool type "65535"; sleep 0.5; shot settings-port
    click 160 178 1.5
    click 1731 214 1.5; shot delete-question; xdotool key Escape; sleep 0.5
    kill -TERM "$run_pid" 2>/dev/null || true
    wait "$run_pid" || true
    run_pid=""
}

# The messages of the recycle bin and of the import card, each a toast that
# must show over its dialog. Two sample entries, changed just now, go into
# the bin first (its dialog reads the bin afresh for everything it does):
# newest first, they head its list, where the deletes take them.
messages() {
    /usr/bin/python3 - "$build/fake-printer/attachment/customTemplateTrash.json" \
        "$here/resources/config/defaultTemplate.json" <<'EOF'
import datetime, json, os, sys
bin_path, builtin_path = sys.argv[1], sys.argv[2]
entries = []
if os.path.exists(bin_path):
    with open(bin_path, encoding="utf-8-sig") as f:
        entries = json.load(f)
with open(builtin_path, encoding="utf-8-sig") as f:
    builtin = json.load(f)
now = datetime.datetime.now().strftime("%Y-%m-%d %H:%M:%S")
entries = [entry for entry in entries if entry.get("name") not in ("回收站样例一", "回收站样例二")]
for i, name in enumerate(["回收站样例一", "回收站样例二"]):
    entries.append(dict(builtin[i], name=name, modifyTime=now))
with open(bin_path, "w", encoding="utf-8") as f:
    json.dump(entries, f, ensure_ascii=False, indent=4)
EOF
    click 160 178 1.5
    click 1387 102 1.5
    click 1363 276 0.4; shot trash-nothing-ticked; sleep 3
    click 1359 418 1; xdotool key Return; sleep 0.4; shot trash-deleted; sleep 3
    click 533 418 0.3; click 1363 276 1; xdotool key Return; sleep 0.4; shot trash-deleted-ticked; sleep 3
    click 1407 211 1

    local text="$out/not-a-workbook.xlsx"
    echo "nothing but text" >"$text"
    click 160 240 1.5
    click 1638 102 1.5
    click 1201 736 0.4; shot import-no-file; sleep 3
    click 937 445 2; xdotool type "$text"; xdotool key Return; sleep 1.5
    click 1201 736 0.4; shot import-not-a-workbook; sleep 3
    # A workbook of one sheet: the open list shows that sheet's name.
    click 937 445 2; xdotool type "$rows"; xdotool key Return; sleep 1.5
    click 1019 629 0.8; shot import-sheet-list; xdotool key Escape; sleep 0.3
    click 1099 736 1
}

# The delete questions of two templates named with 40 and 300 Chinese
# characters, from the template page and from the recycle bin: each shows
# the whole name. Both stores get the two (changed just now, the 40 last):
# the page lists the newest first, the bin its last entries first.
long_names() {
    /usr/bin/python3 - "$build/fake-printer/attachment" "$here/resources/config/defaultTemplate.json" <<'EOF'
import datetime, json, os, sys
folder, builtin_path = sys.argv[1], sys.argv[2]
with open(builtin_path, encoding="utf-8-sig") as f:
    builtin = json.load(f)
name = ("城建档案馆二〇二四年度道路桥梁排水工程竣工验收资料汇编" * 12)[:300]
now = datetime.datetime.now()
named = [dict(builtin[0], name=name[:n], modifyTime=(now + datetime.timedelta(seconds=i)).strftime("%Y-%m-%d %H:%M:%S"))
         for i, n in enumerate([300, 40])]
for store in ["customTemplate.json", "customTemplateTrash.json"]:
    path = os.path.join(folder, store)
    text = ""
    if os.path.exists(path):
        with open(path, encoding="utf-8-sig") as f:
            text = f.read().strip()
    entries = [e for e in json.loads(text or "[]") if not e.get("name", "").startswith(name[:40])] + named
    with open(path, "w", encoding="utf-8") as f:
        json.dump(entries, f, ensure_ascii=False, indent=4)
EOF
    click 160 178 1.5
    click 1731 214 1.5; shot delete-question-40; xdotool key Escape; sleep 0.5
    click 1731 270 1.5; shot delete-question-300; xdotool key Escape; sleep 0.5
    click 1387 102 1.5
    click 1359 418 1.5; shot trash-question-40; xdotool key Escape; sleep 0.5
    click 1359 474 1.5; shot trash-question-300; xdotool key Escape; sleep 0.5
    click 1407 211 1
}

shot home
click 160 178 1.5; shot templates
# The first row's 编辑 opens the editor; Escape does not close it, its own
# close button (top right of the maximised window) does.
click 1557 214 3; shot editor
# Six wheel steps out: the rulers at a zoom where their numbers must thin out.
xdotool mousemove 600 600
for _ in 1 2 3 4 5 6; do
    xdotool keydown ctrl click 5 keyup ctrl; sleep 0.3
done
sleep 0.5; shot editor-zoomed-out
zoom_far_and_restore_editor
click 1762 1030 1.5; shot save-as
click 1026 628
click 1895 24 1.5
click 160 302 1.5; shot settings
xdotool mousemove 1000 700
for part in 2 3; do
    xdotool click --repeat 8 5; sleep 0.6; shot "settings-$part"
done
click 124 1006; shot help-menu
click 124 1006
help_entry 5; shot help-api; click 1222 378
help_entry 4; shot help-versions; click 1222 378
help_entry 2; shot firmware
click 1123 537 1.5; shot firmware-file-dialog; xdotool key Escape; sleep 0.5
click 1222 378
# Where nothing opens PDF files the manual's entry says so in a red tip.
help_entry 0; sleep 0.2; shot help-manual
if $branded; then
    help_entry 7; shot help-about; click 1222 378
fi

messages
long_names

# The print page: one template, four imported rows, then its preview.
click 160 240 1.5
click 688 102 0.3
xdotool key ctrl+a; xdotool type --delay 150 "通用3CM"; xdotool key Return; sleep 1
shot print
click 1638 102 1.5
click 937 445 2; shot import-file-dialog
xdotool type "$rows"; xdotool key Return; sleep 1.5
shot import
click 1201 736 1.5; shot print-imported
click 1845 102 4; shot preview
# The print range's list, open over the fields below it.
click 1817 148 1; shot preview-range; xdotool key Escape; sleep 0.5
click 1892 24 1.5
click 1888 24 2
wait "$run_pid" || true
run_pid=""
unlinked_and_branded
