#!/bin/sh
# Whether a private PID namespace (with a mount namespace of its own for its /proc) can be had here,
# and running a test in one, so that nothing it does can reach a process it did not start. Every
# test that needs such a namespace asks this script, so that they all skip alike where there is
# none (a plain chroot, a container without the rights to unshare).
#   in-pid-namespace.sh COMMAND...            runs COMMAND in a namespace; where there is none, runs
#                                             it as it is (its cases that need one skip themselves)
#   in-pid-namespace.sh --require COMMAND...  where there is none, says why and exits 77 (CTest's
#                                             skip) instead of running COMMAND
#   in-pid-namespace.sh --check               exits 0 where there is one; otherwise prints why not
#                                             and exits 1
why_not() {
    out=$(unshare --pid --fork --mount-proc true 2>&1) && return 1
    echo "no private PID namespace here (${out:-unshare failed}): it needs root or user namespaces, and a root directory that is a mount point"
}
case "${1:-}" in
    --check)
        reason=$(why_not) || exit 0
        echo "$reason"
        exit 1 ;;
    --require)
        shift
        if reason=$(why_not); then
            echo "skipped: $reason"
            exit 77
        fi ;;
    *)
        if reason=$(why_not); then
            echo "$reason: the test acts on its own children only" >&2
            exec "$@"
        fi ;;
esac
exec unshare --pid --fork --mount-proc "$@"
