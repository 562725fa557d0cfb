#!/bin/bash
# End-to-end test: devhost.exe runs zelk.dll under Wine and xdotool drives it
# with real mouse and keyboard input, as a user would. What the user would see
# is read back from the screen's pixels, what is kept from zelk.rc.
#
# CTest runs it inside the Xvfb that `make test` starts. Run by hand without
# a DISPLAY it starts its own Xvfb:  ZELK_BUILD=$PWD/build bash tests/e2e.sh
#
# Each scenario starts devhost once. The windows are drawn in a flat solid
# style written below, so the colours on screen are known exactly (only the
# edges of smoothed text blend):
#   background and open entries  #204080      ticked entries  #80c0ff
#   open entries' text           #ffff00      ticked text     #ff0000
# Geometry, in the plug-in window's own coordinates, for n entries: the window
# is 100 x (30 + 15n); entry i's tick box is 10x10 at (5, 15i + 10), its label
# 75x15 at (20, 15i + 8); "Add Item" is 90x15 at (5, 15n + 12).
set -u

HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(dirname "$HERE")
: "${ZELK_BUILD:=$ROOT/build}"
export ZELK_BUILD

if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$@"
fi

. "$ROOT/scripts/wine-env"
. "$ROOT/scripts/x-windows"
DEVHOST=$ZELK_BUILD/host/devhost.exe
WORK=$ZELK_BUILD/e2e
LOG=$WORK/wine.log

BG=204080 DONE_BG=80c0ff TEXT=ffff00 DONE_TEXT=ff0000 EDITOR=ffffff

PASSED=0 FAILED=0
HOST_PID=""

pass() { PASSED=$((PASSED + 1)); echo "ok   $1"; }
fail() { FAILED=$((FAILED + 1)); echo "FAIL $1"; }

# check DESCRIPTION COMMAND...: the command must succeed now.
check() {
    local what=$1
    shift
    if "$@"; then pass "$what"; else fail "$what"; fi
}

# eventually DESCRIPTION COMMAND...: the command must succeed within $WAIT
# seconds; Wine paints and writes files asynchronously, so most results are
# polled for rather than slept on.
WAIT=5
eventually() {
    local what=$1 deadline=$((SECONDS + WAIT))
    shift
    while ! "$@"; do
        if [ $SECONDS -ge $deadline ]; then
            fail "$what"
            return 1
        fi
        sleep 0.05
    done
    pass "$what"
}

# ---- Wine and the host ----------------------------------------------------

