// Numbers as a page writes them: coordinates to a tenth of a pixel (enough
// on screen and paper, and it keeps genome-scale pages small), figures in
// tooltips and captions to four significant digits. Never locale-dependent.
#pragma once

#include <string>

// "12.3", "12" for 12.0, "-0.5"; NaN as "0".
void append_coord(std::string& out, double value);
std::string coord(double value);
// Four significant digits ("0.01235", "1.235e-08"); "NA" for NaN, "inf" and
// "-inf" for infinities.
std::string figure(double value);
// ", p_u_deficit<suffix> D, p_u_excess<suffix> E" for a tooltip or caption
// where the U score tests ran; empty where both are NaN.
std::string u_tests_text(double deficit, double excess, const char* suffix);
