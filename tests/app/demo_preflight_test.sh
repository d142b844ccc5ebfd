#!/usr/bin/env bash
# make demo's first step: before anything is built it says plainly what is missing (root, a
# display) and how to run the demo anyway. Runs only the preflight; nothing is started.
#
#   demo_preflight_test.sh PATH/TO/scripts/demo
set -uo pipefail

readonly demo=$1
failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# Runs the preflight with the given environment changes; sets `out` and `rc`.
preflight() {
    out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u SUDO_USER "$@" bash "$demo" --preflight 2>&1)
    rc=$?
}

expect_line() {
    local what=$1 text=$2
    grep -qF -- "$text" <<<"$out" || fail "$what: no line with '$text' in:"$'\n'"$out"
}

if [[ $(id -u) -eq 0 ]]; then
    preflight
    [[ $rc -eq 1 ]] || fail "root without a display: exit $rc, not 1"
    expect_line "root without a display" "no desktop display found"
    expect_line "root without a display" "  xvfb-run -a -s '-screen 0 1600x1000x24' make demo"
    grep -q "sudo" <<<"$out" && fail "root without sudo is told to use sudo:"$'\n'"$out"

    preflight SUDO_USER=operator
    [[ $rc -eq 1 ]] || fail "sudo without a display: exit $rc, not 1"
    expect_line "sudo without a display" "sudo --preserve-env=DISPLAY,XAUTHORITY"
    expect_line "sudo without a display" "  sudo xvfb-run -a"

    preflight DISPLAY=:99
    [[ $rc -eq 0 ]] || fail "root with a display: exit $rc, not 0:"$'\n'"$out"
    [[ -z $out ]] || fail "root with a display says something:"$'\n'"$out"
fi

# Without root the preflight asks for it first, display or not.
if [[ $(id -u) -ne 0 ]]; then
    preflight DISPLAY=:99
elif command -v setpriv >/dev/null && id nobody >/dev/null 2>&1 &&
    setpriv --reuid=nobody --regid=nogroup --clear-groups test -r "$demo"; then
    out=$(env -u SUDO_USER DISPLAY=:99 setpriv --reuid=nobody --regid=nogroup --clear-groups \
        bash "$demo" --preflight 2>&1)
    rc=$?
else
    echo "the check without root is skipped: no setpriv, no user nobody, or the script is"
    echo "not readable for that user here"
    rc=1 out="the demo needs root"
fi
[[ $rc -eq 1 ]] || fail "without root: exit $rc, not 1"
expect_line "without root" "the demo needs root"

if [[ $failures -gt 0 ]]; then
    echo "0 passed, $failures failed"
    exit 1
fi
echo "demo preflight: all checks passed"