# Runs devhost in a private Wine prefix: a folder of links to the build's
# prefix, so it gets a wineserver of its own. The host finds "the running
# devhost" through that server; sharing it, this test could --quit a devhost
# that `make run` left open, or be refused a start because of it.
make_private_prefix() {
    local shared=$WINEPREFIX entry
    mkdir -p "$WORK/prefix"
    for entry in "$shared"/* "$shared"/.update-timestamp; do
        # "wineserver" names the shared prefix's own server socket folder.
        [ "$(basename "$entry")" = wineserver ] || ln -s "$entry" "$WORK/prefix/"
    done
    export WINEPREFIX=$WORK/prefix
}

winpath() { printf 'Z:%s' "${1//\//\\}"; }

devhost() { "$ZELK_WINE" "$DEVHOST" "$@" >>"$LOG" 2>&1; }

# Returns once devhost shows a window, or after half a minute (a first
# start in a fresh prefix is slow); the scenario then checks which window.
start_host() {
    "$ZELK_WINE" "$DEVHOST" "$@" >>"$LOG" 2>&1 &
    HOST_PID=$!
    devhost_window_shows 30
}

host_running() { [ -n "$HOST_PID" ] && kill -0 "$HOST_PID" 2>/dev/null; }

# Waits for the host process to end and checks its exit status.
host_ended() {
    local what=$1 deadline=$((SECONDS + 10)) status
    while host_running; do
        if [ $SECONDS -ge $deadline ]; then
            fail "$what (still running)"
            kill "$HOST_PID" 2>/dev/null
            wait "$HOST_PID" 2>/dev/null
            HOST_PID=""
            return 1
        fi
        sleep 0.05
    done
    wait "$HOST_PID"
    status=$?
    HOST_PID=""
    check "$what (exit status $status)" [ "$status" -eq 0 ]
}

# A scenario that gave up may leave its host running; the next one needs
# the place.
stop_leftover_host() {
    host_running || return 0
    devhost --quit || kill "$HOST_PID" 2>/dev/null
    wait "$HOST_PID" 2>/dev/null
    HOST_PID=""
}

cleanup() {
    xdotool keyup ctrl mouseup 1 2>/dev/null
    stop_leftover_host
    # Only this test's own server, in its private prefix.
    [ "$WINEPREFIX" = "$WORK/prefix" ] && "$ZELK_WINESERVER" -k 2>/dev/null
}
trap cleanup EXIT

# ---- the screen -----------------------------------------------------------

# Pixels of a screen rectangle X Y W H, one "x y rrggbb r g b" line each, x
# and y relative to the rectangle's corner, row by row.
PIXELS_AWK='NR > 1 {
    split($1, p, /[,:]/); split($2, v, /[(),]/); i = index($0, "#")
    print p[1], p[2], tolower(substr($0, i + 1, 6)), v[2], v[3], v[4] }'
# While SHOT names a PNG file, they come from it instead of the screen. A
# screen that cannot be read fails (see none_of), with the tool's own words.
SHOT=""
grab() {
    if [ -n "$SHOT" ]; then
        convert "$SHOT" -crop "${3}x${4}+${1}+${2}" +repage -depth 8 txt:-
    else
        import -window root -crop "${3}x${4}+${1}+${2}" -depth 8 txt:-
    fi | awk "$PIXELS_AWK"
}

colour_at() { grab "$1" "$2" 1 1 | awk '{ print $3 }'; }
is_colour() { [ "$(colour_at "$1" "$2")" = "$3" ]; }

# Text is drawn smoothed, so its edges blend into the gradient under it; a
# text pixel is one within 64 of the text colour in every channel, which no
# blend of less than three quarters text reaches.
NEAR_AWK='function hex(s, i) { return index("0123456789abcdef", substr(s, i, 1)) - 1 }
function d(a, b) { return a > b ? a - b : b - a }
BEGIN { r = hex(c, 1) * 16 + hex(c, 2); g = hex(c, 3) * 16 + hex(c, 4); b = hex(c, 5) * 16 + hex(c, 6) }
function near() { return d($4, r) <= 64 && d($5, g) <= 64 && d($6, b) <= 64 }'

# How many pixels of the rectangle X Y W H are exactly COLOUR.
count_colour() { grab "$1" "$2" "$3" "$4" | awk -v c="$5" '$3 == c { n++ } END { print n + 0 }'; }
# None of them, read from a screen that could be read: no pixels is no proof.
none_of() ( set -o pipefail; n=$(count_colour "$@") && [ "$n" -eq 0 ] )
# How many are text of COLOUR (see NEAR_AWK).
count_text() { grab "$1" "$2" "$3" "$4" | awk -v c="$5" "$NEAR_AWK"' near() { n++ } END { print n + 0 }'; }
text_at_least() { [ "$(count_text "$2" "$3" "$4" "$5" "$6")" -ge "$1" ]; }
no_text() ( set -o pipefail; n=$(count_text "$@") && [ "$n" -eq 0 ] )

# The longest horizontal run of text of COLOUR in the rectangle X Y W H.
longest_run() {
    grab "$1" "$2" "$3" "$4" | awk -v c="$5" "$NEAR_AWK"'
        $2 != row { row = $2; run = 0 }
        { run = near() ? run + 1 : 0; if (run > best) best = run }
        END { print best + 0 }'
}

# window_geometries and window_geometry: scripts/x-windows.

# Succeeds when the plug-in's window is at X Y and W x H, and keeps X Y in WX WY.
WX=0 WY=0
window_is() { [ "$(window_geometry)" = "$1 $2 $3 $4" ] && WX=$1 WY=$2; }

# ---- what the plug-in shows, in its own coordinates from (WX, WY) ----------

label_x() { echo $((WX + 20)); }
label_y() { echo $((WY + 15 * $1 + 8)); }

# An open entry: its own gradient (the background's colour in this style)
# under the label's text colour, nothing struck out.
entry_open() {
    local x y
    x=$(label_x) y=$(label_y "$1")
    is_colour $((x + 1)) $((y + 1)) $BG && text_at_least 20 "$x" "$y" 75 15 $TEXT &&
        no_text "$x" "$y" 75 15 $DONE_TEXT && [ "$(longest_run "$x" "$y" 75 15 $TEXT)" -lt 20 ]
}

# A ticked entry: the gradient reversed, the text in the done colour with a
# line through it (a run of that colour wider than any letter).
entry_ticked() {
    local x y
    x=$(label_x) y=$(label_y "$1")
    is_colour $((x + 1)) $((y + 1)) $DONE_BG && text_at_least 20 "$x" "$y" 75 15 $DONE_TEXT &&
        no_text "$x" "$y" 75 15 $TEXT && [ "$(longest_run "$x" "$y" 75 15 $DONE_TEXT)" -ge 20 ]
}

# A box's inside (within its frame, which has the text colour) holds a tick
# of the text colour only when its entry is ticked.
box_ticked() { text_at_least 8 $((WX + 6)) $((WY + 15 * $1 + 11)) 8 8 $TEXT; }
box_open() { no_text $((WX + 6)) $((WY + 15 * $1 + 11)) 8 8 $TEXT; }

editor_open_on() { [ "$(count_colour "$(label_x)" "$(label_y "$1")" 75 15 $EDITOR)" -ge 600 ]; }
editor_closed() { none_of $((WX + 20)) $((WY + 8)) 75 $((15 * $1)) $EDITOR; }

add_button_shown() { text_at_least 20 $((WX + 5)) $((WY + 15 * $1 + 12)) 90 15 $TEXT; }
window_shown() { [ "$(count_colour "$WX" "$WY" 100 "$1" $BG)" -ge 2000 ]; }
window_gone_from() { none_of "$1" "$2" 100 "$3" $BG; }

# ---- input ------------------------------------------------------------------

click_add() { xdotool mousemove $((WX + 50)) $((WY + 15 * $1 + 19)) click 1; }
click_box() { xdotool mousemove $((WX + 10)) $((WY + 15 * $1 + 15)) click "$2"; }
double_click_label() {
    xdotool mousemove $((WX + 57)) $((WY + 15 * $1 + 15)) click --repeat 2 --delay 60 "$2"
}
# Presses button 1 at X Y, moves by DX DY in steps and lets go.
drag() {
    local x=$1 y=$2 dx=$3 dy=$4
    xdotool mousemove "$x" "$y" mousedown 1 sleep 0.05 \
        mousemove $((x + dx / 3)) $((y + dy / 3)) sleep 0.05 \
        mousemove $((x + dx)) $((y + dy)) sleep 0.05 mouseup 1
}
# The same with Control held. The plug-in asks for Control's state when Wine
# gets round to the button press, not when it happened, so Control stays
# down until the window has been seen moved by DX DY, and W x H.
control_drag() {
    local what=$1 x=$2 y=$3 dx=$4 dy=$5 w=$6 h=$7 moved=0
    xdotool keydown ctrl
    drag "$x" "$y" "$dx" "$dy"
    eventually "$what" window_is $((WX + dx)) $((WY + dy)) "$w" "$h" && moved=1
    xdotool keyup ctrl
    [ $moved = 1 ]
}
park_pointer() { xdotool mousemove 640 1000; }
# Control + right click on the window's corner opens the configuration menu
# at the pointer; KEYS then walk it. The menu opens with its title, so the
# first Down lands on the title and the second on Window.
menu_keys() {
    xdotool mousemove $((WX + 3)) $((WY + 3)) keydown ctrl click 3
    sleep 0.3
    xdotool keyup ctrl
    sleep 0.3
    xdotool key "$@"
}

# Renames entry I the way a user does: double-click the label and type at
# once (the editor has the keyboard, its text selected), then KEY (Return or
# Escape); optionally DELAY milliseconds between letters.
edit_entry() {
    local i=$1 text=$2 key=$3
    double_click_label "$i" 1
    eventually "double-clicking entry $((i + 1)) opens the editor over it" editor_open_on "$i" || return
    xdotool type --delay "${4:-20}" "$text"
    xdotool key "$key"
    eventually "$key closes the editor over entry $((i + 1))" editor_closed $((i + 1))
}

# ---- zelk.rc ------------------------------------------------------------------

RC=$WORK/plugin/zelk.rc
rc_text() { tr -d '\r' <"$RC" 2>/dev/null; }
rc_has() { rc_text | grep -Fqx "$1"; }
# The entries as "text|done" lines.
rc_entries() {
    rc_text | awk -F': ' '/^zelk\.zelk[0-9]+\.text:/ { t = $2 } /^zelk\.zelk[0-9]+\.done:/ { print t "|" $2 }'
}
rc_entries_are() { [ "$(rc_entries)" = "$(printf '%s\n' "$@")" ]; }
rc_entry_count_is() { [ "$(rc_entries | grep -c .)" -eq "$1" ]; }

# ---- scenarios ------------------------------------------------------------------

STYLE=$WORK/flat.style
write_style() {
    cat >"$STYLE" <<'EOF'
toolbar: Flat Solid
toolbar.color: #204080
toolbar.colorTo: #80c0ff
toolbar.textColor: #ffff00
window.label.unfocus.textColor: #ff0000
bevelWidth: 0
borderWidth: 0
EOF
}

# A day with the list: entries added, renamed, ticked and unticked, one
# deleted; the window hidden and shown, moved by Control-drag; then the host
# told to quit, and everything checked in zelk.rc.
scenario_session() {
    echo "-- session: add, edit, tick, delete, hide, move, quit"
    rm -f "$RC"
    start_host --style "$(winpath "$STYLE")" "$(winpath "$WORK/plugin/zelk.dll")"
    eventually "the window appears at (10,10), 100x30, in the style's colours" \
        window_is 10 10 100 30 || return
    eventually "an empty list shows its Add Item button" add_button_shown 0
    check "the window's background is the style's colour" window_shown 30
    check "a first start creates zelk.rc with the default position" \
        eval 'rc_has "zelk.position.x: 10" && rc_has "zelk.position.y: 10"'
    check "a first start has no entries" rc_entry_count_is 0

    local n
    for n in 1 2 3 4; do
        click_add $((n - 1))
        eventually "Add Item adds entry $n: the window grows to $((30 + 15 * n)) pixels" \
            window_is 10 10 100 $((30 + 15 * n)) || return
        eventually "Add Item writes entry $n to zelk.rc at once" rc_entry_count_is "$n"
    done
    eventually "Add Item sits below the fourth entry" add_button_shown 4
    check "new entries are New Item, not done" \
        rc_entries_are "New Item|0" "New Item|0" "New Item|0" "New Item|0"
    for n in 0 1 2 3; do
        check "entry $((n + 1)) shows open: its own gradient and text" entry_open $n
    done

    # Entry 3 is the one deleted; its tick tells it apart from entry 2.
    edit_entry 0 "Buy milk" Return
    edit_entry 1 "Oops" Escape
    edit_entry 3 "Call Bob" Return
    check "the entries show open after editing" \
        eval 'entry_open 0 && entry_open 1 && entry_open 2 && entry_open 3'

    click_box 0 1
    eventually "a left click on entry 1's box ticks it: gradient reversed, text struck out" \
        entry_ticked 0
    click_box 1 1
    eventually "a left click on entry 2's box ticks it" entry_ticked 1
    click_box 1 2
    eventually "a middle click on entry 2's box unticks it" entry_open 1
    check "unticking entry 2 leaves entry 1 ticked" entry_ticked 0
    click_box 2 1
    eventually "a left click on entry 3's box ticks it" entry_ticked 2
    check "entry 3's box shows a tick" box_ticked 2
    check "entry 2's box shows none" box_open 1
    sleep 0.6 # apart from the click before, so this is no double-click
    click_box 2 1
    eventually "a second left click on entry 3's box unticks it" eval 'entry_open 2 && box_open 2'
    sleep 0.6
    click_box 2 1
    eventually "and a third ticks it again" entry_ticked 2

    double_click_label 2 3
    eventually "a right-button double-click deletes entry 3: the window shrinks to 75" \
        window_is 10 10 100 75 || return
    eventually "the deletion writes the list: edits, ticks, the rest renumbered" \
        rc_entries_are "Buy milk|1" "New Item|0" "Call Bob|0"
    eventually "after the rebuild entry 1 still shows ticked" entry_ticked 0
    check "after the rebuild entries 2 and 3 show open" eval 'entry_open 1 && entry_open 2'

    devhost --send @CorvaneHidePlugins
    eventually "@CorvaneHidePlugins takes the window off the screen" window_gone_from 10 10 75
    devhost --send @CorvaneShowPlugins
    eventually "@CorvaneShowPlugins brings it back" eval 'window_shown 75 && entry_ticked 0'

    # A drag without Control must not move the window: the Control-drag after
    # it expects the window exactly 200,150 from (10,10).
    drag 60 13 100 100
    control_drag "Control-drag on the background moves the window by the drag" \
        60 13 200 150 100 75 || return
    eventually "the window is drawn at its new place" window_shown 75
    check "nothing is left at the old place" window_gone_from 10 10 75

    control_drag "Control-drag starting on a label moves the whole window" \
        $((WX + 57)) $((WY + 30)) 100 50 100 75 || return
    eventually "the label dragged on is neither edited nor ticked" \
        eval 'window_shown 75 && entry_open 1 && editor_closed 3'

    devhost --send "@ovletInternal AlwaysOnTop"
    eventually "the AlwaysOnTop command writes its new setting at once" \
        rc_has "zelk.alwaysOnTop: false"

    # Control + right click opens the configuration menu at the pointer;
    # Window > Always On Top, chosen from the keyboard, toggles it back.
    menu_keys Down Down Right Return # past the title, to Window, into it
    eventually "the menu's Window > Always On Top writes its new setting" \
        rc_has "zelk.alwaysOnTop: true"
    eventually "the window is drawn again once the menu has closed" \
        eval 'window_shown 75 && entry_ticked 0'

    park_pointer
    local shot=$WORK/session.png
    check "a screenshot of the window is taken" import -window root -crop "100x75+$WX+$WY" +repage "$shot"
    check "the screenshot shows the window in the style" screenshot_as_expected "$shot"

    check "devhost --quit finds the host and returns 0" devhost --quit
    host_ended "devhost ends after --quit"
    check "zelk.rc holds the moved position, the settings and the entries exactly" \
        [ "$(rc_text)" = "$(cat <<'EOF'
zelk.position.x: 310
zelk.position.y: 210
zelk.width: 100
zelk.alwaysOnTop: true
zelk.snapWindow: true
zelk.transparency: false
zelk.inSlit: false
zelk.transparency.alpha: 200
zelk.zelk1.text: Buy milk
zelk.zelk1.done: 1
zelk.zelk2.text: New Item
zelk.zelk2.done: 0
zelk.zelk3.text: Call Bob
zelk.zelk3.done: 0
EOF
)" ]
}

# The final screenshot, read with the same eyes as the screen: background
# in the corners, entry 1 ticked, entries 2 and 3 open, the button's text.
screenshot_as_expected() {
    local SHOT=$1 WX=0 WY=0
    is_colour 0 0 $BG && is_colour 99 0 $BG && is_colour 0 74 $BG && is_colour 99 74 $BG &&
        entry_ticked 0 && entry_open 1 && entry_open 2 && add_button_shown 3
}

# The list as saved above, started again: it comes back where it was left,
# with its ticks. A change made then is saved when the host gets Control+C,
# as in `make run`.
scenario_restart() {
    echo "-- restart: the saved list comes back; Control+C saves"
    stop_leftover_host
    start_host --style "$(winpath "$STYLE")" "$(winpath "$WORK/plugin/zelk.dll")"
    eventually "the window comes back at its saved place and size" \
        window_is 310 210 100 75 || return
    eventually "entry 1 comes back ticked, entries 2 and 3 open" \
        eval 'entry_ticked 0 && entry_open 1 && entry_open 2'
    click_box 2 1
    eventually "a left click ticks entry 3" entry_ticked 2
    # Text typed into the editor and not yet stored is kept at the end.
    double_click_label 1 1
    eventually "double-clicking entry 2 opens the editor" editor_open_on 1 || return
    xdotool type --delay 20 "Pending"
    sleep 0.3
    kill -INT "$HOST_PID"
    host_ended "devhost ends on Control+C (SIGINT)"
    check "the tick and the text still in the editor at Control+C are in zelk.rc" \
        rc_entries_are "Buy milk|1" "Pending|0" "Call Bob|1"
}

# Every change is saved the moment it is made: a tick, an untick, a stored
# edit and the end of a move reach zelk.rc at once, so killing the host's
# Wine process outright (kill -9) loses none of them.
scenario_crash() {
    echo "-- crash: tick, untick, rename, move, then kill -9; all there after a restart"
    stop_leftover_host
    start_host --style "$(winpath "$STYLE")" "$(winpath "$WORK/plugin/zelk.dll")"
    eventually "the window comes back at its saved place" window_is 310 210 100 75 || return
    eventually "entries 1 and 3 come back ticked, entry 2 open" \
        eval 'entry_ticked 0 && entry_open 1 && entry_ticked 2'
    click_box 1 1
    eventually "a tick is in zelk.rc at once" rc_entries_are "Buy milk|1" "Pending|1" "Call Bob|1"
    click_box 0 2
    eventually "an untick is in zelk.rc at once" \
        rc_entries_are "Buy milk|0" "Pending|1" "Call Bob|1"
    edit_entry 2 "Dentist" Return
    eventually "a stored edit is in zelk.rc at once" \
        rc_entries_are "Buy milk|0" "Pending|1" "Dentist|1"
    control_drag "Control-drag moves the window" $((WX + 50)) $((WY + 3)) 100 50 100 75 || return
    eventually "the end of the move is in zelk.rc at once" \
        eval 'rc_has "zelk.position.x: 410" && rc_has "zelk.position.y: 260"'
    kill -9 "$HOST_PID"
    wait "$HOST_PID" 2>/dev/null
    HOST_PID=""
    start_host --style "$(winpath "$STYLE")" "$(winpath "$WORK/plugin/zelk.dll")"
    eventually "after kill -9 the window comes back where it was moved" \
        window_is 410 260 100 75 || return
    eventually "after kill -9 the ticks come back" \
        eval 'entry_open 0 && entry_ticked 1 && entry_ticked 2'
    check "after kill -9 zelk.rc holds every change" \
        rc_entries_are "Buy milk|0" "Pending|1" "Dentist|1"
    devhost --quit
    host_ended "devhost ends after --quit"
}

# zelk.rc asks for the slit: devhost --slit docks the window in the slit at
# the right edge of the screen, the list works there, and it stays docked.
# Another program writes zelk.rc while the list is open: a sync tool's safe
# save (a new file renamed over the old one) shows at once and keeps this
# window's place; a write racing a click is merged with it.
sync_write() { rc_text | sed "$@" >"$RC.sync" && mv "$RC.sync" "$RC"; }
scenario_shared() {
    echo "-- shared: another program replaces zelk.rc while real clicks tick and add"
    stop_leftover_host
    start_host --style "$(winpath "$STYLE")" "$(winpath "$WORK/plugin/zelk.dll")"
    eventually "the window comes back where it was" window_is 410 260 100 75 || return
    sync_write -e 's/^zelk.position.x: .*/zelk.position.x: 30/' \
        -e 's/^zelk.zelk1.text: .*/zelk.zelk1.text: Buy bread/' \
        -e '$a zelk.zelk4.text: Synced' -e '$a zelk.zelk4.done: 0'
    eventually "the other program's fourth entry shows, the window stays in its place" \
        window_is 410 260 100 90 || return
    click_box 3 1
    eventually "a tick of it is saved with the other program's change" \
        rc_entries_are "Buy bread|0" "Pending|1" "Dentist|1" "Synced|1"
    check "the window's own place is saved, not the other program's" rc_has "zelk.position.x: 410"
    sync_write -e 's/^zelk.zelk2.text: .*/zelk.zelk2.text: Pending call/'
    click_add 4
    eventually "Add Item racing a write is merged with it" \
        rc_entries_are "Buy bread|0" "Pending call|1" "Dentist|1" "Synced|1" "New Item|0"
    eventually "and the window shows all five" window_is 410 260 100 105
    devhost --quit
    host_ended "devhost ends after --quit"
}

