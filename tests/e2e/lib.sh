# Helpers of the end-to-end tests: start the real kelvane with a settings folder of its own, read
# what a user would see (windows, the tray icon, the classes of processes), and wait for conditions
# with a deadline. Sourced by the scenarios; needs KELVANE (the program) and an X display.

# Milliseconds of a monotonic-enough clock.
now_ms() { echo $(($(date +%s%N) / 1000000)); }

# wait_for MS COMMAND...: runs COMMAND every 50 ms until it succeeds (0) or MS have passed (1).
wait_for() {
    local limit=$(($(now_ms) + $1))
    shift
    while :; do
        "$@" && return 0
        [ "$(now_ms)" -ge "$limit" ] && return 1
        sleep 0.05
    done
}

# holds MS COMMAND...: COMMAND keeps succeeding for MS (checked every 50 ms).
holds() {
    local limit=$(($(now_ms) + $1))
    shift
    while [ "$(now_ms)" -lt "$limit" ]; do
        "$@" || return 1
        sleep 0.05
    done
}

# The nice value of PID (field 19 of /proc/PID/stat, counted after the name's closing parenthesis).
nice_of() { sed 's/.*) //' "/proc/$1/stat" 2>/dev/null | cut -d' ' -f17; }
nice_is() { [ "$(nice_of "$1")" = "$2" ]; }

# A process that has ended: gone, or a zombie nobody has waited for yet.
ended() {
    state=$(sed 's/.*) //' "/proc/$1/stat" 2>/dev/null | cut -c1)
    [ -z "$state" ] || [ "$state" = Z ]
}
running() { ! ended "$1"; }

# The settings file, as the program keeps it: UTF-16 with a byte-order mark. write_ini takes UTF-8
# lines on standard input.
write_ini() { iconv -f UTF-8 -t UTF-16 >"$settings"; }
read_ini() { iconv -f UTF-16 -t UTF-8 "$settings" 2>/dev/null | tr -d '\r'; }
ini_has() { read_ini | grep -qxF -- "$1"; }

# A fresh settings folder (and home) for one scenario, removed with everything the scenario started.
fresh_settings() {
    scratch=$(mktemp -d)
    mkdir -p "$scratch/config/kelvane" "$scratch/home" "$scratch/runtime"
    chmod 700 "$scratch/runtime"
    settings=$scratch/config/kelvane/kelvane.ini
}

started_pids=""
spawned=0
# spawn COMMAND...: starts a child in the background, notes its PID in $child and its output's file
# in $child_out.
spawn() {
    spawned=$((spawned + 1))
    child_out=$scratch/out.$spawned
    "$@" >"$child_out" 2>/dev/null &
    child=$!
    started_pids="$started_pids $child"
}
# first_line FILE: the first line of a child's output, once it has written one.
has_line() { [ -n "$(head -n1 "$1")" ]; }
first_line() { wait_for 10000 has_line "$1" && head -n1 "$1"; }
# spawn_niced NICE COMMAND...
spawn_niced() {
    n=$1
    shift
    spawn nice -n "$n" "$@"
}

start_kelvane() {
    XDG_CONFIG_HOME=$scratch/config HOME=$scratch/home XDG_RUNTIME_DIR=$scratch/runtime LC_ALL=C \
        QT_QPA_PLATFORM=xcb \
        "$KELVANE" 2>>"$scratch/kelvane.log" &
    kelvane=$!
    started_pids="$started_pids $kelvane"
}

# Ends kelvane with SIGTERM, as a logout does, and waits until it is gone.
stop_kelvane() {
    kill -TERM "$kelvane" 2>/dev/null
    wait_for 15000 ended "$kelvane"
    rc=$?
    wait "$kelvane" 2>/dev/null
    return $rc
}

cleanup() {
    for p in $started_pids; do kill -KILL "$p" 2>/dev/null; done
    for p in $started_pids; do wait "$p" 2>/dev/null; done
    [ -n "${scratch:-}" ] && rm -rf "$scratch"
}

