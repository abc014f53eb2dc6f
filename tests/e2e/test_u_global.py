"""The global U score tests of --summary held to an independent computation:
every table of each unit enumerated with exact fractions, the units' laws of
U convolved exactly per scope; the joint draws within their error of it; the
merge of rows leaving them NA with one note."""

import math
import os
import random
import subprocess
import tempfile
import unittest
from fractions import Fraction
from itertools import product

from harness import BINARY

U_COLUMNS = ("u_sum u_global_method p_u_deficit_global p_u_deficit_global_low "
             "p_u_deficit_global_high q_bh_u_deficit_global p_u_excess_global "
             "p_u_excess_global_low p_u_excess_global_high q_bh_u_excess_global").split()


def small_study(seed, populations=3, loci=3, individuals=7):
    """A Genepop file of made-up genotypes (two or three alleles a locus, no
    missing ones) and its units' genotype counts by (population, locus)."""
    rng = random.Random(seed)
    alleles = [rng.choice([2, 3]) for _ in range(loci)]
    lines = ["made up", ", ".join(f"L{j + 1}" for j in range(loci))]
    units = {}
    for p in range(populations):
        lines.append("Pop")
        for i in range(individuals):
            calls = []
            for j in range(loci):
                # A skew towards homozygotes in some populations.
                a = rng.randrange(alleles[j]) + 1
                b = a if rng.random() < 0.15 * p else rng.randrange(alleles[j]) + 1
                calls.append(f"{a:02d}{b:02d}")
                key = (str(p + 1), f"L{j + 1}")
                g = tuple(sorted((a, b)))
                units.setdefault(key, {})
                units[key][g] = units[key].get(g, 0) + 1
            lines.append(f"p{p}i{i} , " + " ".join(calls))
    return "\n".join(lines) + "\n", units


