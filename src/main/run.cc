#include "main/run.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace ortelix {

Matrix::Matrix() {
  data_ = static_cast<double*>(std::calloc(static_cast<std::size_t>(kNmax) * kNmax, sizeof(double)));
  if (data_ == nullptr) {
    std::fputs("Not enough memory for the matrices of the program.\n", stderr);
    std::exit(1);
  }
}

Matrix::~Matrix() { std::free(data_); }

float time_of_day(float since) {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  float seconds = static_cast<float>(3600 * local.tm_hour + 60 * local.tm_min + local.tm_sec);
  return seconds - since;
}

}  // namespace ortelix
