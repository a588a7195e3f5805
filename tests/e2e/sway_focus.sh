#!/bin/sh
# End to end on a headless sway: the real kelvane (on Wayland, with the sway focus source) boosts
# the focused client and gives it its class back within a cycle when the focus goes to kelvane's
# own window, to another client or to nothing (an empty workspace); never two boosted at once.
# Runs as root inside a private PID namespace of its own: sway refuses root, so the desktop and its
# clients run as nobody; kelvane runs as root in their session, so that it may boost them.
#   sway_focus.sh KELVANE WAYLAND-WINDOW-CHILD
# Exit status 0 passed, 1 failed, 77 skipped (with the reason printed).
set -u
KELVANE=$1
WCHILD=$2
here=$(cd "$(dirname "$0")" && pwd)
if [ "${KELVANE_SWAY_NAMESPACE:-}" != 1 ]; then
    for tool in sway swaymsg setpriv iconv; do
        if ! command -v "$tool" >/dev/null 2>&1; then
            echo "skipped: $tool is not installed (scripts/deps.sh --test installs it)"
            exit 77
        fi
    done
    if ! ls /usr/lib/*/qt6/plugins/platforms/ 2>/dev/null | grep -q libqwayland; then
        echo "skipped: qt6-wayland is not installed"
        exit 77
    fi
    if [ "$(id -u)" != 0 ]; then
        echo "skipped: needs root (to run the desktop as nobody in a namespace of its own)"
        exit 77
    fi
    if ! reason=$("$here/../in-pid-namespace.sh" --check); then
        echo "skipped: $reason"
        exit 77
    fi
    exec env KELVANE_SWAY_NAMESPACE=1 unshare --pid --fork --mount-proc --kill-child sh -c '"$@" & wait $!' sh "$0" "$@"
fi
. "$here/lib.sh"

scratch=$(mktemp -d)
chmod 755 "$scratch"
run=$scratch/run
mkdir -p "$run" "$scratch/config/kelvane" "$scratch/home"
chown -R 65534:65534 "$run" "$scratch/config" "$scratch/home"
chmod 700 "$run"
settings=$scratch/config/kelvane/kelvane.ini
trap cleanup EXIT

# in_session [setpriv...] COMMAND...: a program of this desktop session.
in_session() {
    env -i PATH=/usr/bin:/bin HOME="$scratch/home" XDG_RUNTIME_DIR="$run" WAYLAND_DISPLAY=wayland-1 \
        XDG_CONFIG_HOME="$scratch/config" LC_ALL=C ${SWAYSOCK:+SWAYSOCK=$SWAYSOCK} "$@"
}
as_nobody() { in_session setpriv --reuid=65534 --regid=65534 --clear-groups "$@"; }

printf 'xwayland disable\n' >"$scratch/sway.config"
chmod 644 "$scratch/sway.config"
WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
    as_nobody env WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
    sway -c "$scratch/sway.config" >"$scratch/sway.log" 2>&1 &
started_pids="$started_pids $!"
sway_up() {
    SWAYSOCK=$(ls "$run"/sway-ipc.*.sock 2>/dev/null | head -n1)
    [ -n "$SWAYSOCK" ] && [ -e "$run/wayland-1" ] && swaymsg -s "$SWAYSOCK" -t get_version >/dev/null 2>&1
}
if ! wait_for 20000 sway_up; then
    echo "FAILED: headless sway did not come up"
    tail -20 "$scratch/sway.log"
    exit 1
fi
msg() { swaymsg -s "$SWAYSOCK" -- "$@" >/dev/null 2>&1; }

# client: a Wayland window at nice 3; sets $child once its window is shown.
client() {
    spawned=$((spawned + 1))
    child_out=$scratch/out.$spawned
    as_nobody nice -n 3 "$WCHILD" >"$child_out" 2>/dev/null &
    started_pids="$started_pids $!"
    wait_for 10000 has_line "$child_out" || return 1
    # The client itself, below the wrappers.
    child=$(pgrep -n -f "^$WCHILD")
}
# Whether the focused window is one of PID's (sway's criteria match no node otherwise).
has_focus() { msg "[con_id=__focused__ pid=$1] nop"; }
focus() {
    msg "[pid=$1] focus"
    has_focus "$1"
}

client
first=$child
client
second=$child
{
    echo '[Preferences]'
    echo 'Show splash screen=0'
    echo 'CheckForNewVersion=0'
    echo 'OptimizerInterval=50'
    echo 'RefreshInterval=200'
    echo 'OptimizerEnabled=1'
    echo 'BoostForeground=1'
    echo 'BoostPriority=3'
} | iconv -f UTF-8 -t UTF-16 >"$settings"
chown 65534:65534 "$settings"
in_session QT_QPA_PLATFORM=wayland "$KELVANE" 2>>"$scratch/kelvane.log" &
started_pids="$started_pids $!"
kelvane_up() { kelvane=$(pgrep -n -f "^$KELVANE") && swaymsg -s "$SWAYSOCK" -t get_tree | grep -q "\"pid\": $kelvane"; }
check "kelvane's window shows" wait_for 20000 kelvane_up
# Read one after the other: both count as boosted only when the first still is after the second was read.
not_both_boosted() { ! { nice_is "$first" -5 && nice_is "$second" -5 && nice_is "$first" -5; }; }

check "the first client gets the focus" wait_for 5000 focus "$first"
check "it is boosted" wait_for 15000 nice_is "$first" -5
check "kelvane's own window gets the focus" wait_for 5000 focus "$kelvane"
check "the first client is back at nice 3 within a second" wait_for 1000 nice_is "$first" 3
check "the first client gets the focus again" wait_for 5000 focus "$first"
check "it is boosted again" wait_for 15000 nice_is "$first" -5
msg "workspace 9"
check "the focus goes to nothing (an empty workspace): back at nice 3 within a second" wait_for 1000 nice_is "$first" 3
msg "workspace 1"
check "the second client gets the focus" wait_for 5000 focus "$second"
check "it is boosted" wait_for 15000 nice_is "$second" -5
check "the first is at nice 3" nice_is "$first" 3
for turn in 1 2 3; do
    focus "$first"
    check "never both boosted (turn $turn)" holds 600 not_both_boosted
    focus "$second"
    check "never both boosted (turn $turn, back)" holds 600 not_both_boosted
done
kill -TERM "$kelvane"
check "kelvane ends on SIGTERM" wait_for 15000 ended "$kelvane"
check "both clients are at nice 3" sh -c "[ $(nice_of "$first") = 3 ] && [ $(nice_of "$second") = 3 ]"

if [ "$failures" -ne 0 ]; then
    echo "sway_focus: $failures checks failed; kelvane's messages:"
    cat "$scratch/kelvane.log"
    exit 1
fi
echo "sway_focus: passed"
