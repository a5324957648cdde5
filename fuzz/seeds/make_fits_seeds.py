#!/usr/bin/python3
"""Writes the small FITS seed files of fits_fuzz (python3 standard library only)."""
import os
import struct

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "fits_fuzz")
FORMATS = {8: "B", 16: "h", 32: "i", -32: "f", -64: "d"}


def card(text):
    return text.ljust(80)[:80]


def fits(bitpix, width, height, values, extra=()):
    cards = [card("SIMPLE  =                    T"), card("BITPIX  = %20d" % bitpix),
             card("NAXIS   =                    2"), card("NAXIS1  = %20d" % width),
             card("NAXIS2  = %20d" % height)]
    cards += [card(c) for c in extra] + [card("END")]
    header = "".join(cards)
    header += " " * (-len(header) % 2880)
    data = struct.pack(">%d%s" % (len(values), FORMATS[bitpix]), *values)
    return header.encode("ascii") + data + b"\0" * (-len(data) % 2880)


def main():
    os.makedirs(HERE, exist_ok=True)
    ramp = list(range(12))
    seeds = {
        "u8.fits": fits(8, 4, 3, ramp, ["OBSERVER= 'O''Hara / x'", "COMMENT a comment"]),
        "i16_bzero.fits": fits(16, 4, 3, [v * 5000 - 30000 for v in ramp], ["BZERO   =              32768.0"]),
        "i32.fits": fits(32, 4, 3, [v * 100000 for v in ramp], ["BSCALE  =                  0.5"]),
        "f32.fits": fits(-32, 4, 3, [v / 3 for v in ramp], ["FOCLEN  = 1.2", "CDELT1  = 0.001"]),
        "f64.fits": fits(-64, 4, 3, [v * 1.5 for v in ramp], ["XPIXELSZ= 9", "CDELTM1 = 0.0074"]),
    }
    for name, data in seeds.items():
        with open(os.path.join(HERE, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
