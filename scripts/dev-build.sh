#!/usr/bin/env bash
# Quick developer build without sanitizers: scripts/dev-build.sh [target...]
# Builds into build/dev of the current checkout; with no target it builds everything.
set -euo pipefail
cd "$(dirname "$0")/.."
LAUNCHER=()
if command -v ccache >/dev/null; then LAUNCHER=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
if [ ! -f build/dev/build.ninja ]; then
  cmake -S . -B build/dev -G Ninja -DCMAKE_BUILD_TYPE=Debug "${LAUNCHER[@]}" >/dev/null
fi
if [ $# -eq 0 ]; then
  cmake --build build/dev
else
  cmake --build build/dev --target "$@"
fi
