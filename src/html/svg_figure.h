// The pieces the figures of the page are drawn with: a plot frame with its
// axes (its margins measured from the numbers and titles they hold), text
// that never leaves its room (shortened with "…", the whole kept in its
// <title>), rectangles with their figures as a tooltip, and the points of a
// scatter plot, written as zero-length strokes of one path per colour
// (about 14 bytes a point, a tenth of a circle element).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "html/colour_scale.h"

struct PlotFrame {
  double left = 0, top = 0, width = 0, height = 0;  // the plotting area
  double x_max = 1, y_max = 1;                      // both axes start at 0
};

double x_at(const PlotFrame& f, double x);
double y_at(const PlotFrame& f, double y);

// A round step (1, 2 or 5 times a power of ten) giving at most about five
// ticks from 0 to `top`.
double tick_step(double top);
// A nice axis end at or above `top`: a multiple of its tick step.
double axis_top(double top);

// What append_axes draws outside the frame: left of it, the y ticks'
// numbers for an axis to y_max and the rotated title; below it, the x
// ticks' numbers and the title; right of it, half the last x number.
double y_axis_room(double y_max);
inline constexpr double kXAxisRoom = 38;
double x_axis_right_room(double x_max);

// The frame's box, ticks and numbers on both axes (the x axis's only when
// x_ticks), and the two axis titles.
void append_axes(std::string& out, const PlotFrame& f, std::string_view x_title,
                 std::string_view y_title, bool x_ticks);

// A point as "Mx yh0", to go into the d attribute of a path of class "pts".
void append_point(std::string& d, double x, double y);
// <path class="pts" stroke="colour" d="..."/>, nothing when d is empty;
// with its figures as a tooltip when `tooltip` is not empty.
void append_points_path(std::string& out, std::string_view colour, const std::string& d,
                        std::string_view extra_class = {}, std::string_view tooltip = {});
// ` name="value"`, the value as a coordinate.
void append_attr(std::string& out, std::string_view name, double value);
// A rectangle; class, fill and tooltip (a <title> child) only when not empty.
void append_rect(std::string& out, double x, double y, double width, double height,
                 std::string_view cls, std::string_view fill, std::string_view tooltip = {});
// A text element; anchor is "start", "middle" or "end". Longer than
// max_width (when given), it is shortened with "…" and its whole text is its
// <title>.
void append_text(std::string& out, double x, double y, std::string_view text,
                 std::string_view anchor, std::string_view extra_attributes = {},
                 double max_width = 0);
// A hatched pattern for marks without a value, named `id`.
void append_hatch_pattern(std::string& out, std::string_view id);
// A horizontal linear gradient named `id` through the stops of a scale.
void append_gradient(std::string& out, std::string_view id, const std::vector<GradientStop>& stops);
