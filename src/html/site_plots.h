// The three plots of one population of a variant file, each drawn from the
// thinned sites (every site with -log10 p >= 2, every stride-th of the
// others) and saying so in its caption:
// - quantile-quantile: observed -log10 p against its expectation for n
//   uniform p-values, with the 95% band of each order statistic;
// - positions: -log10 p along each chromosome, chromosomes side by side;
// - de Finetti: the genotype frequencies of each biallelic site in the
//   triangle, with the Hardy-Weinberg curve, coloured by q_bh class.
// The kTitledSites sites of smallest p are drawn as marks of their own with
// their figures as a tooltip (and listed in the quantile-quantile plot's
// table); the others as one path per colour, bounded by the thinning.
// A plot with nothing to draw is not made.
#pragma once

#include <optional>
#include <string>

#include "html/figure.h"
#include "html/page_data.h"

inline constexpr size_t kTitledSites = 25;

std::optional<Figure> qq_figure(const SiteGroup& group, const std::string& id);
std::optional<Figure> position_figure(const SiteGroup& group, const std::string& id);
std::optional<Figure> de_finetti_figure(const SiteGroup& group, const std::string& id);

// How the sites were thinned, for the captions: "all 285 sites with -log10 p
// >= 2 and 14251 of the 28216 others (every 2nd)".
std::string thinning_note(const ThinnedSites& sites);

// The q_bh classes of the de Finetti plot, from the weakest: q_bh >= 0.05 or
// NA, < 0.05, < 0.01, < 0.001.
int q_class(double q_bh);
inline constexpr int kQClasses = 4;
