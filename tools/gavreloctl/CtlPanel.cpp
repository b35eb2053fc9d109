// gavreloctl panel: the main form's manual GPIO panel, which the start-up flow never shows.
//   panel [--type SIO_GPIO|ICH_GPIO|SKLPCH_GPIO] [--force] apply PIN=INDEX...
//   panel [--type ...] [--force] refresh [--json] PIN...
// fills the panel with the pins (in the owner's naming: GPIO12, GPIO40, GPIOB12), selects
// each setting group's item (apply: -1 none, 0 low, 1 high, 2 input) and runs the Apply or
// Refresh handler, then (refresh) prints each pin's state group selection. Without --type the
// owner kind is the TYPE of the board model's section in Gavrelo.INI beside gavreloctl.

#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/Application.h"
#include "app/MainForm.h"
#include "app/StartupServices.h"
#include "host/Console.h"
#include "tools/gavreloctl/CtlChipset.h"
#include "tools/gavreloctl/CtlCommand.h"
#include "tools/gavreloctl/CtlSioReport.h"
#include "sio/SioBuilder.h"

namespace {

struct TPanelOptions {
  std::string Type;
  bool Force = false;
  bool Json = false;
  std::vector<std::string> Pins;
};

bool KnownType(const std::wstring& type) {
  return type == L"SIO_GPIO" || type == L"ICH_GPIO" || type == L"SKLPCH_GPIO";
}

// The class serving the Super I/O chip at 0x2E when that object has no pin map (the generic
// objects read and write no pin, so whatever the handlers did with them is no pin state);
// "" when it drives its pins.
std::string SioWithoutPinDriver() {
  const TSioClass cls = TSioBuilder::ClassForFamily(TSioBuilder::Instance().Detector->GetFamily(0x2E));
  return TSioBuilder::HasPinMap(cls) ? "" : TSioBuilder::ClassName(cls);
}

// "GPIO12=1" -> pin "GPIO12", item 1. Items -1 to 2 only.
bool SplitApply(const std::string& text, std::wstring& pin, int& item) {
  const std::size_t equals = text.rfind('=');
  if (equals == std::string::npos || equals == 0) return false;
  const std::string index = text.substr(equals + 1);
  if (index != "-1" && index != "0" && index != "1" && index != "2") return false;
  pin = host::Utf8ToWide(text.substr(0, equals));
  item = std::stoi(index);
  return true;
}

int RunPanel(const TPanelOptions& options, bool apply) {
  std::vector<std::wstring> pins;
  std::vector<int> items;
  for (const std::string& text : options.Pins) {
    if (apply) {
      std::wstring pin;
      int item = -1;
      if (!SplitApply(text, pin, item)) {
        std::fprintf(stderr, "panel apply: \"%s\" is not PIN=INDEX with INDEX -1, 0, 1 or 2\n",
                     text.c_str());
        return kCtlUsage;
      }
      pins.push_back(pin);
      items.push_back(item);
    } else {
      pins.push_back(host::Utf8ToWide(text));
    }
  }

  CtlRequireHardwareAccess();
  std::unique_ptr<TMainForm> form =
      TMainForm::CreateForPanel(TApplication::Instance(), DefaultStartupServices());
  std::wstring type = host::Utf8ToWide(options.Type);
  if (type.empty()) {
    type = form->ReadIniType();
    if (!KnownType(type)) {
      std::fprintf(stderr,
                   "panel: no --type given, and Gavrelo.INI names no SIO_GPIO, ICH_GPIO or "
                   "SKLPCH_GPIO as TYPE for the model \"%s\" (TYPE \"%s\")\n",
                   host::WideToUtf8(form->m_ModelName).c_str(), host::WideToUtf8(type).c_str());
      return kCtlFailed;
    }
  }
  const std::string refusal = type == L"ICH_GPIO"      ? CtlIchRefusal()
                              : type == L"SKLPCH_GPIO" ? CtlSkylakePchRefusal(options.Force)
                                                       : "";
  if (!refusal.empty()) {
    std::fprintf(stderr, "gavreloctl: %s\n", refusal.c_str());
    return kCtlFailed;
  }

  form->m_Type = type;
  form->FillPanel(pins);
  for (std::size_t i = 0; i < items.size(); ++i) (*form->m_SettingRadios)[i].ItemIndex = items[i];
  // Decided before the click, as the handler's Build sees the same family.
  const std::string noDriver = type == L"SIO_GPIO" ? SioWithoutPinDriver() : "";
  if (apply) {
    form->btnApplyClick(nullptr);
    nlohmann::json applied = nlohmann::json::array();
    for (std::size_t i = 0; i < pins.size(); ++i) {
      const TRadioGroup& group = (*form->m_SettingRadios)[i];
      const std::string item = group.ItemIndex < 0 ? "" : host::WideToUtf8(group.Items[group.ItemIndex]);
      if (options.Json)
        applied.push_back({{"pin", host::WideToUtf8(pins[i])}, {"item", group.ItemIndex},
                           {"setting", group.ItemIndex < 0 ? nlohmann::json(nullptr) : nlohmann::json(item)}});
      else
        std::cout << host::WideToUtf8(pins[i]) << ": " << (group.ItemIndex < 0 ? "skipped" : item) << "\n";
    }
    if (options.Json) CtlPrintJson({{"type", host::WideToUtf8(type)}, {"pins", applied}});
    CtlWarnChipsLeftUnlocked();
    if (!noDriver.empty()) {
      std::fprintf(stderr, "panel apply: the Super I/O chip at 0x2E is served by %s, which has no "
                           "pin driver in this build: no pin was written\n",
                   noDriver.c_str());
      return kCtlFailed;
    }
    return kCtlSuccess;
  }

  form->btnRefreshClick(nullptr);
  if (!noDriver.empty()) {
    CtlWarnChipsLeftUnlocked();
    std::fprintf(stderr, "panel refresh: the Super I/O chip at 0x2E is served by %s, which has no "
                         "pin driver in this build: no pin was read, so no state is shown\n",
                 noDriver.c_str());
    return kCtlFailed;
  }
  bool allMatched = true;
  nlohmann::json report = nlohmann::json::array();
  for (std::size_t i = 0; i < pins.size(); ++i) {
    const TRadioGroup& group = (*form->m_StateRadios)[i];
    const std::string pin = host::WideToUtf8(pins[i]);
    const bool matched = group.ItemIndex >= 0;
    allMatched = allMatched && matched;
    const std::string state = matched ? host::WideToUtf8(group.Items[group.ItemIndex]) : "";
    if (options.Json) {
      report.push_back({{"pin", pin}, {"item", group.ItemIndex},
                        {"state", matched ? nlohmann::json(state) : nlohmann::json(nullptr)}});
    } else {
      std::cout << pin << " = " << (matched ? state : "none") << "\n";
    }
    if (!matched)
      std::fprintf(stderr, "panel refresh: %s reads none of the four states (output low or high, "
                           "input low or high): not a GPIO pin, disabled, or no such pin\n",
                   pin.c_str());
  }
  if (options.Json) CtlPrintJson({{"type", host::WideToUtf8(type)}, {"pins", report}});
  CtlWarnChipsLeftUnlocked();
  return allMatched ? kCtlSuccess : kCtlFailed;
}

void RegisterPanel(CLI::App& app, TCtlContext& context) {
  static TPanelOptions storage;  // outlives the parse and the callbacks
  TPanelOptions* options = &storage;
  CLI::App* panel = app.add_subcommand(
      "panel", "The manual GPIO panel: fill it with pins, then run its Apply or Refresh handler");
  panel->require_subcommand(1);
  panel->add_option("--type", options->Type,
                    "Pin owner: SIO_GPIO (Super I/O at 0x2E), ICH_GPIO or SKLPCH_GPIO "
                    "(default: TYPE of the model's section in Gavrelo.INI)")
      ->check(CLI::IsMember({"SIO_GPIO", "ICH_GPIO", "SKLPCH_GPIO"}));
  panel->add_flag("--force", options->Force,
                  "Drive the Skylake PCH pads even when 00:1f.0 is no Intel 100-series PCH");

  CLI::App* apply = panel->add_subcommand(
      "apply", "Select each pin's setting item (-1 none, 0 low, 1 high, 2 input) and click Apply");
  apply->add_option("PINS", options->Pins, "PIN=INDEX, e.g. GPIO12=1 or GPIOB12=0")->required();
  apply->add_flag("--json", options->Json, "Print each pin's setting item as JSON");
  apply->callback([options, &context] { context.ExitCode = RunPanel(*options, true); });

  CLI::App* refresh = panel->add_subcommand(
      "refresh", "Click Refresh and print the state each pin's state group selects");
  refresh->add_option("PINS", options->Pins, "Pins, e.g. GPIO12 GPIO13")->required();
  refresh->add_flag("--json", options->Json, "Print the selections as JSON");
  refresh->callback([options, &context] { context.ExitCode = RunPanel(*options, false); });
}

TCtlCommandRegistrar g_registrar(&RegisterPanel);

}  // namespace
