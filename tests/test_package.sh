#!/bin/bash
# The Debian package on this machine: builds it from the build tree with cpack, installs it with
# dpkg, checks what it put in place and that both programs start from /usr/bin, runs the Debian
# checkers on it, then purges it and checks that only the user's settings are left.
#   test_package.sh BUILD-DIR SOURCE-DIR
# Exits 77 (skipped) where that cannot be done safely: not root, tools missing, or Kelvane or a
# kelvane group already on the machine (they are not this test's to remove).
set -u
build=$1
src=$2
skip() { echo "skipped: $*"; exit 77; }
[ "$(id -u)" = 0 ] || skip "installing a package needs root"
for tool in cpack dpkg dpkg-deb dpkg-shlibdeps fakeroot; do
    command -v $tool >/dev/null 2>&1 || skip "$tool is missing"
done
dpkg-query -W -f='${Status}' kelvane 2>/dev/null | grep -q 'installed\|config-files' &&
    skip "a kelvane package is already installed"
getent group kelvane >/dev/null && skip "a kelvane group already exists"

work=$(mktemp -d /tmp/kelvane-pkg.XXXXXX)
installed=0
probe=kvtpkg$$
cleanup() {
    [ $installed = 1 ] && dpkg --purge kelvane >/dev/null 2>&1
    userdel "$probe" >/dev/null 2>&1
    # There was no kelvane group when the test began (it skips otherwise).
    getent group kelvane >/dev/null && groupdel kelvane
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP
failed=0
check() { # NAME COMMAND...
    name=$1; shift
    if out=$("$@" 2>&1); then echo "$name: ok"; else echo "$name: FAILED"; echo "$out" | sed 's/^/    /'; failed=$((failed + 1)); fi
}

cpack -G DEB -B "$work" --config "$build/CPackConfig.cmake" > "$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; echo "cpack failed"; exit 1; }
deb=$(ls "$work"/kelvane_*_amd64.deb)
# The names of the package's dependencies, one a line (versions and alternatives left out).
depends=$(dpkg-deb -f "$deb" Depends | tr ',' '\n' | sed 's/[|(].*//; s/ //g')
for dep in $depends; do
    dpkg-query -W -f='${Status}' "$dep" 2>/dev/null | grep -q 'install ok installed' ||
        skip "$dep is not installed (the test installs no packages from the network)"
done
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' > "$work/contents"

# The maintainer scripts where systemd-sysusers is missing: postinst falls back to addgroup, and
# postrm purge removes the group only while nobody is in it.
dpkg-deb -e "$deb" "$work/control"
mkdir "$work/nosysusers"
for dir in /usr/local/sbin /usr/local/bin /usr/sbin /usr/bin /sbin /bin; do
    for f in "$dir"/*; do
        name=${f##*/}
        [ "$name" = systemd-sysusers ] || [ -e "$work/nosysusers/$name" ] || ln -s "$f" "$work/nosysusers/$name"
    done
done
scripts() { env PATH="$work/nosysusers" sh "$work/control/$1" "$2"; }
check FallbackAddgroup sh -c "$(declare -f scripts); work='$work'; scripts postinst configure && getent group kelvane"
if getent group kelvane >/dev/null && useradd -M -N -s /usr/sbin/nologin -G kelvane "$probe" 2>/dev/null; then
    check PurgeKeepsGroupWithMembers sh -c "$(declare -f scripts); work='$work'; scripts postrm purge && getent group kelvane"
    userdel "$probe"
fi
check PurgeRemovesEmptyGroup sh -c "$(declare -f scripts); work='$work'; scripts postrm purge && ! getent group kelvane"
getent group kelvane >/dev/null && groupdel kelvane

dpkg -i "$deb" > "$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log"; installed=1; echo "dpkg -i failed"; exit 1; }
installed=1

check GroupCreated getent group kelvane
check LimitsInPlace grep -qx '@kelvane - nice -10' /etc/security/limits.d/kelvane.conf
check RealTimeLimit grep -qx '@kelvane - rtprio 1' /etc/security/limits.d/kelvane.conf
check SystemSettingsConffile grep -qx /etc/kelvane/kelvane.ini /var/lib/dpkg/info/kelvane.conffiles
# The version check fails against a closed port of 127.0.0.1; the own version is printed first.
check KelvanectlVersion sh -c '/usr/bin/kelvanectl version --url http://127.0.0.1:9/ | grep -qx "own version: [0-9.]*"'
check ShlibDepends sh -c "dpkg-deb -f '$deb' Depends | grep -q 'libqt6widgets6 (>='"
# The Qt plugins that kelvane loads at run time, which dpkg-shlibdeps cannot see: without the X
# platform plugin it cannot start on X11, without the SVG ones the tray and list icons are empty.
qt_plugins=$(pkg-config --variable=libdir Qt6Core 2>/dev/null || echo /usr/lib/x86_64-linux-gnu)/qt6/plugins
depended_on() { # PLUGIN: the package that holds it is one of the package's dependencies
    owner=$(dpkg -S "$qt_plugins/$1" | cut -d: -f1) || return 1
    echo "$depends" | grep -qx "$owner" || { echo "$owner holds $1 but is no dependency"; return 1; }
}
for plugin in platforms/libqxcb.so imageformats/libqsvg.so iconengines/libqsvgicon.so; do
    check "PluginDepends_${plugin%%/*}" depended_on "$plugin"
