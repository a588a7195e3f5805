#!/bin/sh
# The first run of the real kelvane on an X display (CTest runs it under Xvfb + openbox, in a
# private PID namespace): with a settings file that holds only the byte-order mark the splash shows
# and about 4 s later the configuration wizard opens, as it does when there is no settings file;
# with a settings file that has content no wizard opens. (The wizard without the splash needs the
# option off while the file is still empty, which only a running program can have: the dialog
# tests cover it.) Then a first run is finished as a person in a hurry would, pressing Return on
# every page and question: the wizard's defaults are saved, the optimizer is on, kelvane holds itself
# at High and is started with the desktop.
#   test_first_run.sh PATH-TO-KELVANE
set -u
kelvane=$1
if [ -z "${DISPLAY:-}" ] || ! command -v xdotool >/dev/null 2>&1; then
    echo "no X display or no xdotool: skipped (scripts/deps.sh --test installs xvfb, openbox and xdotool)"
    exit 77
fi
passed=0
failed=0
visible() { xdotool search --onlyvisible --name "$1" >/dev/null 2>&1; }
alive() { state=$(sed 's/.*) //' /proc/$1/stat 2>/dev/null | cut -c1); [ -n "$state" ] && [ "$state" != Z ]; }
now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
run() { # NAME SETTINGS-BYTES SPLASH WIZARD
    dir=$(mktemp -d)
    mkdir -p "$dir/kelvane"
    [ "$2" = none ] || printf "$2" > "$dir/kelvane/kelvane.ini"
    XDG_CONFIG_HOME=$dir QT_QPA_PLATFORM=xcb "$kelvane" 2>/dev/null &
    pid=$!
    start=$(now_ms)
    splash=0; wizard=0; at=0
    # Wait for the wizard (at most 15 s), noting whether the splash was seen on the way.
    while [ $(( $(now_ms) - start )) -lt 15000 ]; do
        visible '^About Kelvane$' && splash=1
        if visible '^Configuration Wizard$'; then wizard=1; at=$(( $(now_ms) - start )); break; fi
        sleep 0.05
    done
    # End it as a logout would, and make sure it is gone before the next start.
    kill -TERM $pid 2>/dev/null
    for i in $(seq 200); do alive $pid || break; sleep 0.05; done
    if alive $pid; then echo "$1: kelvane did not end on SIGTERM"; kill -KILL $pid; ok_end=0; else ok_end=1; fi
    wait $pid 2>/dev/null
    rm -rf "$dir"
    ok=$ok_end
    [ "$splash" = "$3" ] || { echo "$1: splash seen=$splash, expected $3"; ok=0; }
    [ "$wizard" = "$4" ] || { echo "$1: wizard opened=$wizard, expected $4"; ok=0; }
    if [ "$wizard" = 1 ] && { [ $at -lt 3500 ] || [ $at -gt 10000 ]; }; then
        echo "$1: the wizard opened after $at ms, not about 4 s"; ok=0
    fi
    if [ $ok = 1 ]; then echo "$1: ok (wizard after ${at} ms)"; passed=$((passed + 1)); else failed=$((failed + 1)); fi
}
run FirstRunWithSplash '\377\376' 1 1
run NoSettingsFile none 1 1
run SettingsWithContent '[Preferences]\nShow splash screen=0\n' 0 0

KELVANE=$kelvane
. "$(dirname "$0")/e2e/lib.sh"
nice_of_kelvane() { nice_of "$kelvane"; }
wizard_gone() { [ -z "$(window_of_kelvane 'Configuration Wizard')" ]; }
# Return on kelvane's active window (the wizard's default button is "Next >>", the questions' is
# Yes or OK), until the wizard and its questions are gone and the settings are saved.
press_return() {
    active=$(xdotool getactivewindow 2>/dev/null)
    [ -n "$active" ] && [ "$(xdotool getwindowpid "$active" 2>/dev/null)" = "$kelvane" ] &&
        [ "$active" != "$(main_window)" ] && xdotool key --clearmodifiers Return
    wizard_gone && ini_has OptimizerEnabled=1
}
finish_with_defaults() {
    if [ $$ != 1 ]; then
        echo "FinishedWithDefaults: skipped (ends with the optimizer on: needs a private PID namespace)"
        return
    fi
    fresh_settings
    printf '\377\376' >"$settings"
    start_kelvane
    ok=1
    if ! wait_for 15000 sh -c "xdotool search --onlyvisible --name '^Configuration Wizard\$' >/dev/null"; then
        echo "FinishedWithDefaults: no wizard"; ok=0
    elif ! wait_for 30000 press_return; then
        echo "FinishedWithDefaults: the wizard did not end with the settings saved"; ok=0
    fi
    own=$(readlink "/proc/$kelvane/exe")
    for line in OptimizerEnabled=1 BoostForeground=1 BoostPriority=3 ALUPerc=75 StartMinimzed=1 "[$own]"; do
        ini_has "$line" || { echo "FinishedWithDefaults: the settings lack \"$line\""; ok=0; }
    done
    read_ini | grep -A8 -xF "[$own]" | grep -qx 'Priority=128' ||
        { echo "FinishedWithDefaults: kelvane's own profile is not High"; ok=0; }
    wait_for 10000 nice_is "$kelvane" -10 || { echo "FinishedWithDefaults: kelvane is at nice $(nice_of "$kelvane"), not -10 (High)"; ok=0; }
    [ -f "$scratch/config/autostart/Kelvane.desktop" ] ||
        { echo "FinishedWithDefaults: no autostart entry"; ok=0; }
    stop_kelvane || { echo "FinishedWithDefaults: kelvane did not end on SIGTERM"; ok=0; }
    cleanup
    if [ $ok = 1 ]; then echo "FinishedWithDefaults: ok"; passed=$((passed + 1)); else failed=$((failed + 1)); fi
}
finish_with_defaults
echo "$passed passed, $failed failed"
[ $failed = 0 ]
