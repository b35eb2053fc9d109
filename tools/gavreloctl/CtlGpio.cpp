// gavreloctl gpio: the pin model without hardware.
//   gpio parse SETTINGS... [--naming bank|decimal] [--offset N]
// prints, for each setting of each argument, the pin index, mode and state name that the
// pin model derives, or why the setting was rejected. Exits 1 when any setting was rejected.

#include <cstdio>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "gpio/GpioBase.h"
#include "host/Console.h"
#include "host/IntConversion.h"
#include "tools/gavreloctl/CtlCommand.h"

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

void AddGpioCommands(CLI::App& app, TCtlContext& context) {
  CLI::App* gpio = app.add_subcommand("gpio", "The GPIO pin model and its setting strings");
  gpio->require_subcommand(1);
  CLI::App* parse = gpio->add_subcommand(
      "parse", "Show the pin index, mode and state name each setting gives, or why it fails");

  struct TOptions {
    std::vector<std::string> Settings;
    std::string Naming = "bank";
    std::int32_t Offset = 0;
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

  parse->callback([options, &context] {
    TParseOnlyOwner owner;
    owner.BankNaming = options->Naming == "decimal" ? 0 : 1;
    owner.NameOffset = options->Offset;
    bool allValid = true;
    for (const std::string& argument : options->Settings) {
      std::wstring list = TGpioBase::NormalizeGPIOSettings(host::Utf8ToWide(argument));
      if (list.empty()) {
        std::cout << "\"" << argument << "\": rejected: empty setting\n";
        allValid = false;
        continue;
      }
      while (!list.empty()) {
        std::wstring token;
        TGpioBase::NextGPIOToken(list, token);
        std::string shown = host::WideToUtf8(token);
        std::uint8_t pin = 0;
        std::uint8_t mode = 0;
        if (!owner.InterpretGPIOString(token, pin, mode)) {
          std::cout << shown << ": rejected: " << RejectReason(owner, token) << "\n";
          allValid = false;
        } else if (token.find(L"::") != std::wstring::npos) {
          std::cout << shown << ": accepted, no effect (contains \"::\")\n";
        } else {
          char line[96];
          std::snprintf(line, sizeof line, ": pin %u, mode 0x%02X, ", pin, mode);
          std::cout << shown << line << host::WideToUtf8(TGpioBase::GPIOStateName(mode)) << "\n";
        }
      }
    }
    context.ExitCode = allValid ? kCtlSuccess : kCtlFailed;
  });
}

TCtlCommandRegistrar g_registerGpio(&AddGpioCommands);

}  // namespace
