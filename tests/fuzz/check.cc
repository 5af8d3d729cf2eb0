#include "fuzz/check.h"

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace ortelix::fuzz {
namespace {
bool g_throw = false;
}

void throw_on_failure(bool on) { g_throw = on; }

void fail(const std::string& what) {
  if (g_throw) throw std::runtime_error(what);
  std::fprintf(stderr, "invariant broken: %s\n", what.c_str());
  std::abort();
}

}  // namespace ortelix::fuzz
