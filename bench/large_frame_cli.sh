#!/bin/sh
# Whole-process wall time and peak memory of `frontlys-cli analyse` on a 6000 x 4000 16-bit pair
# (the sky and donut of a real 16 Pup frame spread over a large camera frame), each method.
# Usage: bench/large_frame_cli.sh [path/to/frontlys-cli]
set -eu
cli=${1:-build/src/frontlys-cli}
here=$(dirname "$0")
data="$here/../tests/data/auxtel"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
/usr/bin/python3 "$here/make_large_pair.py" "$data/1579925613-16Pup_intra-0-1.fits" \
    "$data/1579925662-16Pup_extra-0-1.fits" "$dir"
for c in numeric analytic; do
    /usr/bin/time -f "analyse 6000 x 4000, --correction $c: %e s wall, %M KiB peak" \
        "$cli" analyse "$dir/intra.fits" "$dir/extra.fits" --diameter 1200 --focal 21600 --pixel 14.4 \
        --defocus 20.5 --correction "$c" >/dev/null 2>"$dir/err" || { cat "$dir/err"; exit 1; }
    tail -n 1 "$dir/err"
done
