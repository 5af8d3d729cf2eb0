// The state of one run, owned by the main program from start to stop.
#pragma once

#include <cstdint>
#include <string>

#include "sites/sites.h"

namespace ortelix {

// The capacity of every array of the run.
constexpr std::int32_t kNmax = static_cast<std::int32_t>(sites::kDialogueCapacity);

// An nmax x nmax column-major matrix of doubles, zero at start. The pages
// come from the system already zero and are touched only when used, so a
// run uses memory for the part of each matrix it needs.
class Matrix {
 public:
  Matrix();
  ~Matrix();
  Matrix(const Matrix&) = delete;
  Matrix& operator=(const Matrix&) = delete;
  double* data() { return data_; }
  double& operator()(std::int32_t i, std::int32_t j) {  // 1-based
    return data_[static_cast<long>(j - 1) * kNmax + (i - 1)];
  }

 private:
  double* data_;
};

struct Run {
  // Counts and answers; each starts at zero so that a null answer leaves 0.
  std::int32_t n = 0;
  std::int32_t p = 0;
  std::int32_t nsup = 0;
  std::int32_t nvar = 0;
  std::int32_t layout = 0;
  std::int32_t design = 0;
  std::int32_t method = 0;
  std::int32_t order = 0;
  std::int32_t verbose = 0;
  double rangmax = 0;
  float start_time = 0;
  std::string report_name = std::string(79, ' ');
  std::string variable_name = std::string(79, ' ');

  Matrix x;       // coordinates, then the spatial variables
  Matrix d;       // distances: upper triangle truncated, lower triangle true
  Matrix corlin;  // correlation matrix of the supplementary-object check
  Matrix xprime;  // transposed standardized variables of that check
};

// Seconds since local midnight, whole, minus `since`, in single precision.
float time_of_day(float since);

void transect(Run& run);
void grid(Run& run);
void pcnm_stage(Run& run);
void correlation_check(Run& run);
void polynomial_stage(Run& run);

}  // namespace ortelix
