#!/bin/sh
# Runs an end-to-end scenario on a virtual X desktop (Xvfb + openbox + trayer) inside a private PID
# namespace, so that the optimizer the scenario starts can reach nothing but the scenario's own
# processes. Exits 77 (CTest's skip) and says why where the machine lacks something.
#   desktop.sh COMMAND [ARGS...]
#
# The X server runs inside the namespace too: it names the client of a window by a PID of its own
# namespace, and kelvane must see the same PIDs to find the foreground process. A shell stands as
# the namespace's first process, because xvfb-run does not come up as PID 1. Whatever ends this
# script (a CTest timeout) ends everything in the namespace with it.
here=$(cd "$(dirname "$0")" && pwd)
for tool in xvfb-run Xvfb openbox trayer xdotool xprop iconv; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "skipped: $tool is not installed (scripts/deps.sh --test installs it)"
        exit 77
    fi
done
if ! reason=$("$here/../in-pid-namespace.sh" --check); then
    echo "skipped: $reason"
    exit 77
fi
exec env KELVANE_E2E_NAMESPACE=1 unshare --pid --fork --mount-proc --kill-child sh -c '"$@" & wait $!' sh \
    "$here/../../scripts/desktop-session.sh" -s 1024x768 "$@"
