// Any bytes as an XML configuration file: loaded both as a support-model list (its records
// and a model lookup) and as a model file (the twelve section parses, the item walks, the
// Enable tests). Every list must hold exactly Count entries, each an element.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/OrvModelConfig.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // No executable path: nothing is read from or written to the disk.
  static TOrvKtaConfig* list = new TOrvKtaConfig("");
  static TOrvModelConfig* config = new TOrvModelConfig(*list, L"", "");
  std::string_view bytes(reinterpret_cast<const char*>(data), size);

  if (list->LoadXmlBytes(bytes)) {
    list->ReadSupportModels();
    for (const auto& [name, model] : list->SupportModels)
      if (name != model.Name) std::abort();
    list->GetModelConf(L"GavreloDemo");
  }

  config->LoadXmlBytes(bytes);
  config->ParseSections();
  for (const TOrvModelConfig::TSection& section : TOrvModelConfig::kSections) {
    const TXmlItems& items = config->*section.List;
    if (items.Count != static_cast<int>(items.Items.size())) std::abort();
    for (const TOrvXmlItem& item : items.Items) {
      if (item.Element == nullptr) std::abort();
      item.GetBoolAttribute("Enable", false);
    }
  }
  return 0;
}
