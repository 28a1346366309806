#!/usr/bin/env bash
# Installs what Velmora needs on Debian 12 (run as root; safe to run again) and builds it.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
packages=(cmake g++ make pkg-config qt6-base-dev libgl-dev libsqlcipher-dev sqlcipher
          libgtest-dev libgmock-dev libbenchmark-dev libsane-dev libsane1 libsane-common
          fonts-wqy-zenhei xvfb xauth libxlsxwriter-dev poppler-utils python3-openpyxl python3-icalendar
          qt6-translations-l10n postgresql-15 libpq-dev libminizip-dev libfreexl-dev python3-xlwt)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update
    apt-get install -y --no-install-recommends "${missing[@]}"
fi
build="${VELMORA_BUILD_DIR:-$here/build}"
# VELMORA_CMAKE_ARGS adds options (CI: warnings as errors).
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release ${VELMORA_CMAKE_ARGS:-}
cmake --build "$build" -j "$(nproc)"
