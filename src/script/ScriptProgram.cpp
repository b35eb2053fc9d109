#include "script/ScriptProgram.h"

#include <array>
#include <unordered_map>

#include "script/ScriptText.h"

namespace {

struct TCommandInfo {
  const char* Name;
  std::uint8_t MinTokens;  // fewer tokens than this: "parameter error!"
};

// Indexed by TScriptCommand.
constexpr TCommandInfo kCommands[kCmdCount] = {
    {"I", 1},       {"I16", 1},     {"I32", 1},     {"O", 2},         {"O16", 2},
    {"O32", 2},     {"IID", 3},     {"IID16", 3},   {"IID32", 3},     {"OID", 4},
    {"OID16", 4},   {"OID32", 4},   {"ADD", 2},     {"SUB", 2},       {"MUL", 2},
    {"DIV", 2},     {"MOD", 2},     {"AND", 2},     {"OR", 2},        {"XOR", 2},
    {"NOT", 1},     {"SHR", 2},     {"SHL", 2},     {"CMZ", 1},       {"DELAY", 1},
    {"RPCI", 4},    {"RPCI16", 4},  {"RPCI32", 4},  {"RPCIE", 4},     {"RPCIE16", 4},
    {"RPCIE32", 4}, {"ERPCI", 2},   {"ERPCI16", 2}, {"ERPCI32", 2},   {"ERPCIE", 2},
    {"ERPCIE16", 2}, {"ERPCIE32", 2}, {"WPCI", 5},  {"WPCI16", 5},    {"WPCI32", 5},
    {"WPCIE", 5},   {"WPCIE16", 5}, {"WPCIE32", 5}, {"EWPCI", 3},     {"EWPCI16", 3},
    {"EWPCI32", 3}, {"EWPCIE", 3},  {"EWPCIE16", 3}, {"EWPCIE32", 3}, {"FPCI", 1},
    {"FPCICLASS", 1}, {"R", 1},     {"R16", 1},     {"R32", 1},       {"W", 2},
    {"W16", 2},     {"W32", 2},     {"DMEM", 1},    {"FMEM", 5},      {"CPU", 1},
    {"RDMSR", 1},   {"WRMSR", 3},   {"RDPMC", 1},   {"RDCR", 1},      {"WRCR", 3},
    {"CPUID", 1},   {"RDTSC", 0},   {"LOGFILE", 1}, {"RWEXIT", 0},
};

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

TScriptStatement FailStatement(std::string text) {
  TScriptStatement statement;
  statement.Kind = TScriptStatementKind::Fail;
  statement.FailText = std::move(text);
  return statement;
}

// A command statement: name, a blank, operands.
void CompileCommand(std::string_view text, TScriptStatement& statement) {
  std::size_t blank = text.find(' ');
  if (blank == std::string_view::npos) {
    statement.Kind = TScriptStatementKind::Fail;
    statement.FailText = "Command error!";
    return;
  }
  int command = script::FindCommand(text.substr(0, blank));
  if (command == kCmdCount) {
    statement.Kind = TScriptStatementKind::Fail;
    statement.FailText = "Unknown command!";
    return;
  }
  statement.Tokens = script::Tokenize(script::Trim(text.substr(blank + 1)));
  if (statement.Tokens.size() < kCommands[command].MinTokens) {
    statement.Kind = TScriptStatementKind::Fail;
    statement.FailText = "parameter error!";
    statement.Tokens.clear();
    return;
  }
  statement.Kind = TScriptStatementKind::Command;
  statement.Command = command;
}

TScriptStatement CompileStatement(std::string_view text) {
  TScriptStatement statement;
  if (!StartsWith(text, "LOCAL")) {
    if (StartsWith(text, "BKIF0") || StartsWith(text, "BKIF1")) {
      // A prefix: the test is made after the command, on the result variable.
      (text[4] == '0' ? statement.BreakIfZero : statement.BreakIfNonZero) = true;
      CompileCommand(script::Trim(text.substr(5)), statement);
    } else if (text == "RESULT") {
      statement.Kind = TScriptStatementKind::Result;
    } else if (text == "RWEXIT") {
      statement.Kind = TScriptStatementKind::RwExit;
    } else if (StartsWith(text, "RDTSC")) {
      statement.Kind = TScriptStatementKind::ReadTsc;
    } else if (text == "LOGFILE") {
      statement.Kind = TScriptStatementKind::LogFileClose;
    } else {
      CompileCommand(text, statement);
    }
    return statement;
  }

  // An assignment or a variable reference. The index text runs to the "=" untrimmed, so in
  // "Local0 =5" it is "0 " and fails.
  std::string_view rest = text.substr(5);
  int index = script::ParseLocalIndex(rest.substr(0, rest.find('=')));
  if (index < 0) return FailStatement(script::kVariableMessage);
  statement.Target = static_cast<std::uint8_t>(index);
  std::size_t equals = rest.find('=');
  if (equals != std::string_view::npos) text = script::Trim(rest.substr(equals + 1));
  if (text.empty()) {
    statement.Kind = TScriptStatementKind::LocalRead;
    return statement;
  }
  if (text.find(' ') == std::string_view::npos) {
    TScriptToken operand = script::ClassifyToken(text);
    if (operand.Kind == TScriptTokenKind::BadVariable) return FailStatement(script::kVariableMessage);
    if (operand.Kind != TScriptTokenKind::BadNumber) {
      statement.Kind = TScriptStatementKind::LocalSet;
      statement.Operand = std::move(operand);
      return statement;
    }
  }
  CompileCommand(text, statement);
  return statement;
}

// A statement sequence. A ";" that ends the text adds no empty statement, and a text with
// no statement at all runs nothing; only an empty statement between two ";" is an error.
std::vector<TScriptStatement> CompileSequence(std::string_view text) {
  std::vector<TScriptStatement> statements;
  text = script::TrimLeft(text);
  while (!text.empty() && text.front() == ';') text.remove_prefix(1);
  text = script::Trim(text);
  while (!text.empty()) {
    std::size_t semicolon = text.find(';');
    statements.push_back(CompileStatement(script::Trim(text.substr(0, semicolon))));
    if (semicolon == std::string_view::npos) break;
    text = script::Trim(text.substr(semicolon + 1));
  }
  return statements;
}

// The word before the first blank of `text`, read as an operand; `rest` the text after
// that blank. False (with the part turned into a failure) on a missing blank or a bad word.
bool TakeBlockWord(std::string_view& text, TScriptToken& word, TScriptPart& part) {
  std::size_t blank = text.find(' ');
  if (blank == std::string_view::npos) {
    part.Kind = TScriptPartKind::Fail;
    part.FailText = "parameter error!";
    return false;
  }
  word = script::ClassifyToken(text.substr(0, blank));
  if (word.Kind == TScriptTokenKind::BadVariable || word.Kind == TScriptTokenKind::BadNumber) {
    part.Kind = TScriptPartKind::Fail;
    part.FailText = word.Kind == TScriptTokenKind::BadVariable ? script::kVariableMessage
                                                                : "Operand format error.";
    return false;
  }
  text = script::Trim(text.substr(blank + 1));
  return true;
}

}  // namespace

