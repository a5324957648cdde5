#!/usr/bin/python3
"""Writes a 6000 x 4000 16-bit intra/extra pair for the large-frame benchmark: the sky of a real
full frame tiled over the whole camera, and the real donut pasted far from the centre.

Usage: make_large_pair.py SOURCE_INTRA SOURCE_EXTRA OUT_DIR
The sources are 16-bit full frames (BZERO 32768) such as the 16 Pup pairs of the real test data."""
import os
import sys

WIDTH, HEIGHT = 6000, 4000
SKY = (900, 20, 200, 200)    # x, y, w, h of a star-free corner of the source frame
DONUT = (420, 180, 300, 300)  # x, y, w, h of a window holding the donut
PLACE = (4100, 2900)          # where the window goes on the large frame


def read_fits(path):
    data = open(path, 'rb').read()
    cards = []
    while not cards or not cards[-1].startswith('END'):
        cards.append(data[80 * len(cards):80 * len(cards) + 80].decode('ascii'))
    end = len(cards) - 1
    header = {c[:8].strip(): c[10:].split('/')[0].strip() for c in cards[:end]}
    start = (end * 80 // 2880 + 1) * 2880
    w, h = int(header['NAXIS1']), int(header['NAXIS2'])
    rows = [data[start + 2 * w * r:start + 2 * w * (r + 1)] for r in range(h)]
    return w, h, rows


def card(key, value):
    return ('%-8s= %20s' % (key, value)).ljust(80)


def write_large(source, out):
    w, h, rows = read_fits(source)
    sx, sy, sw, sh = SKY
    sky = [row[2 * sx:2 * (sx + sw)] for row in rows[sy:sy + sh]]
    dx, dy, dw, dh = DONUT
    px, py = PLACE
    header = ''.join([card('SIMPLE', 'T'), card('BITPIX', 16), card('NAXIS', 2), card('NAXIS1', WIDTH),
                      card('NAXIS2', HEIGHT), card('BSCALE', 1), card('BZERO', 32768), 'END'.ljust(80)])
    header = header.ljust((len(header) + 2879) // 2880 * 2880)
    with open(out, 'wb') as f:
        f.write(header.encode('ascii'))
        for y in range(HEIGHT):
            tile = sky[y % sh]
            row = bytearray((tile * (WIDTH // sw + 1))[:2 * WIDTH])
            if py <= y < py + dh:
                row[2 * px:2 * (px + dw)] = rows[dy + y - py][2 * dx:2 * (dx + dw)]
            f.write(row)
        f.write(b'\0' * (-(2 * WIDTH * HEIGHT) % 2880))


if __name__ == '__main__':
    intra, extra, folder = sys.argv[1:4]
    os.makedirs(folder, exist_ok=True)
    write_large(intra, os.path.join(folder, 'intra.fits'))
    write_large(extra, os.path.join(folder, 'extra.fits'))
