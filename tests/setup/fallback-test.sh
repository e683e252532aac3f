#!/usr/bin/env bash
# How scripts/setup.sh picks the Debian source revisions it fetches.
#   fallback-test.sh choice   the version choice and the mirror lookup, from tables (no network)
#   fallback-test.sh fetch    real fetches from the machine's Debian mirror into a throw-away
#                             folder; exits 77 (skipped) only when no mirror is configured at all
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
setup="$here/../../scripts/setup.sh"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# Sourcing defines the set-up's functions and nothing else; point it away from the checkout's
# third_party/ before anything can touch it.
export VARNOK_THIRD_PARTY_DIR="$tmp/third_party"
unset VARNOK_JUCE_REVISION VARNOK_VST3SDK_REVISION
# shellcheck source=SCRIPTDIR/../../scripts/setup.sh
source "$setup"
[ "$third" = "$tmp/third_party" ] || { echo "FAIL: the set-up would work in $third"; exit 1; }

failures=0
check() {  # check <what> <expected> <actual>
    if [ "$2" != "$3" ]; then
        echo "FAIL: $1: expected '$2', got '$3'"
        failures=$((failures + 1))
    fi
}

test_choice() {
    # upstream | versions in the index | expected choice ("-" = none)
    local rows='8.0.6+ds|8.0.6+ds-2 8.0.6+ds-3|8.0.6+ds-3
8.0.6+ds|8.0.6+ds-10 8.0.6+ds-9|8.0.6+ds-10
8.0.6+ds|8.0.6+ds-2 8.0.6+ds-2+deb13u1|8.0.6+ds-2+deb13u1
8.0.6+ds|8.0.7+ds-1 9.0.4+ds-1 8.0.6+ds-2|8.0.6+ds-2
8.0.6+ds|8.0.6+ds2-1 8.0.6-1 8.0.6+ds-2|8.0.6+ds-2
8.0.6+ds|8.0.6+ds-5 1:8.0.6+ds-1|1:8.0.6+ds-1
8.0.6+ds|8.0.6+ds-@ 8.0.6+ds-3|8.0.6+ds-3
3.7.10.14+~4.13.3|3.7.10.14+~4.13.3-4 3.7.10.14+~4.13.3-5 3.8.0.66+~4.15.0-1 3.7.10.14+~4.13.4-1|3.7.10.14+~4.13.3-5
1.2-3|1.2-3-4 1.2-3-10 1.2-4|1.2-3-10
8.0.6+ds|7.0.5+ds-1 9.0.4+ds-1|-
8.0.6+ds||-'
    local upstream list expected got versions
    while IFS='|' read -r upstream list expected; do
        read -r -a versions <<<"$list"
        got=$(pick_newest "$upstream" "${versions[@]}") || got=-
        check "newest $upstream of [$list]" "$expected" "$got"
    done <<<"$rows"

    # The mirror comes from the machine's apt sources; options in brackets and the security
    # archive are no mirror.
    local f="$tmp/sources"
    mirror_of() { printf '%b' "$1" >"$f"; debian_mirror "$f" || echo -; }
    check "deb822" http://deb.example/debian \
        "$(mirror_of 'Types: deb\n# http://old.example/debian\nURIs: http://deb.example/debian\nSuites: bookworm\n')"
    check "deb822, security first" http://deb.example/debian \
        "$(mirror_of 'Types: deb\nURIs: http://deb.example/debian-security\nSuites: bookworm-security\n\nTypes: deb\nURIs: http://deb.example/debian\n')"
    check "one-line" http://deb.example/debian \
        "$(mirror_of '# deb http://old.example/debian bookworm main\ndeb http://deb.example/debian bookworm main\n')"
    check "one-line with options" http://deb.example/debian \
        "$(mirror_of 'deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.example/debian bookworm main\n')"
    check "one-line with spaced options" http://deb.example/debian \
        "$(mirror_of 'deb [ arch=amd64 signed-by=/k.gpg ] http://deb.example/debian bookworm main\n')"
    check "security only" - "$(mirror_of 'deb http://deb.example/debian-security bookworm-security main\n')"
    check "no file" - "$(debian_mirror "$tmp/none" || echo -)"
    check "first file without a mirror" http://deb.example/debian \
        "$(printf 'deb http://deb.example/debian bookworm main\n' >"$tmp/second"; : >"$tmp/first"
           debian_mirror "$tmp/first" "$tmp/second" || echo -)"
}

# Runs scripts/setup.sh --fetch-only into the throw-away folder; prints its output, fails with it.
run_setup() {
    local out rc=0
    out=$(bash "$setup" --fetch-only 2>&1) || rc=$?
    printf '%s\n' "$out"
    return $rc
}

trees_present() {  # trees_present <what>
    local p
    [ -f "$third/juce-8.0.6/CMakeLists.txt" ] || { echo "FAIL: $1: no JUCE tree"; failures=$((failures + 1)); }
    # dpkg-source applied Debian's patches (system codecs instead of the bundled ones)
    [ -s "$third/juce-8.0.6/.pc/applied-patches" ] \
        || { echo "FAIL: $1: JUCE unpacked without Debian's patches"; failures=$((failures + 1)); }
    for p in base/source pluginterfaces/base public.sdk/samples/vst-hosting/validator vstgui4/vstgui cmake/modules; do
        [ -d "$third/vst3sdk/$p" ] || { echo "FAIL: $1: no vst3sdk/$p"; failures=$((failures + 1)); }
    done
}

