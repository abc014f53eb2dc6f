#!/usr/bin/env python3
"""Writes a VCF of made-up diploid genotypes to standard output.

    scripts/make-vcf.py [SAMPLES [BIALLELIC [MULTIALLELIC [SEED]]]]

Defaults: 2000 samples, 20000 biallelic and 2000 multi-allelic sites (3 to
12 alleles), seed 1: the file the VCF benchmarks time. One contig "1"; the
multi-allelic sites are spread evenly among the biallelic ones. Genotypes are
drawn from each site's allele frequencies in Hardy-Weinberg proportions,
except at every 20th site, drawn with a heterozygote deficit (inbreeding
coefficient 0.3); 1% of the genotypes are missing (./.). The same arguments
always give the same bytes.
"""
import itertools
import random
import sys

BASES = "ACGT"
MULTI_ALTS = ["C", "G", "T", "AC", "AG", "AT", "CA", "CG", "CT", "GA", "GC"]
DEFICIT_F = 0.3


def genotype_table(freqs, f):
    """Unphased genotype texts and their probabilities."""
    texts, probs = [], []
    for i, j in itertools.combinations_with_replacement(range(len(freqs)), 2):
        p, q = freqs[i], freqs[j]
        texts.append(f"{i}/{j}")
        probs.append(p * p + f * p * (1 - p) if i == j else 2 * p * q * (1 - f))
    return texts, list(itertools.accumulate(probs))


def main(argv):
    args = [int(a) for a in argv[1:]]
    samples, biallelic, multi, seed = (args + [2000, 20000, 2000, 1][len(args):])[:4]
    if samples < 1 or biallelic < 0 or multi < 0:
        sys.exit("usage: make-vcf.py [SAMPLES [BIALLELIC [MULTIALLELIC [SEED]]]]")
    rng = random.Random(seed)
    out = sys.stdout
    out.write("##fileformat=VCFv4.2\n##source=make-vcf.py\n##contig=<ID=1,length=249250621>\n")
    out.write('##FORMAT=<ID=GT,Number=1,Type=String,Description="Genotype">\n')
    out.write("#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\t")
    out.write("\t".join(f"S{j + 1}" for j in range(samples)) + "\n")
    sites = biallelic + multi
    every = sites / multi if multi else 0
    multi_at = {int(m * every) for m in range(multi)}
    pos = 0
    missing = max(0, round(samples * 0.01))
    for s in range(sites):
        pos += rng.randint(50, 500)
        if s in multi_at:
            k = rng.randint(3, 12)
            ref, alt = "A", ",".join(MULTI_ALTS[:k - 1])
            weights = [rng.random() ** 2 + 0.02 for _ in range(k)]
        else:
            ref, other = rng.sample(BASES, 2)
            alt = other
            p = rng.uniform(0.05, 0.5)
            weights = [1 - p, p]
        total = sum(weights)
        freqs = [w / total for w in weights]
        texts, cum = genotype_table(freqs, DEFICIT_F if s % 20 == 19 else 0.0)
        calls = rng.choices(texts, cum_weights=cum, k=samples)
        for j in rng.sample(range(samples), missing):
            calls[j] = "./."
        out.write(f"1\t{pos}\tsite{s + 1}\t{ref}\t{alt}\t.\tPASS\t.\tGT\t")
        out.write("\t".join(calls))
        out.write("\n")


if __name__ == "__main__":
    main(sys.argv)
