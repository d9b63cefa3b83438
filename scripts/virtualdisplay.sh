# Sourced by the scripts that run the program or its tests on a display of
# their own.

# start_virtual_display FOLDER: Xvfb (1920x1080) on the first free display
# number, open only to this user's programs: a fresh cookie in
# FOLDER/Xauthority, written before the number is known (the server takes
# every cookie of its file, whatever the display number). In a session of
# its own, so a Ctrl+C reaches it only through its starter's cleanup.
# Exports DISPLAY and XAUTHORITY and sets virtual_display_pid as soon as the
# server runs; says why and returns 1 when it does not start.
start_virtual_display() {
    local folder="$1" auth="$1/Xauthority" cookie number=""
    cookie="$(od -An -N16 -tx1 /dev/urandom | tr -d ' \n')"
    xauth -q -f "$auth" add :0 . "$cookie" 2>/dev/null
    # Xvfb writes the number it took into the pipe once it accepts clients;
    # should it fail first, the pipe closes and the read ends.
    mkfifo "$folder/display"
    setsid Xvfb -displayfd 3 -auth "$auth" -screen 0 1920x1080x24 -nolisten tcp \
        3>"$folder/display" 2>"$folder/xvfb.log" </dev/null &
    virtual_display_pid=$!
    read -r -t 300 number <"$folder/display" || true
    if [ -z "$number" ]; then
        echo "the virtual display did not start:" >&2
        cat "$folder/xvfb.log" >&2
        return 1
    fi
    xauth -q -f "$auth" add ":$number" . "$cookie"
    export DISPLAY=":$number" XAUTHORITY="$auth"
}
