#!/bin/sh
# Starts openbox on $DISPLAY and waits, at most a minute, until it manages the display: a first
# start can be slow while the font caches are built, and a test that starts before it finds no
# window manager. One that dies on the way is started again. Prints its PID.
openbox >/dev/null 2>&1 &
wm=$!
if command -v xprop >/dev/null 2>&1; then
    i=0
    while ! xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; do
        if [ $i -ge 600 ]; then
            echo "start-openbox.sh: openbox did not come up within a minute" >&2
            break
        fi
        if ! kill -0 $wm 2>/dev/null; then
            openbox >/dev/null 2>&1 &
            wm=$!
        fi
        sleep 0.1
        i=$((i + 1))
    done
fi
echo $wm