scenario_slit() {
    echo "-- slit: devhost --slit docks the window"
    stop_leftover_host
    printf '%s\n' "zelk.position.x: 10" "zelk.position.y: 10" "zelk.inSlit: true" \
        "zelk.zelk1.text: Docked" "zelk.zelk1.done: 1" \
        "zelk.zelk2.text: Second" "zelk.zelk2.done: 0" >"$RC"
    local width height
    read -r width height < <(xdpyinfo | awk '/dimensions:/ { split($2, d, "x"); print d[1], d[2] }')
    start_host --slit --style "$(winpath "$STYLE")" "$(winpath "$WORK/plugin/zelk.dll")"
    # The slit holds the 100x60 window with a 2-pixel margin, centred on the right edge.
    local slit_x=$((width - 104))
    eventually "the slit appears at the right edge, sized to the docked window" \
        window_is $slit_x $(((height - 64) / 2)) 104 64 || return
    WX=$((WX + 2)) WY=$((WY + 2))
    eventually "the plug-in is drawn inside the slit's margin" \
        eval 'window_shown 60 && is_colour $((WX - 1)) $((WY - 1)) 808080'
    check "the docked list shows its entries" eval 'entry_ticked 0 && entry_open 1'
    check "no floating window at the saved position" window_gone_from 10 10 60
    edit_entry 1 "Renamed" Return
    click_add 2
    eventually "Add Item in the slit: the slit grows with the window" \
        window_is $slit_x $(((height - 79) / 2)) 104 79
    eventually "Add Item in the slit writes the new entry and the edit" \
        rc_entries_are "Docked|1" "Renamed|0" "New Item|0"
    # The slit keeps its windows where it lays them: Control-drag moves nothing.
    # Control stays held for a right click after it, which opens the menu;
    # Always On Top chosen there is saved only once the drag was handled.
    xdotool keydown ctrl
    drag $((WX + 50)) $((WY + 3)) -200 40
    menu_keys Down Down Right Return
    eventually "the menu opened after the Control-drag toggles Always On Top" \
        rc_has "zelk.alwaysOnTop: false"
    check "Control-drag on the docked window leaves it in the slit" \
        eval 'window_is $slit_x $(((height - 79) / 2)) 104 79 && window_shown 75'
    devhost --quit
    host_ended "devhost --slit ends after --quit"
    check "the plug-in stays docked: zelk.rc keeps inSlit" rc_has "zelk.inSlit: true"
    check "the docked position saved is the slit's, not a dragged one" \
        eval 'rc_has "zelk.position.x: 2" && rc_has "zelk.position.y: 2"'
}

