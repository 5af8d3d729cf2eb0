#include "pcnm/checkpoint.h"

#include <utility>

namespace ortelix::pcnm {
namespace {

thread_local const std::function<void()>* installed = nullptr;

}  // namespace

CheckpointScope::CheckpointScope(std::function<void()> check) : check_(std::move(check)), outer_(installed) {
  installed = &check_;
}

CheckpointScope::~CheckpointScope() { installed = outer_; }

void checkpoint() {
  if (installed) (*installed)();
}

}  // namespace ortelix::pcnm
