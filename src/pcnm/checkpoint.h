// Stopping the long kernels (the eigen-decomposition, the correlation
// check) between two of their steps. The dialogue program and the tools
// never do: a signal ends the process. A caller that cannot end the process
// (a module loaded into an interpreter) installs a check on its thread for
// as long as it runs a computation; the check throws to stop it, and the
// kernels leave through the exception, their memory and worker released.
// Nothing else changes: the kernels' arithmetic is the same with or
// without a check.
#pragma once

#include <functional>

namespace ortelix::pcnm {

// Runs `check` at every checkpoint() of the constructing thread until
// destroyed; scopes nest, the innermost one checking.
class CheckpointScope {
 public:
  explicit CheckpointScope(std::function<void()> check);
  ~CheckpointScope();
  CheckpointScope(const CheckpointScope&) = delete;
  CheckpointScope& operator=(const CheckpointScope&) = delete;

 private:
  std::function<void()> check_;
  const std::function<void()>* outer_;
};

// Between two steps of a long kernel, on the thread that called it (never
// in a worker's part): the installed check, if any.
void checkpoint();

}  // namespace ortelix::pcnm
