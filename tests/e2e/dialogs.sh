#!/bin/sh
# End-to-end scenarios of kelvane's dialogs on a virtual desktop, as the window manager sees them:
# their exact captions, whose windows they are (WM_TRANSIENT_FOR), the stacking order and where
# they open. CTest runs each under desktop.sh, as scenarios.sh.
#   dialogs.sh SCENARIO KELVANE [PUBLISHER-URL]
# Exit status 0 passed, 1 failed, 77 skipped (with the reason printed).
set -u
scenario=$1
KELVANE=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
PUBLISHER=${3:-}
. "$(dirname "$0")/lib.sh"

begin_scenario

# The window's menus and the process list's context menu (menu titles X pixels from the left).
open_window_menu() {
    window=$(main_window)
    [ -n "$window" ] || return 1
    activate "$window" || return 1
    open_menu click_in "$window" "$1" 8
}
open_options_menu() { open_window_menu 52; }
# A right click on a row of the list (the rows fill the window's middle, below the panels, with
# the processes of the namespace) selects the row and opens its menu.
list_row_y() { echo $(($(window_info "$(main_window)" | sed -n 's/^ *Height: *//p') * 55 / 100)); }
open_list_menu() { open_menu click_in "$(main_window)" 100 "$(list_row_y)" 3; }
above() { window_prop "$(main_window)" _NET_WM_STATE 2>/dev/null | grep -q _NET_WM_STATE_ABOVE; }
stay_on_top() { above || menu_keys "Down" open_options_menu && wait_for 5000 above; }

# The frame of a client window: its place (xwininfo) less the frame extents the window manager
# announces; sets FX FY FW FH.
frame_of() {
    x=$(window_info "$1" | sed -n 's/^ *Absolute upper-left X: *//p')
    y=$(window_info "$1" | sed -n 's/^ *Absolute upper-left Y: *//p')
    w=$(window_info "$1" | sed -n 's/^ *Width: *//p')
    h=$(window_info "$1" | sed -n 's/^ *Height: *//p')
    # shellcheck disable=SC2046 # left, right, top, bottom
    set -- $(window_prop "$1" _NET_FRAME_EXTENTS | sed 's/.*= *//; s/,/ /g')
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
transient_for() { printf '%d' "$(window_prop "$1" WM_TRANSIENT_FOR | sed -n 's/.*window id # //p')"; }
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
SortColumnIndex=0
EOF
    # Sorted by PID, the row clicked is one of the desktop's first processes, which live as long as
    # the scenario: a row of an ended process (the scenario's short-lived tools) gets no dialog.
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
        elif [ -n "${KELVANE_E2E_SHOTS:-}" ]; then
            xwd -id "$(main_window)" -out "$KELVANE_E2E_SHOTS/without $title.xwd"
        fi
    done
    check "kelvane ends on SIGTERM" stop_kelvane
}

# The question about a newer version: a box of kelvane's captioned "Kelvane" that is transient for
# a window (the main window is captioned "Kelvane" too).
question() {
    for id in $(xdotool search --all --onlyvisible --pid "$kelvane" --name '^Kelvane$' 2>/dev/null); do
        window_prop "$id" WM_TRANSIENT_FOR 2>/dev/null | grep -q 'window id' && echo "$id" && return 0
    done
}
no_question() { [ -z "$(question)" ]; }
a_question() { [ -n "$(question)" ]; }
# no_question_while TITLE: no question shows as long as the window of that caption does.
no_question_while() {
    while dialog_shown "$1"; do
        no_question || return 1
        sleep 0.05
    done
}

# The publisher's server on this machine: kelvane and an HTTPS server (openssl s_server) in a
# network namespace of their own, the publisher's host name put on 127.0.0.1 and its certificate
# made the one the machine trusts, both by bind mounts that only this test's mount namespace sees.
start_kelvane_with_publisher() {
    host=$(echo "$PUBLISHER" | sed -n 's|^https://\([^/:]*\)/*$|\1|p')
    mkdir -p "$scratch/www/Kelvane"
    printf '99.0.0.0\n' >"$scratch/www/Kelvane/verdescription.txt"
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=$host" -addext "subjectAltName=DNS:$host" \
        -keyout "$scratch/key.pem" -out "$scratch/cert.pem" >/dev/null 2>&1 || return 1
    printf '127.0.0.1 %s\n' "$host" >"$scratch/hosts"
    mount --bind "$scratch/hosts" /etc/hosts || return 1
    mount --bind "$scratch/cert.pem" /etc/ssl/certs/ca-certificates.crt || return 1
    (
        cd "$scratch/www" || exit 1
        XDG_CONFIG_HOME=$scratch/config HOME=$scratch/home XDG_RUNTIME_DIR=$scratch/runtime LC_ALL=C \
            QT_QPA_PLATFORM=xcb exec unshare --net sh -c '
                ip link set lo up || exit 1
                openssl s_server -quiet -accept 443 -cert "$1/cert.pem" -key "$1/key.pem" -WWW >/dev/null 2>&1 &
                echo $! >"$1/server.pid"
                exec "$2"' sh "$scratch" "$KELVANE" 2>>"$scratch/kelvane.log"
    ) &
    kelvane=$!
    started_pids="$started_pids $kelvane"
}

# A first run with a newer version published: the splash, then the wizard, and only after both
# have closed the question, owned by the main window. (The fetch is done long before: the
# splash alone shows for four seconds.)
scenario_version_after_startup() {
    case $PUBLISHER in
    https://*) ;;
    *)
        echo "skipped: the publisher's address ($PUBLISHER) is not an https:// host name"
        exit 77
        ;;
    esac
    for tool in openssl ip mount; do
        if ! command -v "$tool" >/dev/null 2>&1; then
            echo "skipped: $tool is not installed"
            exit 77
        fi
    done
    if ! start_kelvane_with_publisher; then
        echo "skipped: no publisher's server here (a certificate, bind mounts and a network namespace need root)"
        exit 77
    fi
    check "the splash shows" wait_for 20000 dialog_shown "About Kelvane"
    check "no question while the splash shows" no_question_while "About Kelvane"
    check "the first-run wizard opens after the splash" wait_for 15000 dialog_shown "Configuration Wizard"
    check "no question while the wizard shows" holds 3000 no_question
    check "the wizard closes with Escape" close_dialog "Configuration Wizard"
    check "then the newer version is offered" wait_for 15000 a_question
    q=$(question)
    check "the question is transient for the main window" [ "$(transient_for "$q")" = "$(main_window)" ]
    activate "$q" && xdotool key Escape
    check "kelvane ends on SIGTERM" stop_kelvane
    [ -f "$scratch/server.pid" ] && kill "$(cat "$scratch/server.pid")" 2>/dev/null
    umount /etc/ssl/certs/ca-certificates.crt /etc/hosts 2>/dev/null
}

run_scenario