# Like window_is, for one of several windows (the slit is one too).
a_window_is() { window_geometries | grep -qx "$1 $2 $3 $4" && WX=$1 WY=$2; }

# The list organised by hand: an entry dragged to the top, deletions undone
# with Control+Z and from the menu, ticked entries removed and brought back,
# the width picked from the menu.
scenario_organise() {
    echo "-- organise: drag, undo, remove ticked, width"
    stop_leftover_host
    printf '%s\n' "zelk.zelk1.text: One" "zelk.zelk1.done: 0" "zelk.zelk2.text: Two" \
        "zelk.zelk2.done: 0" "zelk.zelk3.text: Three" "zelk.zelk3.done: 0" >"$RC"
    start_host --style "$(winpath "$STYLE")" "$(winpath "$WORK/plugin/zelk.dll")"
    eventually "the window appears with three entries" window_is 10 10 100 75 || return
    eventually "the entries show" eval 'entry_open 0 && entry_open 2'

    drag $((WX + 57)) $((WY + 45)) 0 -42
    eventually "entry 3 dragged above entry 1: zelk.rc follows the new order" \
        rc_entries_are "Three|0" "One|0" "Two|0"
    check "the window keeps its size" window_is 10 10 100 75

    sleep 0.6
    double_click_label 0 3
    eventually "a first deletion" rc_entries_are "One|0" "Two|0"
    sleep 0.6
    double_click_label 0 3
    eventually "a second deletion" rc_entries_are "Two|0"
    xdotool mousemove $((WX + 3)) $((WY + 3)) click 1 sleep 0.2 key ctrl+z
    eventually "Control+Z in the window brings back the last one at its place" \
        rc_entries_are "One|0" "Two|0"
    menu_keys Down Down Down Return # Undo, here of the first deletion, follows Window
    eventually "the menu's Undo brings back the first, at the top" \
        rc_entries_are "Three|0" "One|0" "Two|0"
    eventually "the window grows back to three rows" window_is 10 10 100 75

    click_box 0 1
    sleep 0.6
    click_box 2 1
    eventually "entries 1 and 3 ticked" rc_entries_are "Three|1" "One|0" "Two|1"
    menu_keys Down Down Down Down Return # Undo (a tick), then Remove Ticked Entries
    eventually "Remove Ticked Entries removes both in one step" rc_entries_are "One|0"
    eventually "the window shrinks to one row" window_is 10 10 100 45
    devhost --send "@ovletInternal UndoDelete"
    eventually "one Undo Delete (sent by devhost --send) brings the whole set back" \
        rc_entries_are "Three|1" "One|0" "Two|1"
    eventually "the ticks show again" eval 'entry_ticked 0 && entry_open 1 && entry_ticked 2'

    # Window > Width > 200: past Always On Top, Snap Window To Edge and
    # Transparency to Width, into it, past 100 and 150.
    menu_keys Down Down Right Down Down Down Right Down Down Return
    eventually "Width 200 from the menu widens the window at once" window_is 10 10 200 75
    eventually "and is saved" rc_has "zelk.width: 200"
    eventually "Add Item's caption is centred on the new width" \
        eval 'text_at_least 10 $((WX + 5)) $((WY + 57)) 95 15 $TEXT &&
            text_at_least 10 $((WX + 100)) $((WY + 57)) 95 15 $TEXT'
    check "the entries' captions too" text_at_least 10 $((WX + 110)) $((WY + 23)) 85 15 $TEXT
    devhost --quit
    host_ended "devhost ends after --quit"
}

