#!/usr/bin/env bash
# Sets the machine up, builds everything (plug-in, tests, benchmarks) and runs the whole test
# suite under a virtual X display. Ends with CTest's summary; exits non-zero on any failure.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${VARNOK_BUILD_DIR:-$root/build}"

bash "$root/scripts/setup.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$(nproc)"

cd "$build"
xvfb-run -a -s "-screen 0 1920x1080x24" \
    ctest --output-on-failure --timeout 900 -j"$(nproc)" "$@"
