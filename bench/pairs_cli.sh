#!/usr/bin/env bash
# Wall and processor time (user + system) of `frontlys-cli analyse` on four simulated 256 x 256
# pairs, on one thread and on every core; the figures of both runs must be the same.
# Usage: bench/pairs_cli.sh [path/to/frontlys-cli]
set -euo pipefail
cli=${1:-build/src/frontlys-cli}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
for i in 1 2 3 4; do
    "$cli" simulate --out "$dir/p$i" --size 256 --zernike 11=$((20 + 10 * i)),5=15 --seed $i \
        >/dev/null
    echo "p$i/intra.fits p$i/extra.fits" >>"$dir/list.txt"
done
for threads in 1 0; do
    /usr/bin/time -f "threads $threads: %e s wall, %U s user, %S s system" \
        "$cli" -q analyse --pairs "$dir/list.txt" --json --threads $threads >"$dir/out$threads.json"
done
strip() { python3 -c 'import json,sys; j=json.load(open(sys.argv[1]))
for p in j["pairs"]: p["result"].pop("seconds", None)
print(json.dumps(j, sort_keys=True))' "$1"; }
[ "$(strip "$dir/out1.json")" = "$(strip "$dir/out0.json")" ] && echo "same figures" || echo "FIGURES DIFFER"
