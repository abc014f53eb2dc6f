#!/usr/bin/env python3
"""Exact p-values of the exact tests in Python's integers, for any size.

    big_number_p.py K C_00 C_01 ... C_(K-1)(K-1)

takes the genotype counts in the triangle (i <= j, row by row) and prints one
line per test, `name p log10_p`: p correctly rounded to a double (0 below the
double range) and log10 p as a double. Every table's weight is the integer
W(t) = N! 2^H / prod t_ij!, their sum (2N)! / prod n_i!; ties within a
relative 1e-7 as the program counts them, compared in integers (P, X2, U)
or in double (G2).

Up to 20 000 tables every table is visited. Beyond, for two alleles only, the
tables are H = h, and each test's set of tables is one or two intervals of h
(the weight is unimodal in h, X2 and G2 convex, H and U monotone) whose ends
are found by bisection on exact comparisons; an interval is summed term by
term from its end, or, when long, through its complement.
"""
import functools
import math
import sys
from fractions import Fraction

MARGIN = Fraction(1, 10**7)

# Binomials of huge arguments cost a second each: each is made once.
comb = functools.lru_cache(maxsize=None)(math.comb)


def tri(i, j, k):
    return i * k + j - i * (i + 1) // 2


def allele_counts(k, t):
    n = [0] * k
    for i in range(k):
        for j in range(i, k):
            n[i] += t[tri(i, j, k)]
            n[j] += t[tri(i, j, k)]
    return n


def g2(k, n, two_n, t):
    s = 0.0
    for i in range(k):
        for j in range(i, k):
            v = t[tri(i, j, k)]
            if v:
                e = n[i] * n[i] / (2 * two_n) if i == j else n[i] * n[j] / two_n
                s += v * math.log(v / e)
    return 2 * s


def x2(k, n, two_n, t):
    s = Fraction(0)
    for i in range(k):
        for j in range(i, k):
            e = Fraction(n[i] * n[i], 2 * two_n) if i == j else Fraction(n[i] * n[j], two_n)
            s += (t[tri(i, j, k)] - e) ** 2 / e
    return s


def score(k, n, t):
    # U = 2N q / prod n_i - N: tables compare as their q.
    q = 0
    for i in range(k):
        others = 1
        for j in range(k):
            if j != i:
                others *= n[j]
        q += t[tri(i, i, k)] * others
    return q


def hets(k, t):
    return sum(t[tri(i, j, k)] for i in range(k) for j in range(i + 1, k))


class Tests:
    """The sample's figures and each test's rule."""

    def __init__(self, k, t):
        self.k, self.t = k, t
        self.n = allele_counts(k, t)
        self.two_n = sum(self.n)
        self.big_n = self.two_n // 2
        self.w_s = self.weight(t)
        self.x2_s = x2(k, self.n, self.two_n, t)
        self.g2_s = g2(k, self.n, self.two_n, t)
        self.h_s = hets(k, t)
        self.q_s = score(k, self.n, t)
        # (2N)! / prod n_i!, the sum of all weights.
        self.total, left = 1, self.two_n
        for c in self.n:
            self.total *= comb(left, c)
            left -= c

    def weight(self, t):
        # N! / prod t! as a product of binomials (no division of huge numbers).
        w, left = 1, self.big_n
        for v in t:
            w *= comb(left, v)
            left -= v
        return w << hets(self.k, t)

    def improbable(self, w):
        return w * 10**7 <= self.w_s * (10**7 + 1)

    def tie(self, w):
        return self.improbable(w) and w * 10**7 >= self.w_s * (10**7 - 1)

    def hits(self, t, w):
        """Every test's verdict on table t of weight w."""
        k, n, two_n = self.k, self.n, self.two_n
        h, q = hets(k, t), score(k, n, t)
        return {
            "p_prob": self.improbable(w),
            "ties": self.tie(w),
            "p_x2e": x2(k, n, two_n, t) >= self.x2_s * (1 - MARGIN),
            "p_llr": g2(k, n, two_n, t) >= self.g2_s * (1 - 1e-7),
            "p_deficit": h <= self.h_s,
            "p_excess": h >= self.h_s,
            "p_u_deficit": q >= self.q_s,
            "p_u_excess": q <= self.q_s,
        }

    def hit(self, name, t, w=None):
        """Whether table t (of weight w, needed for p_prob and the ties) hits."""
        k, n, two_n = self.k, self.n, self.two_n
        if name == "p_prob":
            return self.improbable(w)
        if name == "ties":
            return self.tie(w)
        if name == "p_x2e":
            return x2(k, n, two_n, t) >= self.x2_s * (1 - MARGIN)
        if name == "p_llr":
            return g2(k, n, two_n, t) >= self.g2_s * (1 - 1e-7)
        if name in ("p_deficit", "p_excess"):
            h = hets(k, t)
            return h <= self.h_s if name == "p_deficit" else h >= self.h_s
        q = score(k, n, t)
        return q >= self.q_s if name == "p_u_deficit" else q <= self.q_s


NAMES = ["p_prob", "p_x2e", "p_llr", "p_deficit", "p_excess", "p_u_deficit", "p_u_excess"]


