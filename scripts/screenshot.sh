#!/usr/bin/env bash
# Takes the README's pictures on a virtual desktop (Xvfb, openbox, trayer): the main window and the
# process information window from the real kelvane, and the other dialogs (shutdown time, settings,
# about, the wizard's pages) as the dialog tests draw them on the same display. kelvane runs in a private PID
# namespace with a fresh settings folder and a few child processes, so that it lists and touches
# nothing but its own; what drives it (xdotool, import) stays outside, so that the list does not fill
# with the short-lived helpers. Needs root for the namespace, ImageMagick's import and xdotool.
# Usage: screenshot.sh [OUTPUT.png] (default docs/kelvane-window.png; the others go beside it)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$here/docs/kelvane-window.png}
build=${KELVANE_BUILD_DIR:-$here/build}
for tool in import xdotool xwininfo; do
    command -v $tool >/dev/null || { echo "screenshot.sh: needs $tool (apt-get install imagemagick xdotool x11-utils)" >&2; exit 1; }
done
mkdir -p "$(dirname "$out")"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/window/kelvane"
# A first start would show the splash screen; the picture is of the window alone. The sleeping
# children have a profile (Below Normal), so the optimizer holds them there. The window's own
# process is the foreground: the boost is off for the picture.
printf '[Preferences]\nShow splash screen=0\nCheckForNewVersion=0\nWindowLeft=0\nWindowTop=0\nWindowWidth=1024\nWindowHeight=600\nOptimizerEnabled=1\nALU=1\nBoostForeground=0\nSortColumnIndex=0\n[/usr/bin/sleep]\nPriority=16384\n' \
    | iconv -f UTF-8 -t UTF-16 > "$scratch/window/kelvane/kelvane.ini"

"$here/scripts/desktop-session.sh" -s 1280x720 bash -c '
    set -u
    kelvane=$1 scratch=$2 out=$3 dialogs=$4
    shots=$(dirname "$out")
    # wait_for SECONDS COMMAND...: runs COMMAND every 0.1 s until it succeeds.
    wait_for() { local n=$(($1 * 10)); shift; until "$@"; do n=$((n - 1)); [ $n -gt 0 ] || return 1; sleep 0.1; done; }
    # The widest visible window of kelvane with that title (the tray icon has the name too).
    window() {
        for id in $(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null); do
            echo "$(xwininfo -id "$id" | sed -n "s/^ *Width: *//p") $id"
        done | sort -n | tail -n1 | cut -d" " -f2
    }
    has_window() { [ -n "$(window "$1")" ]; }
    # start CONFIG CHILDREN: kelvane as the first process of a namespace of its own, with the
    # children. stop ends kelvane with SIGTERM (unshare, its parent, ignores the signal) and so the
    # namespace.
    start() {
        unshare --pid --fork --mount-proc --kill-child=TERM sh -c "$2
            exec env XDG_CONFIG_HOME=\"\$0\" HOME=\"\$0\" \"\$1\" 2>/dev/null" "$scratch/$1" "$kelvane" &
        ns=$!
    }
    stop() { kill $(cat /proc/$ns/task/$ns/children) 2>/dev/null; wait $ns 2>/dev/null || true; }
    # The client area of a window: the same framing as the dialog pictures.
    shoot() { import -window "$(window "$1")" "$shots/$2.png"; echo "$shots/$2.png"; }

    start window "for i in 1 2 3 4 5 6; do sleep 600 & done; nice -n 5 sleep 600 &"
    wait_for 20 has_window Kelvane
    # A few refreshes, so that the CPU columns and the graph have figures.
    sleep 2
    # Select the third row (a managed child), so the properties panel shows what it edits.
    wid=$(window Kelvane)
    eval "$(xdotool getwindowgeometry --shell "$wid")"
    xdotool mousemove $((X + 140)) $((Y + 310)) sleep 0.2 click 1
    sleep 2
    import -window root "$out"
    echo "$out"
    # Its information window, from the list menu: "View Process'"'"'s Details...", the fourth item.
    xdotool mousemove $((X + 140)) $((Y + 310)) sleep 0.2 click 3 sleep 0.5 key Down Down Down Down Return
    if wait_for 10 has_window "Process Information"; then
        sleep 1
        shoot "Process Information" process-information
    else
        echo "screenshot.sh: the process information window did not open" >&2
    fi
    stop

    # The dialogs, drawn by the dialog tests on this display.
    if [ -x "$dialogs" ]; then
        KELVANE_DIALOG_SHOTS=$shots QT_QPA_PLATFORM=xcb "$dialogs" --gtest_filter="*PicturesOfTheDialogs*" >/dev/null 2>&1
        echo "$shots/{shutdown-time,settings,about,wizard-2,wizard-3,wizard-4,wizard-5,wizard-6}.png"
    fi
    ' sh "$build/app/kelvane" "$scratch" "$out" "$build/tests/test_dialogs"