namespace script {

TScriptToken ClassifyToken(std::string_view text) {
  TScriptToken token;
  token.Text = std::string(text);
  if (StartsWith(text, "LOCAL")) {
    int index = ParseLocalIndex(text.substr(5));
    token.Kind = index < 0 ? TScriptTokenKind::BadVariable : TScriptTokenKind::Variable;
    token.Value = index < 0 ? 0 : static_cast<std::uint32_t>(index);
  } else if (ParseNumber(text, token.Value)) {
    token.Kind = TScriptTokenKind::Number;
  } else {
    token.Kind = TScriptTokenKind::BadNumber;
    token.Value = 0;
  }
  return token;
}

std::vector<TScriptToken> Tokenize(std::string_view text) {
  std::vector<TScriptToken> tokens;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] == ' ') {
      ++i;
      continue;
    }
    std::string word;
    bool quoted = false;
    while (i < text.size() && (quoted || text[i] != ' ')) {
      if (text[i] == '"') {
        quoted = !quoted;  // an unclosed quote runs to the end of the statement
      } else {
        word.push_back(text[i]);
      }
      ++i;
    }
    tokens.push_back(ClassifyToken(word));
  }
  return tokens;
}

int FindCommand(std::string_view name) {
  static const std::unordered_map<std::string_view, int> table = [] {
    std::unordered_map<std::string_view, int> map;
    for (int c = 0; c < kCmdCount; ++c) map.emplace(kCommands[c].Name, c);
    return map;
  }();
  auto found = table.find(name);
  return found == table.end() ? kCmdCount : found->second;
}

}  // namespace script

