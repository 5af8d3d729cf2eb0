#include "cli/program.h"

#include <cstdio>
#include <new>
#include <stdexcept>
#include <string>

#include "cli/output_file.h"

namespace ortelix::cli {

int Program::usage_error(const std::string& message) const {
  std::fprintf(stderr, "%s: %s (see %s --help)\n", name_.c_str(), message.c_str(), name_.c_str());
  return kExitUsage;
}

int Program::data_error(const std::string& message) const {
  std::fprintf(stderr, "%s: %s\n", name_.c_str(), message.c_str());
  return kExitData;
}

int Program::print(const std::string& text) const {
  std::fputs(text.c_str(), stdout);
  return done();
}

int Program::done() const {
  if (Status s = finish_standard_output(); !s.ok()) return data_error(s.error());
  return kExitOk;
}

int Program::run(int argc, char** argv, int (*body)(const Program&, const std::vector<std::string>&)) const {
  remove_temporaries_on_signals();
  try {
    return body(*this, arguments(argc, argv));
  } catch (const std::bad_alloc&) {
    return data_error("out of memory");
  } catch (const std::length_error&) {
    // A container asked for more than it can hold: memory, in all but name.
    return data_error("out of memory");
  } catch (const std::exception& e) {
    return data_error(std::string("internal error: ") + e.what());
  }
}

}  // namespace ortelix::cli