def tables(k, n):
    """Every table with allele counts n, cell by cell."""
    t = [0] * (k * (k + 1) // 2)
    rem = list(n)

    def go(i, j):
        if i == k:
            yield list(t)
            return
        if j == k:
            if rem[i] == 0:
                yield from go(i + 1, i + 1)
            return
        hi = rem[i] // 2 if i == j else min(rem[i], rem[j])
        # What allele i keeps after this cell must fit with the later alleles.
        later = sum(rem[j + 1:])
        lo = max(0, (rem[i] - later + 1) // 2 if i == j else rem[i] - later)
        if j == k - 1:
            # The row's last cell takes what its allele has left.
            need = rem[i] // 2 if i == j else rem[i]
            if need > hi or (i == j and rem[i] % 2):
                return
            lo = hi = need
        for v in range(lo, hi + 1):
            t[tri(i, j, k)] = v
            rem[i] -= 2 * v if i == j else v
            if i != j:
                rem[j] -= v
            yield from go(i, j + 1)
            rem[i] += 2 * v if i == j else v
            if i != j:
                rem[j] += v
        t[tri(i, j, k)] = 0

    yield from go(0, 0)


def count_tables(k, n, limit):
    m = 0
    for _ in tables(k, n):
        m += 1
        if m > limit:
            break
    return m


def sums_by_visiting(tests):
    sums = dict.fromkeys(NAMES + ["ties"], 0)
    for t in tables(tests.k, tests.n):
        w = tests.weight(t)
        for name, hit in tests.hits(t, w).items():
            if hit:
                sums[name] += w
    return sums


def sums_two_alleles(tests):
    """Two alleles: each test's tables as intervals of h (see the top)."""
    na, nb = tests.n
    big_n = tests.big_n
    h_lo, h_hi = na % 2, min(na, nb)

    def table(h):
        return [(na - h) // 2, h, (nb - h) // 2]

    def weight(h):
        x = (na - h) // 2
        return comb(big_n, h) * comb(big_n - h, x) << h

    def interval_sum(a, b):
        if a > b:
            return 0
        w = weight(a)
        s = 0
        for h in range(a, b + 1, 2):
            s += w
            x, y = (na - h) // 2, (nb - h) // 2
            if h + 2 <= b:
                w = w * 4 * x * y // ((h + 1) * (h + 2))
        return s

    def count(a, b):
        return 0 if a > b else (b - a) // 2 + 1

    def summed(a, b):
        # The sum over [a, b], term by term or through the complement.
        if count(a, b) <= 4000:
            return interval_sum(a, b)
        rest = interval_sum(h_lo, a - 2) + interval_sum(b + 2, h_hi)
        if count(h_lo, a - 2) + count(b + 2, h_hi) > 4000:
            raise SystemExit("interval too long to sum")
        return tests.total - rest

    def first(a, b, pred):
        # The first h in [a, b] (same parity) where a monotone pred turns true, or b + 2.
        if not pred(b):
            return b + 2
        lo, hi = 0, (b - a) // 2
        while lo < hi:
            mid = (lo + hi) // 2
            if pred(a + 2 * mid):
                hi = mid
            else:
                lo = mid + 1
        return a + 2 * lo

    # The mode, from the log-weights in double (an interval's ends are then
    # settled by exact comparisons, so a mode off by a step changes nothing).
    def log_weight(h):
        x, y = (na - h) // 2, (nb - h) // 2
        return h * math.log(2) - math.lgamma(x + 1) - math.lgamma(h + 1) - math.lgamma(y + 1)

    mode = max(range(h_lo, h_hi + 1, 2), key=log_weight)

    # Weights compared with the sample's in double first: lgamma's error
    # here is below 1e-8, so only a log-weight within 1e-6 of the bound needs
    # the exact integers.
    log_w_s = log_weight(tests.h_s)

    def weight_hit(name, h):
        gap = log_weight(h) - log_w_s
        if name == "p_prob" and abs(gap - 1e-7) > 1e-6:
            return gap < 1e-7
        if name == "ties" and abs(gap) > 1e-6:
            return False
        return tests.hit(name, table(h), weight(h))

    def hit(name):
        if name in ("p_prob", "ties"):
            return lambda h: weight_hit(name, h)
        return lambda h: tests.hit(name, table(h))

    def tails(pred):
        # Where pred holds at both ends and not at the mode: [h_lo, a], [b, h_hi].
        if pred(mode):
            raise SystemExit("a two-tailed rule holds at the mode")
        a = first(h_lo, mode, lambda h: not pred(h)) - 2
        b = first(mode, h_hi, pred)
        return a, b

    sums = {}
    for name in ["p_prob", "p_x2e", "p_llr"]:
        a, b = tails(hit(name))
        sums[name] = summed(h_lo, a) + summed(b, h_hi)
    # The ties lie among the tail tables of p_prob next to each end of the
    # mode's tables.
    a, b = tails(hit("p_prob"))
    ties = 0
    for start, step in ((a, -2), (b, 2)):
        h = start
        while h_lo <= h <= h_hi and hit("ties")(h):
            ties += weight(h)
            h += step
    sums["ties"] = ties
    # H and U fall and rise with h.
    sums["p_deficit"] = summed(h_lo, tests.h_s)
    sums["p_excess"] = summed(tests.h_s, h_hi)
    sums["p_u_deficit"] = sums["p_deficit"]
    sums["p_u_excess"] = sums["p_excess"]
    return sums


def log10_ratio(a, b):
    return math.log10(a) - math.log10(b) if a else float("-inf")


def main():
    k = int(sys.argv[1])
    t = [int(v) for v in sys.argv[2:]]
    assert len(t) == k * (k + 1) // 2
    tests = Tests(k, t)
    many = count_tables(k, tests.n, 20000) > 20000
    if many and k != 2:
        raise SystemExit("too many tables")
    sums = sums_two_alleles(tests) if many else sums_by_visiting(tests)
    for name in NAMES:
        print(name, repr(sums[name] / tests.total), repr(log10_ratio(sums[name], tests.total)))
    # Integer quotients are rounded once, so each p is the double nearest it.
    mid = 2 * sums["p_prob"] - sums["ties"]
    print("p_prob_mid", repr(mid / (2 * tests.total)), repr(log10_ratio(mid, 2 * tests.total)))


if __name__ == "__main__":
    main()
