#pragma once
// The compiled form of a script: the text cut into its parts (plain statement sequences,
// CMDS, WAIT and LOOP blocks), each statement classified and its operand tokens read.
//
// Everything that depends only on the text is decided here: statement kind, target
// variable, command, tokens, numbers, and every error that the text alone causes. Such an
// error is kept in place (a failing statement or part) so that the interpreter reaches it
// after exactly the statements that come before it. What depends on run-time values
// (variable contents, range checks, the hardware) is left to the interpreter.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

enum class TScriptTokenKind : std::uint8_t {
  Number,       // Value = the number
  Variable,     // Value = the variable index
  BadVariable,  // "LOCAL..." with an index that is not 0..F
  BadNumber,    // neither
};

struct TScriptToken {
  TScriptTokenKind Kind = TScriptTokenKind::BadNumber;
  std::uint32_t Value = 0;
  std::string Text;  // the token as written (quotes removed), for text operands
};

// The commands, in table order.
enum TScriptCommand : int {
  kCmdI, kCmdI16, kCmdI32, kCmdO, kCmdO16, kCmdO32,
  kCmdIID, kCmdIID16, kCmdIID32, kCmdOID, kCmdOID16, kCmdOID32,
  kCmdADD, kCmdSUB, kCmdMUL, kCmdDIV, kCmdMOD, kCmdAND, kCmdOR, kCmdXOR, kCmdNOT,
  kCmdSHR, kCmdSHL, kCmdCMZ, kCmdDELAY,
  // Platform commands.
  kCmdRPCI, kCmdRPCI16, kCmdRPCI32, kCmdRPCIE, kCmdRPCIE16, kCmdRPCIE32,
  kCmdERPCI, kCmdERPCI16, kCmdERPCI32, kCmdERPCIE, kCmdERPCIE16, kCmdERPCIE32,
  kCmdWPCI, kCmdWPCI16, kCmdWPCI32, kCmdWPCIE, kCmdWPCIE16, kCmdWPCIE32,
  kCmdEWPCI, kCmdEWPCI16, kCmdEWPCI32, kCmdEWPCIE, kCmdEWPCIE16, kCmdEWPCIE32,
  kCmdFPCI, kCmdFPCICLASS,
  kCmdR, kCmdR16, kCmdR32, kCmdW, kCmdW16, kCmdW32, kCmdDMEM, kCmdFMEM,
  kCmdCPU, kCmdRDMSR, kCmdWRMSR, kCmdRDPMC, kCmdRDCR, kCmdWRCR, kCmdCPUID, kCmdRDTSC,
  kCmdLOGFILE, kCmdRWEXIT,
  kCmdCount
};

enum class TScriptStatementKind : std::uint8_t {
  Fail,          // fails with FailText (an error the text alone causes)
  Result,        // RESULT
  RwExit,        // RWEXIT
  ReadTsc,       // a statement beginning with RDTSC
  LogFileClose,  // LOGFILE alone
  LocalRead,     // LocalX=  (result := LocalX)
  LocalSet,      // LocalX= operand, or LocalX alone
  Command,
};

struct TScriptStatement {
  TScriptStatementKind Kind = TScriptStatementKind::Fail;
  bool BreakIfZero = false;
  bool BreakIfNonZero = false;
  std::uint8_t Target = 16;  // 0..15 a variable, 16 Scratch
  int Command = kCmdCount;
  std::string FailText;
  TScriptToken Operand;  // LocalSet
  std::vector<TScriptToken> Tokens;  // Command
};

enum class TScriptPartKind : std::uint8_t { Sequence, Cmds, Wait, Loop, Fail };

struct TScriptPart {
  TScriptPartKind Kind = TScriptPartKind::Sequence;
  std::vector<TScriptStatement> Body;
  TScriptToken WaitTarget;  // Wait
  TScriptToken Count;       // Wait, Loop
  std::string FailText;     // Fail
};

struct TScriptProgram {
  std::vector<TScriptPart> Parts;

  // Compiles a script text.
  static std::unique_ptr<TScriptProgram> Compile(std::string_view script);
  // The compiled form of `script` from the calling thread's cache (compiled on a miss), or,
  // for a text too long to keep, compiled into `uncached`. The reference is valid until
  // the next Get on the same thread.
  static const TScriptProgram& Get(const std::string& script,
                                   std::unique_ptr<TScriptProgram>& uncached);
};

namespace script {
// Reads one token: a variable reference, a number or neither.
TScriptToken ClassifyToken(std::string_view text);
// Splits an operand text at blanks; a double-quoted stretch may contain blanks and the
// quotes are removed ("55 AA" is the one token 55 AA).
std::vector<TScriptToken> Tokenize(std::string_view text);
// The command number of an upper-case name, or kCmdCount.
int FindCommand(std::string_view name);
}  // namespace script
