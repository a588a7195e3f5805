#!/bin/sh
# scripts/fresh-root.sh over a small root made of this machine's own programs (given as the
# bootstrap cache, so that nothing is downloaded): the command runs as root in /root/kelvane, a
# clone of the repository, in a PID namespace of its own, and gets a private PID namespace inside
# unless --plain; its status is the script's; and the root and its mounts are gone afterwards, also
# when the script is interrupted.
#   test_fresh_root.sh SOURCE-DIR
set -u
src=$1
skip() { echo "skipped: $*"; exit 77; }
[ "$(id -u)" = 0 ] || skip "needs root (mounts and chroot)"
for tool in git unshare chroot setsid ldd; do
    command -v $tool >/dev/null 2>&1 || skip "$tool is missing"
done
git -C "$src" rev-parse HEAD >/dev/null 2>&1 || skip "$src is no git clone"
reason=$("$src/tests/in-pid-namespace.sh" --check) || skip "$reason"

work=$(mktemp -d /tmp/kelvane-fresh.XXXXXX)
trap 'rm -rf --one-file-system "$work"' EXIT
cache=$work/cache
mkdir -p "$cache/bin" "$cache/usr/bin" "$cache/etc" "$cache/proc" "$cache/sys" "$cache/dev" "$cache/tmp"
mkdir -m 700 "$cache/root"
for prog in bash sh env sleep cat ls grep true unshare; do
    path=$(readlink -f "$(for d in /usr/bin /bin; do [ -x $d/$prog ] && echo $d/$prog && break; done)")
    cp "$path" "$cache/bin/$prog"
    cp "$path" "$cache/usr/bin/$prog"
    for lib in $(ldd "$path" | grep -o '/[^ ]*'); do cp --parents -L "$lib" "$cache"; done
done
roots=$work/roots
mkdir "$roots"

passed=0
failed=0
# Nothing of a root is left: no folder, no mount.
clean() { [ -z "$(ls -A "$roots")" ] && ! grep -q " $roots/" /proc/self/mountinfo; }
# NAME STATUS OUTPUT-PATTERN OPTIONS COMMAND [SIGNAL]: runs fresh-root.sh, with SIGNAL sent to its
# process group (as a terminal's Ctrl+C) once COMMAND has started.
case_() {
    name=$1 want=$2 pattern=$3 options=$4 command=$5 signal=${6:-}
    out=$work/out
    KELVANE_ROOTS=$roots KELVANE_ROOT_CACHE=$cache env --default-signal=INT \
        setsid "$src/scripts/fresh-root.sh" $options "$command" > "$out" 2>&1 &
    pid=$!
    if [ -n "$signal" ]; then
        i=0
        until grep -q "^started" "$out" 2>/dev/null || [ $i -ge 200 ]; do sleep 0.05; i=$((i + 1)); done
        kill -"$signal" "-$pid"
    fi
    wait $pid
    rc=$?
    ok=1
    [ "$rc" = "$want" ] || { echo "$name: status $rc, expected $want"; ok=0; }
    grep -q "$pattern" "$out" || { echo "$name: no line matches '$pattern'"; ok=0; }
    clean || { echo "$name: the root or a mount is left: $(ls -A "$roots")"; ok=0; }
    [ $ok = 1 ] || sed 's/^/    /' "$out"
    if [ $ok = 1 ]; then echo "$name: ok"; passed=$((passed + 1)); else failed=$((failed + 1)); fi
}
#     name                  status pattern                 options  command                                       signal
case_ RunsInTheClone        0      '^/root/kelvane drwx'   ""       'echo "$(pwd) $(ls -ld /root)"; [ -f scripts/fresh-root.sh ]'
case_ OwnPidNamespace       0      '^processes [1-9]$'     ""       'echo "processes $(ls /proc | grep -c "^[0-9]")"'
case_ StatusOfTheCommand    3      'ended with status 3'   ""       'exit 3'
case_ NamespaceInside       0      '^inside yes'           ""       'tests/in-pid-namespace.sh --check && echo inside yes'
case_ PlainChrootHasNone    0      '^inside no'            --plain  'tests/in-pid-namespace.sh --check || echo inside no'
case_ CtrlCRemovesTheRoot   130    ended                   ""       'echo started; sleep 60'      INT
case_ CtrlCLetsTheCommandEnd 0     '^cleaned up'           ""       'trap "echo cleaned up; exit 0" INT; echo started; sleep 60 & wait' INT
case_ SigtermRemovesTheRoot 143    ended                   ""       'echo started; sleep 60'      TERM
echo "$passed passed, $failed failed"
[ $failed = 0 ]
