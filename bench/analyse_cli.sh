#!/bin/sh
# Whole-process wall time and peak memory of `frontlys-cli analyse` on a simulated 512 x 512 pair,
# with one reconstruction and with five passes of the correction loop, pictures and files included.
# Usage: bench/analyse_cli.sh [path/to/frontlys-cli]
set -eu
cli=${1:-build/src/frontlys-cli}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
"$cli" simulate --out "$dir" --size 512 --defocus 10 --zernike 11=40,5=15,7=10 --photons 1e8 >/dev/null
for n in 1 5; do
    /usr/bin/time -f "analyse 512 x 512, --niter $n: %e s wall, %M KiB peak" \
        "$cli" analyse "$dir/intra.fits" "$dir/extra.fits" --niter "$n" --out "$dir/out$n" >/dev/null 2>"$dir/err$n" ||
        { cat "$dir/err$n"; exit 1; }
    tail -n 1 "$dir/err$n"
done
