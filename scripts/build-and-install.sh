#!/usr/bin/env bash
# Builds the VST3 plug-in (Release) and installs it into the user's VST3 folder, ~/.vst3.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${VARNOK_BUILD_DIR:-$root/build}"

bash "$root/scripts/setup.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target VarnokComp_VST3 -j"$(nproc)"

bundle="$build/VarnokComp_artefacts/Release/VST3/VARNOK COMP Free.vst3"
[ -d "$bundle" ] || { echo "build-and-install: the bundle was not built: $bundle" >&2; exit 1; }

dest="$HOME/.vst3"
mkdir -p "$dest"
rm -rf "$dest/VARNOK COMP Free.vst3"
cp -R "$bundle" "$dest/"
echo "Installed: $dest/VARNOK COMP Free.vst3"
