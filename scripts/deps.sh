#!/usr/bin/env bash
# Installs the Debian 12 packages that Kelvane needs to build, and with --run what it needs to show
# itself on a virtual desktop, with --test what the tests need, with --package what building the
# Debian package needs. Skips the apt-get run entirely when everything is already there. Needs root.
set -euo pipefail

build_pkgs=(cmake g++ make pkg-config qt6-base-dev libqt6opengl6-dev libgl-dev libcap-dev
            libxcb1-dev libxcb-ewmh-dev libxcb-res0-dev libcurl4-openssl-dev qt6-svg-dev)
run_pkgs=(xvfb xauth openbox trayer x11-utils libgl1-mesa-dri fonts-dejavu-core)
# dpkg-shlibdeps and file for cpack's dependency search, rsvg-convert for the PNG icons.
package_pkgs=(dpkg-dev file librsvg2-bin)
test_pkgs=(libgtest-dev libgmock-dev libbenchmark-dev libssl-dev xvfb xauth openbox xdotool x11-utils
           procps util-linux libcap2-bin passwd binutils-mingw-w64-x86-64 cpp desktop-file-utils
           tzdata dpkg libgl1-mesa-dri fonts-dejavu-core fonts-noto-core fonts-cantarell trayer
           dpkg-dev fakeroot file lintian appstream librsvg2-bin systemd
           sway qt6-wayland dbus-daemon kwin-wayland openssl iproute2)

want=("${build_pkgs[@]}")
case "${1:-}" in
  --test) want+=("${test_pkgs[@]}") ;;
  --run) want+=("${run_pkgs[@]}") ;;
  --package) want+=("${package_pkgs[@]}") ;;
  "") ;;
  *) echo "deps.sh: unknown option $1 (--run, --test or --package)" >&2; exit 2 ;;
esac

missing=()
for p in "${want[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ "${#missing[@]}" -eq 0 ]; then
  exit 0
fi
if [ "$(id -u)" -ne 0 ]; then
  echo "deps.sh: missing packages (${missing[*]}); run as root to install them" >&2
  exit 1
fi
echo "deps.sh: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
