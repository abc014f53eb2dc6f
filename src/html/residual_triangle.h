// The genotypes of one count file as a triangle of Pearson residuals,
// (observed - expected) / sqrt(expected): genotype (i, j), i <= j, in row j
// and column i, the allele letters along the left and bottom sides, each
// cell coloured on the page's fixed residual scale (red where more were
// observed than expected, blue where fewer, full colour at +-4 and beyond);
// a genotype with no expectation hatched.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "html/figure.h"
#include "html/page_data.h"

// The residual of each genotype in triangle order; NaN where expected <= 0.
std::vector<double> pearson_residuals(const CountFileFigures& file);

Figure residual_triangle_figure(const CountFileFigures& file, const std::string& id);
