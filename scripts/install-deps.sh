#!/usr/bin/env bash
# Puts every Debian package the project needs on this machine; does nothing where they are present.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  clang libclang-rt-14-dev clang-format
  libgtest-dev libgmock-dev
  libcurl4-openssl-dev openssl
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libxcb1-dev libgl-dev
  nginx-light curl time
  xvfb xcompmgr x11-utils xdotool imagemagick
  fonts-wqy-microhei
  # The windows on every desktop: the X shape extension for the shadow's input region; openbox as a real
  # X11 window manager; weston and sway (headless) with Qt's Wayland platform and grim for the Wayland
  # tests; a private D-Bus session with the accessibility bus for the screen-reader test.
  libxcb-shape0-dev openbox
  qt6-wayland weston sway grim
  dbus dbus-x11 at-spi2-core python3-pyatspi python3-gi gir1.2-atspi-2.0
  python3
  # the installer's signature: libcrypto's headers (the library itself comes with libcurl)
  libssl-dev
  # the download tests watch the durable finish of keltrima-get with strace
  strace
  # Installing and packaging: the CJK font the embedded subset is cut from and the cutter (fonttools),
  # DejaVu for the no-CJK-font tests, CPack's dependency list (dpkg-shlibdeps, file) and the checkers of the
  # package and its desktop files
  fonts-noto-cjk python3-fonttools fonts-dejavu-core
  dpkg-dev file lintian desktop-file-utils appstream man-db
  # The Windows build of keltrima-get and the core: MinGW-w64 (POSIX threads), GoogleTest's sources for it,
  # and Wine to run its tests
  g++-mingw-w64-x86-64-posix googletest wine wine64
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "installing: ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
