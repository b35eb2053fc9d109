// gavreloctl script: runs command-language scripts on one interpreter, so the variables
// Local0..LocalF keep their values from one text to the next.
//
//   gavreloctl script TEXT...   runs each TEXT in turn
//   gavreloctl script -         reads the texts from standard input, one per line
//   gavreloctl script           interactive console: a prompt per line, "exit" or end of
//                               input leaves (the prompt goes to standard error, so
//                               captured output holds only what the scripts print)
//
// After each text it prints the interpreter's status line and the lines of its output.
// A text that fails stops the run with exit code 1: a register sequence that went wrong
// half-way is not continued. --max-statements bounds each text's work, so a runaway
// WAIT or LOOP block ends with an error instead of running for ever.

#include <cctype>
#include <cstdint>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "platform/OrvSpec.h"
#include "script/Interpreter.h"
#include "tools/gavreloctl/CtlCommand.h"

// The language reference (docs/script-language.md), embedded at build time.
extern const char kScriptReference[];

namespace {

struct TScriptOptions {
  std::vector<std::string> Texts;
  std::uint64_t MaxStatements = 0;
  bool Json = false;
  std::string Reference;
  bool ReferenceWanted = false;
};

// With --json the texts' results are collected here and printed as one document at the end.
nlohmann::json g_results = nlohmann::json::array();
bool g_json = false;

// Runs one text and prints what it produced; false when it failed.
bool RunText(TInterpreter& interpreter, const std::string& text) {
  // Statements overwrite the status line; a text that sets none (an empty text, RWEXIT)
  // prints nothing rather than the previous text's line again.
  interpreter.Message.clear();
  const bool ok = interpreter.Run(text);
  if (g_json) {
    g_results.push_back({{"text", text},
                         {"ok", ok},
                         {"message", interpreter.Message},
                         {"output", interpreter.Output}});
    return ok;
  }
  if (!interpreter.Message.empty()) std::cout << interpreter.Message << '\n';
  for (const std::string& line : interpreter.Output) std::cout << line << '\n';
  std::cout.flush();
  return ok;
}

// The part of the language reference about `name` (a command or a heading word): from the
// heading that names it to the next heading of the same or a higher level. Empty when no
// heading names it.
std::string ReferencePart(const std::string& name) {
  auto upper = [](std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
  };
  const std::string wanted = upper(name);
  const std::string text = kScriptReference;
  std::string part;
  std::size_t level = 0;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(at, end - at);
    at = end + 1;
    const std::size_t hashes = line.find_first_not_of('#');
    const bool heading = hashes != 0 && hashes != std::string::npos && line[hashes] == ' ';
    if (heading && level != 0 && hashes <= level) break;
    if (heading && level == 0) {
      // The heading's words, split at blanks and commas: "### I, I16, I32".
      std::string words = upper(line.substr(hashes));
      for (char& c : words)
        if (c == ',' || c == '`') c = ' ';
      if ((" " + words + " ").find(" " + wanted + " ") != std::string::npos) level = hashes;
    }
    if (level != 0) part += line + "\n";
  }
  return part;
}

bool IsExit(const std::string& line) {
  std::string word;
  for (char c : line) {
    const auto byte = static_cast<unsigned char>(c);  // tolower takes unsigned char values
    if (c != ' ' && c != '\t' && c != '\r') word.push_back(static_cast<char>(std::tolower(byte)));
  }
  return word == "exit";
}

int RunTexts(const TScriptOptions& options);

int RunScripts(const TScriptOptions& options) {
  if (options.ReferenceWanted) {
    if (options.Reference.empty()) {
      std::cout << kScriptReference;
      return kCtlSuccess;
    }
    const std::string part = ReferencePart(options.Reference);
    if (part.empty()) {
      std::cerr << "gavreloctl: script: the reference names no \"" << options.Reference << "\"\n";
      return kCtlFailed;
    }
    std::cout << part;
    return kCtlSuccess;
  }
  if (options.Json && options.Texts.empty()) {
    std::cerr << "gavreloctl: script: --json needs the texts on the command line or \"-\"\n";
    return kCtlUsage;
  }
  g_json = options.Json;
  const int code = RunTexts(options);
  if (g_json) CtlPrintJson({{"texts", g_results}});
  return code;
}

int RunTexts(const TScriptOptions& options) {
  // As in the tool's start-up, TOrvSpec hands the MCFG base of the ACPI tables to the
  // access service first, so RPCIE and ERPCIE reach the PCI Express window.
  CtlRequireHardwareAccess();
  TOrvSpec::Instance();
  TInterpreter interpreter;
  interpreter.SetStatementBudget(options.MaxStatements);

  if (options.Texts.empty()) {
    std::string line;
    for (;;) {
      std::cerr << "script> " << std::flush;
      if (!std::getline(std::cin, line) || IsExit(line)) break;
      RunText(interpreter, line);  // the console goes on after an error
    }
    std::cerr << '\n';
    return kCtlSuccess;
  }

  for (const std::string& text : options.Texts) {
    if (text == "-") {
      std::string line;
      while (std::getline(std::cin, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!RunText(interpreter, line)) return kCtlFailed;
      }
    } else if (!RunText(interpreter, text)) {
      return kCtlFailed;
    }
  }
  return kCtlSuccess;
}

void RegisterScript(CLI::App& app, TCtlContext& context) {
  auto options = std::make_shared<TScriptOptions>();
  CLI::App* command = app.add_subcommand(
      "script",
      "Run command scripts (ports, index/data, PCI, memory, MSR, CPUID ...) on one "
      "interpreter; locals persist between texts. Stops at the first failing text (exit 1)");
  command->add_option("text", options->Texts,
                      "Script texts, run in order; \"-\" reads one script per line from "
                      "standard input; none starts the interactive console");
  command->add_option("--max-statements", options->MaxStatements,
                      "Upper bound on the statements one text may run (0 = none)")
      ->type_name("N");
  command->add_flag("--json", options->Json,
                    "Print each text's result (ok, status line, output lines) as JSON");
  CLI::Option* reference =
      command
          ->add_option("--reference", options->Reference,
                       "Print the language reference (every command, its operands, its message, "
                       "an example), or only the part about COMMAND; runs nothing")
          ->expected(0, 1)
          ->type_name("COMMAND");
  command->callback([options, reference, &context] {
    options->ReferenceWanted = reference->count() > 0;
    context.ExitCode = RunScripts(*options);
  });
}

const TCtlCommandRegistrar registrar(&RegisterScript);

}  // namespace
