#!/usr/bin/env bash
# Builds Volmar and runs every test offscreen. ./test.sh --asan does the same with
# AddressSanitizer and UndefinedBehaviorSanitizer in build-asan/.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/common.sh

dir=build
args=()
if [ "${1:-}" = "--asan" ]; then
    dir=build-asan
    args=(-DVOLMAR_SANITIZE=ON -DVOLMAR_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug)
    export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fi

volmar_install "${VOLMAR_BUILD_PACKAGES[@]}"
volmar_build "$dir" "${args[@]}"
cd "$dir"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(nproc)"
