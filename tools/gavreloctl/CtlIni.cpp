// gavreloctl ini [INI]: checks a Gavrelo.INI before gavrelo touches the hardware with it —
// the model name the board gives (its BIOS identity record; --model names one instead),
// whether the model's section is found and the near misses that keep it from being found
// (a section that differs only in blanks or letter case, a misspelled key, a key without
// "="), TYPE, PIN parsed into bank and bit with the two settings the test applies, Delay
// converted (or gavrelo's conversion message) and, on a virtual board, the exact register
// writes of the low and the high step. INI defaults to the Gavrelo.INI beside gavreloctl,
// which is the one beside gavrelo in the installed tree.
//
// Exit code 0 when gavrelo would drive the pin low, pause and drive it high; 1 when it
// would not (the report says why) or when the check could not be made (standard error
// says why).

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/MainForm.h"
#include "app/Exceptions.h"
#include "gpio/GpioBase.h"
#include "host/Console.h"
#include "host/FileSystem.h"
#include "host/IntConversion.h"
#include "host/Process.h"
#include "host/ProfileFile.h"
#include "hwaccess/LoadDriver.h"
#include "hwaccess/ReadWrite.h"
#include "platform/OrvSpec.h"
#include "sim/AccessTrace.h"
#include "sim/VirtualBoard.h"
#include "sio/SioBuilder.h"
#include "tools/gavreloctl/CtlCommand.h"
#include "tools/gavreloctl/CtlSettings.h"
#include "tools/gavreloctl/CtlSioReport.h"
#include "tools/gavreloctl/TraceTimeline.h"

namespace {

constexpr std::uint8_t kConfigPort = 0x2E;
// Keys gavrelo reads, in the order it reads them.
constexpr const wchar_t* kKeys[] = {/* 0 */ L"Delay", /* 1 */ L"TYPE", /* 2 */ L"PIN"};
// Edits (insertions, deletions, substitutions) within which a name counts as a near miss.
constexpr std::size_t kNearMiss = 2;

struct TIniOptions {
  std::string Ini;
  std::string Model;
  bool Json = false;
};

std::string Utf8(const std::wstring& text) { return host::WideToUtf8(text); }

std::wstring Lower(std::wstring text) {
  for (wchar_t& c : text)
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c + 32);
  return text;
}

// Letter case and blanks, which the model name must match exactly apart from case.
std::wstring Squashed(const std::wstring& text) {
  std::wstring out;
  for (wchar_t c : Lower(text))
    if (c != L' ' && c != L'\t') out += c;
  return out;
}