# The shell offers a slit but zelk.rc does not ask for it: the menu docks
# the window and floats it free again, back at its place.
scenario_dock() {
    echo "-- dock: into the slit and out again from the menu"
    stop_leftover_host
    printf '%s\n' "zelk.position.x: 200" "zelk.position.y: 300" "zelk.zelk1.text: Docked" \
        "zelk.zelk1.done: 1" "zelk.zelk2.text: Second" "zelk.zelk2.done: 0" >"$RC"
    local width height
    read -r width height < <(xdpyinfo | awk '/dimensions:/ { split($2, d, "x"); print d[1], d[2] }')
    start_host --slit --style "$(winpath "$STYLE")" "$(winpath "$WORK/plugin/zelk.dll")"
    eventually "the window floats at its saved place" a_window_is 200 300 100 60 || return
    # Window > Dock In Slit: past Always On Top, Snap Window To Edge and Transparency.
    menu_keys Down Down Right Down Down Down Return
    local slit_x=$((width - 104)) slit_y=$(((height - 64) / 2))
    eventually "Dock In Slit docks the window: the slit holds it" \
        a_window_is $slit_x $slit_y 104 64 || return
    eventually "and zelk.rc says so" rc_has "zelk.inSlit: true"
    check "nothing is left at the floating place" window_gone_from 200 300 60
    WX=$((WX + 2)) WY=$((WY + 2))
    eventually "the docked list shows its entries" eval 'entry_ticked 0 && entry_open 1'
    menu_keys Down Down Right Down Down Down Return
    eventually "Dock In Slit again floats it free, back at its place" \
        a_window_is 200 300 100 60 || return
    eventually "and zelk.rc says so" rc_has "zelk.inSlit: false"
    eventually "the floating list shows its entries" eval 'entry_ticked 0 && entry_open 1'
    devhost --quit
    host_ended "devhost --slit ends after --quit"
    check "the floating place is saved" \
        eval 'rc_has "zelk.position.x: 200" && rc_has "zelk.position.y: 300"'
}

