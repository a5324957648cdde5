#!/bin/sh
# Opening a 6000 x 4000 16-bit pair in the desktop program's main window (offscreen): wall time,
# peak memory and the longest stall of the window's event loop, as the window reports them.
# Usage: bench/large_frame_window.sh [path/to/window_open_bench]
set -eu
bench=${1:-build/bench/window_open_bench}
here=$(dirname "$0")
data="$here/../tests/data/auxtel"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
/usr/bin/python3 "$here/make_large_pair.py" "$data/1579925613-16Pup_intra-0-1.fits" \
    "$data/1579925662-16Pup_extra-0-1.fits" "$dir"
"$bench" "$dir/intra.fits" "$dir/extra.fits"
