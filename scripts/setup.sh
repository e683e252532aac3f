#!/usr/bin/env bash
# Prepares a plain Debian 12 machine for building and testing the plug-in:
#   1. installs the Debian packages the build, the tests and the benchmarks need,
#   2. fetches JUCE 8.0.6 (Debian's source package, with Debian's patches) into third_party/,
#   3. fetches Debian's VST3 SDK sources and builds Steinberg's validator from them.
# Every step is skipped when its result is already there. Works as root or through sudo.
#
# The sources come from Debian 13's source index at pinned revisions with pinned checksums. Once
# the index has moved on to a later revision of the same upstream version, the newest such
# revision is taken instead, checked against the signed index, and a line says so.
#
#   --fetch-only              only fetch and unpack the sources (no packages, no validator build)
#   VARNOK_THIRD_PARTY_DIR    where the sources and the validator go (default: third_party/, where
#                             the build looks for them unless VARNOK_JUCE_DIR/VARNOK_VALIDATOR say else)
#   VARNOK_JUCE_REVISION      Debian revision of juce 8.0.6+ds to try first (default: the pinned one)
#   VARNOK_VST3SDK_REVISION   Debian revision of vst3sdk 3.7.10.14+~4.13.3 to try first (likewise)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
third="${VARNOK_THIRD_PARTY_DIR:-$root/third_party}"

fail() { echo "setup: $*" >&2; exit 1; }

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
    local missing=() p sudo_cmd=()
    for p in "${packages[@]}"; do
        [ "$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null)" = "install ok installed" ] || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        command -v sudo >/dev/null 2>&1 || fail "not root and sudo is missing: cannot install Debian packages"
        sudo_cmd=(sudo)
    fi
    echo "setup: installing ${missing[*]}"
    "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq >/dev/null \
        || fail "apt-get update failed (no network or no Debian mirror reachable)"
    "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" >/dev/null \
        || fail "apt-get install failed for: ${missing[*]}"
}

