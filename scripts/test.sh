#!/usr/bin/env bash
# Installs what is missing, builds Dirlook and runs every test: a normal
# build (with a check of the installed tree), the Debian package built,
# installed, run and removed, then the same tests under
# AddressSanitizer + UndefinedBehaviorSanitizer, then the threaded tests
# (every *BackgroundServerTest program, widget tests included) under
# ThreadSanitizer, then a short run of each libFuzzer target.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
JOBS="${JOBS:-$(nproc)}"

bash "$ROOT/scripts/setup.sh"

export QT_QPA_PLATFORM=offscreen
# Rebuilds reuse earlier compilations where ccache is installed.
LAUNCHER=""
if command -v ccache >/dev/null 2>&1; then LAUNCHER="-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"; fi
export CTEST_OUTPUT_ON_FAILURE=1

# build_and_test DIR "CMAKE ARGS..." "TARGETS (empty: all)" [ctest args...]
build_and_test() {
  local dir="$1" cmake_args="$2" targets="$3"; shift 3
  # shellcheck disable=SC2086
  cmake -S "$ROOT" -B "$dir" -G Ninja $LAUNCHER $cmake_args
  # shellcheck disable=SC2086
  cmake --build "$dir" -j "$JOBS" ${targets:+--target $targets}
  (cd "$dir" && ctest -j "$JOBS" "$@")
}

echo "== Build and tests"
build_and_test "$ROOT/build" "-DCMAKE_BUILD_TYPE=RelWithDebInfo -DDIRLOOK_BUILD_BENCH=ON" ""

echo "== Debian package (build, install, run, remove)"
bash "$ROOT/scripts/check-package.sh" "$ROOT/build"

echo "== AddressSanitizer + UndefinedBehaviorSanitizer"
ASAN_OPTIONS="detect_leaks=1" UBSAN_OPTIONS="print_stacktrace=1" \
  build_and_test "$ROOT/build-asan" \
  "-DCMAKE_BUILD_TYPE=Debug -DDIRLOOK_SANITIZE=address,undefined -DDIRLOOK_BUILD_BENCH=OFF" ""

threaded=()
while IFS= read -r source; do
  threaded+=("$(basename "$source" .cpp)")
done < <(find "$ROOT/tests" -name '*Background*Test.cpp' | sort)
if [ ${#threaded[@]} -gt 0 ]; then
  echo "== ThreadSanitizer (threaded tests)"
  TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
    build_and_test "$ROOT/build-tsan" \
    "-DCMAKE_BUILD_TYPE=Debug -DDIRLOOK_SANITIZE=thread -DDIRLOOK_BUILD_UI=ON -DDIRLOOK_BUILD_BENCH=OFF" \
    "${threaded[*]}" -L threaded
fi
if command -v clang++ >/dev/null 2>&1; then
  echo "== Fuzz targets (short smoke run each)"
  # shellcheck disable=SC2086
  cmake -S "$ROOT" -B "$ROOT/build-fuzz" -G Ninja -DCMAKE_CXX_COMPILER=clang++ $LAUNCHER \
    -DDIRLOOK_BUILD_FUZZ=ON -DDIRLOOK_BUILD_UI=OFF -DDIRLOOK_BUILD_TESTS=OFF \
    -DDIRLOOK_BUILD_BENCH=OFF -DDIRLOOK_SANITIZE=address,undefined
  cmake --build "$ROOT/build-fuzz" -j "$JOBS"
  for target in "$ROOT"/build-fuzz/fuzz/fuzz_*; do
    [ -x "$target" ] || continue
    corpus=$(mktemp -d)
    echo "-- $(basename "$target")"
    status=0
    (cd "$corpus" && "$target" -max_total_time="${FUZZ_SECONDS:-15}" -print_final_stats=1 \
      "$corpus" > "$corpus.log" 2>&1) || status=$?
    grep -E "stat::number_of_executed_units|ERROR|SUMMARY" "$corpus.log" || true
    [ "$status" -eq 0 ] || tail -40 "$corpus.log"
    rm -rf "$corpus" "$corpus.log"
    if [ "$status" -ne 0 ]; then echo "$(basename "$target") failed" >&2; exit 1; fi
  done
fi
echo "All test runs passed."
