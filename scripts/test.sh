#!/usr/bin/env bash
# Installs what is missing, builds Dirlook and runs every test: a normal
# build, then the same tests under AddressSanitizer + UndefinedBehaviorSanitizer,
# then the threaded tests under ThreadSanitizer.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
JOBS="${JOBS:-$(nproc)}"

bash "$ROOT/scripts/setup.sh"

export QT_QPA_PLATFORM=offscreen
export CTEST_OUTPUT_ON_FAILURE=1

build_and_test() {
  local dir="$1"; shift
  local label_args=("$@")
  cmake -S "$ROOT" -B "$dir" -G Ninja -DDIRLOOK_BUILD_BENCH=OFF "${CMAKE_EXTRA[@]}"
  cmake --build "$dir" -j "$JOBS"
  (cd "$dir" && ctest -j "$JOBS" "${label_args[@]}")
}

echo "== Build and tests"
CMAKE_EXTRA=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DDIRLOOK_BUILD_BENCH=ON)
build_and_test "$ROOT/build"

echo "== AddressSanitizer + UndefinedBehaviorSanitizer"
CMAKE_EXTRA=(-DCMAKE_BUILD_TYPE=Debug -DDIRLOOK_SANITIZE=address,undefined)
ASAN_OPTIONS="detect_leaks=1" UBSAN_OPTIONS="print_stacktrace=1" \
  build_and_test "$ROOT/build-asan"

if compgen -G "$ROOT/tests/*/*BackgroundServerTest.cpp" >/dev/null; then
  echo "== ThreadSanitizer (threaded tests)"
  CMAKE_EXTRA=(-DCMAKE_BUILD_TYPE=Debug -DDIRLOOK_SANITIZE=thread -DDIRLOOK_BUILD_UI=OFF)
  TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
    build_and_test "$ROOT/build-tsan" -L threaded
fi
echo "All test runs passed."