# The machine's own Debian mirror: the first URI of its apt sources (deb822 or one-line form,
# options in brackets skipped) that is not the security archive, from the files given in order.
# Fails when there is none.
apt_source_files=(/etc/apt/sources.list.d/debian.sources /etc/apt/sources.list)
debian_mirror() {
    local f mirror
    for f in "$@"; do
        [ -r "$f" ] || continue
        mirror=$(awk '
            function pick(i) { for (; i <= NF; i++) if ($i !~ /security\/?$/) { print $i; exit } }
            /^URIs:/ { pick(2) }
            /^deb(-src)?[ \t]/ {
                i = 2
                if ($i ~ /^\[/) { while (i <= NF && $i !~ /\]$/) i++; i++ }
                if (i <= NF && $i !~ /security\/?$/) { print $i; exit }
            }' "$f")
        if [ -n "$mirror" ]; then
            printf '%s\n' "$mirror"
            return 0
        fi
    done
    return 1
}

# apt-get with a private state folder that knows trixie's source index; the machine's own
# apt configuration stays untouched. Whatever the machine's apt.conf says, only an index signed
# by a key of Debian's archive keyring is accepted, and apt checks every download against it.
apt_src=()
prepare_source_index() {
    [ ${#apt_src[@]} -gt 0 ] && return 0
    local mirror st
    mirror=$(debian_mirror "${apt_source_files[@]}") || fail "no Debian mirror found in the machine's apt sources"
    st="$third/.apt"
    mkdir -p "$st/lists/partial" "$st/archives/partial"
    echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $mirror trixie main" >"$st/sources.list"
    apt_src=(-o Dir::Etc::sourcelist="$st/sources.list" -o Dir::Etc::sourceparts=- -o Dir::State::Lists="$st/lists"
             -o Dir::Cache="$st" -o Dir::Cache::archives="$st/archives" -o APT::Sandbox::User=root
             -o APT::Get::AllowUnauthenticated=false -o Acquire::AllowInsecureRepositories=false
             -o Acquire::AllowDowngradeToInsecureRepositories=false -o Acquire::AllowWeakRepositories=false)
    apt-get "${apt_src[@]}" update -qq >/dev/null 2>&1 || fail "could not read trixie's source index from $mirror"
}

# The upstream part of a Debian version: without epoch and Debian revision.
upstream_of() {
    local v=$1
    [[ $v == *:* ]] && v=${v#*:}
    [[ $v == *-* ]] && v=${v%-*}
    printf '%s\n' "$v"
}

# Prints the newest of the Debian versions after $1 whose upstream part is $1; fails when none is.
pick_newest() {
    local upstream=$1 best="" v
    shift
    for v in "$@"; do
        dpkg --validate-version "$v" 2>/dev/null || continue
        [ "$(upstream_of "$v")" = "$upstream" ] || continue
        if [ -z "$best" ] || dpkg --compare-versions "$v" gt "$best"; then
            best=$v
        fi
    done
    [ -n "$best" ] || return 1
    printf '%s\n' "$best"
}

# Versions of source package $1 in trixie's index, one a line.
index_versions() {
    apt-cache "${apt_src[@]}" showsrc "$1" 2>/dev/null \
        | awk -v p="$1" '/^Package: /{pkg = $2} /^Version: /{if (pkg == p) print $2}' || true
}

# Chooses the version of source package $1 (upstream version $2) to fetch: revision $3 when
# trixie's index still has it, else the newest revision of the same upstream version there.
# Sets `version`, and `wanted` to the version asked for.
choose_version() {
    local pkg=$1 upstream=$2 available
    wanted="$upstream-$3"
    mapfile -t available < <(index_versions "$pkg")
    for version in "${available[@]}"; do
        [ "$version" = "$wanted" ] && return 0
    done
    version=$(pick_newest "$upstream" "${available[@]}") \
        || fail "trixie's source index has no $pkg $upstream (it lists: ${available[*]:-nothing})"
}

# Downloads source package $1 at version $2 (further apt-get source options after) into the
# current folder and checks each file against the SHA-256 that trixie's signed index lists for
# it. apt checks that too; the own check keeps holding should the machine's apt be told otherwise.
download_source() {
    local pkg=$1 version=$2 listing sums
    shift 2
    # --print-uris leaves out files already there, so it runs in an empty folder.
    rm -rf "$third/.apt/uris" && mkdir -p "$third/.apt/uris"
    listing=$(cd "$third/.apt/uris" && apt-get "${apt_src[@]}" source --print-uris "$@" "$pkg=$version" 2>/dev/null) \
        || fail "could not download Debian's source package $pkg $version"
    sums=$(awk '/^'\''/ { if ($4 !~ /^SHA256:/) { print "no-sha256"; exit } sub(/^SHA256:/, "", $4); print $4 "  " $2 }' <<<"$listing")
    if [ -z "$sums" ] || grep -qx no-sha256 <<<"$sums"; then
        fail "trixie's source index lists no SHA-256 checksums for $pkg $version"
    fi
    apt-get "${apt_src[@]}" source --download-only "$@" "$pkg=$version" >/dev/null 2>&1 \
        || fail "could not download Debian's source package $pkg $version"
    sha256sum --quiet -c - <<<"$sums" >/dev/null 2>&1 \
        || fail "a downloaded file of $pkg $version does not match the checksum in trixie's signed index"
}

# The line that says which version was used instead of the pinned one, and how it was checked.
# $1 package, $2 version asked for, $3 version used, $4 the pinned checksums, $5 the variable
# that names the revision; run in the download folder.
report_unpinned() {
    local pkg=$1 wanted=$2 version=$3 pinned_sums=$4 variable=$5 origs how
    # Debian keeps an upstream version's orig tarball across revisions; one that changed anyway
    # is taken only because it matches the signed index, and the line says so.
    origs=$(grep '\.orig' <<<"$pinned_sums")
    if sha256sum --quiet -c - <<<"$origs" >/dev/null 2>&1; then
        how="verified by apt against the signed index; orig tarball as pinned"
    else
        how="verified by apt against the signed index; orig tarball differs from the pinned one, accepted on that verification alone"
    fi
    if [ "$version" = "$wanted" ]; then
        echo "setup: using $pkg $version as $variable asks ($how)"
    else
        echo "setup: $pkg $wanted is gone from the index; using $version ($how)"
    fi
}

juce_upstream=8.0.6+ds
juce_pinned=8.0.6+ds-2
# file name and SHA-256 of every source archive of the pinned revision; a mismatch stops the set-up
juce_sums='875f60aa9810331de2b41dcc3b2d3af86dbcb8bbb4571b30d26e34cc3f96db58  juce_8.0.6+ds-2.dsc
4126ec8066866a1ccbc9cdd2beac712fd51e55ac7f24d8fdc45077b187a358ef  juce_8.0.6+ds.orig.tar.xz
98f781365d85d35639b5c47416b769c3d68ad9858c8559fc6c80bb95710976a1  juce_8.0.6+ds-2.debian.tar.xz'

check_sums() {
    sha256sum --quiet -c - <<<"$juce_sums" || fail "a downloaded source archive does not match its pinned checksum"
}

fetch_juce() {
    [ -f "$third/juce-8.0.6/CMakeLists.txt" ] && return 0
    prepare_source_index
    mkdir -p "$third/download" && cd "$third/download"
    echo "setup: fetching JUCE 8.0.6 sources"
    choose_version juce "$juce_upstream" "${VARNOK_JUCE_REVISION:-${juce_pinned##*-}}"
    download_source juce "$version"
    if [ "$version" = "$juce_pinned" ]; then
        check_sums
        [ "$version" = "$wanted" ] \
            || echo "setup: juce $wanted is gone from the index; using $version (the pinned revision, checked against its pinned checksums)"
    else
        report_unpinned juce "$wanted" "$version" "$juce_sums" VARNOK_JUCE_REVISION
    fi
    # The files were verified against the signed index above. dpkg-source's own check would
    # only repeat that and warn that the uploader's signature cannot be checked without
    # Debian's developer keyring.
    rm -rf juce-8.0.6
    dpkg-source --no-check -x "juce_${version#*:}.dsc" juce-8.0.6 >/dev/null \
        || fail "could not unpack juce_${version#*:}.dsc"
    mv juce-8.0.6 "$third/juce-8.0.6"
    cd "$root"
}

vst3_upstream=3.7.10.14+~4.13.3
vst3_pinned=3.7.10.14+~4.13.3-4
vst3_sums='0c9fa7b578f8549d6ce6efeb427e9c7df8ca0e018bea13a523b78bb167663b81  vst3sdk_3.7.10.14+~4.13.3.orig.tar.gz
b9eb5c1e57ca2ef6b2560dd0e13822dd5a51e437b8f5a6c421b099d621d2bffb  vst3sdk_3.7.10.14+~4.13.3.orig-base.tar.gz
f4699e910a67e585d7d177b2a48f6aa43706b3f073c8e454615f094484374349  vst3sdk_3.7.10.14+~4.13.3.orig-cmake.tar.gz
fd426c6b26ef93fdfdc8aef7e9b836c1bf43f25b8a1ef4c0642a41fb9250ab8a  vst3sdk_3.7.10.14+~4.13.3.orig-pluginterfaces.tar.gz
ca1f70406b36f0763c799085c67deed5befc69514cc2b9cacb804512e95db335  vst3sdk_3.7.10.14+~4.13.3.orig-public-sdk.tar.gz
5a7673c7b22a66086a6749a0c7ff447fcfc4a10d2c2013d58ff1320be4e8456f  vst3sdk_3.7.10.14+~4.13.3.orig-vstgui4.tar.gz'

vst3_sums() {
    sha256sum --quiet -c - <<<"$vst3_sums" || fail "a downloaded VST3 SDK archive does not match its pinned checksum"
}

# Only the SDK's tarballs: its .dsc is not served by every mirror, and the validator needs none
# of Debian's changes.
fetch_vst3sdk() {
    [ -f "$third/vst3sdk/CMakeLists.txt" ] && return 0
    prepare_source_index
    mkdir -p "$third/download" && cd "$third/download"
    echo "setup: fetching the VST3 SDK sources"
    choose_version vst3sdk "$vst3_upstream" "${VARNOK_VST3SDK_REVISION:-${vst3_pinned##*-}}"
    download_source vst3sdk "$version" --tar-only
    if [ "$version" = "$vst3_pinned" ]; then
        vst3_sums
        [ "$version" = "$wanted" ] \
            || echo "setup: vst3sdk $wanted is gone from the index; using $version (the pinned revision, checked against its pinned checksums)"
    else
        report_unpinned vst3sdk "$wanted" "$version" "$vst3_sums" VARNOK_VST3SDK_REVISION
    fi
    local sdk="$third/vst3sdk.tmp" part top
    rm -rf "$sdk" && mkdir -p "$sdk"
    tar -xzf "vst3sdk_$vst3_upstream.orig.tar.gz" -C "$sdk" --strip-components=1 \
        || fail "could not unpack vst3sdk_$vst3_upstream.orig.tar.gz"
    for part in base cmake pluginterfaces public.sdk vstgui4; do
        local tarball="vst3sdk_$vst3_upstream.orig-${part/./-}.tar.gz"
        top=$(tar -tzf "$tarball" | sed -n '1s|/.*||p') || fail "could not read $tarball"
        rm -rf "${sdk:?}/$part" "$sdk/.x" && mkdir -p "$sdk/.x"
        tar -xzf "$tarball" -C "$sdk/.x" || fail "could not unpack $tarball"
        mv "$sdk/.x/$top" "$sdk/$part" && rmdir "$sdk/.x"
    done
    mv "$sdk" "$third/vst3sdk"
    cd "$root"
}

build_validator() {
    [ -x "$third/vst3sdk-build/bin/Release/validator" ] && return 0
    fetch_vst3sdk
    echo "setup: building Steinberg's VST3 validator"
    cmake -S "$third/vst3sdk" -B "$third/vst3sdk-build" -DCMAKE_BUILD_TYPE=Release \
        -DSMTG_ENABLE_VST3_PLUGIN_EXAMPLES=OFF -DSMTG_ENABLE_VSTGUI_SUPPORT=OFF \
        -DSMTG_RUN_VST_VALIDATOR=OFF >"$third/vst3sdk-build.log" 2>&1 \
        || fail "configuring the VST3 SDK failed (see $third/vst3sdk-build.log)"
    cmake --build "$third/vst3sdk-build" --target validator -j"$(nproc)" >>"$third/vst3sdk-build.log" 2>&1 \
        || fail "building the VST3 validator failed (see $third/vst3sdk-build.log)"
}

main() {
    local fetch_only=false tool
    while [ $# -gt 0 ]; do
        case $1 in
            --fetch-only) fetch_only=true ;;
            *) fail "unknown option $1 (usage: setup.sh [--fetch-only])" ;;
        esac
        shift
    done
    if $fetch_only; then
        for tool in apt-get apt-cache dpkg-source tar xz sha256sum; do
            command -v "$tool" >/dev/null 2>&1 \
                || fail "$tool is missing: run scripts/setup.sh once without --fetch-only"
        done
    else
        install_packages
    fi
    mkdir -p "$third"
    third=$(cd "$third" && pwd)
    fetch_juce
    if $fetch_only; then
        fetch_vst3sdk
    else
        build_validator
    fi
}

# Sourced (by the set-up's tests) it only defines the functions.
if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    main "$@"
fi
