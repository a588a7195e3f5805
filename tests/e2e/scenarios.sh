#!/bin/sh
# End-to-end scenarios of the real kelvane on a virtual desktop, each with a settings folder of its
# own and only its own child processes to act on. CTest runs each under desktop.sh.
#   scenarios.sh SCENARIO KELVANE TEST-CHILD X-WINDOW-CHILD BUSY-CHILD
# Exit status 0 passed, 1 failed, 77 skipped (with the reason printed).
set -u
scenario=$1
KELVANE=$2
CHILD=$3
XCHILD=$4
BUSY=$5
. "$(dirname "$0")/lib.sh"

begin_scenario tray

# The tray icon says "Offline" (a one-line tip) while the optimizer is off, and does nothing; a
# middle click switches the optimizer on: the profile of a child applies and the tip shows the
# optimizer's figures (two lines).
scenario_tray() {
    spawn_niced 3 "$CHILD" threads 2
    managed=$child
    write_ini <<EOF
$common_preferences
StartMinimzed=1
BoostForeground=0
[$CHILD]
Priority=128
EOF
    start_kelvane
    check "the icon is docked in the notification area" wait_for 20000 tray_panel
    offline=$(hover_tray)
    check "the icon shows a tip" [ -n "$offline" ]
    check "the tip is one line (\"Offline\"), $offline px high" [ "${offline:-99}" -lt 30 ]
    check "with the optimizer off the child keeps nice 3" holds 1500 nice_is "$managed" 3
    xdotool mousemove 0 0
    click_tray 2
    check "a middle click switches the optimizer on: the child's profile (High) applies" \
        wait_for 15000 nice_is "$managed" -10
    online=$(hover_tray)
    check "the tip now shows the optimizer's figures (two lines, $online px high)" \
        [ "${online:-0}" -gt $((${offline:-99} + 6)) ]
    check "kelvane ends on SIGTERM" stop_kelvane
    check "the child is back at nice 3" nice_is "$managed" 3
}

# The foreground boost: the process of the focused window goes to the boost class (Above Normal,
# nice -5) and back to its own nice when another window gets the focus.
scenario_boost() {
    spawn_niced 3 "$XCHILD"
    first=$child
    first_window=$(first_line "$child_out")
    spawn_niced 3 "$XCHILD"
    second=$child
    second_window=$(first_line "$child_out")
    write_ini <<EOF
$common_preferences
StartMinimzed=1
OptimizerEnabled=1
BoostForeground=1
BoostPriority=3
EOF
    start_kelvane
    check "the icon is docked (kelvane is up)" wait_for 20000 tray_panel
    for turn in first second first; do
        if [ $turn = first ]; then
            on=$first window=$first_window off=$second
        else
            on=$second window=$second_window off=$first
        fi
        check "the $turn window gets the focus" activate "$window"
        check "its process is boosted to nice -5" wait_for 15000 nice_is "$on" -5
        check "the other one is back at nice 3" wait_for 15000 nice_is "$off" 3
    done
    check "kelvane ends on SIGTERM" stop_kelvane
    check "both are at nice 3" sh -c "[ $(nice_of "$first") = 3 ] && [ $(nice_of "$second") = 3 ]"
}

# Anti-LockUp: a child that keeps the processors busy is set to Low (nice 19); once it stops using
# them (stopped), it gets its own nice back. The threshold is a share of all processors: the child
# keeps every one of them busy.
scenario_antilockup() {
    spawn_niced 2 "$BUSY"
    busy=$child
    write_ini <<EOF
$common_preferences
StartMinimzed=1
OptimizerEnabled=1
BoostForeground=0
ALU=1
ALUPerc=20
EOF
    start_kelvane
    check "the busy child is set to Low (nice 19)" wait_for 20000 nice_is "$busy" 19
    kill -STOP "$busy"
    check "stopped, it gets its nice 2 back" wait_for 20000 nice_is "$busy" 2
    kill -CONT "$busy"
    check "kelvane ends on SIGTERM" stop_kelvane
}

# "Kill on sense": a process of a profile marked AutoKill is ended when it appears; others live on.
scenario_killonsense() {
    cp "$CHILD" "$scratch/doomed child"
    spawn_niced 3 "$CHILD" threads 1
    other=$child
    write_ini <<EOF
$common_preferences
StartMinimzed=1
OptimizerEnabled=1
BoostForeground=0
[$CHILD]
Priority=128
[$scratch/doomed child]
AutoKill=1
EOF
    start_kelvane
    check "kelvane manages the other child (High)" wait_for 20000 nice_is "$other" -10
    spawn "$scratch/doomed child" threads 1
    doomed=$child
    check "the child started afterwards is ended" wait_for 15000 ended "$doomed"
    check "the other child lives on" running "$other"
    check "kelvane ends on SIGTERM" stop_kelvane
    check "the other child is back at nice 3" nice_is "$other" 3
}

