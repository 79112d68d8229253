#!/bin/sh
# Installs the Debian packages the build and the tests need; does nothing when all are present.
set -e
PKGS="build-essential cmake pkg-config libsdl2-dev libgl1-mesa-dev libgl1-mesa-dri libstb-dev libfreetype-dev libpng-dev libjpeg62-turbo-dev \
fonts-liberation googletest libgtest-dev libbenchmark-dev xvfb xauth libxtst-dev x11-utils \
cc65 xa65 acme cc1541 cbmconvert imagemagick python3 python3-fonttools clang libclang-rt-14-dev"
missing=""
for p in $PKGS; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done
[ -z "$missing" ] && exit 0
echo "Installing:$missing"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends $missing
