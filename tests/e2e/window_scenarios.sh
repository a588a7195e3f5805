#!/bin/sh
# End-to-end scenarios of the main window on a virtual desktop: the process list, the window's
# placement and size on a small screen, the window without a notification area. Each has a settings
# folder of its own and only its own child processes to act on. CTest runs each under desktop.sh.
#   window_scenarios.sh SCENARIO KELVANE TEST-CHILD X-WINDOW-CHILD BUSY-CHILD
# Exit status 0 passed, 1 failed, 77 skipped (with the reason printed).
set -u
scenario=$1
KELVANE=$2
CHILD=$3
XCHILD=$4
BUSY=$5
. "$(dirname "$0")/lib.sh"

begin_scenario tray

# The frame of a window as the window manager placed it: sets FX FY FW FH (the client's place
# and size from xwininfo, widened by _NET_FRAME_EXTENTS).
frame_of() {
    info=$(window_info "$1" 2>/dev/null) || return 1
    cx=$(echo "$info" | sed -n 's/^ *Absolute upper-left X: *//p')
    cy=$(echo "$info" | sed -n 's/^ *Absolute upper-left Y: *//p')
    cw=$(echo "$info" | sed -n 's/^ *Width: *//p')
    ch=$(echo "$info" | sed -n 's/^ *Height: *//p')
    # "_NET_FRAME_EXTENTS(CARDINAL) = left, right, top, bottom"
    set -- $(window_prop "$1" _NET_FRAME_EXTENTS 2>/dev/null | sed -n 's/.*= *//p' | tr -d ',')
    [ $# -eq 4 ] || set -- 0 0 0 0
    FX=$((cx - $1)) FY=$((cy - $3)) FW=$((cw + $1 + $2)) FH=$((ch + $3 + $4))
}
# The screen's work area (the screen less the panels): sets AX AY AW AH.
work_area() {
    set -- $(xprop -root _NET_WORKAREA 2>/dev/null | sed -n 's/.*= *//p' | tr -d ',')
    AX=$1 AY=$2 AW=$3 AH=$4
}
frame_within_work_area() {
    frame_of "$1" && work_area &&
        [ "$FX" -ge "$AX" ] && [ "$FY" -ge "$AY" ] &&
        [ $((FX + FW)) -le $((AX + AW)) ] && [ $((FY + FH)) -le $((AY + AH)) ]
}
ini_value() { read_ini | sed -n "s/^$1=//p" | head -n1; }

# The main window's menus (File at 20 px from the left edge, Options at 69).
open_window_menu() {
    window=$(main_window)
    [ -n "$window" ] || return 1
    activate "$window" || return 1
    open_menu click_in "$window" "$1" 8
}
open_file_menu() { open_window_menu 20; }
open_options_menu() { open_window_menu 69; }
above() { window_prop "$(main_window)" _NET_WM_STATE 2>/dev/null | grep -q _NET_WM_STATE_ABOVE; }
not_above() { ! above; }
stay_on_top() { above || menu_keys "Down" open_options_menu && wait_for 5000 above; }
stay_normal() { not_above || menu_keys "Down" open_options_menu && wait_for 5000 not_above; }
saved_marker() { ini_has "ALUPerc=$1"; }
save_settings() { menu_keys "Down" open_file_menu && wait_for 3000 saved_marker 75; }

# A process started after kelvane shows in the list within a refresh, with the optimizer off: the
# user can pick its row by typing its name in the "Process Name" column and lower it with the list's
# menu ("Low", nice 19).
pick_and_lower() {
    window=$(main_window)
    activate "$window" || return 1
    # A click in the list (the lower part of the window, above the status bar) gives it the keyboard.
    eval "$(xdotool getwindowgeometry --shell "$window")"
    click_in "$window" 150 $((HEIGHT - 80)) || return 1
    sleep 0.5
    xdotool type --delay 40 "$(basename "$1")"
    sleep 0.3
    # The list's menu from the keyboard: from its end, "Open Containing Folder...", "Set Shutdown
    # Time...", then "Low".
    xdotool key Menu
    wait_for 2000 menu_shown || return 1
    xdotool key Up Up Up Return
    wait_for 2000 nice_is "$2" 19
}
scenario_newprocess() {
    write_ini <<EOF
$common_preferences
OptimizerEnabled=0
BoostForeground=0
EOF
    start_kelvane
    check "the window shows" wait_for 20000 has_main_window
    sleep 1
    spawn_niced 3 "$CHILD" threads 1
    late=$child
    # A refresh interval is 200 ms; the row is there well before the keys come.
    sleep 1
    check "the process started afterwards is in the list: its row takes \"Low\"" \
        wait_for 20000 pick_and_lower "$CHILD" "$late"
    check "kelvane ends on SIGTERM" stop_kelvane
}

# "Stay on Top" made the native window anew: the saved placement is still where the window is,
# and a restart puts the window there again (no creeping up the screen).
scenario_placement() {
    write_ini <<EOF
$common_preferences
OptimizerEnabled=0
BoostForeground=0
ALUPerc=75
WindowLeft=0
WindowTop=80
WindowWidth=900
WindowHeight=500
EOF
    start_kelvane
    check "the window shows" wait_for 20000 has_main_window
    window=$(main_window)
    frame_of "$window"
    first_x=$FX first_y=$FY
    check "the window's frame is where the file says (at $FX,$FY)" [ "$FX" = 0 ] && [ "$FY" = 80 ]
    check "\"Stay on Top\" on" wait_for 20000 stay_on_top
    check "\"Stay on Top\" off" wait_for 20000 stay_normal
    # A mark that only a save puts back (read whole before the file is written again).
    marked=$(read_ini | sed 's/^ALUPerc=.*/ALUPerc=60/')
    printf '%s\n' "$marked" | write_ini
    check "\"Save Settings\" writes the settings" wait_for 20000 save_settings
    frame_of "$(main_window)"
    check "the window stayed where it was (frame at $FX,$FY)" [ "$FX" = "$first_x" ] && [ "$FY" = "$first_y" ]
    check "the saved place is the frame's ($(ini_value WindowLeft),$(ini_value WindowTop))" \
        [ "$(ini_value WindowLeft)" = "$FX" ] && [ "$(ini_value WindowTop)" = "$FY" ]
    check "kelvane ends on SIGTERM" stop_kelvane
    start_kelvane
    check "the window shows again" wait_for 20000 has_main_window
    sleep 1
    frame_of "$(main_window)"
    check "after a restart the frame is at the same place ($FX,$FY)" [ "$FX" = "$first_x" ] && [ "$FY" = "$first_y" ]
    check "kelvane ends on SIGTERM" stop_kelvane
}

# On the 1024x768 screen the whole window, frame included, lies in the work area: centred when the
# file has no place, kept within the screen when the file holds a huge size or a place off it.
#   placed_within PREFERENCES...: one start with these lines in [Preferences]
placed_within() {
    {
        echo "$common_preferences"
        echo "OptimizerEnabled=0"
        for line in "$@"; do echo "$line"; done
    } | write_ini
    start_kelvane
    wait_for 20000 has_main_window || return 1
    sleep 1 # the window manager has framed it, and the window kept its frame on the screen
    window=$(main_window)
    frame_of "$window"
    work_area
    echo "    frame $FX,$FY ${FW}x$FH in the work area $AX,$AY ${AW}x$AH"
    frame_within_work_area "$window"
    rc=$?
    stop_kelvane
    return $rc
}
scenario_onscreen() {
    check "no place in the file: the window lies in the work area" placed_within
    check "a huge size: the window lies in the work area" placed_within WindowWidth=2147483647 WindowHeight=2147483647
    check "a place off the screen: the window lies in the work area" placed_within WindowLeft=30000 WindowTop=-30000 \
        WindowWidth=900 WindowHeight=500
    check "the title bar above the screen: the window lies in the work area" placed_within WindowLeft=10 WindowTop=-25
    check "the design size, centred: the window lies in the work area" placed_within WindowWidth=1087 WindowHeight=770
}

# Without a notification area "Start minimized" starts the window iconified, in the task bar (the
# window manager's client list); when a notification area comes up, the icon docks there.
kelvane_windows() { xdotool search --all --pid "$kelvane" --name '^Kelvane$' 2>/dev/null; }
iconic_in_task_bar() {
    for id in $(kelvane_windows); do
        window_prop "$id" WM_STATE 2>/dev/null | grep -q 'window state: Iconic' || continue
        xprop -root _NET_CLIENT_LIST 2>/dev/null | grep -qi "$(printf '0x%x' "$id")" && return 0
    done
    return 1
}
no_trayer() { ! trayer_ready; }
scenario_notray() {
    for id in $(xdotool search --class trayer 2>/dev/null); do
        tray_pid=$(xdotool getwindowpid "$id" 2>/dev/null) && break
    done
    if [ -z "${tray_pid:-}" ]; then
        echo "skipped: the notification area's process is not known"
        exit 77
    fi
    kill -TERM "$tray_pid" # the desktop's own, inside this scenario's PID namespace
    check "the notification area is gone" wait_for 10000 no_trayer
    write_ini <<EOF
$common_preferences
StartMinimzed=1
OptimizerEnabled=0
EOF
    start_kelvane
    check "the window starts iconified, in the task bar" wait_for 20000 iconic_in_task_bar
    check "it stays so" holds 2000 iconic_in_task_bar
    trayer --edge bottom --align right --widthtype request --height 24 --SetDockType true \
        --transparent false --tint 0x303030 >/dev/null 2>&1 &
    started_pids="$started_pids $!"
    check "a notification area comes up: the icon docks there" wait_for 20000 tray_panel
    check "kelvane ends on SIGTERM" stop_kelvane
}

# The foreground boost leaves with the focus: to Kelvane's own window, to another window; at no
# time do two processes hold the boost class (Above Normal, nice -5).
# The two are read one after the other, so a boost that moves between the reads would look like two:
# both count as boosted only when the first is still boosted after the second was read.
not_both_boosted() { ! { nice_is "$1" -5 && nice_is "$2" -5 && nice_is "$1" -5; }; }
scenario_focusleaves() {
    spawn_niced 3 "$XCHILD"
    first=$child
    first_window=$(first_line "$child_out")
    spawn_niced 3 "$XCHILD"
    second=$child
    second_window=$(first_line "$child_out")
    write_ini <<EOF
$common_preferences
OptimizerEnabled=1
BoostForeground=1
BoostPriority=3
EOF
    start_kelvane
    check "the window shows" wait_for 20000 has_main_window
    check "the first window gets the focus" activate "$first_window"
    check "its process is boosted" wait_for 15000 nice_is "$first" -5
    check "Kelvane's own window gets the focus" activate "$(main_window)"
    check "the first process is back at nice 3 within a second" wait_for 1000 nice_is "$first" 3
    check "the first window gets the focus again" activate "$first_window"
    check "its process is boosted again" wait_for 15000 nice_is "$first" -5
    check "the second window gets the focus" activate "$second_window"
    check "the second process is boosted" wait_for 15000 nice_is "$second" -5
    check "the first is back at nice 3" wait_for 1000 nice_is "$first" 3
    for turn in 1 2 3; do
        activate "$first_window"
        check "never both boosted (turn $turn)" holds 600 not_both_boosted "$first" "$second"
        activate "$second_window"
        check "never both boosted (turn $turn, back)" holds 600 not_both_boosted "$first" "$second"
    done
    check "kelvane ends on SIGTERM" stop_kelvane
    check "both are at nice 3" sh -c "[ $(nice_of "$first") = 3 ] && [ $(nice_of "$second") = 3 ]"
}

run_scenario
