#!/usr/bin/env bash
# Runs a command of the README on a fresh Debian 12: bootstraps a root of the "important" set (no
# other package) with debootstrap, clones this repository's HEAD into /root/kelvane there (/root is
# mode 0700, as on a new machine), and runs COMMAND as root in that folder, then removes the root.
#   fresh-root.sh [--plain] [--keep] [--with FILE]... COMMAND
#     COMMAND      a shell command line, e.g. 'bash scripts/test.sh'
#     --plain      a plain chroot, where no private PID namespace can be had inside (the root is
#                  then no mount point); by default the tests find one, as on a machine
#     --keep       leave the root in place (its path is printed)
#     --with FILE  copy FILE into /root/kelvane of the root too (a package built elsewhere)
# Environment: KELVANE_ROOTS (where roots are made, default /var/tmp), KELVANE_MIRROR (default
# http://deb.debian.org/debian), KELVANE_ROOT_CACHE (a folder holding a bootstrap made once, copied
# for every run instead of bootstrapping anew; made there on first use).
#
# The root runs in a private PID and mount namespace: nothing in it can reach a process of this
# machine, and its mounts (/proc, /sys, /dev, /tmp) belong to that namespace alone, so they are gone
# when it ends, also on Ctrl+C or a kill; the root is then removed without crossing into a mount. The
# root shares this machine's network and its /tmp: X servers on both pick their display numbers from
# the lock files there, as the names of their sockets are shared. Needs root, debootstrap and git.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
plain=0 keep=0 with=()
while [ "$#" -gt 1 ]; do
    case "$1" in
        --plain) plain=1; shift ;;
        --keep) keep=1; shift ;;
        --with) with+=("$(realpath "$2")"); shift 2 ;;
        *) break ;;
    esac
done
if [ "$#" -ne 1 ] || [ "$(id -u)" -ne 0 ]; then
    echo "usage (as root): fresh-root.sh [--plain] [--keep] [--with FILE]... COMMAND" >&2
    exit 2
fi
command=$1
for tool in git unshare chroot; do
    command -v "$tool" >/dev/null || { echo "fresh-root.sh: needs $tool" >&2; exit 2; }
done
if [ ! -x "${KELVANE_ROOT_CACHE:-/nonexistent}/bin/bash" ] && ! command -v debootstrap >/dev/null; then
    echo "fresh-root.sh: needs debootstrap (apt-get install debootstrap)" >&2
    exit 2
fi
mirror=${KELVANE_MIRROR:-http://deb.debian.org/debian}
roots=${KELVANE_ROOTS:-/var/tmp}
mkdir -p "$roots"
root=$(mktemp -d "$roots/kelvane-root.XXXXXX")

# True while something is mounted at or below the root in this mount namespace.
mounted() { awk -v r="$root" '$5 == r || index($5, r "/") == 1 { found = 1 } END { exit !found }' /proc/self/mountinfo; }
cleanup() {
    # A second signal (the terminal's hang-up after the first) must not cut the removal short.
    trap '' INT TERM HUP
    trap - EXIT
    if mounted; then
        echo "fresh-root.sh: something is still mounted in $root: left in place" >&2
    elif [ "$keep" = 1 ]; then
        echo "fresh-root.sh: the root is kept at $root" >&2
    else
        rm -rf --one-file-system "$root"
    fi
}
trap cleanup EXIT
# A signal ends what runs in the root first (it gets the signal too), then the cleanup above runs.
trap 'exit 130' INT
trap 'exit 143' TERM HUP

t0=$(date +%s)
if [ -n "${KELVANE_ROOT_CACHE:-}" ]; then
    if [ ! -x "$KELVANE_ROOT_CACHE/bin/bash" ]; then
        echo "fresh-root.sh: bootstrapping Debian 12 into the cache $KELVANE_ROOT_CACHE" >&2
        rm -rf --one-file-system "$KELVANE_ROOT_CACHE.new"
        debootstrap bookworm "$KELVANE_ROOT_CACHE.new" "$mirror" > "$root.debootstrap.log" 2>&1 ||
            { tail -20 "$root.debootstrap.log" >&2; exit 1; }
        mv "$KELVANE_ROOT_CACHE.new" "$KELVANE_ROOT_CACHE"
    fi
    cp -a "$KELVANE_ROOT_CACHE/." "$root/"
else
    echo "fresh-root.sh: bootstrapping Debian 12 (bookworm, the important set) into $root" >&2
    debootstrap bookworm "$root" "$mirror" > "$root.debootstrap.log" 2>&1 ||
        { tail -20 "$root.debootstrap.log" >&2; exit 1; }
fi
rm -f "$root.debootstrap.log"
cp /etc/resolv.conf "$root/etc/resolv.conf"
git clone --quiet "$here" "$root/root/kelvane"
for file in "${with[@]}"; do cp "$file" "$root/root/kelvane/"; done
t1=$(date +%s)
echo "fresh-root.sh: root ready in $((t1 - t0)) s; running '$command' in /root/kelvane" >&2

# The first process of the namespace stays a shell that waits for the command, so that the command
# is no init process (which ignores signals it has no handler for) and Ctrl+C reaches it as usual.
# That shell itself catches the signals: at its end the kernel kills whatever is left in the
# namespace, which must not happen while the command is still ending on its own terms.
# From here a signal reaches the command too, which ends on it; the times are still told.
trap : INT TERM HUP
set +e
unshare --pid --fork --mount --propagation private sh -c '
    root=$1 plain=$2 command=$3
    set -e
    [ "$plain" = 1 ] || mount --bind "$root" "$root"
    mount -t proc proc "$root/proc"
    mount -t sysfs sysfs "$root/sys"
    mount --rbind /dev "$root/dev"
    mount -t tmpfs -o mode=1777 tmpfs "$root/dev/shm"
    mount --bind /tmp "$root/tmp"
    set +e
    trap : INT TERM HUP
    chroot "$root" /usr/bin/env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
        HOME=/root LANG=C.UTF-8 TERM="${TERM:-dumb}" /bin/bash -c "cd /root/kelvane && $command"
    rc=$?
    exit $rc' sh "$root" "$plain" "$command"
rc=$?
set -e
t2=$(date +%s)
echo "fresh-root.sh: '$command' ended with status $rc after $((t2 - t1)) s (in all $((t2 - t0)) s)" >&2
exit "$rc"