# A one-off shutdown time: the child lives until its time and is ended when it comes; then the
# time is over: it leaves the settings, and a child of the same program started afterwards lives,
# also after a new start of kelvane.
no_shutdown_time() { ! read_ini | grep -q '^Shutdown time='; }
scenario_shutdowntime() {
    cp "$CHILD" "$scratch/timed child"
    spawn "$scratch/timed child" threads 1
    timed=$child
    spawn "$CHILD" threads 1
    other=$child
    at=$(($(date +%s) + 6))
    write_ini <<EOF
$common_preferences
StartMinimzed=1
OptimizerEnabled=1
BoostForeground=0
[$scratch/timed child]
Shutdown time=$(LC_ALL=C date -d "@$at" '+%-d %b %Y %H:%M:%S')
Shutdown daily=0
EOF
    start_kelvane
    check "the icon is docked (kelvane is up)" wait_for 20000 tray_panel
    until_due=$((at * 1000 - $(now_ms) - 1000))
    [ "$until_due" -gt 0 ] || until_due=0
    check "the child lives until its time" holds "$until_due" running "$timed"
    check "the child is ended when its time comes" wait_for 15000 ended "$timed"
    check "the other child lives on" running "$other"
    check "the time is gone from the settings" wait_for 5000 no_shutdown_time
    spawn "$scratch/timed child" threads 1
    later=$child
    check "a child of the program started afterwards lives" holds 3000 running "$later"
    check "kelvane ends on SIGTERM" stop_kelvane
    start_kelvane
    check "the icon is docked (kelvane is up again)" wait_for 20000 tray_panel
    check "after a new start the later child still lives" holds 3000 running "$later"
    spawn "$scratch/timed child" threads 1
    check "and so does one started now" holds 3000 running "$child"
    check "kelvane ends on SIGTERM" stop_kelvane
}

# "Stay on Top" (the window made anew keeps its graph), "Save Settings" and "Exit" from the
# window's menus, and a new start: the profiles stay.
# open_window_menu X: opens the main window's menu whose title is X pixels from its left edge.
open_window_menu() {
    window=$(main_window)
    [ -n "$window" ] || return 1
    activate "$window" || return 1
    open_menu click_in "$window" "$1" 8
}
open_file_menu() { open_window_menu 20; }
open_options_menu() { open_window_menu 69; }
# The graph draws in an X window of its own inside the main window.
graph_window_shown() { window_info "$(main_window)" -tree 2>/dev/null | grep -q '^ *[1-9][0-9]* child'; }
above() { window_prop "$(main_window)" _NET_WM_STATE 2>/dev/null | grep -q _NET_WM_STATE_ABOVE; }
stay_on_top() { above || menu_keys "Down" open_options_menu && wait_for 5000 above; }
save_settings() { menu_keys "Down" open_file_menu && wait_for 3000 ini_has "ALUPerc=75"; }
exit_by_file_menu() { ended "$kelvane" || menu_keys "Down Down" open_file_menu && wait_for 3000 ended "$kelvane"; }
exit_by_tray_menu() { ended "$kelvane" || menu_keys "Up" open_menu click_tray 3 && wait_for 3000 ended "$kelvane"; }
scenario_saverestart() {
    spawn_niced 3 "$CHILD" threads 1
    managed=$child
    write_ini <<EOF
$common_preferences
OptimizerEnabled=1
BoostForeground=0
WindowLeft=0
WindowTop=0
WindowWidth=900
WindowHeight=560
[$CHILD]
Priority=128
EOF
    start_kelvane
    check "the window shows" wait_for 20000 has_main_window
    check "the profile applies (High)" wait_for 15000 nice_is "$managed" -10
    check "the CPU graph shows" wait_for 10000 graph_window_shown
    check "\"Stay on Top\" keeps the window above the others" wait_for 20000 stay_on_top
    check "the CPU graph shows in the window made anew" wait_for 10000 graph_window_shown
    check "\"Save Settings\" writes the settings (window and profiles)" wait_for 20000 save_settings
    check "the profile is saved" sh -c "$(command -v iconv) -f UTF-16 -t UTF-8 '$settings' | tr -d '\r' |
        grep -A10 -xF '[$CHILD]' | grep -qxF 'Priority=128'"
    check "\"Exit\" ends kelvane" wait_for 25000 exit_by_file_menu && wait "$kelvane" 2>/dev/null
    check "the child is back at nice 3" nice_is "$managed" 3
    check "the profile is still in the settings" ini_has "[$CHILD]"
    start_kelvane
    check "a new start applies the profile again" wait_for 20000 nice_is "$managed" -10
    check "kelvane ends on SIGTERM" stop_kelvane
    check "the child is back at nice 3" nice_is "$managed" 3
}

# Ending kelvane gives every process the class it had, exactly: a child held at High by its
# profile, the boosted foreground, and a busy child set to Low, all at nice 3 before.
#   restore WAY: "tray-exit" (the tray menu's Exit) or "sigterm"
restore() {
    way=$1
    spawn_niced 3 "$CHILD" threads 1
    managed=$child
    spawn_niced 3 "$BUSY"
    busy=$child
    spawn_niced 3 "$XCHILD"
    focused=$child
    focused_window=$(first_line "$child_out")
    write_ini <<EOF
$common_preferences
StartMinimzed=1
OptimizerEnabled=1
BoostForeground=1
BoostPriority=3
ALU=1
ALUPerc=20
[$CHILD]
Priority=128
EOF
    start_kelvane
    check "the icon is docked (kelvane is up)" wait_for 20000 tray_panel
    check "the window gets the focus" activate "$focused_window"
    check "the profile applies (High)" wait_for 15000 nice_is "$managed" -10
    check "the busy child is set to Low" wait_for 20000 nice_is "$busy" 19
    check "the foreground is boosted" wait_for 15000 nice_is "$focused" -5
    if [ "$way" = tray-exit ]; then
        check "the tray menu's \"Exit\" ends kelvane" wait_for 25000 exit_by_tray_menu && wait "$kelvane" 2>/dev/null
    else
        check "kelvane ends on SIGTERM" stop_kelvane
    fi
    for p in "$managed" "$busy" "$focused"; do
        check "process $p is back at nice 3 (now $(nice_of "$p"))" nice_is "$p" 3
    done
}
scenario_restore_trayexit() { restore tray-exit; }
scenario_restore_sigterm() { restore sigterm; }

run_scenario
