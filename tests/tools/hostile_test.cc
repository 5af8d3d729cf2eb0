// The tools as a careless or hostile user runs them: outputs that are
// devices, links, each other or an input; full disks and file-size limits;
// memory that runs out; numbers past the largest double; standard input and
// output. Each case names the fault it pins. Devices are private nodes made
// in the case's own folder, never the machine's: as root, a faulty program
// handed /dev/null would replace it for everyone.
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/run_binary.h"

namespace ortelix::tools {
namespace {

struct Case {
  const char* name;
  const char* binary;
  std::vector<std::string> args;
  std::map<std::string, std::string> files;  // made before the run
  std::map<std::string, unsigned> devices;   // name: minor of a memory device (3 null, 7 full)
  std::map<std::string, std::string> links;  // name: where it leads
  e2e::ProgramOptions options;               // stdout_path relative to the folder
  int status;
  std::string err;
  std::string out = "\x01";  // "\x01": not checked
  // Afterwards: each file's content, "<device>" for a device still there,
  // "<link>" for a link still there, "<none>" for nothing there, "<csv>" for
  // a CSV file of PCNM variables.
  std::map<std::string, std::string> after = {};
  bool needs_devices = false;
  bool needs_address_limit = false;  // sanitizers reserve more address space than any limit allows
};

std::string kind_of(const std::string& path) {
  struct stat st {};
  if (lstat(path.c_str(), &st) != 0) return "<none>";
  if (S_ISCHR(st.st_mode)) return "<device>";
  if (S_ISLNK(st.st_mode)) return "<link>";
  return e2e::read_file(path);
}

constexpr bool kSanitized =
#if defined(__SANITIZE_ADDRESS__)
    true;
#else
    false;
#endif

const std::string kSites = "4 2 0\n0 0\n3 0\n0 4\n0 10\n";
const std::string kTransect20Vars = [] {
  std::string s = " 20 3\n";
  for (int i = 0; i < 20; ++i) s += "   0.100000  -0.200000   0.300000\n";
  return s;
}();
const std::string kLongName(254, 'n');

TEST(Hostile, EveryFaultAUserMeets) {
  const Case cases[] = {
      {"an output that is a device is written into, not replaced", PCNM_BINARY,
       {"--transect", "10", "--limit", "1", "-o", "fakenull"}, {}, {{"fakenull", 3}}, {}, {}, 0, "",
       "Sites:             10\nTruncation limit:  1\nPairs kept:        9\nPCNM variables:    6 written to fakenull\n",
       {{"fakenull", "<device>"}}, true},
      {"an output that is a link: the link stays, the file it leads to is written", PCNM_BINARY,
       {"sites.txt", "--limit", "6", "-o", "link.csv", "-q"}, {{"sites.txt", kSites}, {"data.csv", "old\n"}}, {},
       {{"link.csv", "data.csv"}}, {}, 0, "", "", {{"link.csv", "<link>"}}},
      {"two outputs that are one file", PCNM_BINARY, {"sites.txt", "--limit", "mst", "-o", "o.csv", "--report", "./o.csv"},
       {{"sites.txt", kSites}}, {}, {}, {}, 2,
       "ortelix-pcnm: -o and --report name the same file (./o.csv): give each output a file of its own (see "
       "ortelix-pcnm --help)\n", "", {{"o.csv", "<none>"}}},
      {"an output that is the input", PCNM_BINARY, {"sites.txt", "--limit", "mst", "-o", "sites.txt"},
       {{"sites.txt", kSites}}, {}, {}, {}, 2,
       "ortelix-pcnm: -o sites.txt is the input SITES (sites.txt): writing it would destroy the data it is made "
       "from (see ortelix-pcnm --help)\n", "", {{"sites.txt", kSites}}},
      {"a map past a file-size limit keeps the previous map", MAP_BINARY,
       {"var.txt", "--transect", "20", "-o", "map.svg"}, {{"var.txt", kTransect20Vars}, {"map.svg", "good map\n"}}, {},
       {}, {"", "", 4096, -1}, 1, "ortelix-map: map.svg: File too large\n", "", {{"map.svg", "good map\n"}}},
      {"a map to a full device", MAP_BINARY, {"var.txt", "--transect", "20", "-o", "full"},
       {{"var.txt", kTransect20Vars}}, {{"full", 7}}, {}, {}, 1, "ortelix-map: full: No space left on device\n", "",
       {{"full", "<device>"}}, true},
      {"memory that runs out in a worker thread", PCNM_BINARY,
       {"--grid", "200", "100", "--limit", "1e300", "--count", "5", "-o", "o.csv", "--report", "r.txt"}, {}, {}, {},
       {"", "", -1, 400L << 20}, 1, "ortelix-pcnm: out of memory\n", "", {{"o.csv", "<none>"}, {"r.txt", "<none>"}},
       false, true},
      {"a report on a full disk: the variables are not replaced either", PCNM_BINARY,
       {"sites.txt", "--limit", "6", "-o", "o.csv", "--report", "full"}, {{"sites.txt", kSites}, {"o.csv", "old\n"}},
       {{"full", 7}}, {}, {}, 1, "ortelix-pcnm: full: No space left on device\n", "",
       {{"o.csv", "old\n"}, {"full", "<device>"}}, true},
      {"a map of positions past the largest double", MAP_BINARY, {"var.txt", "far.txt", "-o", "m.svg"},
       {{"var.txt", " 2 1\n   1.000000\n  -1.000000\n"}, {"far.txt", "2 2 0\n-1e308 0\n1e308 1\n"}}, {}, {}, {}, 1,
       "ortelix-map: far.txt: the coordinates span a range beyond the largest double: no map can be drawn\n", "",
       {{"m.svg", "<none>"}}},
      {"a map of a value past the largest double", MAP_BINARY, {"var.txt", "--transect", "2", "-o", "m.svg"},
       {{"var.txt", " 2 1\n1\n1e400\n"}}, {}, {}, {}, 1,
       "ortelix-map: var.txt:3: object 2, variable 1 is not a finite number\n", "", {{"m.svg", "<none>"}}},
      {"a limit for distances past the largest double", THRESHOLD_BINARY, {"-q", "far.txt"},
       {{"far.txt", "2 2 0\n-1e308 0\n1e308 1\n"}}, {}, {}, {}, 1,
       "ortelix-threshold: far.txt: the distances between the sites pass the largest double: no limit can be "
       "computed\n", ""},
      {"a limit for sites at one position", THRESHOLD_BINARY, {"-q", "one.txt"}, {{"one.txt", "3 2 0\n1 1\n1 1\n1 1\n"}},
       {}, {}, {}, 1,
       "ortelix-threshold: one.txt: all the sites have the same coordinates: no spatial variables can be built\n", ""},
      {"standard output on a full disk", THRESHOLD_BINARY, {"-q", "sites.txt"}, {{"sites.txt", kSites}},
       {{"full", 7}}, {}, {"", "full", -1, -1}, 1, "ortelix-threshold: standard output: No space left on device\n",
       "\x01", {}, true},
      {"help on a full disk", PCNM_BINARY, {"--help"}, {}, {{"full", 7}}, {}, {"", "full", -1, -1}, 1,
       "ortelix-pcnm: standard output: No space left on device\n", "\x01", {}, true},
      {"a limit below every distance with --count", PCNM_BINARY,
       {"--transect", "100", "--limit", "0.5", "--count", "5", "-o", "o.csv"}, {}, {}, {}, {}, 1,
       "ortelix-pcnm: --transect 100: the limit yields 99 PCNM variables for 100 sites, as many as they allow: any "
       "regression on them fits perfectly (R-square = 1); a higher limit gives fewer\n", "", {{"o.csv", "<none>"}}},
      {"the same with the dense solver", PCNM_BINARY,
       {"--transect", "100", "--limit", "0.5", "--count", "5", "--solver", "dense", "-o", "o.csv"}, {}, {}, {}, {}, 1,
       "ortelix-pcnm: --transect 100: the limit yields 99 PCNM variables for 100 sites, as many as they allow: any "
       "regression on them fits perfectly (R-square = 1); a higher limit gives fewer\n", "", {{"o.csv", "<none>"}}},
      {"two sites, which no limit can help", PCNM_BINARY, {"two.txt", "--limit", "5", "-o", "o.csv"},
       {{"two.txt", "2 1 0\n0\n1\n"}}, {}, {}, {}, 1,
       "ortelix-pcnm: two.txt: two sites give one PCNM variable whatever the limit, and any regression on it fits "
       "perfectly (R-square = 1): PCNM variables need at least three sites\n", ""},
      {"an output name of 254 bytes", PCNM_BINARY, {"sites.txt", "--limit", "6", "-o", kLongName, "-q"},
       {{"sites.txt", kSites}}, {}, {}, {}, 0, "", ""},
      {"a list of positions with three columns", PCNM_BINARY, {"xyz.txt", "--limit", "1", "-o", "o.csv"},
       {{"xyz.txt", "0 0 0\n1 0 0\n0 1 0\n"}}, {}, {}, {}, 1,
       "ortelix-pcnm: xyz.txt: neither a coordinate file (header n p nsup, then the sites) nor a list of X Y "
       "positions (two values a line): every line holds 3 values\n", ""},
      {"sites from standard input", THRESHOLD_BINARY, {"-q", "-"}, {}, {}, {}, {kSites, "", -1, -1}, 0, "", "6\n", {}},
  };
  for (const Case& c : cases) {
    if (c.needs_address_limit && kSanitized) continue;
    const e2e::TempDir dir;
    bool devices = true;
    for (const auto& [name, content] : c.files) e2e::write_file(dir.path() + "/" + name, content);
    for (const auto& [name, minor] : c.devices) {
      devices = devices && mknod((dir.path() + "/" + name).c_str(), S_IFCHR | 0666, makedev(1, minor)) == 0;
    }
    if (c.needs_devices && !devices) continue;  // this process may not make device nodes
    for (const auto& [name, target] : c.links) ASSERT_EQ(0, symlink(target.c_str(), (dir.path() + "/" + name).c_str()));
    e2e::ProgramOptions options = c.options;
    if (!options.stdout_path.empty()) options.stdout_path = dir.path() + "/" + options.stdout_path;
    const e2e::ProgramRun r = e2e::run_program(c.binary, c.args, dir.path(), options);
    EXPECT_EQ(c.status, r.status) << c.name << "\n" << r.err;
    EXPECT_EQ(c.err, r.err) << c.name;
    if (c.out != "\x01") {
      EXPECT_EQ(c.out, r.out) << c.name;
    }
    for (const auto& [name, want] : c.after) {
      const std::string got = kind_of(dir.path() + "/" + name);
      if (want == "<csv>") {
        EXPECT_TRUE(got.starts_with("site,PCNM1")) << c.name << ": " << name << ": " << got;
      } else {
        EXPECT_EQ(want, got) << c.name << ": " << name;
      }
    }
    // Nothing but what the case made and what a success writes: never a
    // temporary file.
    for (const auto& [name, content] : e2e::read_tree(dir.path())) {
      EXPECT_NE('.', name[0]) << c.name << ": " << name << " left behind";
    }
  }
}

// What the programs write, they write the same to standard output, and what
// one writes the next reads: ortelix-pcnm's CSV, as it is, maps with its
// column names.
TEST(Hostile, StandardOutputAndTheProgramsTogether) {
  const e2e::TempDir dir;
  const std::vector<std::string> args{"--transect", "12", "--limit", "1"};
  auto with = [&](std::vector<std::string> more) {
    std::vector<std::string> all = args;
    all.insert(all.end(), more.begin(), more.end());
    return all;
  };
  const e2e::ProgramRun file = e2e::run_program(PCNM_BINARY, with({"-o", "v.csv", "-q"}), dir.path());
  ASSERT_EQ(0, file.status) << file.err;
  const e2e::ProgramRun out = e2e::run_program(PCNM_BINARY, with({"-o", "-"}), dir.path());
  ASSERT_EQ(0, out.status) << out.err;
  EXPECT_EQ(e2e::read_file(dir.path() + "/v.csv"), out.out);  // and no summary among the values
  const e2e::ProgramRun map = e2e::run_program(MAP_BINARY, {"v.csv", "--transect", "12", "-o", "-"}, dir.path());
  ASSERT_EQ(0, map.status) << map.err;
  EXPECT_NE(std::string::npos, map.out.find(">PCNM1<"));
  const e2e::ProgramRun piped =
      e2e::run_program(MAP_BINARY, {"-", "--transect", "12", "-o", "m.svg"}, dir.path(), {out.out, "", -1, -1});
  ASSERT_EQ(0, piped.status) << piped.err;
  const std::string from_file = e2e::read_file(dir.path() + "/m.svg");
  const std::string legend = "<g class=\"legend\">";
  ASSERT_NE(std::string::npos, map.out.find(legend));
  EXPECT_EQ(map.out.substr(map.out.find(legend)), from_file.substr(from_file.find(legend)));
}

}  // namespace
}  // namespace ortelix::tools
