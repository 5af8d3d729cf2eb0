// The worked example runs with PCNM variables, seen from two sides: the
// independent model of pcnm_model.h must reproduce them exactly (so that
// it may serve as the reference of the other runs), and their eigenvalues
// must agree with a Jacobi eigen-solver, a method that shares nothing with
// Householder and QL but the mathematics.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/pcnm_model.h"
#include "e2e/run_binary.h"
#include "pcnm/pcoa.h"

namespace ortelix::e2e {
namespace {

struct Example {
  const char* folder;
  model::Scenario scenario;
};

std::string case_file(const std::string& folder, const std::string& name) {
  return read_file(std::string(ORTELIX_CASES) + "/" + folder + "/" + name);
}

std::vector<Example> examples() {
  std::vector<Example> out;
  model::Scenario transect;
  transect.points = 10;
  transect.limits = {"1"};
  out.push_back({"transect10-pcnm-layout1", transect});

  model::Scenario sup;
  sup.design = model::Design::kFile;
  sup.layout = 2;
  sup.file_text = case_file("file-sup-pcnm-layout2", "input.files/sites.txt");
  sup.limits = {"1.2"};
  out.push_back({"file-sup-pcnm-layout2", sup});

  model::Scenario constant = sup;
  constant.verbose = true;
  constant.file_text = case_file("file-sup-variance-nulle-verbose", "input.files/sites.txt");
  out.push_back({"file-sup-variance-nulle-verbose", constant});
  return out;
}

TEST(WorkedExamples, TheModelReproducesThem) {
  for (const Example& ex : examples()) {
    SCOPED_TRACE(ex.folder);
    model::Transcript t = model::run_pcnm(ex.scenario);
    EXPECT_EQ(case_file(ex.folder, "stdin"), t.stdin_text);
    EXPECT_EQ(mask_time(case_file(ex.folder, "expected.stdout")), mask_time(t.stdout_text));
    EXPECT_EQ(case_file(ex.folder, "expected.stderr"), t.stderr_text);
    EXPECT_EQ(mask_time(case_file(ex.folder, "expected.files/rep.txt")), mask_time(t.report));
    EXPECT_EQ(case_file(ex.folder, "expected.files/var.txt"), t.variables);
  }
}

// Eigenvalues printed in the run report, in file order.
std::vector<double> printed_eigenvalues(const std::string& report) {
  std::vector<double> out;
  const std::string mark = " Eigenvalues of the PCoA:\n\n";
  std::size_t at = report.rfind(mark);
  if (at == std::string::npos) return out;
  std::istringstream in(report.substr(at + mark.size()));
  for (std::string line; std::getline(in, line) && !line.empty();) {
    std::istringstream fields(line);
    for (double v; fields >> v;) out.push_back(v);
  }
  return out;
}

TEST(WorkedExamples, EigenvaluesAgreeWithJacobi) {
  for (const Example& ex : examples()) {
    SCOPED_TRACE(ex.folder);
    model::Scenario sc = ex.scenario;
    model::Sites sites;
    if (sc.design == model::Design::kFile) {
      sites = model::parse_sites(sc.file_text);
    } else {
      sites.n = sc.points;
      sites.p = 1;
      for (int i = 1; i <= sc.points; ++i) sites.x.push_back({static_cast<double>(i)});
    }
    model::Ranging rg = model::range_sites(sites, true);
    const double thresh = std::stod(sc.limits[0]) / rg.rangmax + model::kEps;
    model::Square dist = model::truncated(model::distances(sites), thresh);
    const int n = dist.n();
    std::vector<double> jac = model::jacobi(model::gower_centred(dist));

    // The product's PCoA on the same truncated distances.
    std::vector<double> d(static_cast<std::size_t>(n) * n), a(d.size()), eigval(n), offdiag(n), colmean(n), work(n);
    std::vector<std::int32_t> iord(n);
    for (int i = 1; i <= n; ++i) {
      for (int j = 1; j <= n; ++j) d[static_cast<std::size_t>(j - 1) * n + (i - 1)] = dist(i, j);
    }
    pcnm::PcoaResult r = pcnm::pcoa(n, n, iord.data(), d.data(), eigval.data(), offdiag.data(), a.data(),
                                    colmean.data(), work.data());
    ASSERT_TRUE(r.converged);
    for (int i = 0; i < n; ++i) {
      EXPECT_NEAR(jac[i], eigval[i], 1e-9 * std::max(1.0, std::fabs(jac[i]))) << "eigenvalue " << i + 1;
    }

    // The worked example printed them to six decimals.
    std::vector<double> printed = printed_eigenvalues(case_file(ex.folder, "expected.files/rep.txt"));
    ASSERT_EQ(static_cast<std::size_t>(n), printed.size());
    for (int i = 0; i < n; ++i) EXPECT_NEAR(jac[i], printed[i], 5.000001e-7) << "eigenvalue " << i + 1;
  }
}

}  // namespace
}  // namespace ortelix::e2e
