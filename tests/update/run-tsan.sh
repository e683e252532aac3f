#!/usr/bin/env bash
# Builds update_tests with ThreadSanitizer in its own build folder and runs it under a virtual
# display. Exits non-zero when a test fails or TSan reports a race.
#   tests/update/run-tsan.sh [build-folder] [gtest arguments...]
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="${1:-$root/build-update-tsan}"
shift || true

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_C_FLAGS="-fsanitize=thread -g" -DCMAKE_CXX_FLAGS="-fsanitize=thread -g" \
      -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread" -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=thread" >/dev/null
cmake --build "$build" -j4 --target update_tests

export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 ${TSAN_OPTIONS:-}"
cd "$build/tests/update"
xvfb-run -a -s "-screen 0 1920x1080x24" ./update_tests "$@"
