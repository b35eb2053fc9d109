// gavreloctl gpio: the pin model, without hardware and on a pin owner.
//   gpio parse SETTINGS... [--naming bank|decimal] [--offset N]
// prints, for each setting of each argument, the pin index, mode and state name that the
// pin model derives, or why the setting was rejected. Exits 1 when any setting was rejected.
//
//   gpio [--owner sio|ich|pch] list [--json]       ListGPIOState of the owner
//   gpio [--owner sio|ich|pch] set SETTINGS...     ApplyGPIOSetting of each argument, in order
//   gpio [--owner sio|ich|pch] check SETTINGS...   CheckGPIOSetting; exit 1 on a mismatch
//   gpio [--owner sio] enable PIN                  EnableGPIOGroup of the pin's group
// "ich" is the Intel ICH's GPIO block (pins GPIO0 .. GPIO95), "pch" the Skylake PCH's pads
// (GPIOB12 in settings, GPP_B_12 in listings), which runs only on an Intel 100-series PCH
// unless --force is given (CtlChipset.h).
// The owner "sio" is the object TSioBuilder::Build(0x2E) returns. An owner that cannot do
// the job (no chip with a pin map, no group switch) is refused with exit code 2 before any
// pin is touched. Owners are rows of kOwners below: adding one is a row and its open function.

#include <cstdio>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "gpio/GpioBase.h"
#include "host/Console.h"
#include "host/IntConversion.h"
#include "sio/SioBuilder.h"
#include "tools/gavreloctl/CtlChipset.h"
#include "tools/gavreloctl/CtlCommand.h"
#include "tools/gavreloctl/CtlSettings.h"
#include "tools/gavreloctl/CtlSioReport.h"

