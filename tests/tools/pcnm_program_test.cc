// ortelix-pcnm as a user runs it, against a run of the dialogue program on
// the same sites: the same variables up to their signs, the same
// eigenvalues, the same correlation check; and what an interrupt leaves.
#include <dirent.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "large/site_sets.h"
#include "support/run_binary.h"

namespace ortelix::large {
namespace {

std::string coordinate_file(const sites::Sites& s) {
  std::string text = std::to_string(s.n) + " " + std::to_string(s.p) + " " + std::to_string(s.nsup) + "\n";
  char buf[64];
  for (long i = 0; i < s.total(); ++i) {
    for (int k = 0; k < s.p; ++k) {
      std::snprintf(buf, sizeof buf, k ? " %.17g" : "%.17g", s.at(i, k));
      text += buf;
    }
    text += "\n";
  }
  return text;
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

// A file of variables split into its values (site by site) and every
// other line: the counts, the title, the labels.
struct Table {
  long n = 0, nvar = 0;
  std::vector<double> values;  // site i, variable j at i * nvar + j
  std::vector<std::string> others;
};

Table table_of(const std::string& text, const std::string& layout) {
  const std::vector<std::string> lines = lines_of(text);
  Table t;
  std::size_t at = layout == "3" ? 2 : 0;
  for (std::size_t i = 0; i < at; ++i) t.others.push_back(lines[i]);
  std::istringstream counts(lines.at(at));
  t.others.push_back(lines[at++]);
  if (layout == "3") counts >> t.nvar >> t.n;
  else counts >> t.n >> t.nvar;
  const long per_line = layout == "1" ? std::max(1L, t.nvar) : 11;
  for (long i = 0; i < t.n; ++i) {
    for (long j = 0; j < t.nvar; ++j) {
      const std::string& line = lines.at(at + static_cast<std::size_t>(j / per_line));
      t.values.push_back(std::stod(line.substr(static_cast<std::size_t>(j % per_line) * 11, 11)));
    }
    at += static_cast<std::size_t>((std::max(1L, t.nvar) + per_line - 1) / per_line);
  }
  for (; at < lines.size(); ++at) t.others.push_back(lines[at]);
  return t;
}

// Every column of `got` is the same column of `want`, or its negation,
// within `tolerance`; the other lines are the same.
void expect_same_up_to_sign(const Table& want, const Table& got, double tolerance, long columns,
                            const std::string& what) {
  ASSERT_EQ(want.n, got.n) << what;
  for (long j = 0; j < columns; ++j) {
    long largest = 0;  // the sign from the value least disturbed by rounding
    for (long i = 1; i < want.n; ++i) {
      if (std::fabs(want.values[i * want.nvar + j]) > std::fabs(want.values[largest * want.nvar + j])) largest = i;
    }
    const double sign = (want.values[largest * want.nvar + j] > 0) == (got.values[largest * got.nvar + j] > 0) ? 1 : -1;
    for (long i = 0; i < want.n; ++i) {
      ASSERT_NEAR(want.values[i * want.nvar + j], sign * got.values[i * got.nvar + j], tolerance)
          << what << ": site " << i + 1 << ", variable " << j + 1;
    }
  }
}

// The eigenvalues of the last block of the dialogue program's report, as
// printed (F12.6).
std::vector<double> dialogue_eigenvalues(const std::string& report) {
  const std::vector<std::string> lines = lines_of(report);
  std::size_t at = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i] == " Eigenvalues of the PCoA:") at = i + 2;
  }
  std::vector<double> out;
  for (; at < lines.size() && !lines[at].empty(); ++at) {
    for (std::size_t k = 1; k + 12 <= lines[at].size(); k += 12) out.push_back(std::stod(lines[at].substr(k, 12)));
  }
  return out;
}

// The eigenvalue table of ortelix-pcnm's report, every digit.
std::vector<double> report_eigenvalues(const std::string& report) {
  std::vector<double> out;
  bool table = false;
  for (const std::string& line : lines_of(report)) {
    if (table) {
      std::istringstream fields(line);
      long axis;
      std::string value;
      fields >> axis >> value;
      out.push_back(std::stod(value));
    }
    table = table || line == "axis eigenvalue moran_i written";
  }
  return out;
}

std::string report_value(const std::string& report, const std::string& label) {
  for (const std::string& line : lines_of(report)) {
    if (line.starts_with(label)) {
      std::istringstream fields(line.substr(label.size()));
      std::string value;
      fields >> value;
      return value;
    }
  }
  return "";
}

struct Ours {
  e2e::ProgramRun run;
  std::string variables, report;
};

Ours run_pcnm(const std::string& sites_text, std::vector<std::string> args) {
  const e2e::TempDir dir;
  if (!sites_text.empty()) e2e::write_file(dir.path() + "/sites.txt", sites_text);
  for (const char* a : {"-o", "v.txt", "--report", "r.txt", "-q"}) args.push_back(a);
  Ours o;
  o.run = e2e::run_program(PCNM_BINARY, args, dir.path());
  o.variables = e2e::read_file(dir.path() + "/v.txt");
  o.report = e2e::read_file(dir.path() + "/r.txt");
  return o;
}

