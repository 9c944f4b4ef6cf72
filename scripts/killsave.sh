#!/usr/bin/env bash
# Kills saves half-way and counts what they leave behind. Each run starts `volmar-ini set` on a
# 1 MB INI file, switching one key between two values, and sends it SIGKILL after a random delay
# spread over the time a save takes. After every kill the file must hold either the old or the new
# bytes, and nothing else may stand beside it.
#
#   scripts/killsave.sh [RUNS] [VOLMAR_INI]      (defaults: 1000, build/bin/volmar-ini)
set -euo pipefail
cd "$(dirname "$0")/.."

runs=${1:-1000}
tool=$(realpath "${2:-build/bin/volmar-ini}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/lab"
file="$work/lab/big.ini"

# About 1 MB of commented keys, CRLF, as the lab's files are.
{
    printf '[Test]\r\nValue=A\r\n'
    for i in $(seq 1 20000); do printf 'Key%05d=%d // comment of key %d\r\n' "$i" "$((i * 7919))" "$i"; done
} >"$file"
"$tool" set "$file" Test Value A
cp "$file" "$work/a.ini"
"$tool" set "$work/a.ini" Test Value B
mv "$work/a.ini" "$work/b.ini"
cp "$file" "$work/a.ini"

# How long one save takes, so that the kills fall all over it.
start=$(date +%s%N)
"$tool" set "$file" Test Value B
"$tool" set "$file" Test Value A
span_us=$((($(date +%s%N) - start) / 2000))

old=0 new=0 broken=0 leftovers=0 finished=0
value=A
for run in $(seq 1 "$runs"); do
    if [ "$value" = A ]; then value=B; else value=A; fi
    "$tool" set "$file" Test Value "$value" &
    pid=$!
    delay_us=$((RANDOM * 32768 + RANDOM))
    delay_us=$((delay_us % (span_us + span_us / 4)))
    sleep "$(printf '0.%06d' "$delay_us")"
    if kill -9 "$pid" 2>/dev/null; then :; else finished=$((finished + 1)); fi
    wait "$pid" 2>/dev/null || true

    if cmp -s "$file" "$work/$(echo "$value" | tr AB ab).ini"; then
        new=$((new + 1))
    elif cmp -s "$file" "$work/$(echo "$value" | tr AB ba).ini"; then
        old=$((old + 1))
        # The save did not happen; the next run writes this value again.
        if [ "$value" = A ]; then value=B; else value=A; fi
    else
        broken=$((broken + 1))
        echo "run $run: the file is neither the old nor the new one" >&2
        cp "$work/$(echo "$value" | tr AB ab).ini" "$file"
    fi
    beside=$(find "$work/lab" -mindepth 1 ! -name big.ini | wc -l)
    # A save killed between naming its file and renaming it is finished an instant later by the
    # helper that does those two steps; only what is still there after that counts.
    if [ "$beside" -ne 0 ]; then
        sleep 0.1
        beside=$(find "$work/lab" -mindepth 1 ! -name big.ini | wc -l)
    fi
    if [ "$beside" -ne 0 ]; then
        leftovers=$((leftovers + beside))
        echo "run $run: left beside the file:" $(ls -A "$work/lab") >&2
        find "$work/lab" -mindepth 1 ! -name big.ini -delete
    fi
done

echo "{\"runs\":$runs,\"save_us\":$span_us,\"finished_before_kill\":$finished,\"old\":$old,\"new\":$new,\"lost_or_half_written\":$broken,\"left_beside\":$leftovers}"
[ "$broken" -eq 0 ] && [ "$leftovers" -eq 0 ]
