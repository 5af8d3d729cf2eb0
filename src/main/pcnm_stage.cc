// The PCNM stage: distances, the truncation dialogue, the principal
// coordinate analysis, and the correlation check of supplementary objects.

#include <vector>

#include "main/run.h"
#include "output/report.h"
#include "pcnm/correl.h"
#include "pcnm/distances.h"
#include "pcnm/pcoa.h"
#include "pcnm/rules.h"
#include "textio/io.h"

namespace ortelix {

using textio::kKeyboard;
using textio::kScreen;
using textio::say;
namespace report = output::report;

void pcnm_stage(Run& run) {
  const std::int32_t ntot = run.n + run.nsup;
  report::pcnm_heading();
  run.start_time = time_of_day(0.0f);
  pcnm::compute_distances(run.x.data(), ntot, run.p, kNmax, run.d.data());

  std::vector<double> eigval(kNmax), offdiag(kNmax), colmean(kNmax), work(kNmax);
  std::vector<Index> iord(kNmax);
  double limit = 0.0;
  for (;;) {
    say(kScreen);
    say(kScreen, {"Truncation of the distance matrix --"});
    say(kScreen);
    say(kScreen, {"Highest unmodified value in distance matrix?"});
    say(kScreen, {"Type an integer or a real number, ex. 1 or 65.22."});
    say(kScreen, {"Use the SAME measurement units as the site coordinates."});
    textio::read(kKeyboard, {limit});
    const double thresh = pcnm::internal_limit(limit, run.rangmax);
    if (run.verbose == 1) say(kScreen, {"Bs/rangmax =", thresh});
    say(kScreen);
    report::truncation_limit(thresh * run.rangmax);

    pcnm::truncate_distances(run.d.data(), ntot, kNmax, thresh);
    const Expected<pcnm::PcoaResult> pcoa = pcnm::pcoa(ntot, kNmax, iord.data(), run.d.data(), eigval.data(),
                                                       offdiag.data(), run.x.data(), colmean.data(), work.data());
    if (!pcoa.ok()) textio::stop(pcoa.error());
    const pcnm::PcoaResult& r = *pcoa;
    report::eigen_sums(r.positive_sum, r.negative_sum, r.trace);
    report::positive_count(static_cast<std::int32_t>(r.npcnm));
    report::eigenvalues(eigval.data(), ntot);

    if (r.npcnm < ntot - 1) {
      textio::write(kScreen,
                    "(' Truncation of the distance matrix to the distance',F12.3,/,' yielded',I5,"
                    "' positive eigenvalues.')",
                    {thresh * run.rangmax, static_cast<std::int32_t>(r.npcnm)});
      run.nvar = static_cast<std::int32_t>(r.npcnm);
      return;
    }
    // Variables spanning every direction the objects allow fit anything.
    say(kScreen);
    say(kScreen, {"Truncation of the distance matrix using limit ", thresh});
    say(kScreen, {"yielded a PCNM matrix containing ", static_cast<std::int32_t>(r.npcnm), " variables."});
    say(kScreen, {"There are too many PCNMs: R-square=1, not signif."});
    say(kScreen, {"Choose a lower truncation limit."});
  }
}

void correlation_check(Run& run) {
  std::vector<double> vsum(kNmax), vsumsq(kNmax), vmean(kNmax), vsd(kNmax);
  pcnm::CorrelResult r = pcnm::correl(run.n, run.nvar, run.x.data(), kNmax, vsum.data(), vsumsq.data(),
                                      vmean.data(), vsd.data(), run.corlin.data(), run.xprime.data());
  if (r.zero_variance != 0) {
    // Silent on the screen; the report says which variable.
    report::zero_variance(static_cast<std::int32_t>(r.zero_variance));
    textio::stop();
  }
  say(kScreen);
  say(kScreen, {"The use of supplementary objects in the computations"});
  say(kScreen, {"induces correlations among the spatial variables."});
  textio::write(kScreen, "(' The largest (absolute) correlation value is',F7.4)", {r.largest});
  say(kScreen, {"If you find this value acceptable, keep the matrix of"});
  say(kScreen, {"PCNM variables built by this program. If you find "});
  say(kScreen, {"this value too high, rerun the program using fewer"});
  say(kScreen, {"supplementary objects."});
  report::largest_correlation(r.largest);
}

}  // namespace ortelix