def unit_law(genotypes):
    """The exact law of U over the tables with the unit's allele counts, and
    the U of the unit itself: U = 2N sum_i t_ii / n_i - N."""
    classes = sorted({a for g in genotypes for a in g})
    k = len(classes)
    copies = [sum(c * ((g[0] == a) + (g[1] == a)) for g, c in genotypes.items()) for a in classes]
    n = sum(copies) // 2

    def u_of(hom):
        return 2 * n * sum(Fraction(h, m) for h, m in zip(hom, copies)) - n

    observed = u_of([genotypes.get((a, a), 0) for a in classes])
    pairs = [(i, j) for i in range(k) for j in range(i + 1, k)]
    law = {}
    total = Fraction(0)
    for het in product(*(range(min(copies[i], copies[j]) + 1) for i, j in pairs)):
        left = list(copies)
        for (i, j), t in zip(pairs, het):
            left[i] -= t
            left[j] -= t
        if any(x < 0 or x % 2 for x in left):
            continue
        hom = [x // 2 for x in left]
        weight = Fraction(2 ** sum(het))
        for t in list(het) + hom:
            weight /= math.factorial(t)
        total += weight
        u = u_of(hom)
        law[u] = law.get(u, 0) + weight
    return {u: w / total for u, w in law.items()}, observed


def global_p(units):
    """P(S >= S_obs) and P(S <= S_obs) for S the sum of the units' U."""
    dist = {Fraction(0): Fraction(1)}
    s_obs = Fraction(0)
    for law, observed in units:
        s_obs += observed
        nxt = {}
        for s, p in dist.items():
            for u, q in law.items():
                nxt[s + u] = nxt.get(s + u, 0) + p * q
        dist = nxt
    ge = sum(p for s, p in dist.items() if s >= s_obs)
    le = sum(p for s, p in dist.items() if s <= s_obs)
    return float(ge), float(le), float(s_obs)


def benjamini_hochberg(p):
    order = sorted(range(len(p)), key=lambda i: p[i])
    q = [0.0] * len(p)
    best = 1.0
    for rank in range(len(p), 0, -1):
        i = order[rank - 1]
        best = min(best, p[i] * len(p) / rank)
        q[i] = best
    return q


class UGlobal(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.dir = self.tmp.name

    def tearDown(self):
        self.tmp.cleanup()

    def write(self, name, text):
        with open(os.path.join(self.dir, name), "w") as f:
            f.write(text)

    def run_hwmc(self, args):
        r = subprocess.run([BINARY] + args, cwd=self.dir, capture_output=True, timeout=300)
        self.assertEqual(r.returncode, 0, r.stderr)
        return r

    def table(self, name):
        with open(os.path.join(self.dir, name)) as f:
            lines = f.read().split("\n")[:-1]
        header = lines[0].split("\t")
        return header, [dict(zip(header, line.split("\t"))) for line in lines[1:]]

    def expected_scopes(self, units):
        """Each scope's (S, p_deficit, p_excess) from the exact laws."""
        laws = {key: unit_law(g) for key, g in units.items()}
        scopes = {}
        for (pop, locus), law in laws.items():
            scopes.setdefault(("locus", locus), []).append(law)
            scopes.setdefault(("population", pop), []).append(law)
            scopes.setdefault(("file", ""), []).append(law)
        return laws, {key: global_p(members) for key, members in scopes.items()}

    def test_exact_global_tests_equal_the_convolution_of_exact_laws(self):
        text, units = small_study(11)
        self.write("s.gen", text)
        r = self.run_hwmc(["--batch", "--genepop", "--exact", "--seed", "5", "--summary",
                           "sum.tsv", "s.gen"])
        laws, expected = self.expected_scopes(units)
        # Every unit's own U tests, enumerated.
        rows = r.stdout.decode().split("\n")[:-1]
        header = rows[0].split("\t")
        for line in rows[1:]:
            row = dict(zip(header, line.split("\t")))
            law, observed = laws[(row["population"], row["locus"])]
            self.assertEqual(row["exact_method"], "enumeration")
            self.assertAlmostEqual(float(row["u_score"]), float(observed), places=12)
            ge = float(sum(p for u, p in law.items() if u >= observed))
            le = float(sum(p for u, p in law.items() if u <= observed))
            self.assertAlmostEqual(float(row["p_u_deficit"]), ge, delta=1e-9)
            self.assertAlmostEqual(float(row["p_u_excess"]), le, delta=1e-9)

        header, summary = self.table("sum.tsv")
        self.assertEqual(header[-len(U_COLUMNS):], U_COLUMNS)
        self.assertEqual(len(summary), len(expected))
        for s in summary:
            s_obs_expected = expected[(s["scope"], s["name"])]
            ge, le, s_obs = s_obs_expected
            self.assertEqual(s["u_global_method"], "enumeration", s)
            self.assertAlmostEqual(float(s["u_sum"]), s_obs, delta=1e-9)
            self.assertAlmostEqual(float(s["p_u_deficit_global"]), ge, delta=1e-9)
            self.assertAlmostEqual(float(s["p_u_excess_global"]), le, delta=1e-9)
            # Exact: the limits are the p itself.
            self.assertEqual(s["p_u_deficit_global_low"], s["p_u_deficit_global"])
            self.assertEqual(s["p_u_excess_global_high"], s["p_u_excess_global"])
        # q_bh over the scopes of a kind, from the exact p.
        for scope in ("locus", "population"):
            members = [s for s in summary if s["scope"] == scope]
            for column in ("u_deficit_global", "u_excess_global"):
                q = benjamini_hochberg([float(s["p_" + column]) for s in members])
                for s, want in zip(members, q):
                    self.assertAlmostEqual(float(s["q_bh_" + column]), want, delta=1e-12)

    def test_drawn_global_tests_lie_within_their_error_and_follow_the_seed(self):
        text, units = small_study(23, populations=4, loci=3, individuals=9)
        self.write("s.gen", text)
        draws = 10000
        base = ["--batch", "--genepop", "--exact", "--max-tables", "0", "--tables", "2000",
                "--seed", "77"]
        self.run_hwmc(base + ["--threads", "1", "--summary", "one.tsv", "s.gen"])
        self.run_hwmc(base + ["--threads", "2", "--summary", "two.tsv", "s.gen"])
        with open(os.path.join(self.dir, "one.tsv"), "rb") as a, \
                open(os.path.join(self.dir, "two.tsv"), "rb") as b:
            self.assertEqual(a.read(), b.read())
        _, expected = self.expected_scopes(units)
        _, summary = self.table("one.tsv")
        for s in summary:
            ge, le, _ = expected[(s["scope"], s["name"])]
            self.assertEqual(s["u_global_method"], "sampling")
            for column, exact in (("p_u_deficit_global", ge), ("p_u_excess_global", le)):
                p = float(s[column])
                low, high = float(s[column + "_low"]), float(s[column + "_high"])
                self.assertLessEqual(low, p)
                self.assertLessEqual(p, high)
                # Well within 99.9% of the binomial error of the exact p.
                bound = 3.3 * math.sqrt(exact * (1 - exact) / draws) + 1.0 / draws
                self.assertLess(abs(p - exact), bound, (s["scope"], s["name"], column))
            # Each scope draws from its own streams: not all the same hits.
        self.assertGreater(len({s["p_u_deficit_global"] for s in summary}), 1)
        # Another seed, other draws.
        self.run_hwmc(base[:-1] + ["78", "--summary", "other.tsv", "s.gen"])
        _, other = self.table("other.tsv")
        self.assertNotEqual([s["p_u_deficit_global"] for s in other],
                            [s["p_u_deficit_global"] for s in summary])

    def test_a_merge_of_rows_tests_from_their_counts_or_says_once_why_not(self):
        text, _ = small_study(5)
        self.write("s.gen", text)
        r = self.run_hwmc(["--batch", "--genepop", "--exact", "--seed", "1", "--summary",
                           "whole.tsv", "s.gen"])
        rows = r.stdout.decode()
        self.write("rows.tsv", rows)
        m = self.run_hwmc(["--merge", "--summary", "m.tsv", "rows.tsv"])
        self.assertEqual(m.stderr, b"")
        self.assertEqual(self.table("m.tsv"), self.table("whole.tsv"))
        _, summary = self.table("m.tsv")
        self.assertIn("enumeration", {s["u_global_method"] for s in summary})
        # Rows without the units' counts (an earlier run's) leave them NA.
        lines = [line.split("\t") for line in rows.split("\n")[:-1]]
        cut = lines[0].index("genotype_counts")
        self.write("bare.tsv", "".join("\t".join(c[:cut] + c[cut + 1:]) + "\n" for c in lines))
        m = self.run_hwmc(["--merge", "--summary", "m.tsv", "bare.tsv"])
        self.assertEqual(m.stderr.decode().count("global U tests are NA"), 1, m.stderr)
        header, summary = self.table("m.tsv")
        self.assertEqual(header[-len(U_COLUMNS):], U_COLUMNS)
        for s in summary:
            self.assertEqual([s[c] for c in U_COLUMNS], ["NA"] * len(U_COLUMNS))
            self.assertNotEqual(s["p_fisher_deficit"], "NA")  # the rest is recomputed

if __name__ == "__main__":
    unittest.main()
