#!/bin/sh
# End-to-end scenarios of kelvane's dialogs on a virtual desktop, as the window manager sees them:
# their exact captions, whose windows they are (WM_TRANSIENT_FOR), the stacking order and where
# they open. CTest runs each under desktop.sh, as scenarios.sh.
#   dialogs.sh SCENARIO KELVANE
# Exit status 0 passed, 1 failed, 77 skipped (with the reason printed).
set -u
scenario=$1
KELVANE=$2
. "$(dirname "$0")/lib.sh"

if [ "${KELVANE_E2E_NAMESPACE:-}" != 1 ]; then
    echo "skipped: not inside the private PID namespace of desktop.sh"
    exit 77
fi
fresh_settings
trap cleanup EXIT

wm_ready() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
if ! wait_for 20000 wm_ready; then
    echo "FAILED: no window manager on display $DISPLAY"
    exit 1
fi

# The window's menus and the process list's context menu (menu titles X pixels from the left).
open_window_menu() {
    window=$(main_window)
    [ -n "$window" ] || return 1
    activate "$window" || return 1
    open_menu click_in "$window" "$1" 8
}
open_options_menu() { open_window_menu 52; }
# The list's first rows lie below the panels; a right click selects the row and opens its menu.
open_list_menu() { open_menu click_in "$(main_window)" 100 264 3; }
above() { xprop -id "$(main_window)" _NET_WM_STATE 2>/dev/null | grep -q _NET_WM_STATE_ABOVE; }
stay_on_top() { above || menu_keys "Down" open_options_menu && wait_for 5000 above; }

# The frame of a client window: its place (xwininfo) less the frame extents the window manager
# announces; sets FX FY FW FH.
frame_of() {
    x=$(xwininfo -id "$1" | sed -n 's/^ *Absolute upper-left X: *//p')
    y=$(xwininfo -id "$1" | sed -n 's/^ *Absolute upper-left Y: *//p')
    w=$(xwininfo -id "$1" | sed -n 's/^ *Width: *//p')
    h=$(xwininfo -id "$1" | sed -n 's/^ *Height: *//p')
    # shellcheck disable=SC2046 # left, right, top, bottom
    set -- $(xprop -id "$1" _NET_FRAME_EXTENTS | sed 's/.*= *//; s/,/ /g')
    FX=$((x - $1)) FY=$((y - $3)) FW=$((w + $1 + $2)) FH=$((h + $3 + $4))
}
# within LOW VALUE HIGH: VALUE brought into LOW ... HIGH (LOW where it does not fit).
within() {
    v=$2
    [ "$v" -gt "$3" ] && v=$3
    [ "$v" -lt "$1" ] && v=$1
    echo "$v"
}
near() { [ "${1#-}" -le 3 ] && [ "${2#-}" -le 3 ]; }
transient_for() { printf '%d' "$(xprop -id "$1" WM_TRANSIENT_FOR | sed -n 's/.*window id # //p')"; }
# Where a window is in the stacking order, bottom to top.
stacked_at() {
    xprop -root _NET_CLIENT_LIST_STACKING | sed 's/.*# //; s/,/\n/g' | while read -r id; do
        printf '%d\n' "$id"
    done | grep -nx "$1" | cut -d: -f1
}
dialog_shown() { [ -n "$(window_of_kelvane "$1" 100)" ]; }
dialog_gone() { ! dialog_shown "$1"; }

# open_dialog TITLE KEYS OPENER...: takes a menu item by KEYS until the dialog of that exact
# caption shows.
try_dialog() {
    title=$1 keys=$2
    shift 2
    dialog_shown "$title" || menu_keys "$keys" "$@" && wait_for 3000 dialog_shown "$title"
}
# owned TITLE: the dialog shown is a window of the main window, above it, centred on it.
owned() {
    name=$1
    dialog=$(window_of_kelvane "$name" 100)
    main=$(main_window)
    check "\"$name\" is transient for the main window" [ "$(transient_for "$dialog")" = "$main" ]
    check "\"$name\" stacks above the main window" [ "$(stacked_at "$dialog")" -gt "$(stacked_at "$main")" ]
    frame_of "$main"
    mx=$((FX + FW / 2)) my=$((FY + FH / 2))
    frame_of "$dialog"
    # Centred on the main window's frame, as far as the work area (the screen less the panel) lets it.
    # shellcheck disable=SC2046 # x, y, width, height
    set -- $(xprop -root _NET_WORKAREA | sed 's/.*= *//; s/,/ /g')
    ex=$(within "$1" $((mx - FW / 2)) $(($1 + $3 - FW)))
    ey=$(within "$2" $((my - FH / 2)) $(($2 + $4 - FH)))
    dx=$((FX - ex)) dy=$((FY - ey))
    check "\"$name\" opens centred on the main window (off by $dx, $dy)" near "$dx" "$dy"
}
close_dialog() {
    dialog=$(window_of_kelvane "$1" 100)
    [ -n "$dialog" ] || return 0
    activate "$dialog" && xdotool key Escape
    wait_for 3000 dialog_gone "$1"
}

# With "Stay on Top" switched on (the window made anew), every dialog opens above the window,
# owned by it and centred on it, under its exact caption.
scenario_dialogs_on_top() {
    write_ini <<EOF
[Preferences]
Show splash screen=0
CheckForNewVersion=0
WindowLeft=0
WindowTop=0
WindowWidth=1024
WindowHeight=600
EOF
    start_kelvane
    check "the window shows" wait_for 20000 has_main_window
    check "\"Stay on Top\" keeps the window above the others" wait_for 20000 stay_on_top
    for dialog in "Kelvane Settings|Down Down|open_options_menu" \
        "Process Information|Down Down Down Down|open_list_menu" \
        "Set Process Shutdown Time|Down Down Down Down Down Down Down Down Down Down Down|open_list_menu" \
        "Configuration Wizard|Right Down|open_options_menu"; do
        title=${dialog%%|*} rest=${dialog#*|}
        keys=${rest%%|*} opener=${rest#*|}
        if check "\"$title\" opens, with that caption exactly" wait_for 20000 try_dialog "$title" "$keys" $opener; then
            owned "$title"
            # KELVANE_E2E_SHOTS=FOLDER keeps a picture of each dialog (xwd, by window).
            [ -n "${KELVANE_E2E_SHOTS:-}" ] && sleep 0.5 &&
                xwd -id "$(window_of_kelvane "$title" 100)" -out "$KELVANE_E2E_SHOTS/$title.xwd"
            check "\"$title\" closes with Escape" close_dialog "$title"
        fi
    done
    check "kelvane ends on SIGTERM" stop_kelvane
}

echo "$scenario:"
"scenario_$scenario"
if [ "$failures" -ne 0 ]; then
    echo "$scenario: $failures checks failed; kelvane's messages:"
    cat "$scratch/kelvane.log"
    exit 1
fi
echo "$scenario: passed"