TEST(AgainstTheDialogueProgram, SameVariablesEigenvaluesAndCorrelations) {
  const struct Case {
    const char* name;
    sites::Sites sites;
  } cases[] = {
      {"plots in clusters, with supplementary sites", clustered_sites(6, 40, 30, 71, 3)},
      {"along a river", river_sites(300, 72)},
      {"spread evenly", uniform_sites(400, 900, 500, 73)},
  };
  for (const Case& c : cases) {
    const std::string text = coordinate_file(c.sites);
    // The limit a user would take: the one ortelix-threshold prints.
    const e2e::TempDir dir;
    e2e::write_file(dir.path() + "/sites.txt", text);
    const e2e::ProgramRun threshold = e2e::run_program(THRESHOLD_BINARY, {"-q", "sites.txt"}, dir.path());
    ASSERT_EQ(0, threshold.status) << threshold.err;
    const std::string limit = threshold.out.substr(0, threshold.out.size() - 1);
    for (const std::string layout : {"1", "2", "3"}) {
      const std::string what = std::string(c.name) + ", layout " + layout;
      e2e::RunOptions options;
      options.input_files["sites.txt"] = text;
      const e2e::RunResult dialogue =
          e2e::run_fresh("rep.txt\nvar.txt\n" + layout + "\n3\nsites.txt\n1\n" + limit + "\n", options);
      ASSERT_EQ("exit 0", dialogue.status) << what << dialogue.stdout_text;
      const Ours ours = run_pcnm(text, {"sites.txt", "--limit", limit, "--format", layout});
      ASSERT_EQ(0, ours.run.status) << what << ours.run.err;
      const Table want = table_of(dialogue.files.at("var.txt"), layout), got = table_of(ours.variables, layout);
      EXPECT_EQ(want.nvar, got.nvar) << what;
      EXPECT_EQ(want.others, got.others) << what;
      expect_same_up_to_sign(want, got, 0, want.nvar, what);

      const std::vector<double> printed = dialogue_eigenvalues(dialogue.files.at("rep.txt"));
      const std::vector<double> exact = report_eigenvalues(ours.report);
      ASSERT_EQ(printed.size(), exact.size()) << what;
      for (std::size_t j = 0; j < exact.size(); ++j) EXPECT_NEAR(printed[j], exact[j], 5.000001e-7) << what << j;
      if (c.sites.nsup > 0) {
        const std::string screen = " The largest (absolute) correlation value is";
        const std::size_t at = dialogue.stdout_text.find(screen);
        ASSERT_NE(std::string::npos, at) << what;
        char ours_rounded[16];
        std::snprintf(ours_rounded, sizeof ours_rounded, "%7.4f",
                      std::stod(report_value(ours.report, "Largest absolute correlation:")));
        EXPECT_EQ(dialogue.stdout_text.substr(at + screen.size(), 7), ours_rounded) << what;
      }
      if (layout != "1") continue;
      // The Krylov solver's leading variables: the same to the last printed
      // digit, give or take the rounding of that digit.
      const Ours krylov = run_pcnm(text, {"sites.txt", "--limit", limit, "--format", "1", "--count", "8",
                                          "--solver", "krylov"});
      ASSERT_EQ(0, krylov.run.status) << what << krylov.run.err;
      const Table leading = table_of(krylov.variables, "1");
      EXPECT_EQ(8, leading.nvar) << what;
      expect_same_up_to_sign(want, leading, 1.0000001e-6, 8, what + ", Krylov");
      const std::vector<double> eight = report_eigenvalues(krylov.report);
      for (std::size_t j = 0; j < 8; ++j) EXPECT_NEAR(exact[j], eight[j], 1e-9 * exact[j]) << what << j;
    }
  }
}

TEST(AgainstTheDialogueProgram, GridDesign) {
  e2e::RunOptions none;
  const e2e::RunResult dialogue = e2e::run_fresh("rep.txt\nvar.txt\n1\n2\n20 15\n0\n1\n1\n", none);
  ASSERT_EQ("exit 0", dialogue.status);
  const Ours ours = run_pcnm("", {"--grid", "20", "15", "--limit", "1", "--format", "1"});
  ASSERT_EQ(0, ours.run.status) << ours.run.err;
  const Table want = table_of(dialogue.files.at("var.txt"), "1"), got = table_of(ours.variables, "1");
  EXPECT_EQ(want.others, got.others);
  expect_same_up_to_sign(want, got, 0, want.nvar, "grid");
}

std::vector<std::string> folder(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d)) {
      if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.push_back(e->d_name);
    }
    closedir(d);
  }
  return names;
}

// Every signal that ends a process, sent in the middle of a run, leaves
// the folder as it was: no output, no temporary file.
TEST(Interrupt, LeavesNeitherTheFilesNorTheirTemporaries) {
  const std::string sites = coordinate_file(uniform_sites(3000, 1000, 1000, 81));
  for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE}) {
    const e2e::TempDir dir;
    e2e::write_file(dir.path() + "/sites.txt", sites);
    const pid_t child = fork();
    if (child == 0) {
      if (chdir(dir.path().c_str()) != 0) _exit(127);
      execl(PCNM_BINARY, PCNM_BINARY, "sites.txt", "--limit", "mst", "-o", "v.csv", "--report", "r.txt", "-q",
            static_cast<char*>(nullptr));
      _exit(127);
    }
    // Once both temporary files exist the run is under way.
    for (int wait = 0; wait < 2000 && folder(dir.path()).size() < 3; ++wait) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(3u, folder(dir.path()).size()) << sig;
    kill(child, sig);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << sig << " " << status;
    EXPECT_EQ(sig, WTERMSIG(status));
    EXPECT_EQ(std::vector<std::string>{"sites.txt"}, folder(dir.path())) << sig;
  }
}

}  // namespace
}  // namespace ortelix::large
