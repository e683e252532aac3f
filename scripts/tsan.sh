#!/usr/bin/env bash
# Builds state_tests with ThreadSanitizer in a tree of its own and runs it: host state calls on
# another thread against the editor's A/B, program, preset and undo actions and the audio thread.
# Exits non-zero when a test fails or TSan reports a race.
#   scripts/tsan.sh [gtest arguments...]     (tree: $VARNOK_TSAN_BUILD_DIR, default build/tsan)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${VARNOK_TSAN_BUILD_DIR:-$root/build/tsan}"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_C_FLAGS="-fsanitize=thread -g" -DCMAKE_CXX_FLAGS="-fsanitize=thread -g" \
      -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread" -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=thread" >/dev/null
cmake --build "$build" -j"${VARNOK_JOBS:-$(nproc)}" --target state_tests

export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 ${TSAN_OPTIONS:-}"
cd "$build/tests/state"
xvfb-run -a -s "-screen 0 1920x1080x24" ./state_tests "$@"
