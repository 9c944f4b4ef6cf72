#!/usr/bin/env bash
# Builds Volmar and opens the demo test folder in it. Without a display the window runs under Xvfb
# and a screenshot is saved to build/screenshot.png.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/common.sh

if [ -z "${DISPLAY:-}" ]; then
    volmar_install "${VOLMAR_BUILD_PACKAGES[@]}" "${VOLMAR_DISPLAY_PACKAGES[@]}"
else
    volmar_install "${VOLMAR_BUILD_PACKAGES[@]}"
fi
volmar_build build

# The demo runs in a copy, so editing it, running its programs and closing it leave examples/ as
# they are; `rm -rf build/demo` starts afresh.
[ -d build/demo ] || cp -r examples/demo build/demo
demo="build/demo/demo.ini"
if [ -n "${DISPLAY:-}" ]; then
    exec build/bin/volmar "$demo"
fi

display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1600x900x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $app $xvfb 2>/dev/null || true' EXIT
export DISPLAY=$display
for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

build/bin/volmar "$demo" &
app=$!
# The editor, then the visualiser it starts beside itself (when the options start it).
for pattern in '"Volmar - ' ' - Orvex"'; do
    for _ in $(seq 150); do
        xwininfo -root -tree 2>/dev/null | grep -q "$pattern" && break
        sleep 0.1
    done
done
sleep 1 # let the first paint and the automatic starts settle

# The picture holds the two windows as they stand, with a little of the screen around them.
box=$(xwininfo -root -tree | awk '
    /"Volmar - |- Orvex"/ {
        for (i = 1; i < NF; i++) {
            if ($i !~ /^[0-9]+x[0-9]+[+-]/) continue
            split($i, size, /[x+-]/)
            split($(i + 1), at, /[+]/)
            x = at[2]; y = at[3]
            if (n == 0 || x < l) l = x
            if (n == 0 || y < t) t = y
            if (n == 0 || x + size[1] > r) r = x + size[1]
            if (n == 0 || y + size[2] > b) b = y + size[2]
            n++
        }
    }
    END {
        if (!n) exit
        l = l > 8 ? l - 8 : 0; t = t > 8 ? t - 8 : 0
        printf "%dx%d+%d+%d", r - l + 8, b - t + 8, l, t
    }')
if [ -n "$box" ]; then
    import -window root -crop "$box" +repage build/screenshot.png
else
    import -window root build/screenshot.png
fi
echo "Volmar ran under Xvfb (no \$DISPLAY); screenshot saved to build/screenshot.png"
