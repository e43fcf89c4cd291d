#!/usr/bin/env bash
# Installs what is missing, builds the editor, and starts it.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-dependencies.sh g++ cmake make pkg-config qt6-base-dev libgl-dev libicu-dev \
  libproj-dev libgtest-dev libgmock-dev libxml2-dev fonts-ipafont-gothic qt6-translations-l10n
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)" --target pointmark-editor
exec build/pointmark-editor "$@"