# Preferences every scenario of the window shares: no splash, no version check, short intervals.
common_preferences='[Preferences]
Show splash screen=0
CheckForNewVersion=0
OptimizerInterval=50
RefreshInterval=200'

# Runs the script's scenario_$scenario and ends with its verdict, and kelvane's messages when a
# check failed.
run_scenario() {
    echo "$scenario:"
    "scenario_$scenario"
    if [ "$failures" -ne 0 ]; then
        echo "$scenario: $failures checks failed; kelvane's messages:"
        cat "$scratch/kelvane.log"
        exit 1
    fi
    echo "$scenario: passed"
}

# The start of every scenario: inside desktop.sh's namespace only, a fresh settings folder that goes
# at the end, and a desktop that is up: the window manager has announced itself and, with
# "tray", the notification area shows.
#   begin_scenario [tray]
wm_ready() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
trayer_ready() { [ -n "$(xdotool search --class trayer 2>/dev/null)" ]; }
begin_scenario() {
    if [ "${KELVANE_E2E_NAMESPACE:-}" != 1 ]; then
        echo "skipped: not inside the private PID namespace of desktop.sh"
        exit 77
    fi
    fresh_settings
    trap cleanup EXIT
    if ! wait_for 20000 wm_ready; then
        echo "FAILED: no window manager on display $DISPLAY"
        exit 1
    fi
    if [ "${1:-}" = tray ] && ! wait_for 20000 trayer_ready; then
        echo "FAILED: no notification area on display $DISPLAY"
        exit 1
    fi
}

# A visible window of kelvane's process by its title (exact) and at least MIN-WIDTH pixels wide (the
# tray icon's window has the program's name too).
#   window_of_kelvane TITLE [MIN-WIDTH]
window_of_kelvane() {
    for id in $(xdotool search --all --onlyvisible --pid "$kelvane" --name "^$1\$" 2>/dev/null); do
        WIDTH=0
        eval "$(xdotool getwindowgeometry --shell "$id" 2>/dev/null)"
        [ "$WIDTH" -ge "${2:-0}" ] && echo "$id" && return 0
    done
    return 1
}
has_main_window() { [ -n "$(window_of_kelvane Kelvane 200)" ]; }
# The main window, asked again for up to 5 s: a window being mapped or framed may briefly not show.
main_window() {
    for _ in 1 2 3 4 5 6 7 8 9 10; do
        window_of_kelvane Kelvane 200 && return 0
        sleep 0.5
    done
    return 1
}
# xwininfo of a window; fails at once without one, where xwininfo would wait for a window to be
# picked by hand.
window_info() { [ -n "${1:-}" ] || return 1; xwininfo -id "$@"; }
# xprop of a window, likewise.
window_prop() { [ -n "${1:-}" ] || return 1; xprop -id "$@"; }

# activate WINDOW: asks the window manager for the focus until the window has it (it may drop a
# request that comes too soon after the last one).
is_active() { [ "$(xdotool getactivewindow 2>/dev/null)" = "$1" ]; }
ask_focus() {
    xdotool windowactivate "$1" 2>/dev/null
    wait_for 300 is_active "$1"
}
activate() { wait_for 10000 ask_focus "$1"; }

# click_in WINDOW X Y [BUTTON]: a click at a point of the window (its own coordinates). The place
# comes from xwininfo: xdotool adds the frame's offset once more under openbox.
click_in() {
    [ -n "$1" ] || return 1
    left=$(window_info "$1" | sed -n 's/^ *Absolute upper-left X: *//p')
    top=$(window_info "$1" | sed -n 's/^ *Absolute upper-left Y: *//p')
    # The pointer comes from elsewhere: Qt takes a press as a click on what is under the pointer once
    # it has seen the pointer enter, and a menu bar ignores a press where its menu closed last.
    xdotool mousemove $((left + $2 + 100)) $((top + $3 + 100)) sleep 0.1 \
        mousemove $((left + $2)) $((top + $3)) sleep 0.2 click "${4:-1}"
}

