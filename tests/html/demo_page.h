// A page that looks like a real run, for the picture under doc/: simulated
// genotypes (a Genepop file of 10 populations x 15 loci, a variant file of
// 2 populations x 30 000 biallelic sites on three chromosomes, three count
// files) with a few departures built in, tested with the chi-square test,
// q_bh by Benjamini-Hochberg. Made from a fixed seed: the same every time.
#pragma once

#include "html/page_data.h"

PageData demo_page();
