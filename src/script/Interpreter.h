#pragma once
// TInterpreter: runs scripts of the tool's command language (Super I/O detection, unlock
// and lock sequences, and the platform commands) against the access service.
//
// A script is one flat text: statements separated by ";", each one command with numeric
// operands (numbers or the variables Local0..LocalF), plus three block forms: CMDS{...}
// (run once), LOOP{count ...} (repeat) and WAIT{target count ...} (repeat until the result
// equals target). Blocks do not nest. The text is upper-cased and "," "(" ")" become
// blanks before anything else, so `o(LocalA,0x87)` is the statement `O LOCALA 0X87`.
//
// Scripts are compiled once per distinct text (a small per-thread cache) and the compiled
// form is replayed; the hardware accesses, their order and every message are exactly those
// of interpreting the text afresh.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "hwaccess/IoObject.h"

namespace script {
class TText;
}
struct TScriptProgram;
struct TScriptStatement;
struct TScriptToken;

class TInterpreter : public TIoObject {
 public:
  TInterpreter();
  ~TInterpreter() override;
  TInterpreter(const TInterpreter&) = delete;
  TInterpreter& operator=(const TInterpreter&) = delete;

  // Runs a whole script; each value-producing statement stores its value in `result`.
  // False at the first error (Message then holds the error text).
  bool Run(const std::string& script, std::int32_t& result);
  bool Run(const std::string& script);

  // Upper bound on the work one Run may do (0 = unbounded, the default). Every statement
  // counts one; a pass through an empty WAIT/LOOP block counts one; commands that sweep
  // memory or the PCI bus count one more per 4 KiB they read (FMEM, DMEM) or per bus they
  // scan (FPCI, FPCICLASS: 256), and a DMEM to a file one more per line it writes. When the
  // next statement would pass the bound, the script fails with "Statement budget
  // exhausted!". gavreloctl and the fuzzer use it to bound runaway WAIT/LOOP blocks; the
  // chip table's scripts never need it.
  void SetStatementBudget(std::uint64_t budget) { m_StatementBudget = budget; }

  // DELAY sleeps through this function (default: the calling thread sleeps). Tests and the
  // fuzzer replace it so that a script cannot stall them.
  using TSleepFunction = void (*)(std::uint32_t milliseconds);
  void SetSleepFunction(TSleepFunction sleep) { m_Sleep = sleep; }

  // Whether DMEM and LOGFILE may create files (default: yes). When not, the file is
  // treated as one that could not be created. The fuzzer turns it off.
  void SetFileAccess(bool allowed) { m_FileAccess = allowed; }

  std::string Message;
  std::vector<std::string> Output;
  std::int32_t Local[16] = {};
  std::int32_t Scratch = 0;
  std::int32_t LastResult = 0;

  // Scratch of the processor commands: the register record handed to the MSR and CPUID
  // operations, and the last 64-bit counter or control-register value.
  struct TRegisters {
    std::uint32_t EAX = 0, EBX = 0, ECX = 0, EDX = 0;
  };
  TRegisters Registers;
  std::uint64_t Wide = 0;

  // Output holds at most this many lines per Run; further lines are dropped, and a DMEM
  // whose dump would not fit reports an allocation failure. Bounds what one script can
  // make the process hold.
  static constexpr std::size_t kMaxOutputLines = 1u << 18;
  // Largest DMEM dump (1 MiB: the whole legacy first megabyte, or any firmware table).
  static constexpr std::uint32_t kMaxDumpSize = 0x100000;

 private:
  enum class TFlow { Next, Break, Fail };

  TFlow RunSequence(const std::vector<TScriptStatement>& sequence, std::int32_t& result);
  bool RunStatement(const TScriptStatement& statement, std::int32_t& result);
  bool RunCommand(const TScriptStatement& statement, std::int32_t& result);
  bool Charge(std::uint64_t units);
  bool Fail(const char* text);
  void Say(const script::TText& text);

  // Operand access over the current statement's tokens.
  bool TakeNumber(std::uint32_t& value, std::uint32_t maximum = 0xFFFFFFFFu);
  bool TakeOptional(std::uint32_t& value, std::uint32_t fallback);
  bool TakeText(std::string& text);
  bool TokenValue(const TScriptToken& token, std::uint32_t& value);
  void Store(std::int32_t& result, std::uint32_t value);
  void AddOutput(std::string line);
  void AddDump(const std::uint8_t* bytes, std::size_t length);

  // Command families.
  bool RunPlatformCommand(int command, std::int32_t& result);
  bool RunPci(int command, std::int32_t& result);
  bool RunMemory(int command, std::int32_t& result);
  bool RunProcessor(int command);
  bool DumpMemory();
  bool FindMemory(std::int32_t& result);
  void ReadTimeStamp();
  void OpenLogFile(const std::string& name);
  void CloseLogFile();

  std::uint64_t m_StatementBudget = 0;
  std::uint64_t m_Charged = 0;
  TSleepFunction m_Sleep = nullptr;
  bool m_FileAccess = true;

  // LOGFILE: like the Windows handle it models, the slot counts as held even when the file
  // could not be created (then m_LogFile is null).
  bool m_LogFileHeld = false;
  std::FILE* m_LogFile = nullptr;

  // The statement being run: its target slot (0..15 a variable, 16 Scratch) and tokens.
  int m_Target = 16;
  const std::vector<TScriptToken>* m_Tokens = nullptr;
  std::size_t m_NextToken = 0;
};
