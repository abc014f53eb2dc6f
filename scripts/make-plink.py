#!/usr/bin/env python3
"""Writes a PLINK 1 binary fileset of made-up diploid genotypes.

    scripts/make-plink.py PREFIX [SAMPLES [VARIANTS [SEED]]]

Defaults: 20000 samples, 20000 variants, seed 1. PREFIX.bed is written
directly, SNP-major; PREFIX.bim puts every variant on chromosome 1 at
increasing positions; PREFIX.fam gives samples S1, S2, ... of family F,
males and females in turn with every 50th of unknown sex, and controls and
cases in turn. A1 is drawn with a frequency between 0.05 and 0.5 per
variant, genotypes in Hardy-Weinberg proportions except at every 20th
variant, drawn with a heterozygote deficit (inbreeding coefficient 0.3);
1% of the genotypes are missing. The same arguments always give the same
bytes.
"""
import random
import sys

DEFICIT_F = 0.3
MISSING = 0.01


def byte_weights(p, f):
    """Cumulative weights of the 256 bytes: four samples' codes, low bits first."""
    q = 1 - p
    # codes 00 (hom A1), 01 (missing), 10 (het), 11 (hom A2)
    code = [p * p + f * p * q, 0, 2 * p * q * (1 - f), q * q + f * p * q]
    code = [(1 - MISSING) * c for c in code]
    code[1] = MISSING
    weights = []
    for b in range(256):
        w = 1.0
        for k in range(4):
            w *= code[(b >> (2 * k)) & 3]
        weights.append(w)
    total, cumulative = 0.0, []
    for w in weights:
        total += w
        cumulative.append(total)
    return cumulative


def main(argv):
    if len(argv) < 2:
        sys.exit("usage: make-plink.py PREFIX [SAMPLES [VARIANTS [SEED]]]")
    prefix = argv[1]
    args = [int(a) for a in argv[2:]]
    samples, variants, seed = (args + [20000, 20000, 1][len(args):])[:3]
    if samples < 1 or variants < 0:
        sys.exit("usage: make-plink.py PREFIX [SAMPLES [VARIANTS [SEED]]]")
    rng = random.Random(seed)
    with open(prefix + ".fam", "w") as fam:
        for j in range(samples):
            sex = 0 if j % 50 == 49 else 1 + j % 2
            fam.write(f"F S{j + 1} 0 0 {sex} {1 + (j // 2) % 2}\n")
    width = (samples + 3) // 4
    values = list(range(256))
    pad = (4 - samples % 4) % 4  # the last byte's unused samples read as 00
    pos = 0
    with open(prefix + ".bim", "w") as bim, open(prefix + ".bed", "wb") as bed:
        bed.write(b"\x6c\x1b\x01")
        for v in range(variants):
            pos += rng.randint(50, 500)
            bim.write(f"1\trs{v + 1}\t0\t{pos}\tT\tC\n")
            p = rng.uniform(0.05, 0.5)
            f = DEFICIT_F if v % 20 == 19 else 0.0
            row = bytearray(rng.choices(values, cum_weights=byte_weights(p, f), k=width))
            if pad:
                row[-1] &= 0xFF >> (2 * pad)
            bed.write(row)


if __name__ == "__main__":
    main(sys.argv)
