#include "diag/ProcessState.h"

#include <vector>

namespace gavrelo {
namespace {
std::vector<TResetFunction>& Registry() {
  static std::vector<TResetFunction>* registry = new std::vector<TResetFunction>();
  return *registry;
}
}  // namespace

void RegisterProcessReset(TResetFunction reset) { Registry().push_back(reset); }

void ResetProcessStateForTests() {
  auto& registry = Registry();
  // A reset may itself create or reset other singletons; take the list first.
  std::vector<TResetFunction> pending;
  pending.swap(registry);
  for (auto it = pending.rbegin(); it != pending.rend(); ++it) (*it)();
}

}  // namespace gavrelo
