#!/usr/bin/env bash
# Whole-process processor time (user + system) and peak memory of `frontlys-cli analyse`:
#  - a simulated 512 x 512 pair, numeric correction (--correction numeric) with 1 and 5 passes, and the
#    compensated analysis (--correction analytic), each without pictures (--json) and with them (--out);
#  - a full 1164 x 880 frame pair, cut around the donut as by default and uncut (--crop none);
#  - each step's share of the wall time of one run, from the moments its progress lines appear.
# Usage: bench/analyse_cli.sh [path/to/frontlys-cli]
set -euo pipefail
cli=${1:-build/src/frontlys-cli}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
"$cli" simulate --out "$dir/p512" --size 512 --defocus 10 --zernike 11=40,5=15,7=10 --photons 1e8 >/dev/null
"$cli" simulate --out "$dir/sq1164" --size 1164 --zernike 11=40,5=15,7=10 >/dev/null

# The simulator writes square frames: keep the middle 880 rows of each (BITPIX 16, one header unit).
crop_rows() {
    python3 - "$1" "$2" 880 <<'EOF'
import sys
src, dst, rows = sys.argv[1], sys.argv[2], int(sys.argv[3])
data = open(src, 'rb').read()
cards, end = [], 0
while True:
    block = data[end:end + 2880]
    end += 2880
    found = False
    for k in range(0, 2880, 80):
        cards.append(block[k:k + 80].decode('ascii'))
        if cards[-1].startswith('END '):
            found = True
            break
    if found:
        break
value = lambda key: int([c for c in cards if c.startswith(key.ljust(8))][0][10:30])
width, height, size = value('NAXIS1'), value('NAXIS2'), abs(value('BITPIX')) // 8
top = (height - rows) // 2
body = data[end + top * width * size:end + (top + rows) * width * size]
cards = [('NAXIS2  = ' + str(rows).rjust(20)).ljust(80) if c.startswith('NAXIS2  ') else c for c in cards]
head = ''.join(cards).encode('ascii')
open(dst, 'wb').write(head + b' ' * (-len(head) % 2880) + body + b'\0' * (-len(body) % 2880))
EOF
}
mkdir -p "$dir/full"
if command -v python3 >/dev/null; then
    crop_rows "$dir/sq1164/intra.fits" "$dir/full/intra.fits"
    crop_rows "$dir/sq1164/extra.fits" "$dir/full/extra.fits"
fi

# One run: processor seconds and peak memory, the output discarded.
run() {
    local label=$1 pair=$2
    shift 2
    rm -rf "$dir/out"
    /usr/bin/time -f "%U %S %M" -o "$dir/time" "$cli" analyse "$pair/intra.fits" "$pair/extra.fits" "$@" \
        >/dev/null 2>"$dir/err" || { cat "$dir/err"; exit 1; }
    read -r user sys kib <"$dir/time"
    printf '%-58s %6.2f s CPU %7.1f MiB peak\n' "$label" "$(echo "$user + $sys" | bc)" "$(echo "$kib / 1024" | bc -l)"
}

echo "== whole process (processor time = user + system)"
for corr in numeric analytic; do
    for n in 1 5; do
        [ "$corr" = analytic ] && [ "$n" = 5 ] && continue
        passes=$([ "$corr" = numeric ] && echo ", --niter $n" || true)
        run "512 x 512, $corr$passes, --json" "$dir/p512" --correction "$corr" --niter "$n" --json
        run "512 x 512, $corr$passes, --out (pictures)" "$dir/p512" --correction "$corr" --niter "$n" --out "$dir/out"
    done
done
if [ -f "$dir/full/intra.fits" ]; then
    run "1164 x 880, numeric, --json (cut around the donut)" "$dir/full" --correction numeric --json
    run "1164 x 880, numeric, --out (cut around the donut)" "$dir/full" --correction numeric --out "$dir/out"
    run "1164 x 880, numeric, --json --crop none" "$dir/full" --correction numeric --crop none --json
    run "1164 x 880, numeric, --out --crop none" "$dir/full" --correction numeric --crop none --out "$dir/out"
else
    echo "(no python3: the 1164 x 880 frame is not made)"
fi

# Each step runs from its progress line to the next one (wall time, one run, pictures included).
shares() {
    local label=$1 pair=$2
    shift 2
    rm -rf "$dir/out"
    echo "== step shares, $label (wall time of one run)"
    local start=$EPOCHREALTIME
    { "$cli" analyse "$pair/intra.fits" "$pair/extra.fits" "$@" --out "$dir/out" 2>&1 >/dev/null |
        while IFS= read -r line; do echo "$EPOCHREALTIME $line"; done
      echo "$EPOCHREALTIME end"; } >"$dir/steps"
    awk -v start="$start" '
        { t[NR] = $1; $1 = ""; s[NR] = substr($0, 2) }
        END {
            total = t[NR] - start
            for (i = 1; i < NR; ++i)
                if (s[i] ~ /\.\.\.$/) printf "  %-45s %6.3f s %5.1f %%\n", s[i], t[i + 1] - t[i], 100 * (t[i + 1] - t[i]) / total
            printf "  %-45s %6.3f s\n", "whole run", total
        }' "$dir/steps"
}
shares "512 x 512, numeric, --niter 1" "$dir/p512" --correction numeric --niter 1
shares "512 x 512, analytic" "$dir/p512" --correction analytic