# The subshells below change the set-up's pins on purpose, for one fetch each.
# shellcheck disable=SC2030,SC2031
test_fetch() {
    debian_mirror "${apt_source_files[@]}" >/dev/null \
        || { echo "no Debian mirror in the machine's apt sources: nothing to fetch from"; exit 77; }
    local out line

    # Revisions the index never had: the set-up falls back to the newest revision of the same
    # upstream version, says so, and unpacks both trees; the validator is not built.
    out=$(VARNOK_JUCE_REVISION=0~gone VARNOK_VST3SDK_REVISION=0~gone run_setup) \
        || { echo "FAIL: set-up with gone revisions failed:"; echo "$out"; failures=$((failures + 1)); }
    for line in "setup: juce 8.0.6+ds-0~gone is gone from the index; using 8.0.6+ds-" \
                "setup: vst3sdk 3.7.10.14+~4.13.3-0~gone is gone from the index; using 3.7.10.14+~4.13.3-"; do
        grep -qF -- "$line" <<<"$out" || { echo "FAIL: no line '$line...' in:"; echo "$out"; failures=$((failures + 1)); }
    done
    trees_present "fallback"
    [ ! -e "$third/vst3sdk-build" ] || { echo "FAIL: --fetch-only built the validator"; failures=$((failures + 1)); }

    # Done is done: a second run neither fetches nor says anything.
    out=$(run_setup) || failures=$((failures + 1))
    check "second run" "" "$out"

    # The pinned revisions, fetched again from the downloads: no fallback line.
    rm -rf "$third/juce-8.0.6" "$third/vst3sdk"
    out=$(run_setup) || { echo "FAIL: pinned set-up failed:"; echo "$out"; failures=$((failures + 1)); }
    check "pinned run" "setup: fetching JUCE 8.0.6 sources
setup: fetching the VST3 SDK sources" "$out"
    trees_present "pinned"

    # Once the pinned revision is gone and a later one is what the index has, that one is
    # taken on apt's verification, and the line tells whether its orig tarball is as pinned.
    # (The index has one revision only, so the pins are moved back instead: in a subshell, the
    # set-up's JUCE fetch with pinned revision 1.)
    rm -rf "$third/juce-8.0.6"
    out=$(juce_pinned=8.0.6+ds-1; fetch_juce 2>&1) || failures=$((failures + 1))
    check "later revision" "setup: fetching JUCE 8.0.6 sources
setup: juce 8.0.6+ds-1 is gone from the index; using 8.0.6+ds-2 (verified by apt against the signed index; orig tarball as pinned)" "$out"
    [ -f "$third/juce-8.0.6/CMakeLists.txt" ] || { echo "FAIL: later revision: no JUCE tree"; failures=$((failures + 1)); }

    rm -rf "$third/juce-8.0.6"
    out=$(juce_pinned=8.0.6+ds-1; juce_sums=${juce_sums/4126ec80/00000000}; fetch_juce 2>&1) || failures=$((failures + 1))
    check "later revision, new orig" "setup: fetching JUCE 8.0.6 sources
setup: juce 8.0.6+ds-1 is gone from the index; using 8.0.6+ds-2 (verified by apt against the signed index; orig tarball differs from the pinned one, accepted on that verification alone)" "$out"
    [ -f "$third/juce-8.0.6/CMakeLists.txt" ] || { echo "FAIL: later revision, new orig: no JUCE tree"; failures=$((failures + 1)); }

    # A revision named by the variable and still in the index is taken as asked, not as a
    # fallback.
    rm -rf "$third/juce-8.0.6"
    out=$(juce_pinned=8.0.6+ds-1; VARNOK_JUCE_REVISION=2 fetch_juce 2>&1) || failures=$((failures + 1))
    check "revision asked for" "setup: fetching JUCE 8.0.6 sources
setup: using juce 8.0.6+ds-2 as VARNOK_JUCE_REVISION asks (verified by apt against the signed index; orig tarball as pinned)" "$out"

    # The pinned revision still has to match its pinned checksums, and an upstream version the
    # index lacks stops the set-up; either way with one line and no tree.
    rm -rf "$third/juce-8.0.6"
    local rc=0
    out=$(juce_sums=${juce_sums/875f60aa/00000000}; fetch_juce 2>&1) || rc=$?
    check "pinned checksum mismatch: exit" 1 "$rc"
    check "pinned checksum mismatch: last line" "setup: a downloaded source archive does not match its pinned checksum" "$(tail -n 1 <<<"$out")"
    rc=0
    out=$(juce_upstream=8.0.5+ds; fetch_juce 2>&1) || rc=$?
    check "upstream version missing: exit" 1 "$rc"
    check "upstream version missing" "setup: fetching JUCE 8.0.6 sources
setup: trixie's source index has no juce 8.0.5+ds (it lists: 8.0.6+ds-2)" "$out"
    [ ! -e "$third/juce-8.0.6" ] || { echo "FAIL: a failed fetch left a JUCE tree"; failures=$((failures + 1)); }
}

case ${1:-} in
    choice) test_choice ;;
    fetch) test_fetch ;;
    *) echo "usage: $0 choice|fetch" >&2; exit 2 ;;
esac
[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "all checks passed"
