// Runs a piece of the program in a forked child, in a fresh temporary
// folder, with the text layer started and standard output going to the file
// "stdout"; the child ends through the normal stop, which flushes every
// unit. The parent gets back the files the child left.
#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "textio/units.h"

namespace ortelix::testing_support {

struct ChildResult {
  int exit_status = -1;  // -1: did not exit normally
  std::map<std::string, std::string> files;
};

template <typename Body>
ChildResult in_child(Body body) {
  namespace fs = std::filesystem;
  std::string templ = (fs::temp_directory_path() / "ortelix-unit-XXXXXX").string();
  if (mkdtemp(templ.data()) == nullptr) std::abort();
  const fs::path dir = templ;
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(dir.c_str()) != 0) _exit(127);
    const int fd = open("stdout", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || dup2(fd, STDOUT_FILENO) < 0) _exit(127);
    close(fd);
    textio::start_units();
    body();
    textio::stop();
  }
  ChildResult result;
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFEXITED(status)) result.exit_status = WEXITSTATUS(status);
  for (const auto& entry : fs::directory_iterator(dir)) {
    std::ifstream in(entry.path(), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    result.files[entry.path().filename().string()] = s.str();
  }
  fs::remove_all(dir);
  return result;
}

}  // namespace ortelix::testing_support
