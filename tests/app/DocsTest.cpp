// The user documentation against the tool: the script reference's examples run as written,
// `script --reference` prints that page, every gavreloctl command is in docs/gavreloctl.md
// and its manual page, and every command that prints data prints one JSON object in the
// documented style with --json.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

// GCC 12 with the sanitizers warns of an uninitialised std::function inside <regex>'s own
// automaton (a false positive of its library, not of this file).
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <regex>
#include <set>
#include <sstream>

#include "tests/support/Subprocess.h"
#include "tests/support/TempDir.h"

namespace {

const std::string kSource = GAVRELO_SOURCE_DIR;
const std::string kBoards = kSource + "/boards/";

class Docs : public testing::Test {
 protected:
  TProcessResult Ctl(const std::vector<std::string>& args, const std::map<std::string, std::string>& env = {}) {
    return RunProcess(std::string(GAVRELO_BIN_DIR) + "/gavreloctl", args, env, m_Dir.File("ctl"));
  }
  TTempDir m_Dir{"docs"};
};

// The lines of a command's "Subcommands:" list in its --help.
std::vector<std::string> Subcommands(const std::string& help) {
  std::vector<std::string> names;
  std::istringstream in(help.substr(std::min(help.size(), help.find("Subcommands:"))));
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line) && line.rfind("  ", 0) == 0) {
    std::istringstream words(line);
    std::string name;
    words >> name;
    names.push_back(name);
  }
  return names;
}

TEST_F(Docs, ScriptReferenceExamplesRunAsWritten) {
  const std::string doc = TSubprocess::Slurp(kSource + "/docs/script-language.md");
  std::size_t blocks = 0;
  for (std::size_t at = doc.find("```script\n"); at != std::string::npos; at = doc.find("```script\n", at)) {
    const std::size_t end = doc.find("```\n", at + 10);
    ASSERT_NE(end, std::string::npos);
    std::istringstream block(doc.substr(at + 10, end - at - 10));
    at = end;
    ++blocks;
    std::vector<std::string> texts;
    std::vector<std::string> expected;
    for (std::string line; std::getline(block, line);) {
      if (line.rfind("script> ", 0) == 0) {
        texts.push_back(line.substr(8));
        expected.emplace_back();
      } else {
        ASSERT_FALSE(expected.empty()) << line;
        expected.back() += line + "\n";
      }
    }
    std::vector<std::string> args = {"--board", kBoards + "demo.json", "script", "--json"};
    args.insert(args.end(), texts.begin(), texts.end());
    const TProcessResult r = Ctl(args);
    const nlohmann::json j = nlohmann::json::parse(r.Stdout, nullptr, false);
    ASSERT_TRUE(j.is_object()) << texts.front() << "\n" << r.Stderr;
    ASSERT_EQ(j["texts"].size(), texts.size()) << "a text failed before the last one: " << r.Stdout;
    for (std::size_t i = 0; i < texts.size(); ++i) {
      const nlohmann::json& result = j["texts"][i];
      std::string got = result["message"].get<std::string>().empty() ? "" : result["message"].get<std::string>() + "\n";
      for (const auto& line : result["output"]) got += line.get<std::string>() + "\n";
      EXPECT_EQ(got, expected[i]) << texts[i];
    }
  }
  EXPECT_GE(blocks, 30u);
}

TEST_F(Docs, ScriptReferenceIsThePageOrThePartAboutOneCommand) {
  TProcessResult r = Ctl({"script", "--reference"});
  EXPECT_EQ(r.ExitCode, 0);
  EXPECT_EQ(r.Stdout, TSubprocess::Slurp(kSource + "/docs/script-language.md"));
  r = Ctl({"script", "--reference", "iid16"});
  EXPECT_EQ(r.ExitCode, 0);
  EXPECT_EQ(r.Stdout.rfind("### IID, IID16, IID32\n", 0), 0u) << r.Stdout;
  EXPECT_EQ(r.Stdout.find("### OID"), std::string::npos) << r.Stdout;
  EXPECT_NE(r.Stdout.find("script> IID16(0x2e,0x2f,0x20)"), std::string::npos);
  r = Ctl({"script", "--reference", "Ports"});  // a section: all its commands
  EXPECT_EQ(r.Stdout.rfind("## Ports\n", 0), 0u);
  EXPECT_NE(r.Stdout.find("### OID, OID16, OID32"), std::string::npos);
  EXPECT_EQ(r.Stdout.find("## Arithmetic"), std::string::npos);
  r = Ctl({"script", "--reference", "NOSUCH"});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_EQ(r.Stdout, "");
  EXPECT_NE(r.Stderr.find("names no \"NOSUCH\""), std::string::npos) << r.Stderr;
}

TEST_F(Docs, EveryCommandIsDocumentedWithAnExampleAndInTheManualPage) {
  const std::string guide = TSubprocess::Slurp(kSource + "/docs/gavreloctl.md");
  const std::string manual = TSubprocess::Slurp(kSource + "/docs/man/gavreloctl.1");
  const std::vector<std::string> commands = Subcommands(Ctl({"--help"}).Stdout);
  ASSERT_GE(commands.size(), 10u);
  for (const std::string& command : commands) {
    SCOPED_TRACE(command);
    const std::size_t section = guide.find("\n### " + command + "\n");
    ASSERT_NE(section, std::string::npos);
    const std::size_t next = guide.find("\n### ", section + 1);
    const std::string body = guide.substr(section, next - section);
    EXPECT_TRUE(std::regex_search(body, std::regex("\n    (sudo )?gavreloctl( --board [^ ]+)? " + command + "\\b")))
        << "no example line in the section";
    for (const std::string& sub : Subcommands(Ctl({command, "--help"}).Stdout))
      EXPECT_NE(body.find(command + " " + sub), std::string::npos) << sub;
    EXPECT_TRUE(std::regex_search(manual, std::regex("\n\\.BR? " + command + "\\b"))) << "not in gavreloctl.1";
  }
}

