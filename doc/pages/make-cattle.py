#!/usr/bin/python3
"""Writes to standard output a made-up Genepop file shaped like a cattle
microsatellite study: 15 breeds x 30 loci (the FAO/ISAG cattle panel's
names), about 47 animals a breed, each named BREED_CODENUMBER as such
studies name them (a population is named after its first animal, as in
"BlondeAquitaine_FRBTBDA29851"). Allele frequencies are drawn per breed
around those of the locus (F_ST about 0.1); genotypes are in Hardy-Weinberg
proportions except for null alleles at two loci (a deficit in every breed),
a breed sampled from two herds apart (a Wahlund deficit at every locus), an
excess at a few loci of one breed, and 2% missing calls. The same seed
always gives the same file.

    doc/pages/make-cattle.py [SEED] > cattle.gen
"""
import random
import sys

BREEDS = [("Borgou", "AFBIBOR"), ("Zebu", "AFBIZEB"), ("Lagunaire", "AFBTLAG"), ("NDama", "AFBTNDA"),
          ("Somba", "AFBTSOM"), ("Aubrac", "FRBTAUB"), ("Bazadais", "FRBTBAZ"),
          ("BlondeAquitaine", "FRBTBDA"), ("BretPieNoire", "FRBTBPN"), ("Charolais", "FRBTCHA"),
          ("Gascon", "FRBTGAS"), ("Limousin", "FRBTLIM"), ("MaineAnjou", "FRBTMA"),
          ("Montbeliard", "FRBTMBE"), ("Salers", "FRBTSAL")]
LOCI = ["INRA63", "INRA5", "ETH225", "ILSTS5", "HEL5", "HEL1", "INRA35", "ETH152", "INRA23", "ETH10",
        "HEL9", "CSSM66", "INRA32", "ETH3", "BM2113", "BM1824", "HEL13", "INRA37", "BM1818", "ILSTS6",
        "MM12", "CSRM60", "ETH185", "HAUT24", "HAUT27", "TGLA227", "TGLA126", "TGLA122", "TGLA53", "SPS115"]
NULL_LOCI = {"INRA35", "HAUT27"}
WAHLUND = "Zebu"
EXCESS = ("Lagunaire", {"ETH10", "BM1818", "TGLA53"})


def dirichlet(rng, weights):
    draws = [rng.gammavariate(max(w, 1e-3), 1) for w in weights]
    total = sum(draws)
    return [d / total for d in draws]


def pick(rng, freqs):
    u = rng.random()
    for i, f in enumerate(freqs):
        u -= f
        if u < 0:
            return i
    return len(freqs) - 1


def main(argv):
    rng = random.Random(int(argv[1]) if len(argv) > 1 else 29851)
    sizes, base = {}, {}
    for locus in LOCI:
        k = rng.randint(6, 14)
        start = rng.randrange(90, 230, 2)
        sizes[locus] = [start + 2 * i for i in range(k)]
        base[locus] = dirichlet(rng, [2.0] * k)
    out = sys.stdout
    out.write("Made-up cattle microsatellites: 15 breeds x 30 loci (doc/pages/make-cattle.py)\n")
    out.write(", ".join(LOCI) + "\n")
    number = 29851
    theta = 9.0  # (1 - F_ST) / F_ST for F_ST = 0.1
    for breed, code in BREEDS:
        out.write("Pop\n")
        freqs = {l: [dirichlet(rng, [theta * p for p in base[l]]) for _ in range(2)] for l in LOCI}
        animals = rng.randint(40, 54)
        for a in range(animals):
            herd = a % 2 if breed == WAHLUND else 0
            calls = []
            for locus in LOCI:
                f = freqs[locus][herd]
                if rng.random() < 0.02:
                    calls.append("000000")
                    continue
                i, j = pick(rng, f), pick(rng, f)
                if breed == EXCESS[0] and locus in EXCESS[1]:
                    while i == j and rng.random() < 0.6:
                        j = pick(rng, f)
                if locus in NULL_LOCI:
                    # A null allele of frequency 0.15: its carriers look homozygous,
                    # and its homozygotes are missing.
                    null_i, null_j = rng.random() < 0.15, rng.random() < 0.15
                    if null_i and null_j:
                        calls.append("000000")
                        continue
                    if null_i:
                        i = j
                    elif null_j:
                        j = i
                a1, a2 = sorted((sizes[locus][i], sizes[locus][j]))
                calls.append("%03d%03d" % (a1, a2))
            out.write("%s_%s%d , %s\n" % (breed, code, number, " ".join(calls)))
            number += 1


if __name__ == "__main__":
    main(sys.argv)
