#!/usr/bin/env bash
# Installs every Debian package Ombrelo needs to build, run and test.
# Non-interactive and idempotent: when everything is present it only checks.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev liblitehtml-dev libgumbo-dev
  libavformat-dev libavcodec-dev libswscale-dev libavutil-dev ffmpeg
  libjpeg62-turbo-dev libxslt1-dev libxml2-dev libcurl4-openssl-dev uuid-dev
  libpng-dev                # the file managers' thumbnails
  libgtest-dev libgmock-dev
  python3-pyftpdlib locales
  ffmpegthumbnailer  # reference of the capture benchmark (bench/)
  libfuse3-dev fuse3        # tools/slowfs: a folder whose files answer slowly
  clang libclang-rt-14-dev
  xvfb xauth x11-utils imagemagick
  qt6-svg-dev               # the desktop program's pictures
  libmimalloc-dev           # the desktop program's allocator
  qt6-l10n-tools qt6-tools-dev qt6-translations-l10n  # catalogues: lupdate, lrelease, Qt's own
  xdotool openbox           # scripts/screenshot.sh drives the windows
  desktop-file-utils appstream shared-mime-info  # checks of the installed desktop files
  dpkg-dev lintian          # scripts/package.sh: Depends from the libraries, package checks
)

# The tests read and write numbers under a locale with a decimal comma.
ensure_locales() {
  if locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then return; fi
  local sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  echo "setup: generating the de_DE.UTF-8 locale"
  $sudo localedef -i de_DE -f UTF-8 de_DE.UTF-8
}

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all ${#packages[@]} packages present"
  ensure_locales
  exit 0
fi

echo "setup: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
ensure_locales
