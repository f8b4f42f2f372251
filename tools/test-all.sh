#!/usr/bin/env bash
# Installs what is needed, builds every preset and runs every test:
# core tests (Linux), then the real .exe files under Wine (64-bit and 32-bit).
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/setup.sh

# Core tests, then again under AddressSanitizer with UBSan and under ThreadSanitizer.
for preset in native asan tsan; do
  cmake --preset "$preset"
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done

# A short run of every fuzz target (clang's libFuzzer) from its committed corpus.
bash fuzz/run.sh 20

for preset in win64 win32; do
  cmake --preset "$preset"
  cmake --build --preset "$preset"
done

# A 32-bit run reports its tests as skipped where this machine cannot start
# 32-bit Wine; the 64-bit run of the same sources comes last.
ctest --preset win32
ctest --preset win64
