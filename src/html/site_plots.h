// The three plots of one population of a variant file, each drawn from the
// thinned sites (every site with -log10 p >= 2, every stride-th of the
// others) and saying so in its caption:
// - quantile-quantile: observed -log10 p against its expectation for n
//   uniform p-values, with the 95% band of each order statistic;
// - positions: -log10 p along each chromosome, chromosomes side by side;
// - de Finetti: the genotype frequencies of each biallelic site in the
//   triangle, with the Hardy-Weinberg curve, coloured by q_bh class.
// A plot with nothing to draw is left out.
#pragma once

#include <string>

#include "html/page_data.h"

void append_qq_plot(std::string& out, const SiteGroup& group);
void append_position_plot(std::string& out, const SiteGroup& group);
void append_de_finetti_plot(std::string& out, const SiteGroup& group);

// How the sites were thinned, for the captions: "all 285 sites with -log10 p
// >= 2 and 14251 of the 28216 others (every 2nd)".
std::string thinning_note(const ThinnedSites& sites);

// The q_bh classes of the de Finetti plot, from the weakest: q_bh >= 0.05 or
// NA, < 0.05, < 0.01, < 0.001.
int q_class(double q_bh);
inline constexpr int kQClasses = 4;
