#!/usr/bin/env bash
# Builds the libraries and their tests with AddressSanitizer and UndefinedBehaviorSanitizer, without
# the window (a build folder of its own, build-asan by default), and runs the tests. Any report of
# either sanitizer fails the run.
#
# usage: scripts/sanitizer-tests.sh [BUILD]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-asan}

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSANITIZE=ON -DBUILD_GUI=OFF
cmake --build "$build" -j"$(nproc)"
cd "$build"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:strict_string_checks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --output-on-failure -j"$(nproc)"
