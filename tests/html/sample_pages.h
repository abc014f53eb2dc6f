// Page data made from fixed formulas, the same that tests/html/test_page.py
// computes on its own to know how many marks each figure must hold:
// - site i (0 <= i < n) of population j of a variant file: NA when
//   i % 250 == 3; p = 0 when i % 1500 == 11; p = 10^-(6 + (i / 1000) % 5)
//   when i % 1000 == 7; else p = (r + 0.5) / n with r = (7919 i + 104729 j)
//   mod n. Chromosome "chr1" for i < n / 2, else "chr2"; position
//   1000 + 37 i; biallelic unless i % 10 == 9.
#pragma once

#include <cstdint>

#include "html/page_data.h"

double sample_site_p(int64_t i, int64_t n, int64_t population);

// A Genepop file (3 populations x 4 loci, one NA unit, names that need
// escaping or are not UTF-8) with its summaries, a variant file of 2
// populations x `sites` sites with the summary of its first population, and
// 3 count files (k = 2, 3, 4).
PageData small_sample_page(int64_t sites = 600);
// A variant file only: 2 populations x `sites` sites.
PageData genome_sample_page(int64_t sites);
// `files` count files of k = 2 + file % 4.
PageData count_files_page(int files);

void add_sample_sites(PageData& page, int64_t sites);

// Labels as long as real data give them: two Genepop files (15 breeds with
// names like "BlondeAquitaine_FRBTBDA29970" x 30 loci, one name and one
// locus longer than any margin, one with markup and accents; 6 x 80 loci,
// wider than two columns), a variant file with a long population and a long
// chromosome name, count files one of them with a long name.
PageData long_labels_page();
