#include "hwaccess/RwConfig.h"

#include "diag/ProcessState.h"

namespace {
TRwConfig* g_instance = nullptr;
}

TRwConfig& TRwConfig::Instance() {
  if (g_instance == nullptr) {
    g_instance = new TRwConfig();  // lives until the process ends
    gavrelo::RegisterProcessReset(&TRwConfig::ResetInstance);
  }
  return *g_instance;
}

void TRwConfig::ResetInstance() {
  delete g_instance;
  g_instance = nullptr;
}
