#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing Quillon need,
# only those that are missing. Uses sudo when not run as root.
set -euo pipefail

packages=(
    build-essential cmake ninja-build g++ clang clang-format libclang-rt-14-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    qt6-base-dev qt6-serialport-dev qt6-charts-dev libqt6charts6 libqt6opengl6-dev libgl-dev qt6-qpa-plugins
    libmodbus-dev pkg-config mbpoll python3-pymodbus python3-serial python3-serial-asyncio socat xvfb xdotool imagemagick x11-utils
    procps tshark time bc
    prometheus-cpp-dev prometheus
    mingw-w64 g++-mingw-w64-x86-64-posix wine wine64
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
# tshark's wireshark-common asks whether non-root users may capture: answered no ahead, and the
# front end stays non-interactive through sudo, which would otherwise drop the variable.
echo "wireshark-common wireshark-common/install-setuid boolean false" |
    "${sudo_cmd[@]}" debconf-set-selections
apt=("${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get)
"${apt[@]}" update -qq
"${apt[@]}" install -y -qq --no-install-recommends "${missing[@]}"
