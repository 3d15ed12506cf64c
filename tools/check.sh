#!/bin/sh
# Builds KOVRA and runs the whole test suite: the release build with warnings
# as errors, the same tests under AddressSanitizer and UndefinedBehaviorSanitizer,
# a clang build for its warnings and tests, and (with clang) short fuzz runs.
set -eu
cd "$(dirname "$0")/.."

run() {
  preset=$1
  echo "=== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
}

run ci-release
run ci-debug
if command -v clang++ >/dev/null 2>&1; then
  run ci-clang
  echo "=== ci-fuzz"
  cmake --preset ci-fuzz >/dev/null
  cmake --build --preset ci-fuzz
  (cd build/ci-fuzz && ctest -L fuzz --output-on-failure)
fi
echo "=== all tests passed"
