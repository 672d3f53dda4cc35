#!/usr/bin/env bash
# The main job: builds the program and shows it working with the simulated sensor. Until the
# program itself exists this builds everything and says what is there.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
source scripts/deps.sh
nv_install_deps
cmake --preset windows >/dev/null && cmake --build --preset windows -j "$(nproc)" >/dev/null
cmake --preset native >/dev/null && cmake --build --preset native -j "$(nproc)" >/dev/null
echo "Built: build/windows/bin and build/native/bin."
if [ ! -f build/windows/bin/NorvikFingerprint.exe ]; then
    echo "NorvikFingerprint.exe is not part of the build yet: there is no program to start."
    echo "What exists today: the cipher benchmark (build/native/bin/cipher_bench) and the test suites (scripts/test.sh)."
    exit 0
fi
