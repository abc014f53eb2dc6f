#!/usr/bin/env python3
"""Writes a Genepop file of made-up microsatellite data to standard output.

    scripts/make-genepop.py [LOCI [POPULATIONS [INDIVIDUALS [ALLELES [SEED]]]]]

Defaults: 20 loci, 20 populations, 50 individuals, about 10 alleles per
locus, seed 1. Every locus has its own 3-digit allele codes (a repeat length
apart) and allele frequencies; each population draws its genotypes in
Hardy-Weinberg proportions from frequencies that drift away from the
locus's, so some alleles are absent from some populations. About 2% of the
genotypes are missing (000000), some of them on one allele only. The same
arguments always give the same bytes.
"""
import random
import sys


def main(argv):
    args = [int(a) for a in argv[1:]]
    loci, pops, individuals, alleles, seed = (args + [20, 20, 50, 10, 1][len(args):])[:5]
    if min(loci, pops, individuals, alleles) < 1 or alleles > 99:
        sys.exit("usage: make-genepop.py [LOCI [POPULATIONS [INDIVIDUALS [ALLELES [SEED]]]]]")
    rng = random.Random(seed)
    out = [f"Made-up microsatellites: {loci} loci, {pops} populations, seed {seed}"]
    out.append(", ".join(f"Loc{l + 1}" for l in range(loci)))
    codes, weights = [], []
    for _ in range(loci):
        repeat = rng.choice((2, 3, 4))
        start = rng.randrange(100, 900 - repeat * (alleles + 2))
        count = max(2, alleles + rng.randint(-2, 2))
        codes.append([start + repeat * a for a in range(count)])
        weights.append([rng.random() ** 2 + 0.01 for _ in range(count)])
    for p in range(pops):
        out.append("Pop")
        drift = [[w * rng.uniform(0.2, 1.8) for w in ws] for ws in weights]
        for i in range(individuals):
            genotypes = []
            for l in range(loci):
                a, b = rng.choices(codes[l], drift[l], k=2)
                roll = rng.random()
                if roll < 0.015:
                    a = b = 0
                elif roll < 0.02:
                    b = 0
                genotypes.append(f"{a:03d}{b:03d}")
            out.append(f"P{p + 1}_{i + 1:03d} , " + " ".join(genotypes))
    sys.stdout.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main(sys.argv)
