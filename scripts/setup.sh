#!/usr/bin/env bash
# Prepares a plain Debian 12 machine for building and testing the plug-in:
#   1. installs the Debian packages the build, the tests and the benchmarks need,
#   2. fetches JUCE 8.0.6 (Debian's source package, with Debian's patches) into third_party/,
#   3. fetches Debian's VST3 SDK sources and builds Steinberg's validator from them.
# Every step is skipped when its result is already there. Works as root or through sudo.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
third="$root/third_party"

fail() { echo "setup: $*" >&2; exit 1; }

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null 2>&1 || fail "not root and sudo is missing: cannot install Debian packages"
    sudo_cmd=(sudo)
fi

packages=(
    # compiler, build system, test and benchmark libraries
    build-essential g++ cmake pkg-config git dpkg-dev xz-utils binutils python3
    libgtest-dev libgmock-dev libbenchmark-dev
    # JUCE's build dependencies (Debian's JUCE links the system codecs)
    libasound2-dev libcurl4-gnutls-dev libflac-dev libfreetype-dev libfontconfig-dev libgl-dev
    libjpeg-dev libpng-dev libvorbis-dev libogg-dev libx11-dev libxext-dev libxinerama-dev
    libxrandr-dev libxcursor-dev zlib1g-dev ladspa-sdk
    # the VST3 SDK's CMake project (validator) configures its GTK sample host too
    libgtkmm-3.0-dev libxcb-cursor-dev libxcb-keysyms1-dev libxcb-util-dev libxcb-xkb-dev
    libxkbcommon-dev libxkbcommon-x11-dev libsqlite3-dev
    # GUI tests: virtual display and fonts (CJK for the Japanese texts)
    xvfb xauth fonts-dejavu-core fonts-noto-cjk
    # key presses sent to real windows through the X server's test extension
    libxtst-dev
    # fuzzers and sanitizers
    clang-14 libclang-rt-14-dev
)

install_packages() {
    local missing=() p
    for p in "${packages[@]}"; do
        [ "$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null)" = "install ok installed" ] || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "setup: installing ${missing[*]}"
    "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq >/dev/null \
        || fail "apt-get update failed (no network or no Debian mirror reachable)"
    "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" >/dev/null \
        || fail "apt-get install failed for: ${missing[*]}"
}

