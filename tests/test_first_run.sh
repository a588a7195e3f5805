#!/bin/sh
# The first run of the real kelvane on an X display (CTest runs it under Xvfb + openbox, in a
# private PID namespace): with a settings file that holds only the byte-order mark the splash shows
# and about 4 s later the configuration wizard opens, as it does when there is no settings file;
# with a settings file that has content no wizard opens. (The wizard without the splash needs the
# option off while the file is still empty, which only a running program can have: the dialog
# tests cover it.)
#   test_first_run.sh PATH-TO-KELVANE
set -u
kelvane=$1
if [ -z "${DISPLAY:-}" ] || ! command -v xdotool >/dev/null 2>&1; then
    echo "no X display or no xdotool: skipped"
    exit 0
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
echo "$passed passed, $failed failed"
[ $failed = 0 ]
