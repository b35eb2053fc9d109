#include "script/Interpreter.h"

#include <algorithm>
#include <chrono>
#include <new>
#include <thread>

#include "hwaccess/ReadWrite.h"
#include "script/ScriptProgram.h"
#include "script/ScriptText.h"

using script::Dec;
using script::Hex;
using script::HexMin;
using script::TText;
using script::Val;

namespace {

void SleepMilliseconds(std::uint32_t milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

const char* ArithmeticName(int command) {
  switch (command) {
    case kCmdADD: return "Add (";
    case kCmdSUB: return "Sub (";
    case kCmdMUL: return "Mul (";
    case kCmdDIV: return "Div (";
    case kCmdMOD: return "Mod (";
    case kCmdAND: return "And (";
    case kCmdOR: return "Or (";
    case kCmdXOR: return "Xor (";
    case kCmdSHR: return "Shr (";
    default: return "Shl (";
  }
}

}  // namespace

TInterpreter::TInterpreter() = default;

TInterpreter::~TInterpreter() { CloseLogFile(); }

bool TInterpreter::Run(const std::string& script) { return Run(script, LastResult); }

bool TInterpreter::Run(const std::string& script, std::int32_t& result) {
  Output.clear();
  m_Charged = 0;
  std::unique_ptr<TScriptProgram> uncached;
  const TScriptProgram& program = TScriptProgram::Get(script, uncached);
  for (const TScriptPart& part : program.Parts) {
    switch (part.Kind) {
      case TScriptPartKind::Fail:
        return Fail(part.FailText.c_str());
      case TScriptPartKind::Sequence:
        if (RunSequence(part.Body, result) == TFlow::Fail) return false;
        break;
      case TScriptPartKind::Cmds: {
        TFlow flow = RunSequence(part.Body, result);
        if (flow == TFlow::Fail) return false;
        if (flow == TFlow::Break) Message = "Command break";
        break;
      }
      case TScriptPartKind::Wait:
      case TScriptPartKind::Loop: {
        bool wait = part.Kind == TScriptPartKind::Wait;
        std::uint32_t target = 0;
        std::uint32_t count = 0;
        if (wait) TokenValue(part.WaitTarget, target);
        TokenValue(part.Count, count);
        // A count of 0 repeats without end. A negative count is taken as the unsigned
        // number it is written as and counts down through the 32-bit range (about four
        // thousand million passes); a caller that must bound it sets a statement budget.
        bool forever = count == 0;
        while (forever || count != 0) {
          TFlow flow = RunSequence(part.Body, result);
          if (flow == TFlow::Fail) return false;
          if (flow == TFlow::Break) {
            Message = "Command break";
            break;
          }
          if (wait && result == static_cast<std::int32_t>(target)) break;
          --count;
        }
        break;
      }
    }
  }
  return true;
}

void TInterpreter::Say(const TText& text) { Message.assign(text.View()); }

bool TInterpreter::Fail(const char* text) {
  Message = text;
  return false;
}

bool TInterpreter::Charge(std::uint64_t units) {
  if (m_StatementBudget == 0) return true;
  if (m_Charged + units > m_StatementBudget) {
    m_Charged = m_StatementBudget;
    return Fail("Statement budget exhausted!");
  }
  m_Charged += units;
  return true;
}

TInterpreter::TFlow TInterpreter::RunSequence(const std::vector<TScriptStatement>& sequence,
                                              std::int32_t& result) {
  // An empty block still costs one unit per pass, so that WAIT{0 0 } stays bounded.
  if (sequence.empty() && !Charge(1)) return TFlow::Fail;
  for (const TScriptStatement& statement : sequence) {
    if (!RunStatement(statement, result)) return TFlow::Fail;
    if ((statement.BreakIfZero && result == 0) || (statement.BreakIfNonZero && result != 0)) {
      Message = "Command break";
      return TFlow::Break;
    }
  }
  return TFlow::Next;
}

bool TInterpreter::TokenValue(const TScriptToken& token, std::uint32_t& value) {
  switch (token.Kind) {
    case TScriptTokenKind::Number:
      value = token.Value;
      return true;
    case TScriptTokenKind::Variable:
      value = static_cast<std::uint32_t>(Local[token.Value]);
      return true;
    case TScriptTokenKind::BadVariable:
      return Fail(script::kVariableMessage);
    case TScriptTokenKind::BadNumber:
      break;
  }
  return Fail("Operand format error.");
}

bool TInterpreter::TakeNumber(std::uint32_t& value, std::uint32_t maximum) {
  if (m_NextToken >= m_Tokens->size()) return Fail("parameter error!");
  if (!TokenValue((*m_Tokens)[m_NextToken++], value)) return false;
  if (value > maximum) {
    Message = script::RangeMessage(maximum);
    return false;
  }
  return true;
}

bool TInterpreter::TakeOptional(std::uint32_t& value, std::uint32_t fallback) {
  // A missing token or one that does not parse gives the default and stays in the list
  // (so in "DMEM 0xF0000 dump.txt" the file name is still the next token).
  value = fallback;
  if (m_NextToken >= m_Tokens->size()) return true;
  const TScriptToken& token = (*m_Tokens)[m_NextToken];
  if (token.Kind != TScriptTokenKind::Number && token.Kind != TScriptTokenKind::Variable) {
    return true;
  }
  TokenValue(token, value);
  ++m_NextToken;
  return true;
}

bool TInterpreter::TakeText(std::string& text) {
  if (m_NextToken >= m_Tokens->size()) return Fail("parameter error!");
  text = (*m_Tokens)[m_NextToken++].Text;
  return true;
}

void TInterpreter::Store(std::int32_t& result, std::uint32_t value) {
  std::int32_t v = static_cast<std::int32_t>(value);
  (m_Target < 16 ? Local[m_Target] : Scratch) = v;
  result = v;
}

void TInterpreter::AddOutput(std::string line) {
  if (Output.size() < kMaxOutputLines) Output.push_back(std::move(line));
}

void TInterpreter::AddDump(const std::uint8_t* bytes, std::size_t length) {
  int width = script::DumpOffsetDigits(length);
  AddOutput(script::DumpHeader(width));
  for (std::size_t offset = 0; offset < length; offset += 16) {
    std::size_t count = length - offset < 16 ? length - offset : 16;
    AddOutput(script::DumpRow(offset, width, bytes + offset, count));
  }
}

bool TInterpreter::RunStatement(const TScriptStatement& statement, std::int32_t& result) {
  if (!Charge(1)) return false;
  m_Target = statement.Target;
  switch (statement.Kind) {
    case TScriptStatementKind::Fail:
      Message = statement.FailText;
      return false;
    case TScriptStatementKind::Result:
      result = Scratch;
      Say(TText() << "Last result = " << Hex{static_cast<std::uint32_t>(Scratch), 8});
      return true;
    case TScriptStatementKind::RwExit:
      return true;
    case TScriptStatementKind::ReadTsc:
      ReadTimeStamp();
      return true;
    case TScriptStatementKind::LogFileClose:
      if (m_LogFileHeld) {
        CloseLogFile();
        Message = "Logfile is canceled.";
      } else {
        Message = "Logfile is not set.";
      }
      return true;
    case TScriptStatementKind::LocalRead:
      result = Local[m_Target];
      // The index as two hex digits here ("Local0A = "), one digit for an assignment.
      Say(TText() << "Local0" << "0123456789ABCDEF"[m_Target] << " = " << Val{Local[m_Target]});
      return true;
    case TScriptStatementKind::LocalSet: {
      std::uint32_t value = 0;
      if (!TokenValue(statement.Operand, value)) return false;
      Local[m_Target] = static_cast<std::int32_t>(value);
      Say(TText() << "Local" << "0123456789ABCDEF"[m_Target] << " = " << Val{Local[m_Target]});
      return true;
    }
    case TScriptStatementKind::Command:
      m_Tokens = &statement.Tokens;
      m_NextToken = 0;
      return RunCommand(statement, result);
  }
  return false;
}

bool TInterpreter::RunCommand(const TScriptStatement& statement, std::int32_t& result) {
  const int command = statement.Command;
  std::uint32_t a = 0, b = 0, c = 0, d = 0;
  switch (command) {
    case kCmdI:
    case kCmdI16:
    case kCmdI32: {
      if (!TakeNumber(a, 0xFFFF)) return false;
      const auto port = static_cast<std::uint16_t>(a);
      std::uint32_t v;
      int digits;
      if (command == kCmdI) {
        v = ReadWrite.ReadIoByte(port), digits = 2;
      } else if (command == kCmdI16) {
        v = ReadWrite.ReadIoWord(port), digits = 4;
      } else {
        v = ReadWrite.ReadIoDword(port), digits = 8;
      }
      Store(result, v);
      Say(TText() << "In Port " << HexMin{a} << " = " << Hex{v, digits});
      return true;
    }
    case kCmdO:
    case kCmdO16:
    case kCmdO32: {
      if (!TakeNumber(a, 0xFFFF) || !TakeNumber(b)) return false;
      const auto port = static_cast<std::uint16_t>(a);
      int digits;
      if (command == kCmdO) {
        ReadWrite.WriteIoByte(port, static_cast<std::uint8_t>(b)), digits = 2;
      } else if (command == kCmdO16) {
        ReadWrite.WriteIoWord(port, static_cast<std::uint16_t>(b)), digits = 4;
      } else {
        ReadWrite.WriteIoDword(port, b), digits = 8;
      }
      Say(TText() << "Out port " << HexMin{a} << " = " << Hex{b, digits});
      return true;
    }
    case kCmdIID:
    case kCmdIID16:
    case kCmdIID32:
    case kCmdOID:
    case kCmdOID16:
    case kCmdOID32: {
      const bool write = command >= kCmdOID;
      if (!TakeNumber(a, 0xFFFF) || !TakeNumber(b, 0xFFFF) || !TakeNumber(c, 0xFF)) return false;
      if (write && !TakeNumber(d)) return false;
      const auto ip = static_cast<std::uint16_t>(a);
      const auto dp = static_cast<std::uint16_t>(b);
      const auto index = static_cast<std::uint8_t>(c);
      int digits = 2;
      switch (command) {
        case kCmdIID:
          d = ReadWrite.ReadIndexByte(ip, dp, index);
          break;
        case kCmdIID16:
          d = ReadWrite.ReadIndexWord(ip, dp, index), digits = 4;
          break;
        case kCmdIID32:
          d = ReadWrite.ReadIndexDword(ip, dp, index), digits = 8;
          break;
        case kCmdOID:
          ReadWrite.WriteIndexByte(ip, dp, static_cast<std::uint8_t>(d), index);
          break;
        case kCmdOID16:
          ReadWrite.WriteIndexWord(ip, dp, static_cast<std::uint16_t>(d), index), digits = 4;
          break;
        default:
          // Four byte writes, lowest byte to the lowest index; the index wraps at 8 bits.
          for (unsigned k = 0; k < 4; ++k) {
            ReadWrite.WriteIndexByte(ip, dp, static_cast<std::uint8_t>(d >> (8 * k)),
                                     static_cast<std::uint8_t>(index + k));
          }
          digits = 8;
          break;
      }
      if (!write) Store(result, d);
      Say(TText() << (write ? "Out Index/Data/Offset " : "In Index/Data/Offset ") << HexMin{a}
                  << '/' << HexMin{b} << '/' << Hex{c, 2} << " = " << Hex{d, digits});
      return true;
    }
    case kCmdADD:
    case kCmdSUB:
    case kCmdMUL:
    case kCmdDIV:
    case kCmdMOD:
    case kCmdAND:
    case kCmdOR:
    case kCmdXOR:
    case kCmdSHR:
    case kCmdSHL: {
      if (!TakeNumber(a) || !TakeNumber(b)) return false;
      std::uint32_t v = 0;
      switch (command) {
        // Wrapping 32-bit arithmetic: the low 32 bits of a signed sum, difference or
        // product equal those of the unsigned one.
        case kCmdADD: v = a + b; break;
        case kCmdSUB: v = a - b; break;
        case kCmdMUL: v = a * b; break;
        case kCmdDIV:
        case kCmdMOD:
          // Division by zero fails the statement; nothing is stored.
          if (b == 0) return Fail("Division by zero!");
          v = command == kCmdDIV ? a / b : a % b;
          break;
        case kCmdAND: v = a & b; break;
        case kCmdOR: v = a | b; break;
        case kCmdXOR: v = a ^ b; break;
        case kCmdSHR: v = a >> (b & 31); break;
        default: v = a << (b & 31); break;
      }
      Store(result, v);
      // ADD..AND show their operands without leading zeros, OR..SHL as eight digits.
      const bool wide = command >= kCmdOR;
      TText text;
      text << ArithmeticName(command);
      if (wide) {
        text << Hex{a, 8} << ", " << Hex{b, 8};
      } else {
        text << HexMin{a} << ", " << HexMin{b};
      }
      Say(text << ") = " << Hex{v, 8});
      return true;
    }
    case kCmdNOT: {
      if (!TakeNumber(a)) return false;
      Store(result, ~a);
      Say(TText() << "Not (" << Hex{a, 8} << ") = " << Hex{~a, 8});
      return true;
    }
    case kCmdCMZ: {
      if (!TakeNumber(a)) return false;
      const std::uint32_t v = a == 0 ? 0xFFFFFFFFu : 0;
      Store(result, v);
      Say(TText() << "Complement Zero (" << HexMin{a} << ") = " << HexMin{v});
      return true;
    }
    case kCmdDELAY: {
      if (!TakeNumber(a)) return false;
      (m_Sleep ? m_Sleep : SleepMilliseconds)(a);
      Say(TText() << "Delay " << Dec{a} << " ms");
      return true;
    }
    case kCmdRWEXIT:
      return true;
    case kCmdRDTSC:
      ReadTimeStamp();
      return true;
    default:
      return RunPlatformCommand(command, result);
  }
}

// ---- Platform commands: PCI and PCI Express, memory, processors, log file ----

bool TInterpreter::RunPlatformCommand(int command, std::int32_t& result) {
  if (command >= kCmdRPCI && command <= kCmdFPCICLASS) return RunPci(command, result);
  if (command >= kCmdR && command <= kCmdFMEM) return RunMemory(command, result);
  if (command == kCmdLOGFILE) {
    std::string name;
    if (!TakeText(name)) return false;
    OpenLogFile(name);
    Message = "Logfile = " + name;
    return true;
  }
  return RunProcessor(command);
}

namespace {

// "Read PCI Bus/Dev/Fun/Offset 0x00/0x1F/0x03/0x08 = "; a register above 0xFF shows by
// its low byte.
TText PciLine(bool write, bool express, std::uint32_t bus, std::uint32_t device,
              std::uint32_t function, std::uint32_t reg) {
  TText text;
  text << (write ? "Write " : "Read ") << (express ? "PCIE" : "PCI") << " Bus/Dev/Fun/Offset "
       << Hex{bus, 2} << '/' << Hex{device, 2} << '/' << Hex{function, 2} << '/' << Hex{reg, 2}
       << " = ";
  return text;
}

}  // namespace

bool TInterpreter::RunPci(int command, std::int32_t& result) {
  if (command == kCmdFPCI || command == kCmdFPCICLASS) {
    std::uint32_t key = 0, index = 0;
    if (!TakeNumber(key) || !TakeOptional(index, 0)) return false;
    // The service counts matches with an 8-bit index; a larger one would silently wrap
    // to an earlier match, so it is refused.
    if (index > 0xFF) {
      Message = script::RangeMessage(0xFF);
      return false;
    }
    if (!Charge(256)) return false;  // a scan of every bus
    const bool byClass = command == kCmdFPCICLASS;
    const std::uint16_t bdf = byClass
                                  ? ReadWrite.FindPciClass(key, static_cast<std::uint8_t>(index))
                                  : ReadWrite.FindPciDevice(key, static_cast<std::uint8_t>(index));
    Store(result, bdf);
    Say(TText() << (byClass ? "Find PCI Class: " : "Find PCI Device: ") << HexMin{key}
                << " Index " << HexMin{index} << " = " << Hex{bdf, 4});
    return true;
  }

  // Families of three (byte, word, dword), in the order RPCI RPCIE ERPCI ERPCIE WPCI WPCIE
  // EWPCI EWPCIE.
  const int family = (command - kCmdRPCI) / 3;
  const int width = (command - kCmdRPCI) % 3;
  const bool write = family >= 4;
  const bool packed = family % 4 >= 2;
  const bool express = family % 2 == 1;
  const int digits = 2 << width;

  std::uint32_t bus = 0, device = 0, function = 0, reg = 0, value = 0, bdf = 0;
  if (packed) {
    // The packed forms check nothing: bdf is taken as 16 bits.
    if (!TakeNumber(bdf) || !TakeNumber(reg)) return false;
    bdf &= 0xFFFF;
    bus = bdf >> 8;
    device = (bdf >> 3) & 0x1F;
    function = bdf & 7;
    // ERPCI/EWPCI reach the legacy 256-byte space only; the PCI Express forms take the
    // register as 16 bits.
    reg = express ? (reg & 0xFFFF) : (reg & 0xFF);
  } else {
    if (!TakeNumber(bus, 0xFF) || !TakeNumber(device, 0x1F) || !TakeNumber(function, 0x7) ||
        !TakeNumber(reg, 0xFF)) {
      return false;
    }
  }
  if (write && !TakeNumber(value)) return false;

  const auto b = static_cast<std::uint8_t>(bus);
  const auto dv = static_cast<std::uint8_t>(device);
  const auto fn = static_cast<std::uint8_t>(function);
  const auto r = static_cast<std::uint16_t>(reg);
  const auto packedAddress = static_cast<std::uint16_t>(bdf);
  if (!write) {
    std::uint32_t v;
    if (express) {
      if (packed) {
        v = width == 0 ? ReadWrite.ReadPcieByte(packedAddress, r)
            : width == 1 ? ReadWrite.ReadPcieWord(packedAddress, r)
                         : ReadWrite.ReadPcieDword(packedAddress, r);
      } else {
        v = width == 0 ? ReadWrite.ReadPcieByte(b, dv, fn, r)
            : width == 1 ? ReadWrite.ReadPcieWord(b, dv, fn, r)
                         : ReadWrite.ReadPcieDword(b, dv, fn, r);
      }
    } else if (packed) {
      v = width == 0 ? ReadWrite.ReadPciByte(packedAddress, r)
          : width == 1 ? ReadWrite.ReadPciWord(packedAddress, r)
                       : ReadWrite.ReadPciDword(packedAddress, r);
    } else {
      v = width == 0 ? ReadWrite.ReadPciByte(b, dv, fn, r)
          : width == 1 ? ReadWrite.ReadPciWord(b, dv, fn, r)
                       : ReadWrite.ReadPciDword(b, dv, fn, r);
    }
    Store(result, v);
    Say(PciLine(false, express, bus, device, function, reg) << Hex{v, digits});
    return true;
  }

  const auto v8 = static_cast<std::uint8_t>(value);
  const auto v16 = static_cast<std::uint16_t>(value);
  if (express && packed) {
    if (width == 0) {
      ReadWrite.WritePcieByte(packedAddress, r, v8);
    } else if (width == 1) {
      ReadWrite.WritePcieWord(packedAddress, r, v16);
    } else {
      ReadWrite.WritePcieDword(packedAddress, r, value);
    }
  } else if (packed) {
    if (width == 0) {
      ReadWrite.WritePciByte(packedAddress, r, v8);
    } else if (width == 1) {
      ReadWrite.WritePciWord(packedAddress, r, v16);
    } else {
      ReadWrite.WritePciDword(packedAddress, r, value);
    }
  } else {
    // WPCI and WPCIE alike use the legacy writes: their register is at most 0xFF, where
    // the two mechanisms reach the same register.
    if (width == 0) {
      ReadWrite.WritePciByte(b, dv, fn, r, v8);
    } else if (width == 1) {
      ReadWrite.WritePciWord(b, dv, fn, r, v16);
    } else {
      ReadWrite.WritePciDword(b, dv, fn, r, value);
    }
  }
  Say(PciLine(true, express, bus, device, function, reg) << Hex{value, digits});
  return true;
}

bool TInterpreter::RunMemory(int command, std::int32_t& result) {
  if (command == kCmdDMEM) return DumpMemory();
  if (command == kCmdFMEM) return FindMemory(result);
  std::uint32_t address = 0, value = 0;
  const bool write = command >= kCmdW;
  const int width = write ? command - kCmdW : command - kCmdR;
  if (!TakeNumber(address)) return false;
  if (write && !TakeNumber(value)) return false;
  if (write) {
    if (width == 0) {
      ReadWrite.WriteMemByte(address, static_cast<std::uint8_t>(value));
    } else if (width == 1) {
      ReadWrite.WriteMemWord(address, static_cast<std::uint16_t>(value));
    } else {
      ReadWrite.WriteMemDword(address, value);
    }
  } else {
    value = width == 0 ? ReadWrite.ReadMemByte(address)
            : width == 1 ? ReadWrite.ReadMemWord(address)
                         : ReadWrite.ReadMemDword(address);
    Store(result, value);
  }
  Say(TText() << (write ? "Write Memory Address " : "Read Memory Address ") << HexMin{address}
              << " = " << Hex{value, 2 << width});
  return true;
}

bool TInterpreter::DumpMemory() {
  std::uint32_t address = 0, size = 0;
  if (!TakeNumber(address) || !TakeOptional(size, 256)) return false;
  std::string file;
  const bool toFile = m_NextToken < m_Tokens->size();
  if (toFile) TakeText(file);
  if (!Charge(size / 4096)) return false;

  Say(TText() << "Dump Memory: Address=" << HexMin{address} << ", Size=" << HexMin{size});

  // The buffer is capped, and so is the room in Output: a size beyond either is the
  // allocation failure a script can always get, not a way to exhaust the process.
  const std::size_t lines = 1 + (static_cast<std::size_t>(size) + 15) / 16;
  std::vector<std::uint8_t> buffer;
  bool allocated = size <= kMaxDumpSize && Output.size() + lines <= kMaxOutputLines;
  if (allocated) {
    try {
      buffer.assign(size, 0);
    } catch (const std::bad_alloc&) {
      allocated = false;
    }
  }
  if (!allocated) {
    Message.append(" - Allocate buffer error");
    return true;
  }
  // Memory that cannot be read dumps as the all-ones failure value, and the status line says
  // so: a buffer of zeros would look like memory that holds zeros.
  if (size != 0 && !ReadWrite.ReadMemBlock(buffer.data(), size, address)) {
    std::fill(buffer.begin(), buffer.end(), std::uint8_t{0xFF});
    Message.append(" - Read memory error");
  }
  AddDump(buffer.data(), buffer.size());
  if (!toFile) return true;

  // Everything this Run has put into Output, one line per entry, replacing the file. Each
  // line written counts against the budget: a DMEM to a file inside a loop rewrites the
  // whole run's output every pass.
  if (!Charge(Output.size())) return false;
  bool written = false;
  if (m_FileAccess) {
    if (std::FILE* f = std::fopen(file.c_str(), "wb")) {
      written = true;
      for (const std::string& line : Output) {
        written = written && std::fwrite(line.data(), 1, line.size(), f) == line.size() &&
                  std::fputc('\n', f) != EOF;
      }
      written = std::fclose(f) == 0 && written;
    }
  }
  Message.append(", File=");
  Message.append(file);
  // A dump that did not reach its file says so rather than looking like a success.
  if (!written) Message.append(" - Write file error");
  return true;
}

bool TInterpreter::FindMemory(std::int32_t& result) {
  bool asText = false;
  for (const TScriptToken& token : *m_Tokens) asText = asText || token.Text == "/S";
  std::uint32_t address = 0, size = 0, step = 0, skip = 0;
  std::string pattern;
  if (!TakeNumber(address) || !TakeNumber(size) || !TakeNumber(step) || !TakeNumber(skip) ||
      !TakeText(pattern)) {
    return false;
  }

  // Without /S the pattern is a list of byte values ("55 AA", "55h 0AAh"); when it is not
  // one (an item that is no number or above 255, more than 256 items, no item at all) the
  // pattern is searched as text.
  std::vector<std::uint8_t> bytes;
  if (!asText) {
    bool list = true;
    for (std::size_t i = 0; i < pattern.size() && list;) {
      if (pattern[i] == ' ' || pattern[i] == ',') {
        ++i;
        continue;
      }
      std::size_t end = pattern.find_first_of(" ,", i);
      if (end == std::string::npos) end = pattern.size();
      std::uint32_t item = 0;
      list = script::ParseNumber(std::string_view(pattern).substr(i, end - i), item) &&
             item <= 0xFF && bytes.size() < 256;
      if (list) bytes.push_back(static_cast<std::uint8_t>(item));
      i = end;
    }
    if (!list || bytes.empty()) asText = true;
  }
  if (asText) {
    // The text form searches the pattern's characters as single bytes (the script is
    // 8-bit text), as many bytes as characters.
    bytes.assign(pattern.begin(), pattern.end());
  }
  // An empty pattern would match everywhere and never advance through the range.
  if (bytes.empty()) return Fail("parameter error!");
  if (!Charge(size / 4096)) return false;

  const std::uint32_t found = static_cast<std::uint32_t>(
      ReadWrite.SearchMem(address, size, step, bytes.data(),
                          static_cast<std::uint32_t>(bytes.size()), skip));
  Store(result, found);
  TText text;
  text << "Find Memory: " << HexMin{address} << ", " << HexMin{size} << ", " << HexMin{step}
       << ", " << HexMin{skip} << " - ";
  if (found == 0xFFFFFFFFu) {
    Say(text << "not found");
  } else {
    Say(text << HexMin{found});
    std::uint8_t block[256] = {};
    ReadWrite.ReadMem256(block, found);
    AddDump(block, sizeof block);
  }
  return true;
}

namespace {

std::string Bits64Line(std::uint32_t high, std::uint32_t low) {
  std::string line;
  script::AppendBits(line, (static_cast<std::uint64_t>(high) << 32) | low, 8);
  return line;
}

// " : High 32bit = 0x........, Low 32bit = 0x........" (the MSR forms name EDX and EAX).
TText& HighLow(TText& text, bool registers, std::uint32_t high, std::uint32_t low) {
  return text << (registers ? " : High 32bit(EDX) = " : " : High 32bit = ") << Hex{high, 8}
              << (registers ? ", Low 32bit(EAX) = " : ", Low 32bit = ") << Hex{low, 8};
}

}  // namespace

bool TInterpreter::RunProcessor(int command) {
  std::uint32_t a = 0, high = 0, low = 0;
  switch (command) {
    case kCmdCPU: {
      if (!TakeNumber(a)) return false;
      if (ReadWrite.RemoteMode != 0) return Fail("Not support in remote access mode!");
      const std::uint32_t count = ReadWrite.ProcessorCount();
      // Processor numbers start at 1; 0 or one past the last cannot be switched to (the
      // service would form an affinity mask from a shift out of range).
      const bool valid = a >= 1 && a <= count && a <= 64;
      if (!valid || !ReadWrite.SwitchCpu(a)) {
        return Fail(count == 1 ? "Error: single CPU system!" : "Error to switch CPU!");
      }
      Say(TText() << "Current CPU = CPU" << Dec{a});
      return true;
    }
    case kCmdRDMSR: {
      if (!TakeNumber(a)) return false;
      Registers.ECX = a;
      // The register record is the request: EAX, EBX, ECX, EDX in the slots Low,
      // reserved, Index, High.
      MsrRequest request{Registers.EAX, Registers.EBX, Registers.ECX, Registers.EDX};
      const bool ok = ReadWrite.ReadMsr(request);
      Registers = {request.Low, request.Reserved, request.Index, request.High};
      if (!ok) return Fail("Command fail!");
      Local[0xA] = static_cast<std::int32_t>(Registers.EAX);
      Local[0xB] = static_cast<std::int32_t>(Registers.EBX);
      Local[0xC] = static_cast<std::int32_t>(Registers.ECX);
      Local[0xD] = static_cast<std::int32_t>(Registers.EDX);
      TText text;
      Say(HighLow(text << "Read MSR " << HexMin{a}, true, Registers.EDX, Registers.EAX));
      AddOutput(script::kRuler64);
      AddOutput(Bits64Line(Registers.EDX, Registers.EAX));
      return true;
    }
    case kCmdWRMSR: {
      if (!TakeNumber(a) || !TakeNumber(high) || !TakeNumber(low)) return false;
      Registers.ECX = a;
      Registers.EDX = high;
      Registers.EAX = low;
      MsrRequest request{Registers.EAX, Registers.EBX, Registers.ECX, Registers.EDX};
      const bool ok = ReadWrite.WriteMsr(request);
      if (!ok) return Fail("Command fail!");
      TText text;
      Say(HighLow(text << "Write MSR " << HexMin{a}, true, high, low));
      AddOutput(script::kRuler64);
      AddOutput(Bits64Line(high, low));
      return true;
    }
    case kCmdRDPMC:
    case kCmdRDCR: {
      if (!TakeNumber(a)) return false;
      std::uint64_t v;
      if (command == kCmdRDPMC) {
        v = ReadWrite.ReadPmc(a);  // a failed request reads 0 and is not reported
      } else {
        v = ReadWrite.ReadCr(a);
        if (v == ~std::uint64_t{0}) return Fail("Command fail!");
      }
      Wide = v;
      high = static_cast<std::uint32_t>(v >> 32);
      low = static_cast<std::uint32_t>(v);
      Local[0xA] = static_cast<std::int32_t>(low);
      Local[0xB] = static_cast<std::int32_t>(high);
      TText text;
      Say(HighLow(text << (command == kCmdRDPMC ? "Read PMC " : "Read CR") << Dec{a}, false,
                  high, low));
      AddOutput(script::kRuler64);
      AddOutput(Bits64Line(high, low));
      return true;
    }
    case kCmdWRCR: {
      if (!TakeNumber(a) || !TakeNumber(high) || !TakeNumber(low)) return false;
      if (!ReadWrite.WriteCr(a, (static_cast<std::uint64_t>(high) << 32) | low)) {
        return Fail("Command fail!");
      }
      TText text;
      Say(HighLow(text << "Write CR" << Dec{a}, false, high, low));
      AddOutput(script::kRuler64);
      AddOutput(Bits64Line(high, low));
      return true;
    }
    case kCmdCPUID: {
      if (!TakeNumber(a)) return false;
      // Leaves that depend on ECX (4, 7, 0xB, 0xD, ...) are read with subleaf 0.
      TCpuidRegisters registers;
      registers.Eax = a;
      registers.Ebx = Registers.EBX;
      registers.Ecx = 0;
      registers.Edx = Registers.EDX;
      const bool ok = ReadWrite.Cpuid(registers);
      Registers = {registers.Eax, registers.Ebx, registers.Ecx, registers.Edx};
      if (!ok) return Fail("Command fail!");
      Local[0xA] = static_cast<std::int32_t>(Registers.EAX);
      Local[0xB] = static_cast<std::int32_t>(Registers.EBX);
      Local[0xC] = static_cast<std::int32_t>(Registers.ECX);
      Local[0xD] = static_cast<std::int32_t>(Registers.EDX);
      Say(TText() << "CPUID " << HexMin{a});
      AddOutput(script::kRuler32);
      const std::pair<const char*, std::uint32_t> lines[] = {{"EAX = ", Registers.EAX},
                                                             {"EBX = ", Registers.EBX},
                                                             {"ECX = ", Registers.ECX},
                                                             {"EDX = ", Registers.EDX}};
      for (const auto& [label, value] : lines) {
        std::string line = label;
        script::AppendHex(line, value, 8);
        line.push_back(' ');
        script::AppendBits(line, value, 4);
        AddOutput(std::move(line));
      }
      return true;
    }
    default:
      return Fail("Unknown command!");
  }
}

void TInterpreter::ReadTimeStamp() {
  // The result variable is not touched: the counter goes to LocalA (low) and LocalB (high).
  Wide = ReadWrite.ReadTsc();
  Local[0xA] = static_cast<std::int32_t>(static_cast<std::uint32_t>(Wide));
  Local[0xB] = static_cast<std::int32_t>(static_cast<std::uint32_t>(Wide >> 32));
  Say(TText() << "Read TSC = " << Hex{Wide, 16});
}

void TInterpreter::OpenLogFile(const std::string& name) {
  CloseLogFile();
  // The slot counts as held even when the file could not be created; nothing writes to
  // the log file, the command only creates (and so empties) it.
  m_LogFile = m_FileAccess ? std::fopen(name.c_str(), "wb") : nullptr;
  m_LogFileHeld = true;
}

void TInterpreter::CloseLogFile() {
  if (m_LogFile != nullptr) std::fclose(m_LogFile);
  m_LogFile = nullptr;
  m_LogFileHeld = false;
}
