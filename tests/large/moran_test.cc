// Moran's I worked out by hand and from its eigenvalue, the files of
// variables written out by hand, and the way an output file appears.
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "e2e/run_binary.h"
#include "large/moran.h"
#include "large/output_file.h"
#include "large/prepared.h"
#include "large/site_sets.h"
#include "large/variable_writer.h"
#include "textio/record_sink.h"

namespace ortelix::large {
namespace {

TEST(Moran, WorkedOutByHand) {
  // Sites 0, 1, 2, 3 on a line, limit 1, far pairs at 4: the three
  // neighbouring pairs weigh 1 - (1/4)^2 = 15/16 each way, S0 = 90/16.
  const std::vector<double> line = {0, 1, 2, 3};
  NearPairs pairs;
  ASSERT_TRUE(find_near_pairs(Points{line.data(), 4, 1}, 1.0, 100, pairs));
  const std::vector<double> x = {1, 2, 3, 4, 1, -1, 1, -1, 1, 2, 4, 100};
  const MoranResult all = moran_index(pairs, 4.0, 4, x.data(), 4, 3);
  EXPECT_DOUBLE_EQ(90.0 / 16, all.weight_sum);
  EXPECT_DOUBLE_EQ(-1.0 / 3, all.expectation);
  // z = (-1.5, -0.5, 0.5, 1.5): sum w z z = 2 (15/16) 1.25, sum z^2 = 5.
  EXPECT_DOUBLE_EQ(1.0 / 3, all.index[0]);
  EXPECT_DOUBLE_EQ(-1.0, all.index[1]);  // alternating signs
  // Over the first three sites only, the fourth taking no part:
  // z = (-4/3, -1/3, 5/3), sum w z z = 2 (15/16)(4/9 - 5/9), S0 = 60/16.
  const MoranResult three = moran_index(pairs, 4.0, 3, x.data() + 8, 4, 1);
  EXPECT_DOUBLE_EQ(60.0 / 16, three.weight_sum);
  EXPECT_DOUBLE_EQ(-0.5, three.expectation);
  EXPECT_DOUBLE_EQ(-1.0 / 28, three.index[0]);
  // No pair kept: no weights, no index.
  NearPairs none;
  ASSERT_TRUE(find_near_pairs(Points{line.data(), 4, 1}, 0.5, 100, none));
  EXPECT_TRUE(std::isnan(moran_index(none, 2.0, 4, x.data(), 4, 1).index[0]));
}

// The weights are the near part of the Gower operator over 8t^2, so a
// centred unit eigenvector u of eigenvalue lambda has
//     u'Wu = lambda / 8t^2 - 1   and   I = (n / S0) (lambda / 8t^2 - 1).
TEST(Moran, OfAnEigenvectorFollowsFromItsEigenvalue) {
  const Prepared p = prepare(clustered_sites(6, 50, 30, 61));
  const DenseEigen e = dense_eigen(p);
  const double far = p.thresh * 4.0, eight_t2 = far * far / 2;
  const int k = 25;
  const MoranResult m = moran_index(p.pairs, far, p.n, e.vectors.data(), p.n, k);
  for (int j = 0; j < k; ++j) {
    const double closed = (p.n / m.weight_sum) * (e.values[j] / eight_t2 - 1);
    EXPECT_NEAR(closed, m.index[j], 1e-9 * std::fabs(closed) + 1e-12) << j + 1;
  }
}

std::vector<std::string> records(VariableFormat format, long n, const std::vector<double>& x,
                                 const std::vector<int>& axes) {
  textio::StringSink sink;
  write_variables(sink, format, n, x.data(), n, axes);
  return sink.records;
}

TEST(VariableFiles, EveryFormatByHand) {
  // Two sites, three variables (axes 1, 3, 7), column by column.
  const std::vector<double> x = {0.5, 3.25, -1.25, 1e-05, 2, -0.1};
  using V = std::vector<std::string>;
  EXPECT_EQ((V{"site,PCNM1,PCNM3,PCNM7", "1,0.5,-1.25,2", "2,3.25,1e-05,-0.1"}),
            records(VariableFormat::kCsv, 2, x, {1, 3, 7}));
  EXPECT_EQ((V{" 2 3", "   0.500000  -1.250000   2.000000", "   3.250000   0.000010  -0.100000"}),
            records(VariableFormat::kOneLine, 2, x, {1, 3, 7}));
  EXPECT_EQ((V{"File of PCNM variables", "FREE", " 3 2", "   0.500000  -1.250000   2.000000",
               "   3.250000   0.000010  -0.100000", "PCNM 1  PCNM 3  PCNM 7", "Site 1  Site 2"}),
            records(VariableFormat::kCanoco, 2, x, {1, 3, 7}));
  // Twelve variables: a line per site, or eleven and one; beyond 2000, still
  // one line.
  std::vector<double> wide(12, 1.0);
  std::vector<int> axes(12);
  for (int j = 0; j < 12; ++j) axes[j] = j + 1;
  const std::string eleven = [] {
    std::string s;
    for (int j = 0; j < 11; ++j) s += "   1.000000";
    return s;
  }();
  EXPECT_EQ((V{" 1 12", eleven + "   1.000000"}), records(VariableFormat::kOneLine, 1, wide, axes));
  EXPECT_EQ((V{" 1 12", eleven, "   1.000000"}), records(VariableFormat::kFolded, 1, wide, axes));
  std::vector<int> many(2500);
  for (int j = 0; j < 2500; ++j) many[j] = j + 1;
  const auto lines = records(VariableFormat::kOneLine, 1, std::vector<double>(2500, 0.25), many);
  ASSERT_EQ(2u, lines.size());
  EXPECT_EQ(2500u * 11, lines[1].size());
}

TEST(VariableFiles, CanocoLabelsStayEightCharactersAndDistinct) {
  const std::pair<long, const char*> cases[] = {
      {1, "(10('PCNM',I2,2X,:))"},     {99, "(10('PCNM',I2,2X,:))"},  {100, "(10('PCNM',I3,1X,:))"},
      {999, "(10('PCNM',I3,1X,:))"},   {1000, "(10('PCNM',I4,:))"},    {9999, "(10('PCNM',I4,:))"},
      {10000, "(10('PCN',I5,:))"},     {123456, "(10('PC',I6,:))"},    {1234567, "(10('P',I7,:))"},
      {12345678, "(10(I8,:))"},
  };
  for (const auto& [largest, format] : cases) EXPECT_EQ(format, canoco_label_format("PCNM", largest)) << largest;
  const auto lines = records(VariableFormat::kCanoco, 10001, std::vector<double>(10001, 0.0), {1});
  EXPECT_EQ("PCNM 1", lines[lines.size() - 1001 - 1]);
  EXPECT_EQ("Sit    1Sit    2Sit    3Sit    4Sit    5Sit    6Sit    7Sit    8Sit    9Sit   10",
            lines[lines.size() - 1001]);
  EXPECT_EQ("Sit10001", lines.back());
}

std::vector<std::string> entries(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& [name, content] : e2e::read_tree(dir)) names.push_back(name);
  return names;
}

TEST(OutputFiles, AppearWholeOrNotAtAll) {
  const e2e::TempDir dir;
  const std::string path = dir.path() + "/v.csv";
  {
    OutputFile f;
    ASSERT_EQ("", f.open(path));
    f.record("a,b");
    EXPECT_EQ(1u, entries(dir.path()).size());  // the temporary file, under another name
  }
  EXPECT_TRUE(entries(dir.path()).empty());  // never committed: gone
  {
    e2e::write_file(path, "old\n");
    OutputFile f;
    ASSERT_EQ("", f.open(path));
    f.record("a,b");
    f.append("1,2\n");
    ASSERT_EQ("", f.commit());
  }
  EXPECT_EQ(std::vector<std::string>{"v.csv"}, entries(dir.path()));
  EXPECT_EQ("a,b\n1,2\n", e2e::read_file(path));
  struct stat st;
  ASSERT_EQ(0, stat(path.c_str(), &st));
  const mode_t mask = umask(022);
  umask(mask);
  EXPECT_EQ(0666 & ~mask, st.st_mode & 0777);

  OutputFile missing, folder;
  EXPECT_EQ(dir.path() + "/no/v.csv: No such file or directory", missing.open(dir.path() + "/no/v.csv"));
  EXPECT_EQ(dir.path() + ": Is a directory", folder.open(dir.path()));

  // A write the system refuses (here a file-size limit) fails the commit
  // and leaves nothing; in a child, which may change its limits.
  const std::string big = dir.path() + "/big.csv";
  const pid_t child = fork();
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{4096, 4096};
    setrlimit(RLIMIT_FSIZE, &limit);
    bool as_expected = false;
    {
      OutputFile f;
      if (f.open(big) != "") _exit(2);
      for (int i = 0; i < 1000; ++i) f.record("0.123456789,0.987654321");
      as_expected = f.commit() == big + ": File too large";
    }
    _exit(as_expected ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(std::vector<std::string>{"v.csv"}, entries(dir.path()));
}

}  // namespace
}  // namespace ortelix::large
