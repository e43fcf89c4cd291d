#!/usr/bin/env bash
# Installs what is missing, builds everything, and runs every test (GUI tests offscreen).
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-dependencies.sh g++ cmake make pkg-config qt6-base-dev libgl-dev libicu-dev \
  libproj-dev libgtest-dev libgmock-dev libxml2-dev fonts-ipafont-gothic qt6-translations-l10n \
  desktop-file-utils appstream dpkg-dev
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
cd build
QT_QPA_PLATFORM=offscreen ctest --output-on-failure