# zelk in a Cyrillic folder, through devhost's Unicode command line: a text
# typed by real keys reaches zelk.rc as UTF-8 and shows after a restart as
# before. (Wine here has no CJK or emoji fonts: those go unchecked.)
scenario_script() {
    echo "-- script: a Cyrillic folder; a Cyrillic and accented text typed, kept over a restart"
    local dir="$WORK/Дмитрий" text="Zoë Купить" before RC="$WORK/Дмитрий/zelk.rc"
    mkdir -p "$dir" && cp "$ZELK_BUILD/zelk.dll" "$dir/"
    start_host --style "$(winpath "$STYLE")" "$(winpath "$dir/zelk.dll")"
    eventually "devhost runs zelk.dll from a folder with a Cyrillic name" \
        window_is 10 10 100 30 || return
    click_add 0
    eventually "Add Item adds an entry" window_is 10 10 100 45 || return
    # A letter outside the keymap gets a key xdotool binds for the moment;
    # typed fast, Wine may translate the key after it is unbound.
    edit_entry 0 "$text" Return 150
    eventually "the typed text reaches zelk.rc in that folder as UTF-8" rc_entries_are "$text|0"
    park_pointer
    xdotool key Escape # the click gave zelk the keyboard: its focus mark goes with it
    sleep 0.3
    before=$(grab "$(label_x)" "$(label_y 0)" 75 15)
    devhost --quit
    host_ended "devhost ends after --quit"
    start_host --style "$(winpath "$STYLE")" "$(winpath "$dir/zelk.dll")"
    eventually "after a restart the entry shows its text as before" \
        eval '[ "$(grab "$(label_x)" "$(label_y 0)" 75 15)" = "$before" ]'
}

