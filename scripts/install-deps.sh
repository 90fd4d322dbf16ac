#!/usr/bin/env bash
# Installs whatever Tafelix needs that this Debian 12 machine does not have yet.
# Usage: scripts/install-deps.sh [--with-tests]
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-multimedia-dev qt6-translations-l10n libgl-dev
    libjpeg-dev libcups2-dev libpugixml-dev
    fonts-liberation2 xdg-utils
    # Speech: speech-dispatcher's client library, the daemon and a voice for every language.
    libspeechd-dev speech-dispatcher speech-dispatcher-espeak-ng espeak-ng
)
if [[ "${1:-}" == "--with-tests" ]]; then
    packages+=(
        libgtest-dev libbenchmark-dev
        xvfb xauth xdotool x11-utils x11-xserver-utils imagemagick openbox
        pulseaudio pulseaudio-utils dbus at-spi2-core python3-pyatspi
        cups printer-driver-cups-pdf poppler-utils libreoffice-writer-nogui libx11-dev libxtst-dev libxdamage-dev
        dpkg-dev desktop-file-utils appstream lintian shared-mime-info libglib2.0-bin
        clang-14 libclang-rt-14-dev
        # A FAT stick mounted through FUSE, for saves onto a file system without permissions.
        fusefat dosfstools
        qt6ct # a desktop theme with its own font and a dark palette (test_desktop.sh)
        # Two computers that share a program folder: two real sync engines on the loopback.
        syncthing
    )
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]} == 0)); then
    exit 0
fi

sudo=()
if [[ $(id -u) -ne 0 ]]; then
    sudo=(sudo)
fi
# Another apt (unattended upgrades, a parallel job) may hold the lock: wait for it.
lock=(-o DPkg::Lock::Timeout=600)
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get "${lock[@]}" update -q
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get "${lock[@]}" install -y -q --no-install-recommends \
    "${missing[@]}"
