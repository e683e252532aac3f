#!/usr/bin/env bash
# Sets the machine up, builds everything (plug-in, tests, benchmarks) and runs the whole test
# suite under a virtual X display. Ends with CTest's summary; exits non-zero on any failure.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${VARNOK_BUILD_DIR:-$root/build}"
jobs="$(nproc)"

bash "$root/scripts/setup.sh"

# The fuzz targets need clang with libFuzzer and the sanitizers: the same project in a tree of its
# own, only those targets built, with the GUI tests under AddressSanitizer's leak check beside
# them. The main tree's CTest runs all of them (tests/fuzz/CMakeLists.txt, tests/CMakeLists.txt).
# The two trees build at the same time; the sanitizer tree's output goes to a log of its own.
mkdir -p "$build"
sanitizerLog="$build/sanitizer-build.log"
(
    cmake -S "$root" -B "$build/fuzz" -DCMAKE_BUILD_TYPE=Release \
          -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 -DVARNOK_FUZZ=ON
    cmake --build "$build/fuzz" -j"$jobs" --target state_fuzzer preset_file_fuzzer gui_tests editor_tests panel_tests
) >"$sanitizerLog" 2>&1 &
sanitizerBuild=$!

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$jobs"

if ! wait "$sanitizerBuild"; then
    tail -n 60 "$sanitizerLog" >&2
    echo "test: the sanitizer build failed (whole log: $sanitizerLog)" >&2
    exit 1
fi

cd "$build"
xvfb-run -a -s "-screen 0 1920x1080x24" \
    ctest --output-on-failure --timeout 900 -j"$jobs" "$@"