# At 144 DPI (LogPixels in a copy of the prefix's user settings: the other
# scenarios keep 96) all is half as large again: for three entries a 150 x 114
# window, entry i's label 112x23 at (30, 23i + 12). The picture goes to
# $WORK, or to ZELK_PICTURES when set (`make screenshots` sets it to docs/).
scenario_dpi() {
    echo "-- 144 DPI: zelk scaled by 1.5, screenshot in ${ZELK_PICTURES:-$WORK}"
    stop_leftover_host
    local own=$WINEPREFIX entry
    mkdir -p "$WORK/prefix144"
    for entry in "$own"/* "$own"/.update-timestamp; do
        [[ $entry = */user.reg ]] || ln -s "$(readlink -f "$entry")" "$WORK/prefix144/"
    done
    cp "$(readlink -f "$own/user.reg")" "$WORK/prefix144/user.reg"
    export WINEPREFIX=$WORK/prefix144
    "$ZELK_WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >>"$LOG" 2>&1
    printf 'zelk.zelk1.text: Buy milk\nzelk.zelk1.done: 1\nzelk.zelk2.text: Call Bob\nzelk.zelk2.done: 0\nzelk.zelk3.text: Pay rent\nzelk.zelk3.done: 0\n' >"$RC"
    start_host --style "$(winpath "$STYLE")" "$(winpath "$WORK/plugin/zelk.dll")"
    eventually "at 144 DPI the window is 150 x 114" window_is 10 10 150 114 &&
        eventually "the rows are 23 pixels apart, the ticked one first" \
            eval 'is_colour 41 23 $DONE_BG && is_colour 41 46 $BG && is_colour 41 69 $BG' &&
        check "the text is scaled too" text_at_least 60 40 45 112 23 $TEXT
    import -window root -crop 150x114+10+10 +repage -filter point -resize 200% \
        -strip -define png:exclude-chunks=date,time "${ZELK_PICTURES:-$WORK}/screenshot-144dpi.png"
    devhost --quit
    host_ended "devhost at 144 DPI ends after --quit"
    "$ZELK_WINESERVER" -k 2>/dev/null
    export WINEPREFIX=$own
}

# Without the mouse: the Focus command gives zelk the keyboard, then keys
# alone tick, rename, move and add entries.
scenario_keyboard() {
    echo "-- keyboard: Focus, then keys tick, rename, move and add"
    stop_leftover_host
    printf 'zelk.zelk1.text: Buy milk\nzelk.zelk2.text: Call Bob\n' >"$RC"
    start_host --style "$(winpath "$STYLE")" "$(winpath "$WORK/plugin/zelk.dll")"
    eventually "the window shows two entries" window_is 10 10 100 60 || return
    devhost --send "@ovletInternal Focus"
    xdotool key Down space Up F2
    eventually "Down, Space ticks entry 2; Up, F2 edit entry 1" \
        eval 'editor_open_on 0 && rc_entries_are "Buy milk|0" "Call Bob|1"' || return
    xdotool type --delay 20 "Buy bread"
    xdotool key Return ctrl+Down Insert
    xdotool type --delay 20 "Post"
    xdotool key Return
    eventually "Return renames, Control+Down moves, Insert adds, each saved" \
        rc_entries_are "Call Bob|1" "Buy bread|0" "Post|0"
    devhost --quit
    host_ended "devhost ends after --quit"
}

# Undo and redo with real keys: a tick, a rename and a drag, taken back by
# Control+Z newest first, and the last one taken back done again by Control+Y.
scenario_undo() {
    echo "-- undo: tick, rename, drag; Control+Z three times, Control+Y once"
    stop_leftover_host
    printf 'zelk.zelk1.text: Buy milk\nzelk.zelk2.text: Call Bob\nzelk.zelk3.text: Pay rent\n' >"$RC"
    start_host --style "$(winpath "$STYLE")" "$(winpath "$WORK/plugin/zelk.dll")"
    eventually "the window shows three entries" window_is 10 10 100 75 || return
    click_box 0 1
    sleep 0.6
    edit_entry 1 "Call Anna" Return
    drag $((WX + 57)) $((WY + 45)) 0 -42
    eventually "tick, rename and drag are in zelk.rc" rc_entries_are "Pay rent|0" "Buy milk|1" "Call Anna|0"
    xdotool mousemove $((WX + 3)) $((WY + 3)) click 1 sleep 0.2 key ctrl+z
    eventually "Control+Z takes the drag back" rc_entries_are "Buy milk|1" "Call Anna|0" "Pay rent|0"
    xdotool key ctrl+z
    eventually "a second one the rename" rc_entries_are "Buy milk|1" "Call Bob|0" "Pay rent|0"
    xdotool key ctrl+z
    eventually "a third one the tick" rc_entries_are "Buy milk|0" "Call Bob|0" "Pay rent|0"
    xdotool key ctrl+y
    eventually "Control+Y ticks entry 1 again" rc_entries_are "Buy milk|1" "Call Bob|0" "Pay rent|0"
    eventually "the window shows entry 1 ticked, entries 2 and 3 open" \
        eval 'entry_ticked 0 && entry_open 1 && entry_open 2 && box_ticked 0 && box_open 1 && box_open 2'
    devhost --quit
    host_ended "devhost ends after --quit"
}