// Keys whose values are numbers (or null) wherever they appear.
const std::set<std::string> kNumberKeys = {"port", "register", "value", "ldn", "bus", "device", "function",
                                           "address", "size", "pin_index", "vendor_id", "device_id", "ms", "mode"};
// Keys whose values are text: a pin is named ("GPIO12", "GPP_B_12"), its index is pin_index.
const std::set<std::string> kTextKeys = {"pin", "chip", "owner", "setting", "state", "model_name"};

// Objects that map names of the tool's own data (settings-record fields, XML attributes)
// keep those names as their keys.
const std::set<std::string> kNameMaps = {"platform", "platform_source", "attributes"};

void ExpectDocumentedStyle(const nlohmann::json& j, const std::string& path, bool nameMap = false) {
  if (j.is_object()) {
    for (const auto& [key, value] : j.items()) {
      EXPECT_TRUE(nameMap || std::regex_match(key, std::regex("[a-z][a-z0-9_]*"))) << path << "." << key;
      const bool scalar = !value.is_object() && !value.is_array();
      const bool typed = value.is_null() || (kNumberKeys.count(key) != 0 ? value.is_number()
                                             : kTextKeys.count(key) != 0  ? value.is_string()
                                                                          : true);
      EXPECT_TRUE(!scalar || typed) << path << "." << key << " = " << value.dump();
      ExpectDocumentedStyle(value, path + "." + key, kNameMaps.count(key) != 0);
    }
  } else if (j.is_array()) {
    for (std::size_t i = 0; i < j.size(); ++i) ExpectDocumentedStyle(j[i], path + "[" + std::to_string(i) + "]");
  }
}

TEST_F(Docs, EveryCommandThatPrintsDataPrintsOneJsonObjectInTheDocumentedStyle) {
  const std::string trace = m_Dir.Write(
      "trace.jsonl",
      R"({"kind":"pin","owner":"sio","chip":"W83627UHG","port":46,"pin":"GPIO12","state":"output_low","level":0,"seq":1,"us":5})"
      "\n");
  struct TCase {
    std::string Board;  // "" for none
    std::vector<std::string> Args;
    int ExitCode;
  };
  const std::vector<TCase> cases = {
      {"demo.json", {"info", "--json"}, 0},
      {"demo.json", {"detect", "--json"}, 0},
      {"demo.json", {"config", "--json"}, 0},
      {"demo.json", {"ini", "--json"}, 0},
      {"", {"trace", "--json", trace}, 0},
      {"", {"gpio", "parse", "--json", "GPIO12=Low", "GPIOX=Low"}, 1},
      {"w83627uhg-demo.json", {"gpio", "list", "--json"}, 0},
      {"w83627uhg-demo.json", {"gpio", "set", "--json", "GPIO23=Low"}, 0},
      {"w83627uhg-demo.json", {"gpio", "check", "--json", "GPIO23=Low"}, 1},
      {"w83627uhg-demo.json", {"gpio", "enable", "--json", "GPIO23"}, 0},
      {"ich10-nct6776f.json", {"panel", "apply", "--json", "GPIO5=0"}, 0},
      {"ich10-nct6776f.json", {"panel", "refresh", "--json", "GPIO5"}, 0},
      {"demo.json", {"hwm", "--json"}, 0},
      {"demo.json", {"sio", "read", "--json", "--ldn", "0x0B", "0x60"}, 0},
      {"demo.json", {"pci", "list", "--json"}, 0},
      {"demo.json", {"mem", "dump", "--json", "0xF0000", "32"}, 0},
      {"demo.json", {"script", "--json", "add 1 2"}, 0},
  };
  std::set<std::string> covered;
  for (const TCase& c : cases) {
    std::vector<std::string> args = c.Args;
    if (!c.Board.empty()) args.insert(args.begin(), {"--board", kBoards + c.Board});
    SCOPED_TRACE(c.Args[0] + " " + c.Args[1]);
    const TProcessResult r = Ctl(args);
    EXPECT_EQ(r.ExitCode, c.ExitCode) << r.Stderr;
    const nlohmann::json j = nlohmann::json::parse(r.Stdout, nullptr, false);
    ASSERT_TRUE(j.is_object()) << r.Stdout;
    // Indented by two, nothing else on standard output (keys in the command's own order).
    EXPECT_TRUE(r.Stdout == nlohmann::ordered_json::parse(r.Stdout).dump(2) + "\n") << "not one document indented by two";
    ExpectDocumentedStyle(j, c.Args[0]);
    covered.insert(c.Args[0] + (c.Args[1].rfind("--", 0) == 0 ? "" : " " + c.Args[1]));
  }
  // A command added later is classified here: it prints data (a case above) or nothing.
  const std::set<std::string> printsNoData = {"sio write", "snapshot"};
  for (const std::string& command : Subcommands(Ctl({"--help"}).Stdout)) {
    std::vector<std::string> subs = Subcommands(Ctl({command, "--help"}).Stdout);
    if (subs.empty()) subs.push_back("");
    for (const std::string& sub : subs) {
      const std::string name = sub.empty() ? command : command + " " + sub;
      EXPECT_TRUE(covered.count(name) != 0 || printsNoData.count(name) != 0) << name << " has no --json case";
    }
  }
}

}  // namespace