namespace {

// A pin owner without hardware: only the parser is used.
class TParseOnlyOwner : public TGpioBase {
 public:
  void ReadGPIO() override {}
  void WriteGPIO(std::uint8_t, std::uint8_t) override {}
  void EnableGPIOGroup(std::uint8_t) override {}
};

// Why the parser refused `token` (already normalised), in the parser's own order of tests.
std::string RejectReason(const TGpioBase& owner, const std::wstring& token) {
  if (token.rfind(L"GPIO", 0) != 0) return "the setting does not start with GPIO";
  if (owner.BankNaming != 0) {
    if (token.size() < 5 || token[4] < L'0' || token[4] > L'9')
      return "the bank after GPIO must be a decimal digit";
  } else {
    std::size_t equals = token.find(L'=');
    std::wstring name =
        token.substr(4, equals == std::wstring::npos ? std::wstring::npos : equals - 4);
    std::int32_t value = 0;
    std::size_t first = name.find_first_not_of(L" \t");
    std::size_t last = name.find_last_not_of(L" \t");
    std::wstring trimmed = first == std::wstring::npos ? L"" : name.substr(first, last - first + 1);
    if (!host::TryStrToInt(trimmed, value)) return "the pin number is not an integer";
    return "the pin number gives index 255, which is no pin";
  }
  if (token.find(L'=') == std::wstring::npos) return "there is no \"=\" and state word";
  return "rejected";
}

// ---------------------------------------------------------------------------------------------
// Pin owners.
// ---------------------------------------------------------------------------------------------

// One pin owner opened for a command.
struct TGpioOwner {
  TGpioBase* Pins = nullptr;             // null: the owner cannot be used (Refusal says why)
  std::unique_ptr<TGpioBase> Held;       // owners the command creates itself
  std::string Name;                      // for messages and reports
  bool GroupSwitch = false;              // EnableGPIOGroup switches a bank
  std::string Refusal;
  // After the command: why its accesses failed, "" when they did not (owners that can tell).
  std::function<std::string()> AccessFailure;
};

// Ends a command: an owner whose accesses failed makes it fail, saying so.
void Finish(const TGpioOwner& owner, const std::string& command, TCtlContext& context) {
  CtlWarnChipsLeftUnlocked();
  const std::string failure = owner.AccessFailure ? owner.AccessFailure() : "";
  if (failure.empty()) return;
  std::fprintf(stderr, "gpio %s: %s: %s\n", command.c_str(), owner.Name.c_str(), failure.c_str());
  context.ExitCode = kCtlFailed;
}

std::string Hex(unsigned value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*X", digits, value);
  return text;
}

// The Super I/O chip behind configuration port 0x2E, as the pin test reaches it.
TGpioOwner OpenSuperIo() {
  constexpr std::uint8_t kPort = 0x2E;
  TGpioOwner owner;
  TSioBuilder& builder = TSioBuilder::Instance();  // the detection pass runs here
  const std::uint16_t family = builder.Detector->GetFamily(kPort);
  const TSioClass cls = TSioBuilder::ClassForFamily(family);
  if (!TSioBuilder::HasPinMap(cls)) {
    owner.Refusal = family == SIO_NONE
                        ? "no Super I/O chip was detected at port 0x2E"
                        : std::string("the chip at port 0x2E (family ") + Hex(family, 3) +
                              ", class " + TSioBuilder::SlotName(cls) + ") is served by " +
                              TSioBuilder::ClassName(cls) + ", which has no pin map";
    return owner;
  }
  TAbstractSio* sio = builder.Build(kPort);
  owner.Pins = sio;
  owner.Name = host::WideToUtf8(sio->ChipEntry().FullName) + " at 0x2E (" +
               TSioBuilder::ClassName(cls) + ")";
  owner.GroupSwitch = TSioBuilder::HasGroupSwitch(cls);
  return owner;
}

// The GPIO block of the Intel I/O controller hub, at the base its LPC bridge names.
TGpioOwner OpenIch() {
  TGpioOwner owner;
  owner.Refusal = CtlIchRefusal();
  if (!owner.Refusal.empty()) return owner;
  auto ich = std::make_unique<TIch>();
  owner.Name = "ICH GPIO at " + Hex(ich->m_GpioBase, 4);
  owner.Pins = ich.get();
  owner.Held = std::move(ich);
  return owner;
}

// The pads of the Skylake PCH, only on a 100-series PCH unless forced (CtlChipset.h).
TGpioOwner OpenSkylakePch(bool force) {
  TGpioOwner owner;
  owner.Refusal = CtlSkylakePchRefusal(force);
  if (!owner.Refusal.empty()) return owner;
  auto pch = std::make_unique<TSkylakePCH>();
  owner.Name = "Skylake PCH pads (LPC " +
               Hex(TReadWrite::Instance().ReadPciWord(0, 31, 0, 2), 4).substr(2) + ")";
  const TSkylakePCH* held = pch.get();
  owner.AccessFailure = [held] {
    return held->m_PadAccessFailed ? std::string("a pad configuration read or write failed")
                                   : std::string();
  };
  owner.Pins = pch.get();
  owner.Held = std::move(pch);
  return owner;
}

struct TGpioOwnerKind {
  const char* Name;
  TGpioOwner (*Open)(bool force);
};

constexpr TGpioOwnerKind kOwners[] = {
    {"sio", [](bool) { return OpenSuperIo(); }},
    {"ich", [](bool) { return OpenIch(); }},
    {"pch", &OpenSkylakePch},
};

TGpioOwner OpenOwner(const std::string& name, bool force) {
  CtlRequireHardwareAccess();  // every owner is hardware
  for (const TGpioOwnerKind& kind : kOwners)
    if (name == kind.Name) return kind.Open(force);
  TGpioOwner none;
  none.Refusal = "unknown owner \"" + name + "\"";
  return none;
}

// Opens the owner for a command, or says why it cannot be used (exit code 2).
TGpioBase* OwnerOrRefuse(TGpioOwner& owner, const std::string& command, TCtlContext& context) {
  if (owner.Pins != nullptr) return owner.Pins;
  std::fprintf(stderr, "gpio %s: %s; nothing was read or written\n", command.c_str(),
               owner.Refusal.c_str());
  context.ExitCode = kCtlUsage;
  return nullptr;
}

// The settings of one argument, as the pin model splits them.
std::vector<std::wstring> Tokens(const std::string& argument) {
  std::vector<std::wstring> tokens;
  std::wstring list = TGpioBase::NormalizeGPIOSettings(host::Utf8ToWide(argument));
  while (!list.empty()) {
    std::wstring token;
    TGpioBase::NextGPIOToken(list, token);
    tokens.push_back(token);
  }
  return tokens;
}

struct TPinOptions {
  std::string Owner = "sio";
  std::vector<std::string> Settings;
  std::string Pin;
  bool Json = false;
  bool Force = false;
};

void RunList(const TPinOptions& options, TCtlContext& context) {
  TGpioOwner owner = OpenOwner(options.Owner, options.Force);
  TGpioBase* pins = OwnerOrRefuse(owner, "list", context);
  if (pins == nullptr) return;
  std::vector<std::wstring> lines;
  pins->ListGPIOState(lines);
  if (owner.AccessFailure && !owner.AccessFailure().empty()) {
    Finish(owner, "list", context);  // the states of failed reads are no data: none is shown
    return;
  }
  // Entries the owner never decodes (bank 0 of a Super I/O chip, for one) hold no state: they
  // are left out rather than shown as pins.
  nlohmann::json report = {{"owner", options.Owner}, {"chip", owner.Name}};
  report["pins"] = nlohmann::json::array();
  report["undecoded"] = nlohmann::json::array();
  const std::wstring undecoded = TGpioBase::GPIOStateName(0);
  for (const std::wstring& line : lines) {
    const std::size_t equals = line.find(L" = ");
    if (equals == std::wstring::npos) continue;
    const std::string pin = host::WideToUtf8(line.substr(0, equals));
    const std::wstring state = line.substr(equals + 3);
    if (state == undecoded)
      report["undecoded"].push_back(pin);
    else
      report["pins"].push_back({{"pin", pin}, {"state", host::WideToUtf8(state)}});
  }
  if (options.Json) {
    std::printf("%s\n", report.dump(2).c_str());
  } else {
    std::printf("%s\n", owner.Name.c_str());
    std::string bank;
    for (const auto& entry : report["pins"]) {
      const std::string pin = entry["pin"];
      // A blank line between banks: all but the last digit of the name, or up to its last
      // "_" (GPP_B_12, GPIO16_3).
      const std::size_t underscore = pin.rfind('_');
      const std::string pinBank =
          pin.substr(0, underscore != std::string::npos ? underscore + 1 : pin.size() - 1);
      if (!bank.empty() && pinBank != bank) std::printf("\n");
      bank = pinBank;
      std::printf("%s = %s\n", pin.c_str(), entry["state"].get<std::string>().c_str());
    }
    if (!report["undecoded"].empty())
      std::printf("(%zu entries the chip does not decode are not shown)\n",
                  report["undecoded"].size());
  }
  if (report["pins"].empty()) context.ExitCode = kCtlFailed;
  Finish(owner, "list", context);
}

void RunSet(const TPinOptions& options, TCtlContext& context) {
  TGpioOwner owner = OpenOwner(options.Owner, options.Force);
  TGpioBase* pins = OwnerOrRefuse(owner, "set", context);
  if (pins == nullptr) return;
  nlohmann::json report = {{"owner", options.Owner}, {"chip", owner.Name}, {"settings", nlohmann::json::array()}};
  for (const std::string& argument : options.Settings) {
    if (!pins->ApplyGPIOSetting(host::Utf8ToWide(argument))) {
      std::fprintf(stderr,
                   "gpio set: \"%s\" was rejected; the settings before it were applied\n",
                   argument.c_str());
      context.ExitCode = kCtlFailed;
      break;
    }
    for (const std::wstring& token : Tokens(argument)) {
      if (options.Json)
        report["settings"].push_back({{"setting", host::WideToUtf8(token)}, {"written", true}});
      else
        std::printf("%s: written\n", host::WideToUtf8(token).c_str());
    }
  }
  if (options.Json) CtlPrintJson(report);
  Finish(owner, "set", context);
}

void RunCheck(const TPinOptions& options, TCtlContext& context) {
  TGpioOwner owner = OpenOwner(options.Owner, options.Force);
  TGpioBase* pins = OwnerOrRefuse(owner, "check", context);
  if (pins == nullptr) return;
  bool allMatch = true;
  nlohmann::json report = {{"owner", options.Owner}, {"chip", owner.Name}, {"settings", nlohmann::json::array()}};
  for (const std::string& argument : options.Settings) {
    const bool match = pins->CheckGPIOSetting(host::Utf8ToWide(argument));
    allMatch = allMatch && match;
    // The states the check just read, setting by setting.
    for (const std::wstring& token : Tokens(argument)) {
      std::uint8_t pin = 0;
      std::uint8_t mode = 0;
      const std::string shown = host::WideToUtf8(token);
      if (!pins->InterpretGPIOString(token, pin, mode)) {
        if (options.Json)
          report["settings"].push_back({{"setting", shown}, {"accepted", false}});
        else
          std::printf("%s: rejected\n", shown.c_str());
        break;
      }
      if (token.find(L"::") != std::wstring::npos) continue;
      const std::uint8_t state = pins->GPIO[pin];
      const bool ok = static_cast<std::uint8_t>(state & mode) == state;
      if (options.Json)
        report["settings"].push_back({{"setting", shown}, {"accepted", true}, {"pin_index", pin},
                                      {"state_code", state},
                                      {"state", host::WideToUtf8(TGpioBase::GPIOStateName(state))},
                                      {"match", ok}});
      else
        std::printf("%s: %s (%s)\n", shown.c_str(),
                    host::WideToUtf8(TGpioBase::GPIOStateName(state)).c_str(),
                    ok ? "match" : "mismatch");
    }
  }
  report["match"] = allMatch;
  if (options.Json && !(owner.AccessFailure && !owner.AccessFailure().empty())) CtlPrintJson(report);
  context.ExitCode = allMatch ? kCtlSuccess : kCtlFailed;
  Finish(owner, "check", context);
}

void RunEnable(const TPinOptions& options, TCtlContext& context) {
  TGpioOwner owner = OpenOwner(options.Owner, options.Force);
  TGpioBase* pins = OwnerOrRefuse(owner, "enable", context);
  if (pins == nullptr) return;
  std::wstring token = TGpioBase::NormalizeGPIOSettings(host::Utf8ToWide(options.Pin));
  if (token.find(L'=') == std::wstring::npos) token += L"=";
  std::uint8_t pin = 0;
  std::uint8_t mode = 0;
  if (token.find(L' ') != std::wstring::npos || token.find(L"::") != std::wstring::npos ||
      !pins->InterpretGPIOString(token, pin, mode)) {
    std::fprintf(stderr, "gpio enable: \"%s\" names no pin (write it as GPIO12)\n",
                 options.Pin.c_str());
    context.ExitCode = kCtlUsage;
    return;
  }
  if (!owner.GroupSwitch) {
    std::fprintf(stderr, "gpio enable: %s has no group switch; nothing was written\n",
                 owner.Name.c_str());
    context.ExitCode = kCtlUsage;
    return;
  }
  pins->EnableGPIOGroup(pin);
  if (options.Json)
    CtlPrintJson({{"owner", options.Owner}, {"chip", owner.Name}, {"pin_index", pin}, {"group", pin / 8u},
                  {"first_pin_index", pin / 8u * 8u}, {"last_pin_index", pin / 8u * 8u + 7u}});
  else
    std::printf("group %u (pins %u to %u) switched to GPIO\n", pin / 8u, pin / 8u * 8u,
                pin / 8u * 8u + 7u);
  CtlWarnChipsLeftUnlocked();
}

void AddPinCommands(CLI::App* gpio, TCtlContext& context) {
  auto options = std::make_shared<TPinOptions>();
  std::vector<std::string> names;
  for (const TGpioOwnerKind& kind : kOwners) names.emplace_back(kind.Name);
  gpio->add_option("--owner", options->Owner,
                   "Pin owner for list/set/check/enable: sio (Super I/O at 0x2E, the default), "
                   "ich (Intel ICH GPIO block) or pch (Skylake PCH pads)")
      ->check(CLI::IsMember(names));
  gpio->add_flag("--force", options->Force,
                 "Let the pch owner run even when 00:1f.0 is no Intel 100-series PCH");

  CLI::App* list = gpio->add_subcommand("list", "List the owner's pins and their states");
  list->add_flag("--json", options->Json, "Print the result as JSON");
  list->callback([options, &context] { RunList(*options, context); });

  CLI::App* set = gpio->add_subcommand("set", "Apply setting lists (GPIO12=Low ...) in order");
  set->add_option("SETTINGS", options->Settings, "Setting lists such as GPIO12=Low")->required();
  set->add_flag("--json", options->Json, "Print the settings written as JSON");
  set->callback([options, &context] { RunSet(*options, context); });

  CLI::App* check = gpio->add_subcommand(
      "check", "Read the pins and check them against setting lists (exit 1 on a mismatch)");
  check->add_option("SETTINGS", options->Settings, "Setting lists such as GPIO12=Low")->required();
  check->add_flag("--json", options->Json, "Print the states read and whether they match as JSON");
  check->callback([options, &context] { RunCheck(*options, context); });

  CLI::App* enable = gpio->add_subcommand("enable", "Switch the group of PIN to GPIO use");
  enable->add_option("PIN", options->Pin, "A pin of the group, such as GPIO12")->required();
  enable->add_flag("--json", options->Json, "Print the group switched as JSON");
  enable->callback([options, &context] { RunEnable(*options, context); });
}

void AddGpioCommands(CLI::App& app, TCtlContext& context) {
  CLI::App* gpio = app.add_subcommand("gpio", "The GPIO pin model and its setting strings");
  gpio->require_subcommand(1);
  AddPinCommands(gpio, context);
  CLI::App* parse = gpio->add_subcommand(
      "parse", "Show the pin index, mode and state name each setting gives, or why it fails");

  struct TOptions {
    std::vector<std::string> Settings;
    std::string Naming = "bank";
    std::int32_t Offset = 0;
    bool Json = false;
  };
  auto options = std::make_shared<TOptions>();
  parse
      ->add_option("SETTINGS", options->Settings,
                   "Setting lists such as GPIO12=Low or \"GPIO12=Low,GPIO13=High\"")
      ->required();
  parse
      ->add_option("--naming", options->Naming,
                   "Pin naming: bank (bank digit then bit digit, the default) or decimal")
      ->check(CLI::IsMember({"bank", "decimal"}));
  parse->add_option("--offset", options->Offset,
                    "NameOffset: subtracted from the bank (bank naming) or pin number");
  parse->add_flag("--json", options->Json, "Print what each setting gives as JSON");

  parse->callback([options, &context] {
    TParseOnlyOwner owner;
    owner.BankNaming = options->Naming == "decimal" ? 0 : 1;
    owner.NameOffset = options->Offset;
    bool allValid = true;
    nlohmann::json settings = nlohmann::json::array();
    for (const std::string& argument : options->Settings) {
      nlohmann::json tokens = CtlParseSettings(owner, host::Utf8ToWide(argument), false);
      if (tokens.empty())
        tokens.push_back({{"setting", argument}, {"accepted", false}, {"reason", "empty setting"}});
      for (const nlohmann::json& t : tokens) {
        allValid = allValid && t["accepted"].get<bool>();
        settings.push_back(t);
        if (options->Json) continue;
        const std::string shown = t["setting"].get<std::string>();
        if (!t["accepted"].get<bool>()) {
          std::cout << (shown.empty() || t["reason"] == "empty setting" ? "\"" + shown + "\"" : shown)
                    << ": rejected: " << t["reason"].get<std::string>() << "\n";
        } else if (!t.contains("pin_index")) {
          std::cout << shown << ": accepted, no effect (contains \"::\")\n";
        } else {
          char line[96];
          std::snprintf(line, sizeof line, ": pin %u, mode 0x%02X, ", t["pin_index"].get<unsigned>(),
                        t["mode"].get<unsigned>());
          std::cout << shown << line << t["state"].get<std::string>() << "\n";
        }
      }
    }
    if (options->Json)
      CtlPrintJson({{"naming", options->Naming}, {"offset", options->Offset}, {"settings", settings}});
    context.ExitCode = allValid ? kCtlSuccess : kCtlFailed;
  });
}

TCtlCommandRegistrar g_registerGpio(&AddGpioCommands);

}  // namespace

nlohmann::json CtlParseSettings(TGpioBase& owner, const std::wstring& settings, bool stopAtRejected) {
  nlohmann::json tokens = nlohmann::json::array();
  std::wstring list = TGpioBase::NormalizeGPIOSettings(settings);
  while (!list.empty()) {
    std::wstring token;
    TGpioBase::NextGPIOToken(list, token);
    std::uint8_t pin = 0;
    std::uint8_t mode = 0;
    nlohmann::json t = {{"setting", host::WideToUtf8(token)}};
    const bool accepted = owner.InterpretGPIOString(token, pin, mode);
    t["accepted"] = accepted;
    if (!accepted) {
      t["reason"] = RejectReason(owner, token);
    } else if (token.find(L"::") == std::wstring::npos) {
      t["pin_index"] = pin;
      t["mode"] = mode;
      t["state"] = host::WideToUtf8(TGpioBase::GPIOStateName(mode));
    }
    tokens.push_back(t);
    if (!accepted && stopAtRejected) break;
  }
  return tokens;
}