done
for size in 16 22 24 32 48 64 128 256; do
    check Icon${size} sh -c "file /usr/share/icons/hicolor/${size}x${size}/apps/kelvane.png | grep -q '${size} x ${size}'"
done
for page in kelvane kelvanectl; do
    check ManPage_$page sh -c "zcat /usr/share/man/man1/$page.1.gz | grep -q CAP_SYS_NICE"
done
if command -v desktop-file-validate >/dev/null; then
    check DesktopEntry desktop-file-validate /usr/share/applications/example.kelvane.Kelvane.desktop
fi
if command -v appstreamcli >/dev/null; then
    check Metainfo appstreamcli validate --no-net /usr/share/metainfo/example.kelvane.Kelvane.metainfo.xml
fi
if command -v lintian >/dev/null; then
    check LintianNoErrors lintian --allow-root --fail-on error "$deb"
fi
if command -v systemd-analyze >/dev/null; then
    check SystemUnit systemd-analyze verify /lib/systemd/system/kelvane-optimizer.service
    mkdir -m 700 "$work/runtime"
    check UserUnit env XDG_RUNTIME_DIR="$work/runtime" systemd-analyze --user verify /usr/lib/systemd/user/kelvanectl.service
fi

# The system unit's command runs with the installed settings file (a few cycles, in a private PID
# namespace so that it reaches nothing of the machine's).
exec_start=$(sed -n 's/^ExecStart=//p' /lib/systemd/system/kelvane-optimizer.service)
if namespace=$("$src/tests/in-pid-namespace.sh" --check); then
    check SystemUnitCommand unshare --pid --fork --mount-proc $exec_start --cycles 3
else
    echo "SystemUnitCommand: skipped ($namespace)"
fi

# kelvane from /usr/bin shows its window: the virtual display outside, the program in a private
# PID namespace inside (xvfb-run cannot be PID 1 of a namespace), with a fresh home.
home="$work/home"
mkdir -p "$home/.config/kelvane"
printf '[Preferences]\nShow splash screen=0\n' > "$home/.config/kelvane/kelvane.ini"
cat > "$work/window.sh" <<'EOF'
[ -n "${DISPLAY:-}" ] && command -v xdotool >/dev/null || { echo "no X display or xdotool"; exit 77; }
HOME=$1 XDG_CONFIG_HOME=$1/.config QT_QPA_PLATFORM=xcb /usr/bin/kelvane >/dev/null 2>&1 &
pid=$!
shown=0
for i in $(seq 300); do
    xdotool search --onlyvisible --pid $pid --name '^Kelvane$' >/dev/null 2>&1 && { shown=1; break; }
    kill -0 $pid 2>/dev/null || break
    sleep 0.05
done
kill -TERM $pid 2>/dev/null
for i in $(seq 200); do kill -0 $pid 2>/dev/null || break; sleep 0.05; done
kill -0 $pid 2>/dev/null && { echo "kelvane did not end on SIGTERM"; kill -KILL $pid; exit 1; }
[ $shown = 1 ] || { echo "the window did not show"; exit 1; }
EOF
if [ -n "$namespace" ]; then
    echo "$namespace" > "$work/window.log"
    (exit 77)
else
    "$src/tests/run-under-x.sh" unshare --pid --fork --mount-proc sh "$work/window.sh" "$home" > "$work/window.log" 2>&1
fi
case $? in
    0) echo "WindowFromUsrBin: ok" ;;
    77) echo "WindowFromUsrBin: skipped ($(cat "$work/window.log"))" ;;
    *) echo "WindowFromUsrBin: FAILED"; sed 's/^/    /' "$work/window.log"; failed=$((failed + 1)) ;;
esac

dpkg --purge kelvane > "$work/purge.log" 2>&1 || { cat "$work/purge.log"; failed=$((failed + 1)); }
installed=0
check GroupRemoved sh -c '! getent group kelvane'
check NoStateLeft sh -c '! dpkg-query -W -f="\${Status}" kelvane 2>/dev/null | grep -q "installed\|config-files"'
# Every file of the package is gone (shared folders such as /usr/bin stay), the user's settings stay.
left=$(while read -r path; do [ -f "$path" ] && echo "$path"; done < "$work/contents")
check FilesRemoved test -z "$left"
check EtcFolderRemoved test ! -e /etc/kelvane
check UserSettingsKept test -s "$home/.config/kelvane/kelvane.ini"
[ -z "$left" ] || echo "left behind: $left"

echo "$failed failed"
[ $failed = 0 ]