std::unique_ptr<TScriptProgram> TScriptProgram::Compile(std::string_view source) {
  auto program = std::make_unique<TScriptProgram>();

  // Normalise: trim, upper case, "," "(" ")" become blanks, trailing ";" go.
  std::string normal(script::Trim(source));
  for (char& c : normal) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c == ',' || c == '(' || c == ')') c = ' ';
  }
  while (!normal.empty() && normal.back() == ';') normal.pop_back();

  std::string_view text = normal;
  while (!text.empty()) {
    TScriptPart part;
    if (StartsWith(text, "CMDS{")) {
      std::size_t close = text.find('}');
      if (close == std::string_view::npos) {
        part.Kind = TScriptPartKind::Fail;
        part.FailText = "CMDS miss '}'";
        program->Parts.push_back(std::move(part));
        break;
      }
      part.Kind = TScriptPartKind::Cmds;
      part.Body = CompileSequence(text.substr(5, close - 5));
      text = script::Trim(text.substr(close + 1));
    } else if (StartsWith(text, "WAIT{") || StartsWith(text, "LOOP{")) {
      bool wait = text[0] == 'W';
      part.Kind = wait ? TScriptPartKind::Wait : TScriptPartKind::Loop;
      std::string_view rest = script::Trim(text.substr(5));
      if ((wait && !TakeBlockWord(rest, part.WaitTarget, part)) ||
          !TakeBlockWord(rest, part.Count, part)) {
        program->Parts.push_back(std::move(part));
        break;
      }
      std::size_t close = rest.find('}');
      if (close == std::string_view::npos) {
        part.Kind = TScriptPartKind::Fail;
        // The closing brace missing from a LOOP is reported like that of the other blocks.
        part.FailText = wait ? "WAIT miss '}'" : "LOOP miss '}'";
        program->Parts.push_back(std::move(part));
        break;
      }
      part.Body = CompileSequence(script::Trim(rest.substr(0, close)));
      // The rest after a block is trimmed for every block form, so that blocks may follow
      // one another separated by blanks.
      text = script::Trim(rest.substr(close + 1));
    } else {
      // A plain part runs up to the first CMDS{, else the first WAIT{, else the first
      // LOOP{: the keywords are searched by priority, not by position.
      std::size_t keyword = text.find("CMDS{");
      if (keyword == std::string_view::npos) keyword = text.find("WAIT{");
      if (keyword == std::string_view::npos) keyword = text.find("LOOP{");
      part.Kind = TScriptPartKind::Sequence;
      part.Body = CompileSequence(script::Trim(text.substr(0, keyword)));
      text = keyword == std::string_view::npos ? std::string_view() : text.substr(keyword);
    }
    program->Parts.push_back(std::move(part));
  }
  return program;
}

const TScriptProgram& TScriptProgram::Get(const std::string& script,
                                          std::unique_ptr<TScriptProgram>& uncached) {
  // Detection and configuration access run the same few short texts over and over, on a
  // fresh interpreter each time; compiling each distinct text once is what makes that
  // cheap. The cache is per thread (no locking) and bounded: long texts are not kept, and
  // when it is full it starts over. The last few texts are looked up by comparison alone,
  // without hashing: a configuration access cycles through six of them.
  constexpr std::size_t kMaxEntries = 512;
  constexpr std::size_t kMaxCachedLength = 4096;
  constexpr std::size_t kRecent = 8;
  struct TRecent {
    const std::string* Text = nullptr;
    const TScriptProgram* Program = nullptr;
  };
  struct TCache {
    std::unordered_map<std::string, std::unique_ptr<TScriptProgram>> Programs;
    std::array<TRecent, kRecent> Recent{};
    std::size_t Next = 0;
  };
  thread_local TCache cache;

  if (script.size() > kMaxCachedLength) {
    uncached = Compile(script);
    return *uncached;
  }
  for (const TRecent& recent : cache.Recent) {
    if (recent.Text != nullptr && *recent.Text == script) return *recent.Program;
  }
  auto found = cache.Programs.find(script);
  if (found == cache.Programs.end()) {
    if (cache.Programs.size() >= kMaxEntries) {
      cache.Recent = {};
      cache.Programs.clear();
    }
    found = cache.Programs.emplace(script, Compile(script)).first;
  }
  // Keys of a node-based map keep their address, so the ring may point at them.
  cache.Recent[cache.Next] = {&found->first, found->second.get()};
  cache.Next = (cache.Next + 1) % kRecent;
  return *found->second;
}