# A menu of kelvane is open (a drop-down from the menu bar or a pop-up such as the tray's): an
# override-redirect window of the program bigger than its tray icon and not a tool tip.
menu_shown() {
    for id in $(xdotool search --onlyvisible --pid "$kelvane" 2>/dev/null); do
        info=$(window_info "$id" -all 2>/dev/null)
        echo "$info" | grep -q 'Override Redirect State: yes' || continue
        echo "$info" | grep -q _TOOLTIP && continue
        [ "$(echo "$info" | sed -n 's/^ *Width: *//p')" -gt 30 ] 2>/dev/null && return 0
    done
    return 1
}
# open_menu COMMAND...: runs COMMAND (a click that opens a menu) until the menu shows.
click_for_menu() { menu_shown || "$@"; wait_for 1500 menu_shown; }
open_menu() { wait_for 10000 click_for_menu "$@"; }
no_menu() { ! menu_shown; }
# menu_keys KEYS OPENER...: opens a menu afresh with OPENER and takes an item by KEYS and Return.
# Under load a menu can show before it has the keyboard and the keys are lost, so the callers try
# again until the item's effect shows; a menu left open is closed first, so that no key counts twice.
menu_keys() {
    keys=$1
    shift
    if menu_shown; then
        xdotool key Escape
        wait_for 2000 no_menu || return 1
    fi
    "$@" || return 1
    # shellcheck disable=SC2086 # one word per key
    xdotool key $keys Return
}

# The notification area's panel holding only kelvane's icon: sets X Y WIDTH HEIGHT, or fails. An
# empty panel is a few pixels wide.
tray_panel() {
    for id in $(xdotool search --class trayer 2>/dev/null); do
        [ "$(xdotool getwindowname "$id" 2>/dev/null)" = panel ] || continue
        WIDTH=0 HEIGHT=0
        eval "$(xdotool getwindowgeometry --shell "$id" 2>/dev/null)"
        [ "$WIDTH" -gt 8 ] && [ "$WIDTH" -lt $((2 * HEIGHT - 4)) ] && return 0
    done
    return 1
}
click_tray() {
    tray_panel || return 1
    xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) sleep 0.2 click "$1"
}

# The height in pixels of kelvane's tool tip window while one is shown, else nothing.
tip_height() {
    for id in $(xdotool search --onlyvisible --pid "$kelvane" 2>/dev/null); do
        window_prop "$id" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q _NET_WM_WINDOW_TYPE_TOOLTIP || continue
        xdotool getwindowgeometry --shell "$id" 2>/dev/null | sed -n 's/^HEIGHT=//p'
        return 0
    done
}
no_tip() { [ -z "$(tip_height)" ]; }
a_tip() { [ -n "$(tip_height)" ]; }
# nudge_tray: moves the pointer onto the icon, a pixel at a time, and waits a moment for its tip.
nudge_tray() {
    a_tip && return 0
    tray_panel || return 1
    xdotool mousemove $((X + WIDTH / 2 - 3)) $((Y + HEIGHT / 2)) sleep 0.1 mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2))
    wait_for 2000 a_tip
}
# hover_tray: rests the pointer on the icon until its tip shows (a fresh one: the pointer leaves
# first, so that a tip still shown goes); prints the tip's height.
hover_tray() {
    xdotool mousemove 0 0
    wait_for 5000 no_tip
    wait_for 15000 nudge_tray || return 1
    tip_height
}

# A check that fails the scenario with a message.
failures=0
check() {
    what=$1
    shift
    if "$@"; then
        echo "  ok: $what"
    else
        echo "  FAILED: $what"
        failures=$((failures + 1))
        return 1
    fi
}
