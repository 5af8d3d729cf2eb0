// Outputs that appear whole or not at all: files, links, devices, names of
// every length, failures at every step, and the refusal of outputs that are
// one file. Devices are private nodes made in the test's own folder: a
// shared one (/dev/null, /dev/full) handed to a faulty writer would be
// replaced for the whole machine.
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/output_file.h"
#include "support/run_binary.h"

namespace ortelix::cli {
namespace {

std::vector<std::string> entries(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& [name, content] : e2e::read_tree(dir)) names.push_back(name);
  return names;
}

// A private character device: 1,3 reads nothing and takes everything; 1,7
// takes nothing (the disk is full). Empty when this process may not make
// one.
std::string device(const std::string& dir, const char* name, unsigned minor) {
  const std::string path = dir + "/" + name;
  if (mknod(path.c_str(), S_IFCHR | 0666, makedev(1, minor)) != 0) return "";
  return path;
}

bool is_char_device(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0 && S_ISCHR(st.st_mode);
}

TEST(OutputFile, AppearsWholeOrNotAtAll) {
  const e2e::TempDir dir;
  const std::string path = dir.path() + "/v.csv";
  {
    OutputFile f;
    ASSERT_TRUE(f.open(path).ok());
    f.record("a,b");
    EXPECT_EQ(1u, entries(dir.path()).size());  // the temporary file, under another name
  }
  EXPECT_TRUE(entries(dir.path()).empty());  // never committed: gone
  e2e::write_file(path, "old\n");
  chmod(path.c_str(), 0640);
  {
    OutputFile f;
    ASSERT_TRUE(f.open(path).ok());
    f.record("a,b");
    f.append("1,2\n");
    EXPECT_EQ("old\n", e2e::read_file(path));
    ASSERT_TRUE(commit_all({&f}).ok());
  }
  EXPECT_EQ(std::vector<std::string>{"v.csv"}, entries(dir.path()));
  EXPECT_EQ("a,b\n1,2\n", e2e::read_file(path));
  struct stat st {};
  ASSERT_EQ(0, stat(path.c_str(), &st));
  EXPECT_EQ(0640u, st.st_mode & 0777);  // a file replaced keeps its permissions

  OutputFile missing, folder, slash;
  EXPECT_EQ(dir.path() + "/no/v.csv: No such file or directory", missing.open(dir.path() + "/no/v.csv").error());
  EXPECT_EQ(dir.path() + ": Is a directory", folder.open(dir.path()).error());
  EXPECT_EQ(dir.path() + "/: not a file name", slash.open(dir.path() + "/").error());
}

// A link stays a link: the file it leads to is the one replaced, and one
// that leads nowhere yet is created where it leads.
TEST(OutputFile, LinksAreFollowed) {
  const e2e::TempDir dir;
  const std::string target = dir.path() + "/data/v.csv", link = dir.path() + "/v.csv";
  mkdir((dir.path() + "/data").c_str(), 0777);
  e2e::write_file(target, "old\n");
  ASSERT_EQ(0, symlink("data/v.csv", link.c_str()));
  const std::string dangling = dir.path() + "/w.csv";
  ASSERT_EQ(0, symlink("data/w.csv", dangling.c_str()));
  {
    OutputFile f, g;
    ASSERT_TRUE(f.open(link).ok());
    ASSERT_TRUE(g.open(dangling).ok());
    f.record("new");
    g.record("made");
    ASSERT_TRUE(commit_all({&f, &g}).ok());
  }
  struct stat st {};
  ASSERT_EQ(0, lstat(link.c_str(), &st));
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ("new\n", e2e::read_file(target));
  ASSERT_EQ(0, lstat(dangling.c_str(), &st));
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ("made\n", e2e::read_file(dir.path() + "/data/w.csv"));
}

// A device is written into, never replaced; and a device that takes
// nothing fails the commit before any file of the run is renamed.
TEST(OutputFile, DevicesAreWrittenIntoAndAFullOneChangesNoFile) {
  const e2e::TempDir dir;
  const std::string null = device(dir.path(), "null", 3), full = device(dir.path(), "full", 7);
  if (null.empty() || full.empty()) GTEST_SKIP() << "this process may not make device nodes";
  const std::string file = dir.path() + "/v.csv";
  e2e::write_file(file, "old\n");
  {
    OutputFile a, b;
    ASSERT_TRUE(a.open(null).ok());
    ASSERT_TRUE(b.open(file).ok());
    a.record("discarded");
    b.record("new");
    ASSERT_TRUE(commit_all({&b, &a}).ok());
  }
  EXPECT_TRUE(is_char_device(null));
  EXPECT_EQ("new\n", e2e::read_file(file));
  {
    OutputFile a, b;
    ASSERT_TRUE(a.open(file).ok());
    ASSERT_TRUE(b.open(full).ok());
    a.record("newer");
    b.record("lost");
    const Status s = commit_all({&a, &b});
    ASSERT_FALSE(s.ok());
    EXPECT_EQ(full + ": No space left on device", s.error());
  }
  EXPECT_TRUE(is_char_device(full));
  EXPECT_EQ("new\n", e2e::read_file(file));  // the run failed: nothing changed
  EXPECT_EQ((std::vector<std::string>{"v.csv"}), entries(dir.path()));  // no temporary left
}

// The temporary name fits wherever the final one does, up to the longest
// name the folder takes.
TEST(OutputFile, NamesOfEveryLength) {
  const e2e::TempDir dir;
  for (std::size_t length : {1u, 200u, 247u, 248u, 254u, 255u}) {
    const std::string path = dir.path() + "/" + std::string(length, 'n');
    OutputFile f;
    ASSERT_TRUE(f.open(path).ok()) << length;
    f.record("x");
    ASSERT_TRUE(commit_all({&f}).ok()) << length;
    EXPECT_EQ("x\n", e2e::read_file(path)) << length;
  }
  OutputFile too_long;
  EXPECT_FALSE(too_long.open(dir.path() + "/" + std::string(256, 'n')).ok());
}

// A write the system refuses (a file-size limit) fails the commit and
// leaves the earlier file as it was; in a child, which may change its
// limits.
TEST(OutputFile, AFailedWriteLeavesTheOldFile) {
  const e2e::TempDir dir;
  const std::string big = dir.path() + "/big.csv";
  e2e::write_file(big, "old\n");
  const pid_t child = fork();
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{4096, 4096};
    setrlimit(RLIMIT_FSIZE, &limit);
    bool as_expected = false;
    {
      OutputFile f;
      if (!f.open(big).ok()) _exit(2);
      for (int i = 0; i < 1000; ++i) f.record("0.123456789,0.987654321");
      const Status s = commit_all({&f});
      as_expected = !s.ok() && s.error() == big + ": File too large";
    }
    _exit(as_expected ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ("old\n", e2e::read_file(big));
  EXPECT_EQ(std::vector<std::string>{"big.csv"}, entries(dir.path()));
}

// Every signal that ends a process removes the temporary files first.
TEST(OutputFile, EndingSignalsLeaveNoTemporaryFile) {
  for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGALRM, SIGUSR1}) {
    const e2e::TempDir dir;
    int ready[2];
    ASSERT_EQ(0, pipe(ready));
    const pid_t child = fork();
    if (child == 0) {
      remove_temporaries_on_signals();
      OutputFile f;
      if (!f.open(dir.path() + "/v.csv").ok()) _exit(2);
      f.record("x");
      if (write(ready[1], "r", 1) != 1) _exit(3);
      for (;;) pause();
    }
    char c;
    ASSERT_EQ(1, read(ready[0], &c, 1));
    EXPECT_EQ(1u, entries(dir.path()).size());
    kill(child, sig);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << sig << " " << status;
    EXPECT_TRUE(entries(dir.path()).empty()) << sig;
    close(ready[0]);
    close(ready[1]);
  }
}

