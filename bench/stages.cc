// Stage by stage, the literal kernels against the fast ones on the PCNM
// matrices of grids of 500, 1000 and 2000 sites truncated at the grid
// spacing (the last 100 sites taken as supplementary objects for the
// correlation check), checking at every size that the fast results are bit
// for bit those of the literal kernels.
//
//   ortelix_bench [sizes...]      default: 500 1000 2000
//
// Prints wall-clock seconds, medians of several runs for the fast kernels
// (of fewer for the slow literal ones), and their ratios. The literal side
// is the literal eigen kernels, the correlation check as written and the
// general format engine for the file; distances, centring, sorting and
// scaling are the same code on both sides and are timed once. The
// literal kernels do not split their reduction and accumulation, so only
// their sum is compared. Exit status 1 when any result or the written file
// differs.

#include <algorithm>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include "pcnm/reference_correl.h"
#include "output/spatial_file.h"
#include "pcnm/constants.h"
#include "pcnm/correl.h"
#include "pcnm/distances.h"
#include "pcnm/fast_eigen.h"
#include "pcnm/pcoa.h"
#include "pcnm/reference_eigen.h"
#include "textio/io.h"
#include "textio/units.h"

namespace {

using namespace ortelix;
using Clock = std::chrono::steady_clock;

constexpr int kLd = 2000;
constexpr int kSupplementary = 100;

struct Matrix {
  std::vector<double> v = std::vector<double>(static_cast<std::size_t>(kLd) * kLd, 0.0);
  double* data() { return v.data(); }
};

template <typename F>
double seconds(F&& f) {
  auto t0 = Clock::now();
  f();
  return std::chrono::duration<double>(Clock::now() - t0).count();
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : 0.5 * (v[v.size() / 2 - 1] + v[v.size() / 2]);
}

// Runs `prepare` then times `f`, `reps` times; the median.
template <typename P, typename F>
double timed(int reps, P&& prepare, F&& f) {
  std::vector<double> t;
  for (int r = 0; r < reps; ++r) {
    prepare();
    t.push_back(seconds(f));
  }
  return median(t);
}

struct Grid {
  int n, rows, cols;
};

Grid grid_for(int n) {
  int rows = static_cast<int>(std::sqrt(n * 0.8));
  while (n % rows) --rows;
  return {n, rows, n / rows};
}

// Ranged coordinates of a rows x cols grid of unit spacing, as a PCNM run
// ranges them, and the internal limit for a typed limit of 1.
double ranged_grid(const Grid& g, Matrix& x) {
  const double rangmax = std::max(g.rows - 1, g.cols - 1) * pcnm::kRangeFactor;
  for (int r = 0; r < g.rows; ++r) {
    for (int c = 0; c < g.cols; ++c) {
      x.v[r * g.cols + c] = c / rangmax;
      x.v[kLd + r * g.cols + c] = r / rangmax;
    }
  }
  return 1.0 / rangmax + pcnm::kLimitEpsilon;
}

void transform(const double* d, double* a, int n) {
  for (int i = 0; i < n; ++i) {
    a[static_cast<long>(i) * kLd + i] = 0.0;
    for (int j = i + 1; j < n; ++j) {
      double dij = d[static_cast<long>(j) * kLd + i];
      a[static_cast<long>(j) * kLd + i] = -((dij * dij) * 0.5);
      a[static_cast<long>(i) * kLd + j] = a[static_cast<long>(j) * kLd + i];
    }
  }
}

bool same(const double* x, const double* y, int rows, int cols, long ld) {
  for (int c = 0; c < cols; ++c) {
    for (int r = 0; r < rows; ++r) {
      if (std::bit_cast<std::uint64_t>(x[c * ld + r]) != std::bit_cast<std::uint64_t>(y[c * ld + r])) return false;
    }
  }
  return true;
}

bool same_file(const std::string& a, const std::string& b) {
  std::ifstream fa(a, std::ios::binary), fb(b, std::ios::binary);
  return std::equal(std::istreambuf_iterator<char>(fa), std::istreambuf_iterator<char>(),
                    std::istreambuf_iterator<char>(fb), std::istreambuf_iterator<char>());
}

struct Row {
  const char* name;
  double ref, fast;
};

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
  if (sizes.empty()) sizes = {500, 1000, 2000};
  for (int n : sizes) {
    if (n < kSupplementary + 3 || n > kLd) {
      std::fprintf(stderr, "sizes must lie between %d and %d\n", kSupplementary + 3, kLd);
      return 2;
    }
  }
  textio::start_units();
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("ortelix_bench_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);

  Matrix x, d, a0, a, ref, corlin, xprime;
  std::vector<double> diag(kLd), offdiag(kLd), e(kLd), colmean(kLd), work(kLd), eigval(kLd);
  std::vector<double> vsum(kLd), vsumsq(kLd), vmean(kLd), vsd(kLd);
  std::vector<Index> iord(kLd);
  bool identical = true;

  std::printf("Ortelix stages, wall-clock seconds (fast: median of 3 runs; literal: median of %s)\n",
              "3 below 2000 sites, 1 run at 2000");
  std::printf("processor threads: %u; vectors: %s\n", std::thread::hardware_concurrency(),
              pcnm::isa_supported(pcnm::Isa::kAvx512) ? "avx512"
              : pcnm::isa_supported(pcnm::Isa::kAvx2) ? "avx2"
                                                      : "generic");
  for (int n : sizes) {
    const Grid g = grid_for(n);
    const int fast_reps = 3;
    const int ref_reps = n >= 2000 ? 1 : 3;
    std::vector<Row> rows;
    const double thresh = ranged_grid(g, x);

    double t_dist = timed(fast_reps, [] {}, [&] {
      pcnm::compute_distances(x.data(), n, 2, kLd, d.data());
      pcnm::truncate_distances(d.data(), n, kLd, thresh);
    });
    rows.push_back({"distances and truncation", t_dist, t_dist});
    double t_gower = timed(fast_reps, [] {}, [&] {
      transform(d.data(), a0.data(), n);
      pcnm::gower(a0.data(), colmean.data(), n, kLd);
    });
    rows.push_back({"transform and Gower centring", t_gower, t_gower});

    // Literal kernels.
    double t_ref_tred2 = timed(ref_reps, [&] { ref.v = a0.v; }, [&] {
      pcnm::tred2_reference(ref.data(), n, kLd, diag.data(), offdiag.data());
    });
    std::vector<double> ref_diag = diag, ref_offdiag = offdiag;
    Matrix ref_q = ref;
    double t_ref_ql = timed(ref_reps, [&] { ref.v = ref_q.v; diag = ref_diag; e = ref_offdiag; }, [&] {
      pcnm::tqli_reference(diag.data(), e.data(), n, kLd, ref.data());
    });
    std::vector<double> ref_values = diag;

    // Fast kernels.
    double t_reduce = timed(fast_reps, [&] { a.v = a0.v; }, [&] {
      pcnm::householder_reduce_fast(a.data(), n, kLd, diag.data(), offdiag.data());
    });
    Matrix reduced = a;
    std::vector<double> h = diag, sub = offdiag;
    double t_accumulate = timed(fast_reps, [&] { a.v = reduced.v; diag = h; offdiag = sub; }, [&] {
      pcnm::householder_accumulate_fast(a.data(), n, kLd, diag.data(), offdiag.data());
    });
    identical = identical && same(a.data(), ref_q.data(), n, n, kLd) && diag == ref_diag && offdiag == ref_offdiag;
    Matrix q = a;
    std::vector<double> q_diag = diag;
    double t_ql = timed(fast_reps, [&] { a.v = q.v; diag = q_diag; e = offdiag; }, [&] {
      pcnm::tqli_fast(diag.data(), e.data(), n, kLd, a.data());
    });
    identical = identical && same(a.data(), ref.data(), n, n, kLd) && same(diag.data(), ref_values.data(), n, 1, n);
    rows.push_back({"Householder reduction", NAN, t_reduce});
    rows.push_back({"accumulation of Q", NAN, t_accumulate});
    rows.push_back({"  reduction + accumulation", t_ref_tred2, t_reduce + t_accumulate});
    rows.push_back({"QL iteration", t_ref_ql, t_ql});

    // Sort and scaling: what pcoa spends besides the stages above.
    pcnm::PcoaResult pr;
    double t_pcoa = timed(fast_reps, [] {}, [&] {
      pr = *pcnm::pcoa(n, kLd, iord.data(), d.data(), eigval.data(), offdiag.data(), x.data(), colmean.data(),
                      work.data());
    });
    double t_sort = std::max(0.0, t_pcoa - t_gower - t_reduce - t_accumulate - t_ql);
    rows.push_back({"sort and scaling (pcoa less the above)", t_sort, t_sort});

    // Correlation check, the last objects taken as supplementary.
    const int main_objects = n - kSupplementary;
    const int nvar = static_cast<int>(pr.npcnm);
    Matrix pcs = x;
    pcnm::CorrelResult ref_cr, fast_cr;
    double t_ref_correl = timed(ref_reps, [&] { x.v = pcs.v; }, [&] {
      ref_cr = pcnm::correl_reference(main_objects, nvar, x.data(), kLd, vsum.data(), vsumsq.data(), vmean.data(),
                                      vsd.data(), corlin.data(), xprime.data());
    });
    Matrix ref_x = x, ref_corlin = corlin;
    double t_correl = timed(fast_reps, [&] { x.v = pcs.v; }, [&] {
      fast_cr = pcnm::correl(main_objects, nvar, x.data(), kLd, vsum.data(), vsumsq.data(), vmean.data(), vsd.data(),
                             corlin.data(), xprime.data());
    });
    identical = identical && same(x.data(), ref_x.data(), main_objects, nvar, kLd) &&
                std::bit_cast<std::uint64_t>(ref_cr.largest) == std::bit_cast<std::uint64_t>(fast_cr.largest);
    for (int s = 1; s < nvar; ++s) identical = identical && same(corlin.data() + s * kLd, ref_corlin.data() + s * kLd, s, 1, kLd);
    rows.push_back({"correlation check", t_ref_correl, t_correl});

    // Writing layout 1: the general format engine, one value at a time,
    // against the writer's short path; the two files must be equal.
    int file_number = 0;
    auto write_file = [&](bool general) {
      const std::string name = (dir / ("var" + std::to_string(n) + "_" + std::to_string(file_number++))).string();
      textio::open_unit(output::kVariableUnit, name, textio::FileStatus::kNew);
      if (general) {
        textio::say(output::kVariableUnit, {n, nvar});
        for (int i = 0; i < n; ++i) {
          textio::UnitWrite w(output::kVariableUnit, "(2000F11.6)");
          for (int j = 0; j < nvar; ++j) w.put(pcs.v[static_cast<std::size_t>(j) * kLd + i]);
        }
      } else {
        output::writeout(n, 2, nvar, kLd, pcs.data(), 1, 1, 0);
      }
      textio::close_unit(output::kVariableUnit);
      return name;
    };
    std::string general_file, fast_file;
    double t_write_general = timed(ref_reps, [] {}, [&] { general_file = write_file(true); });
    double t_write = timed(fast_reps, [] {}, [&] { fast_file = write_file(false); });
    identical = identical && same_file(general_file, fast_file);
    rows.push_back({"writing the variables (layout 1)", t_write_general, t_write});

    double ref_total = 0, fast_total = 0;
    std::printf("\n%d sites (grid %d x %d, %d PCNM variables)\n", n, g.rows, g.cols, nvar);
    std::printf("  %-40s %10s %10s %8s\n", "stage", "literal", "fast", "ratio");
    for (const Row& r : rows) {
      if (std::isnan(r.ref)) {
        std::printf("  %-40s %10s %10.3f %8s\n", r.name, "-", r.fast, "");
        continue;
      }
      std::printf("  %-40s %10.3f %10.3f %8.1f\n", r.name, r.ref, r.fast, r.ref / r.fast);
      ref_total += r.ref;
      fast_total += r.fast;
    }
    std::printf("  %-40s %10.3f %10.3f %8.1f\n", "total", ref_total, fast_total, ref_total / fast_total);
  }
  std::filesystem::remove_all(dir);
  std::printf("\nfast results bit for bit those of the literal kernels at every size: %s\n",
              identical ? "yes" : "NO");
  return identical ? 0 : 1;
}