// Edit distance, bounded: names longer than 64 characters are compared only for equality.
std::size_t Distance(const std::wstring& a, const std::wstring& b) {
  if (a.size() > 64 || b.size() > 64) return a == b ? 0 : kNearMiss + 1;
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// Ports whose cycles are configuration accesses (Super I/O index/data pairs, the PCI
// configuration mechanism) rather than writes of GPIO registers.
bool ConfigurationPort(int port) {
  return port == 0x2E || port == 0x2F || port == 0x4E || port == 0x4F || (port >= 0xCF8 && port <= 0xCFF);
}

// What the pin model derives from one setting string of the test.
nlohmann::json ParseSetting(TGpioBase& model, const std::wstring& setting) {
  return {{"setting", Utf8(setting)}, {"tokens", CtlParseSettings(model, setting, true)}};
}

// The settings of a step with what they did on the virtual board: decoded configuration
// register writes, other bus writes, and pin changes.
nlohmann::json RunStep(TVirtualBoard& board, TGpioBase& owner, const std::wstring& setting) {
  const std::size_t mark = board.Trace().Events().size();
  owner.ApplyGPIOSetting(setting);
  TConfigDecoder decoder;
  nlohmann::json writes = nlohmann::json::array();
  nlohmann::json pins = nlohmann::json::array();
  const std::vector<TTraceEvent>& events = board.Trace().Events();
  for (std::size_t i = 0; i < events.size(); ++i) {
    const nlohmann::json e = TAccessTrace::ToJson(events[i]);
    const std::optional<TConfigAccess> access = decoder.Feed(e);
    if (i < mark) continue;
    const std::string kind = e.value("kind", "");
    if (access) {
      if (access->Write)
        writes.push_back({{"kind", "config"}, {"chip", access->Chip}, {"port", access->Port},
                          {"ldn", access->Ldn >= 0 ? nlohmann::json(access->Ldn) : nlohmann::json(nullptr)},
                          {"register", access->Register}, {"value", access->Value},
                          {"text", DescribeConfigAccess(*access)}});
    } else if (kind == "pin") {
      pins.push_back(e);
    } else if (kind == "pci_write" || kind == "mem_write" || (kind == "out" && !ConfigurationPort(e.value("port", 0)))) {
      // Bus writes other than configuration cycles (GPIO registers in I/O or memory space).
      nlohmann::json w = e;
      w.erase("seq");
      w.erase("us");
      writes.push_back(w);
    }
  }
  return {{"writes", writes}, {"pins", pins}};
}

nlohmann::json Check(const TIniOptions& options, std::string& failure) {
  nlohmann::json report;
  std::string path = options.Ini;
  if (path.empty()) path = host::DirectoryPart(host::ExecutablePath()) + "Gavrelo.INI";
  report["ini_file"] = path;
  if (!host::FileExists(path)) {
    failure = "no INI file " + path + " (gavrelo would end at once, silently)";
    return report;
  }
  std::unique_ptr<host::TProfileFile> ini = host::TProfileFile::Open(path);

  // The model name, as gavrelo gets it: the board description's ModelName.
  std::wstring model;
  if (!options.Model.empty()) {
    model = host::Utf8ToWide(options.Model);
    report["model_from"] = "option";
  } else {
    try {
      CtlRequireHardwareAccess();
    } catch (const TCtlFailure& error) {
      failure = std::string(error.what()) + " to read the model name; name it with --model";
      return report;
    }
    model = TOrvSpec::Instance().ModelName;
    report["model_from"] = "board";
  }
  report["model_name"] = Utf8(model);
  nlohmann::json problems = nlohmann::json::array();
  if (model.empty()) problems.push_back("the board gives no model name (no valid BIOS identity record)");

  // The section, and the sections and keys that nearly match.
  const std::vector<std::wstring> keys = ini->SectionKeys(model);
  nlohmann::json nearMisses = nlohmann::json::array();
  int sameName = 0;
  for (const std::wstring& name : ini->SectionNames()) {
    if (Lower(name) == Lower(model)) {
      ++sameName;
      continue;
    }
    if (Squashed(name) == Squashed(model))
      nearMisses.push_back({{"section", Utf8(name)}, {"why", "differs from the model name only in blanks"}});
    else if (Distance(Lower(name), Lower(model)) <= kNearMiss)
      nearMisses.push_back({{"section", Utf8(name)}, {"why", "differs from the model name in one or two letters"}});
  }
  report["section"] = {{"name", Utf8(model)}, {"found", !keys.empty()}, {"keys", nlohmann::json::array()}};
  for (const std::wstring& key : keys) report["section"]["keys"].push_back(Utf8(key));
  if (sameName > 1) problems.push_back("the section appears " + std::to_string(sameName) + " times; gavrelo reads the first");
  if (sameName > 0 && keys.empty()) problems.push_back("the section holds no key, so gavrelo treats it as missing");
  if (sameName == 0) problems.push_back("no section [" + Utf8(model) + "]: gavrelo ends at once, silently");

  for (const std::wstring& key : keys) {
    bool known = false;
    for (const wchar_t* k : kKeys) known = known || Lower(key) == Lower(k);
    if (known) continue;
    nlohmann::json miss = {{"key", Utf8(key)}, {"why", "gavrelo does not read this key"}};
    for (const wchar_t* k : kKeys)
      if (Distance(Squashed(key), Lower(k)) <= kNearMiss) {
        miss["why"] = "gavrelo does not read this key; misspelled " + Utf8(k) + "?";
        miss["meant"] = Utf8(k);
      }
    nearMisses.push_back(miss);
  }
  report["near_misses"] = nearMisses;

  // The three keys as gavrelo reads them. A line naming a key without "=" is no key for
  // the profile reader (Windows' own as ours); it is found in the file's own lines.
  std::string bytes;
  std::vector<std::wstring> bare;
  if (host::ReadFileBounded(path, host::TProfileFile::kMaxFileSize, bytes) == host::TReadResult::Ok)
    bare = host::TProfileFile::FromBytes(bytes)->LinesWithoutValue(model);
  auto read = [&](const wchar_t* key, const wchar_t* fallback, nlohmann::json& out) {
    const std::wstring probe = ini->ReadString(model, key, L"\n");
    const bool fromFile = probe != L"\n";
    out = {{"text", Utf8(fromFile ? probe : fallback)}, {"from", fromFile ? "file" : "default"}};
    bool listed = false;
    for (const std::wstring& k : bare) listed = listed || Lower(k) == Lower(key);
    if (listed && !fromFile)
      problems.push_back(Utf8(key) + " has no \"=\", so gavrelo reads its default \"" + Utf8(fallback) + "\"");
    return fromFile ? probe : std::wstring(fallback);
  };
  nlohmann::json delayJson, typeJson, pinJson;
  const std::wstring delay = read(kKeys[0], L"100", delayJson);
  const std::wstring type = read(kKeys[1], L"", typeJson);
  const std::wstring pin = read(kKeys[2], L"", pinJson);
  if (keys.empty()) {
    // gavrelo reads no key without a section; the values above are what it would read.
    delayJson["from"] = typeJson["from"] = pinJson["from"] = "no section";
  }

  std::optional<std::int32_t> delayValue;
  try {
    delayValue = ConvertDelay(delay);
    delayJson["ms"] = DelayMilliseconds(*delayValue);
    if (*delayValue < 0) delayJson["note"] = "negative: no pause at all";
  } catch (const EConvertError& error) {
    delayJson["ms"] = nullptr;
    delayJson["message"] = error.Message;
    problems.push_back("Delay \"" + Utf8(delay) + "\" is no integer: gavrelo drives the pin low, shows \"" +
                       error.Message + "\" and leaves the pin low");
  }
  report["delay"] = delayJson;

  const bool runs = type == L"SIO_GPIO";
  typeJson["runs_test"] = runs;
  if (!runs && !keys.empty()) {
    if (Lower(type) == L"sio_gpio")
      problems.push_back("TYPE \"" + Utf8(type) + "\" differs from SIO_GPIO in letter case: no pin test runs");
    else if (type == L"ICH_GPIO" || type == L"SKLPCH_GPIO")
      problems.push_back("TYPE " + Utf8(type) + " is for the manual panel only: no pin test runs at start-up");
    else if (type.empty())
      problems.push_back("no TYPE: no pin test runs");
    else
      problems.push_back("TYPE \"" + Utf8(type) + "\" is not SIO_GPIO: no pin test runs");
  }
  report["type"] = typeJson;

  // PIN: bank and bit as the Super I/O naming reads them, and the two settings of the test.
  // Only a virtual board runs the detection here: on real hardware the check writes nothing,
  // not even the configuration keys, and reads the pin with the Super I/O bank naming.
  TGpioBase* owner = nullptr;
  TVirtualBoard* board = host::GetEnvironmentVariable("GAVRELO_BOARD").empty()
                             ? nullptr
                             : dynamic_cast<TVirtualBoard*>(TLoadDriver::Machine());
  if (board != nullptr && TReadWrite::Instance().HasDriver()) owner = TSioBuilder::Instance().Build(kConfigPort);
  class TNamingOnly : public TGpioBase {
   public:
    void ReadGPIO() override {}
    void WriteGPIO(std::uint8_t, std::uint8_t) override {}
    void EnableGPIOGroup(std::uint8_t) override {}
  } naming;
  if (owner != nullptr) {
    naming.BankNaming = owner->BankNaming;
    naming.NameOffset = owner->NameOffset;
  }
  const std::wstring upperPin = TGpioBase::NormalizeGPIOSettings(pin);
  if (naming.BankNaming == 1 && upperPin.rfind(L"GPIO", 0) == 0 && upperPin.size() >= 5 && upperPin[4] >= L'0' &&
      upperPin[4] <= L'9') {
    const bool twoDigits = upperPin.size() >= 6 && upperPin[5] >= L'0' && upperPin[5] <= L'9';
    const int bank = twoDigits ? upperPin[4] - L'0' : 0;
    const int bit = twoDigits ? upperPin[5] - L'0' : upperPin[4] - L'0';
    pinJson["bank"] = bank;
    pinJson["bit"] = bit;
    if (bit > 7)
      problems.push_back("PIN " + Utf8(pin) + ": bit " + std::to_string(bit) + " is past bit 7, so it names bank " +
                         std::to_string(bank + 1) + " bit " + std::to_string(bit - 8));
    if (upperPin.size() > (twoDigits ? 6u : 5u) && upperPin.find(L'=') == std::wstring::npos)
      problems.push_back("PIN " + Utf8(pin) + ": the characters after the bank and bit digits are ignored");
  }
  if (pin.find(L'=') != std::wstring::npos)
    problems.push_back("PIN holds \"=\": the test appends \"=Low\" and \"=High\" to it, which changes the state word");
  const std::wstring low = pin + L"=Low";
  const std::wstring high = pin + L"=High";
  nlohmann::json steps = nlohmann::json::array();
  steps.push_back(ParseSetting(naming, low));
  steps.push_back(ParseSetting(naming, high));
  bool pinOk = true;
  for (std::size_t i = 0; i < 2; ++i) {
    const nlohmann::json& tokens = steps[i]["tokens"];
    const int wanted = i == 0 ? GPIO_OUTPUT_LOW : GPIO_OUTPUT_HIGH;
    const bool ok = tokens.size() == 1 && tokens[0]["accepted"] == true && tokens[0].value("mode", 0) == wanted;
    pinOk = pinOk && ok;
  }
  if (!pinOk)
    problems.push_back(pin.empty() ? "no PIN: both steps are refused (no pin is written); the pause still happens"
                                   : "PIN \"" + Utf8(pin) + "\" does not give one pin driven low and then high");
  report["pin"] = pinJson;

  // On a virtual board, the steps' register writes (the board is this process's copy; the
  // file is not changed). Real hardware is not written by a check.
  if (owner != nullptr && board != nullptr && runs) {
    report["super_io"] = Utf8(dynamic_cast<TAbstractSio*>(owner) != nullptr
                                  ? dynamic_cast<TAbstractSio*>(owner)->ChipEntry().FullName
                                  : L"");
    for (std::size_t i = 0; i < 2; ++i) {
      nlohmann::json effect = RunStep(*board, *owner, i == 0 ? low : high);
      steps[i]["writes"] = effect["writes"];
      steps[i]["pins"] = effect["pins"];
    }
    report["left_unlocked"] = CtlChipsLeftUnlocked();
    for (const auto& name : report["left_unlocked"]) problems.push_back(name.get<std::string>() + " left in configuration mode");
  }
  report["steps"] = steps;
  report["runs_test"] = !keys.empty() && runs && pinOk && delayValue.has_value();
  report["problems"] = problems;
  return report;
}

void PrintText(const nlohmann::json& r) {
  auto line = [](const char* label, const std::string& value) { std::printf("%-10s: %s\n", label, value.c_str()); };
  line("INI file", r["ini_file"].get<std::string>());
  line("Model", r["model_name"].get<std::string>() +
                    (r["model_from"] == "option" ? " (--model)" : " (the board's BIOS identity record)"));
  const nlohmann::json& section = r["section"];
  std::string keys;
  for (const auto& k : section["keys"]) keys += (keys.empty() ? "" : ", ") + k.get<std::string>();
  line("Section", "[" + section["name"].get<std::string>() + "] " +
                      (section["found"].get<bool>() ? "found, keys " + keys : std::string("not found")));
  for (const auto& miss : r["near_misses"]) {
    if (miss.contains("section"))
      line("Near miss", "section [" + miss["section"].get<std::string>() + "] " + miss["why"].get<std::string>());
    else
      line("Near miss", "key " + miss["key"].get<std::string>() + ": " + miss["why"].get<std::string>());
  }
  const nlohmann::json& delay = r["delay"];
  line("Delay", "\"" + delay["text"].get<std::string>() + "\" (" + delay["from"].get<std::string>() + ") -> " +
                    (delay["ms"].is_null() ? delay["message"].get<std::string>()
                                           : std::to_string(delay["ms"].get<std::uint32_t>()) + " ms"));
  line("TYPE", "\"" + r["type"]["text"].get<std::string>() + "\" (" + r["type"]["from"].get<std::string>() + ") -> " +
                   (r["type"]["runs_test"].get<bool>() ? "the pin test runs" : "no pin test"));
  std::string pin = "\"" + r["pin"]["text"].get<std::string>() + "\" (" + r["pin"]["from"].get<std::string>() + ")";
  if (r["pin"].contains("bank"))
    pin += " -> bank " + std::to_string(r["pin"]["bank"].get<int>()) + ", bit " + std::to_string(r["pin"]["bit"].get<int>());
  line("PIN", pin);
  if (r.contains("super_io")) line("Super I/O", r["super_io"].get<std::string>() + " at 0x2E");
  for (std::size_t i = 0; i < r["steps"].size(); ++i) {
    const nlohmann::json& step = r["steps"][i];
    std::string parsed;
    for (const auto& t : step["tokens"]) {
      parsed += (parsed.empty() ? "" : "; ") + t["setting"].get<std::string>();
      if (!t["accepted"].get<bool>())
        parsed += " rejected";
      else if (t.contains("pin_index")) {
        char text[64];
        std::snprintf(text, sizeof text, " -> pin %d, mode 0x%02X ", t["pin_index"].get<int>(), t["mode"].get<int>());
        parsed += text + t["state"].get<std::string>();
      }
    }
    line(i == 0 ? "Low step" : "High step", parsed.empty() ? "no setting" : parsed);
    if (!step.contains("writes")) continue;
    if (step["writes"].empty() && step["pins"].empty()) std::printf("  no register write\n");
    for (const auto& w : step["writes"]) {
      if (w.value("kind", "") == "config")
        std::printf("  %s  %s\n", w["chip"].get<std::string>().c_str(), w["text"].get<std::string>().c_str());
      else
        std::printf("  %s\n", w.dump().c_str());
    }
    for (const auto& p : step["pins"])
      std::printf("  pin %s %s %s -> %s\n", p.value("owner", "").c_str(), p.value("chip", "").c_str(),
                  p.value("pin", "").c_str(), p.value("state", "").c_str());
  }
  for (const auto& problem : r["problems"]) line("Problem", problem.get<std::string>());
  if (r["runs_test"].get<bool>()) {
    std::printf("Verdict   : gavrelo drives %s low, waits %u ms and drives it high\n",
                r["pin"]["text"].get<std::string>().c_str(), r["delay"]["ms"].get<std::uint32_t>());
  } else {
    std::printf("Verdict   : gavrelo would not drive a pin low and high with this file\n");
  }
}

void RegisterIni(CLI::App& app, TCtlContext& context) {
  auto options = std::make_shared<TIniOptions>();
  CLI::App* command = app.add_subcommand(
      "ini", "Check a Gavrelo.INI against the board before gavrelo uses it: section, keys, TYPE, PIN, Delay, "
             "and on a virtual board the register writes of the low and high steps");
  command->add_option("INI", options->Ini, "The INI file (default: Gavrelo.INI beside gavreloctl)");
  command->add_option("--model", options->Model, "Check the section of this model name (reads no hardware)")
      ->type_name("NAME");
  command->add_flag("--json", options->Json, "Print the report as one JSON document");
  command->callback([options, &context] {
    std::string failure;
    const nlohmann::json report = Check(*options, failure);
    if (!failure.empty()) {
      std::fprintf(stderr, "gavreloctl: ini: %s\n", failure.c_str());
      context.ExitCode = kCtlFailed;
      return;
    }
    if (options->Json)
      std::cout << report.dump(2) << "\n";
    else
      PrintText(report);
    CtlWarnChipsLeftUnlocked();
    context.ExitCode = report["runs_test"].get<bool>() ? kCtlSuccess : kCtlFailed;
  });
}

const TCtlCommandRegistrar registrar(&RegisterIni);

}  // namespace
