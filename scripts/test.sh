#!/usr/bin/env bash
# Sets up, builds with AddressSanitizer and UndefinedBehaviorSanitizer, and runs every test;
# then builds the Debian package and checks it installed (scripts/package-check.sh).
# CORVANE_PACKAGE_CHECK=0 leaves the package out, e.g. for a run of a few tests:
#   CORVANE_PACKAGE_CHECK=0 scripts/test.sh -R app
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
LAUNCHER=()
if command -v ccache >/dev/null; then LAUNCHER=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCORVANE_SANITIZE=ON -DCORVANE_BENCH=OFF "${LAUNCHER[@]}"
cmake --build build/asan
(cd build/asan && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 600 "$@")
if [ "${CORVANE_PACKAGE_CHECK:-1}" != 0 ]; then
  scripts/package-check.sh
fi
