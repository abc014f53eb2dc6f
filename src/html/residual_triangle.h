// The genotypes of one count file as a triangle of Pearson residuals,
// (observed - expected) / sqrt(expected): genotype (i, j), i <= j, in row j
// and column i, the allele letters along the left and bottom sides; red where
// more were observed than expected, blue where fewer, white at 0, the full
// colour at +-top and beyond; a genotype with no expectation hatched.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "html/page_data.h"

// The residual of each genotype in triangle order; NaN where expected <= 0.
std::vector<double> pearson_residuals(const CountFileFigures& file);

// The largest |residual| of the files, for one scale on the page.
double largest_residual(const std::vector<CountFileFigures>& files);

void append_residual_triangle(std::string& out, const CountFileFigures& file, double top, int id);
