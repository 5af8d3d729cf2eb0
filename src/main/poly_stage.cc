// The polynomial stage: the order question, centring and the monomials.

#include "main/run.h"
#include "output/report.h"
#include "poly/monomials.h"
#include "textio/io.h"

namespace ortelix {

using textio::kKeyboard;
using textio::kScreen;
using textio::say;

void polynomial_stage(Run& run) {
  for (;;) {
    say(kScreen);
    say(kScreen, {"Order of the polynomial? 2 to 5"});
    textio::read(kKeyboard, {run.order});
    if (run.order < 2) {
      say(kScreen, {"You don't want to compute a polynomial of order", run.order});
      say(kScreen, {"Try again..."});
      continue;
    }
    if (run.order > 5) {
      say(kScreen, {"The highest polynomial order in this program is 5."});
      say(kScreen, {"Try again..."});
      continue;
    }
    run.nvar = poly::monomial_count(run.p, run.order);
    if (run.p == 1) break;
    // With n - 1 monomials or more, a regression on them fits any data.
    if (run.nvar < run.n - 1) break;
    say(kScreen, {"A polynomial of order ", run.order, " leads to a spatial"});
    say(kScreen, {"matrix containing ", run.nvar, " monomials, which is too many:"});
    say(kScreen, {"more monomials than (number of objects - 1)."});
    say(kScreen, {"Please choose a smaller order for the polynomial."});
  }
  output::report::polynomial_order(run.order);

  poly::centre(run.x.data(), run.n, run.p, kNmax);
  if (run.p == 1) {
    poly::transect_monomials(run.x.data(), run.n, run.order, kNmax);
  } else {
    poly::surface_monomials(run.x.data(), run.n, run.order, kNmax);
  }
}

}  // namespace ortelix
