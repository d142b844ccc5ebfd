#!/usr/bin/env bash
# Tests of scripts/testnet. Exit 77 (skipped) with the reason where networks cannot be made.
set -uo pipefail
testnet=$1
failures=0
tag="tt$$"

check() {  # check WHAT EXPECTED ACTUAL
    if [[ $2 != "$3" ]]; then
        echo "FAIL: $1: expected '$2', got '$3'"
        failures=$((failures + 1))
    else
        echo "ok: $1"
    fi
}

status_of() { "$@" >/dev/null 2>&1; echo $?; }
networks_tagged() { "$testnet" list 2>/dev/null | grep -c "^$tag" || true; }

# Usage errors never need root.
check "help" 0 "$(status_of "$testnet" help)"
check "no command" 2 "$(status_of "$testnet")"
check "unknown command" 2 "$(status_of "$testnet" bogus)"
check "bad name" 2 "$(status_of "$testnet" up 'a b')"
check "bad clock count" 2 "$(status_of "$testnet" up x --clocks 0)"
check "too many clocks" 2 "$(status_of "$testnet" up x --clocks 500)"
check "run without command" 2 "$(status_of "$testnet" run --clocks 2)"
check "addresses past a /24" "198.18.0.254 198.18.1.1" "$("$testnet" addresses 246 | tail -2 | tr '\n' ' ' | sed 's/ $//')"

# The machine's own namespace (or whatever this runs in) is refused by the guard.
if ip -o link show 2>/dev/null | grep -qv ': lo:'; then
    check "guard refuses a namespace with other links" 1 "$(status_of "$testnet" guard)"
fi

reason=$("$testnet" check 2>&1)
status=$?
if [[ $status -eq 77 ]]; then
    echo "SKIP: $reason"
    exit 77
fi
check "check" 0 "$status"

# Inside the network: the guard passes, the clock addresses are there, broadcasts are routed.
check "guard passes in pc" 0 "$(status_of "$testnet" run --prefix "$tag" --clocks 3 --in pc -- "$testnet" guard)"
check "guard passes in clocks" 0 "$(status_of "$testnet" run --prefix "$tag" --clocks 3 --in clocks -- "$testnet" guard)"
check "clock addresses" "198.18.0.10/24 198.18.0.11/24 198.18.0.12/24" \
    "$("$testnet" run --prefix "$tag" --clocks 3 --in clocks -- ip -o -4 addr show dev tvclk0 |
       awk '{print $4}' | tr '\n' ' ' | sed 's/ $//')"
check "broadcast route in pc" "255.255.255.255 dev tvpc0" \
    "$("$testnet" run --prefix "$tag" --in pc -- ip route show 255.255.255.255 | head -1 |
       awk '{print $1, $2, $3}')"
# shellcheck disable=SC2016  # expanded by the inner shell
check "environment" "198.18.0.10 198.18.0.11" \
    "$("$testnet" run --prefix "$tag" --clocks 2 -- sh -c 'echo $TAVLO_TESTNET_CLOCK_ADDRESSES')"

# A second adapter and a routed range: the guard passes on every side, the routed clocks
# are scattered one per /24 of 198.19.0.0/16 and reached through the router.
# shellcheck disable=SC2016  # expanded by the inner shell
check "second segment and routed range" "ok ok ok ok ok 198.19.11.7/32 198.19.48.108/32" \
    "$("$testnet" run --prefix "$tag" --clocks 1 --second 1 --routed 2 -- sh -c '
        for side in pc clocks clocks2 router far; do
            "$0" exec "$TAVLO_TESTNET" $side "$0" guard >/dev/null && printf "ok "
        done
        "$0" exec "$TAVLO_TESTNET" far ip -o -4 addr show dev tvfar0 | awk "NR > 1 {print \$4}" |
            tr "\n" " " | sed "s/ \$//"' "$testnet")"

# The network goes away when the command fails, and its status comes through.
check "failing command's status" 3 "$(status_of "$testnet" run --prefix "$tag" -- sh -c 'exit 3')"
check "removed after failure" 0 "$(networks_tagged)"

# ... and when the run is interrupted; processes left in the namespaces are ended too.
# shellcheck disable=SC2016  # expanded by the inner shell
"$testnet" run --prefix "$tag" -- sh -c \
    '"$0" exec "$TAVLO_TESTNET" clocks sleep 60 & sleep 60' "$testnet" >/dev/null 2>&1 &
runner=$!
for _ in $(seq 50); do
    [[ $(networks_tagged) -eq 1 ]] && break
    sleep 0.1
done
check "network up while running" 1 "$(networks_tagged)"
kill -TERM "$runner"
wait "$runner"
check "interrupted run's status" 143 "$?"
check "removed after a signal" 0 "$(networks_tagged)"

# up / exec / down by name; a second up of the same name is refused.
name="$tag-named"
check "up" 0 "$(status_of "$testnet" up "$name" --clocks 2)"
check "second up refused" 1 "$(status_of "$testnet" up "$name")"
check "exec" "198.18.0.1/24" "$("$testnet" exec "$name" pc ip -o -4 addr show dev tvpc0 | awk '{print $4}')"
check "down" 0 "$(status_of "$testnet" down "$name")"
check "down again" 1 "$(status_of "$testnet" down "$name")"

[[ $failures -eq 0 ]] && echo "all passed" || echo "$failures failed"
[[ $failures -eq 0 ]]
