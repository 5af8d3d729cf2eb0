// The records of the run report file (unit 7). Every stage appends its own
// records by calling these, so that each record's exact form lives here.
#pragma once

#include <cstdint>
#include <string_view>

namespace ortelix::output::report {

constexpr int kUnit = 7;

// The banner, also shown on the screen (unit 6).
void banner(int unit);

void transect();
void grid(std::int32_t rows, std::int32_t cols);
void input_file(std::string_view name, std::int32_t n, std::int32_t p, std::int32_t nsup);

// An empty line, the title, an empty line, one "(1X,10F10.5)" record per
// row of x (rows 1..nrows, columns 1..p), an empty line.
void matrix_echo(std::string_view title, const double* x, std::int32_t nrows, std::int32_t p, std::int32_t ld);

// Also shown on the screen.
void ranging(int unit);
void same_position(int unit);

void polynomial_order(std::int32_t order);

void pcnm_heading();
void truncation_limit(double limit);
void eigen_sums(double positive_sum, double negative_sum, double trace);
void positive_count(std::int32_t npcnm);
void eigenvalues(const double* eigval, std::int32_t n);

void largest_correlation(double value);
void zero_variance(std::int32_t variable);

// Also shown on the screen.
void computation_time(int unit, float seconds);
void end_of_program(int unit);

}  // namespace ortelix::output::report