TEST(CheckDistinct, OutputsThatAreOneFileOrAnInput) {
  const e2e::TempDir dir;
  const std::string d = dir.path();
  e2e::write_file(d + "/sites.txt", "1 1 0\n1\n");
  e2e::write_file(d + "/o.csv", "");
  ASSERT_EQ(0, symlink("o.csv", (d + "/link.csv").c_str()));
  ASSERT_EQ(0, link((d + "/o.csv").c_str(), (d + "/hard.csv").c_str()));
  mkdir((d + "/sub").c_str(), 0777);
  const std::string null = device(d, "null", 3);
  const std::vector<NamedFile> in{{"SITES", d + "/sites.txt"}};
  const struct Case {
    std::vector<NamedFile> outputs;
    std::string refusal;  // empty: accepted
  } cases[] = {
      {{{"-o", d + "/o.csv"}, {"--report", d + "/r.txt"}}, ""},
      {{{"-o", d + "/o.csv"}, {"--report", d + "/./o.csv"}}, "-o and --report name the same file (" + d + "/./o.csv)"},
      {{{"-o", d + "/new.csv"}, {"--report", d + "/sub/../new.csv"}}, "-o and --report name the same file (" + d +
                                                                          "/sub/../new.csv)"},
      {{{"-o", d + "/link.csv"}, {"--report", d + "/o.csv"}}, "-o and --report name the same file (" + d + "/o.csv)"},
      {{{"-o", d + "/hard.csv"}, {"--report", d + "/o.csv"}}, "-o and --report name the same file (" + d + "/o.csv)"},
      {{{"-o", "-"}, {"--report", "-"}}, "-o and --report name the same file (standard output)"},
      {{{"-o", d + "/sub/../sites.txt"}}, "-o " + d + "/sub/../sites.txt is the input SITES (" + d + "/sites.txt)"},
  };
  for (const Case& c : cases) {
    const Status s = check_distinct(in, c.outputs);
    if (c.refusal.empty()) {
      EXPECT_TRUE(s.ok()) << s.error();
    } else {
      ASSERT_FALSE(s.ok()) << c.refusal;
      EXPECT_TRUE(s.error().starts_with(c.refusal)) << s.error();
    }
  }
  // A device is a stream, not a file: two outputs may both discard.
  if (!null.empty()) {
    EXPECT_TRUE(check_distinct(in, {{"-o", null}, {"--report", null}}).ok());
  }
}

}  // namespace
}  // namespace ortelix::cli