# The window after a run of changes from every source (keys, a drag, a
# deletion and its undo, Remove Ticked Entries and its undo, another
# program inserting and reordering) looks exactly as a fresh start on the
# same file does: the two screenshots agree pixel for pixel.
scenario_truth() {
    echo "-- truth: after moves, undos and another program's writes, the window equals a fresh start"
    stop_leftover_host
    local i
    for i in 1 2 3 4 5 6; do
        printf 'zelk.zelk%d.text: Item %d\nzelk.zelk%d.done: %d\n' $i $i $i $((i == 2))
    done >"$RC"
    start_host --style "$(winpath "$STYLE")" "$(winpath "$WORK/plugin/zelk.dll")"
    eventually "the window shows six entries" window_is 10 10 100 120 || return
    devhost --send "@ovletInternal Focus"
    sleep 0.5
    xdotool key End ctrl+Up ctrl+Up
    eventually "End, Control+Up twice: entry 6 moves up two places" \
        rc_entries_are "Item 1|0" "Item 2|1" "Item 3|0" "Item 6|0" "Item 4|0" "Item 5|0" || return
    drag $((WX + 57)) $((WY + 30)) 0 22
    eventually "entry 2 dragged below entry 3" \
        rc_entries_are "Item 1|0" "Item 3|0" "Item 2|1" "Item 6|0" "Item 4|0" "Item 5|0" || return
    sleep 0.6
    double_click_label 0 3
    eventually "entry 1 deleted" rc_entry_count_is 5 || return
    xdotool mousemove $((WX + 3)) $((WY + 3)) click 1 sleep 0.2 key ctrl+z
    eventually "Control+Z brings it back at the top" \
        rc_entries_are "Item 1|0" "Item 3|0" "Item 2|1" "Item 6|0" "Item 4|0" "Item 5|0" || return
    devhost --send "@ovletInternal RemoveTicked"
    eventually "Remove Ticked Entries" rc_entry_count_is 5 || return
    devhost --send "@ovletInternal UndoDelete"
    eventually "Undo Delete brings the ticked entry back in the middle" \
        rc_entries_are "Item 1|0" "Item 3|0" "Item 2|1" "Item 6|0" "Item 4|0" "Item 5|0" || return
    # Another program writes the list turned around, with a new entry inside.
    for i in 5 4 6 Inserted 2 3 1; do
        case $i in Inserted) echo "Inserted|0" ;; 2) echo "Item 2|1" ;; *) echo "Item $i|0" ;; esac
    done | awk -F'|' '{ printf "zelk.zelk%d.text: %s\nzelk.zelk%d.done: %s\n", NR, $1, NR, $2 }' \
        >"$RC.other"
    mv "$RC.other" "$RC"
    eventually "the window shows the other program's seven entries" window_is 10 10 100 135 || return
    xdotool key Escape
    park_pointer
    sleep 0.5
    import -window root -crop 100x135+10+10 +repage "$WORK/truth-changed.png"
    devhost --quit
    host_ended "devhost ends after --quit"
    start_host --style "$(winpath "$STYLE")" "$(winpath "$WORK/plugin/zelk.dll")"
    eventually "a fresh start shows the same seven entries" window_is 10 10 100 135 || return
    eventually "the fresh start has painted" entry_ticked 4
    sleep 0.5
    import -window root -crop 100x135+10+10 +repage "$WORK/truth-fresh.png"
    local differ
    differ=$(compare -metric AE "$WORK/truth-changed.png" "$WORK/truth-fresh.png" null: 2>&1)
    check "the changed window and a fresh start show the same pixels ($differ differ)" \
        [ "$differ" = 0 ]
    devhost --quit
    host_ended "devhost ends after --quit"
}

# Quick clicks on Add Item: it moves down a row with each addition, so the
# next click lands on the new row (its label, or its tick box) and the one
# after that makes a double-click there. Each still counts as a click on Add
# Item: five quick clicks are five entries, no editor opens, nothing ticks.
scenario_quick() {
    echo "-- quick: five quick clicks on Add Item add five entries"
    stop_leftover_host
    rm -f "$RC"
    start_host --style "$(winpath "$STYLE")" "$(winpath "$WORK/plugin/zelk.dll")"
    eventually "the window appears with no entries" window_is 10 10 100 30 || return
    xdotool mousemove $((WX + 50)) $((WY + 19)) click --repeat 5 --delay 150 1
    eventually "five quick clicks, over the new rows' labels, add five entries" \
        window_is 10 10 100 105 || return
    xdotool mousemove $((WX + 10)) $((WY + 15 * 5 + 19)) click --repeat 5 --delay 150 1
    eventually "five more, over the new rows' tick boxes, add five more" \
        window_is 10 10 100 180 || return
    park_pointer
    sleep 0.3
    check "ten entries, none ticked" eval '[ "$(rc_entries)" = "$(yes "New Item|0" | head -n 10)" ]'
    check "no editor opened" editor_closed 10
    devhost --quit
    host_ended "devhost ends after --quit"
}

# ---- main ----------------------------------------------------------------------

for tool in xdotool xwininfo xdpyinfo import convert "$ZELK_WINE"; do
    command -v "$tool" >/dev/null || { echo "e2e: $tool is missing (scripts/setup installs it)"; exit 1; }
done
[ -f "$DEVHOST" ] && [ -f "$ZELK_BUILD/zelk.dll" ] || { echo "e2e: build first (make build)"; exit 1; }

rm -rf "$WORK"
mkdir -p "$WORK/plugin"
cp "$ZELK_BUILD/zelk.dll" "$WORK/plugin/"
make_private_prefix
write_style
park_pointer

started=$SECONDS
# By hand, a few scenarios by name: bash tests/e2e.sh organise dock
for scenario in ${*:-session restart crash shared slit organise dock script dpi keyboard truth quick undo}; do
    "scenario_$scenario"
done
echo "e2e: $((SECONDS - started)) s; screenshots and logs in $WORK"
echo "$PASSED passed, $FAILED failed"
[ "$FAILED" -eq 0 ]
