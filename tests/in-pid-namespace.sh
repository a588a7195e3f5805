#!/bin/sh
# Runs a test in a private PID namespace where the system allows it, so that nothing it does can
# reach a process it did not start.
if unshare --pid --fork --mount-proc true 2>/dev/null; then
    exec unshare --pid --fork --mount-proc "$@"
fi
echo "no private PID namespace here: the test acts on its own children only" >&2
exec "$@"