# apt-get with a private state folder that knows trixie's source index; the machine's own
# apt configuration stays untouched.
apt_src=()
prepare_source_index() {
    [ ${#apt_src[@]} -gt 0 ] && return 0
    local mirror st
    mirror=$(awk '/^URIs:/{print $2; exit}' /etc/apt/sources.list.d/debian.sources 2>/dev/null || true)
    [ -n "$mirror" ] || mirror=$(awk '/^deb /{print $2; exit}' /etc/apt/sources.list 2>/dev/null || true)
    [ -n "$mirror" ] || fail "no Debian mirror found in the machine's apt sources"
    st="$third/.apt"
    mkdir -p "$st/lists/partial" "$st/archives/partial"
    echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $mirror trixie main" >"$st/sources.list"
    apt_src=(-o Dir::Etc::sourcelist="$st/sources.list" -o Dir::Etc::sourceparts=- -o Dir::State::Lists="$st/lists"
             -o Dir::Cache="$st" -o Dir::Cache::archives="$st/archives" -o APT::Sandbox::User=root)
    apt-get "${apt_src[@]}" update -qq >/dev/null 2>&1 || fail "could not read trixie's source index from $mirror"
}

# file name and SHA-256 of every source archive we use; a mismatch stops the set-up
check_sums() {
    sha256sum --quiet -c - <<'SUMS' || fail "a downloaded source archive does not match its pinned checksum"
875f60aa9810331de2b41dcc3b2d3af86dbcb8bbb4571b30d26e34cc3f96db58  juce_8.0.6+ds-2.dsc
4126ec8066866a1ccbc9cdd2beac712fd51e55ac7f24d8fdc45077b187a358ef  juce_8.0.6+ds.orig.tar.xz
98f781365d85d35639b5c47416b769c3d68ad9858c8559fc6c80bb95710976a1  juce_8.0.6+ds-2.debian.tar.xz
SUMS
}

fetch_juce() {
    [ -f "$third/juce-8.0.6/CMakeLists.txt" ] && return 0
    prepare_source_index
    mkdir -p "$third/download" && cd "$third/download"
    echo "setup: fetching JUCE 8.0.6 sources"
    apt-get "${apt_src[@]}" source --download-only juce=8.0.6+ds-2 >/dev/null 2>&1 \
        || fail "could not download Debian's source package juce 8.0.6+ds-2"
    check_sums
    rm -rf juce-8.0.6
    dpkg-source --no-check -x juce_8.0.6+ds-2.dsc juce-8.0.6 >/dev/null \
        || fail "could not unpack juce_8.0.6+ds-2.dsc"
    mv juce-8.0.6 "$third/juce-8.0.6"
    cd "$root"
}

vst3_sums() {
    sha256sum --quiet -c - <<'SUMS' || fail "a downloaded VST3 SDK archive does not match its pinned checksum"
0c9fa7b578f8549d6ce6efeb427e9c7df8ca0e018bea13a523b78bb167663b81  vst3sdk_3.7.10.14+~4.13.3.orig.tar.gz
b9eb5c1e57ca2ef6b2560dd0e13822dd5a51e437b8f5a6c421b099d621d2bffb  vst3sdk_3.7.10.14+~4.13.3.orig-base.tar.gz
f4699e910a67e585d7d177b2a48f6aa43706b3f073c8e454615f094484374349  vst3sdk_3.7.10.14+~4.13.3.orig-cmake.tar.gz
fd426c6b26ef93fdfdc8aef7e9b836c1bf43f25b8a1ef4c0642a41fb9250ab8a  vst3sdk_3.7.10.14+~4.13.3.orig-pluginterfaces.tar.gz
ca1f70406b36f0763c799085c67deed5befc69514cc2b9cacb804512e95db335  vst3sdk_3.7.10.14+~4.13.3.orig-public-sdk.tar.gz
5a7673c7b22a66086a6749a0c7ff447fcfc4a10d2c2013d58ff1320be4e8456f  vst3sdk_3.7.10.14+~4.13.3.orig-vstgui4.tar.gz
SUMS
}

validator_bin="$third/vst3sdk-build/bin/Release/validator"
fetch_and_build_validator() {
    [ -x "$validator_bin" ] && return 0
    if [ ! -f "$third/vst3sdk/CMakeLists.txt" ]; then
        prepare_source_index
        mkdir -p "$third/download" && cd "$third/download"
        echo "setup: fetching the VST3 SDK sources"
        apt-get "${apt_src[@]}" source --download-only --tar-only vst3sdk=3.7.10.14+~4.13.3-4 >/dev/null 2>&1 \
            || fail "could not download Debian's source package vst3sdk 3.7.10.14+~4.13.3-4"
        vst3_sums
        local sdk="$third/vst3sdk.tmp" part top
        rm -rf "$sdk" && mkdir -p "$sdk"
        tar -xzf vst3sdk_3.7.10.14+~4.13.3.orig.tar.gz -C "$sdk" --strip-components=1
        for part in base cmake pluginterfaces public.sdk vstgui4; do
            local tarball="vst3sdk_3.7.10.14+~4.13.3.orig-${part/./-}.tar.gz"
            top=$(tar -tzf "$tarball" | sed -n '1s|/.*||p')
            rm -rf "$sdk/$part" "$sdk/.x" && mkdir -p "$sdk/.x"
            tar -xzf "$tarball" -C "$sdk/.x"
            mv "$sdk/.x/$top" "$sdk/$part" && rmdir "$sdk/.x"
        done
        mv "$sdk" "$third/vst3sdk"
        cd "$root"
    fi
    echo "setup: building Steinberg's VST3 validator"
    cmake -S "$third/vst3sdk" -B "$third/vst3sdk-build" -DCMAKE_BUILD_TYPE=Release \
        -DSMTG_ENABLE_VST3_PLUGIN_EXAMPLES=OFF -DSMTG_ENABLE_VSTGUI_SUPPORT=OFF \
        -DSMTG_RUN_VST_VALIDATOR=OFF >"$third/vst3sdk-build.log" 2>&1 \
        || fail "configuring the VST3 SDK failed (see $third/vst3sdk-build.log)"
    cmake --build "$third/vst3sdk-build" --target validator -j"$(nproc)" >>"$third/vst3sdk-build.log" 2>&1 \
        || fail "building the VST3 validator failed (see $third/vst3sdk-build.log)"
}

install_packages
mkdir -p "$third"
fetch_juce
fetch_and_build_validator
