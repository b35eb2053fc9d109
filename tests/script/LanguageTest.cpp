// The command language on the virtual board: statement structure, blocks, variables,
// operands and messages, asserted on the exact port cycles each script issues.

#include "ScriptTestBoard.h"

namespace {

constexpr char kDetect[] =
    "LocalA=0x2e; LocalB=0x2f; o LocalA 0xaa; o(LocalA,0x87); o(LocalA,0x87); "
    "Local0=IID16(LocalA,LocalB,0x20); bkif0(sub(Local0,0x1752)); bkif0(sub(Local0,0x3a52)); "
    "sub(Local0,0x4152)";

constexpr char kIteEnter[] =
    "CMDS{o LocalA 0x87; o LocalA 0x01; o LocalA 0x55; bkif0(sub(LocalA,0x4e)); o LocalA 0x55}; "
    "bkif0(sub(LocalA,0x2e)); o LocalA 0xaa";

constexpr char kVariableMessage[] =
    "Support 16 local variables only, i.e. Local# where # is in hex from 0 to 0F";

TEST_F(ScriptTest, DetectionScriptMatchesEitherIdentifierAndRejectsOthers) {
  const std::vector<TPortCycle> keysAndId = {Out(0x2E, 0xAA), Out(0x2E, 0x87), Out(0x2E, 0x87),
                                             Out(0x2E, 0x21), In(0x2F, 0x17), Out(0x2E, 0x20),
                                             In(0x2F, 0x52)};
  // First identifier: the first BKIF0 stops the script with result 0.
  Sio->Registers[0x20] = 0x52;
  Sio->Registers[0x21] = 0x17;
  EXPECT_TRUE(Run(kDetect));
  EXPECT_EQ(Result, 0);
  EXPECT_EQ(Script().Message, "Command break");
  EXPECT_EQ(Script().Local[0], 0x1752);
  EXPECT_EQ(Cycles(), keysAndId);

  // The last identifier: every statement runs, the final SUB gives 0.
  ClearTrace();
  Sio->Registers[0x21] = 0x41;
  EXPECT_TRUE(Run(kDetect));
  EXPECT_EQ(Result, 0);
  EXPECT_EQ(Script().Message, "Sub (0x4152, 0x4152) = 0x00000000");

  // Any other chip: a non-zero result.
  Sio->Registers[0x20] = 0x88;
  Sio->Registers[0x21] = 0x88;
  EXPECT_TRUE(Run(kDetect));
  EXPECT_EQ(Result, 0x8888 - 0x4152);
  EXPECT_EQ(Script().Message, "Sub (0x8888, 0x4152) = 0x00004736");
}

TEST_F(ScriptTest, IteUnlockWritesTheFourthKeyByConfigurationPort) {
  EXPECT_TRUE(Script().Run("LocalA= 46"));
  EXPECT_TRUE(Script().Run("LocalB= 47"));
  EXPECT_TRUE(Script().Run(kIteEnter));
  EXPECT_EQ(Cycles(), (std::vector<TPortCycle>{Out(0x2E, 0x87), Out(0x2E, 0x01), Out(0x2E, 0x55),
                                                Out(0x2E, 0x55)}));

  ClearTrace();
  EXPECT_TRUE(Script().Run("LocalA= 78"));
  EXPECT_TRUE(Script().Run(kIteEnter));
  EXPECT_EQ(Cycles(), (std::vector<TPortCycle>{Out(0x4E, 0x87), Out(0x4E, 0x01), Out(0x4E, 0x55),
                                                Out(0x4E, 0xAA)}));
}

TEST_F(ScriptTest, CallSpellingIsOnlySeparators) {
  ASSERT_TRUE(Run("LocalA=0x2e"));
  for (const char* text : {"o(LocalA,0x87)", "o LocalA 0x87", "O( LOCALA , 0X87 )",
                           "o localA 87h", "o,LocalA,135"}) {
    ClearTrace();
    EXPECT_TRUE(Run(text)) << text;
    EXPECT_EQ(Cycles(), std::vector<TPortCycle>{Out(0x2E, 0x87)}) << text;
    EXPECT_EQ(Script().Message, "Out port 0x2E = 0x87") << text;
  }
}

TEST_F(ScriptTest, PortTemplatesSetAndReadVariables) {
  EXPECT_TRUE(Run("LocalA= 46"));
  EXPECT_EQ(Script().Local[0xA], 0x2E);
  EXPECT_EQ(Script().Message, "LocalA = 0x0000002E (46)");
  EXPECT_EQ(Result, 0x5A5A) << "an assignment of a value leaves the result alone";

  EXPECT_TRUE(Run("LocalA="));
  EXPECT_EQ(Result, 0x2E);
  EXPECT_EQ(Script().Message, "Local0A = 0x0000002E (46)");

  // The sequence gavreloctl's example shows, on one interpreter.
  EXPECT_TRUE(Run("Local0= 5"));
  EXPECT_EQ(Script().Message, "Local0 = 0x00000005 (5)");
  EXPECT_TRUE(Run("Local0="));
  EXPECT_EQ(Script().Message, "Local00 = 0x00000005 (5)");
  EXPECT_TRUE(Run("Local1=add(Local0,3)"));
  EXPECT_EQ(Script().Message, "Add (0x5, 0x3) = 0x00000008");
  EXPECT_EQ(Script().Local[1], 8);
  EXPECT_EQ(Result, 8);
  EXPECT_EQ(Script().Scratch, 0) << "a command with a target does not touch Scratch";

  EXPECT_TRUE(Run("Local2= -2; Local3=Local2; LocalA"));
  EXPECT_EQ(Script().Local[3], -2);
  EXPECT_EQ(Script().Message, "LocalA = 0x0000002E (46)") << "LocalA alone assigns itself";

  // Without an explicit result variable the interpreter's own one is used.
  EXPECT_TRUE(Script().Run("Local3="));
  EXPECT_EQ(Script().LastResult, -2);
  EXPECT_EQ(Script().Message, "Local03 = 0xFFFFFFFE (-2)");
}

TEST_F(ScriptTest, VariableIndexRules) {
  EXPECT_FALSE(Run("Local0 =5")) << "the blank before = belongs to the index text";
  EXPECT_EQ(Script().Message, kVariableMessage);
  EXPECT_TRUE(Run("Local0= 5"));
  EXPECT_EQ(Script().Local[0], 5);

  for (const char* text : {"LocalG=1", "Local10=1", "Local=1", "LocalA=LocalG", "o LocalG 1",
                           "o 0x80 Local1F"}) {
    EXPECT_FALSE(Run(text)) << text;
    EXPECT_EQ(Script().Message, kVariableMessage) << text;
  }
  EXPECT_TRUE(Cycles().empty());

  EXPECT_TRUE(Run("Local0A=5"));
  EXPECT_EQ(Script().Local[0xA], 5);
  EXPECT_EQ(Script().Message, "LocalA = 0x00000005 (5)");
  EXPECT_TRUE(Run("LocalF=7; o 0x80 Local0F"));
  EXPECT_EQ(WritesTo(0x80), std::vector<std::uint32_t>{7});
}

TEST_F(ScriptTest, OperandFormatsAndRanges) {
  Sio->Registers[0x2E] = 0;  // unused; the data port is not read here
  for (const char* text : {"i 2eh", "i 0x2E", "i 46", "i 0X2e", "i +46", "i 0x0000002E"}) {
    ClearTrace();
    EXPECT_TRUE(Run(text)) << text;
    ASSERT_EQ(Cycles().size(), 1u) << text;
    EXPECT_EQ(Cycles()[0].Port, 0x2E) << text;
  }
  ClearTrace();
  for (const char* text : {"i 0x2Eh", "i 2e", "i 0x", "i h", "i -2eh", "o 0x80 0x100000000",
                           "o 0x80 2147483648", "o 0x80 -2147483649", "o \"0x80 \" 1"}) {
    EXPECT_FALSE(Run(text)) << text;
    EXPECT_EQ(Script().Message, "Operand format error.") << text;
  }
  for (const char* text : {"i -1", "i 0x10000", "o 65536 1"}) {
    EXPECT_FALSE(Run(text)) << text;
    EXPECT_EQ(Script().Message, "Operand range is 0 to 0xFFFF!") << text;
  }
  EXPECT_FALSE(Run("iid 0x2e 0x2f 0x100"));
  EXPECT_EQ(Script().Message, "Operand range is 0 to 0xFF!");
  EXPECT_TRUE(Cycles().empty()) << "no operand error reaches the bus";

  // Values are 32-bit: -1 and 0xFFFFFFFF are the same; byte writes take the low byte.
  EXPECT_TRUE(Run("o 0x80 -1; o 0x80 0xFFFFFFFF; o 0x80 -2147483648; o 0x80 0x1234"));
  EXPECT_EQ(WritesTo(0x80), (std::vector<std::uint32_t>{0xFF, 0xFF, 0x00, 0x34}));
  EXPECT_EQ(Script().Message, "Out port 0x80 = 0x34");
}

TEST_F(ScriptTest, ErrorsStopTheScriptAndKeepWhatWasDone) {
  struct Case {
    const char* Text;
    const char* Message;
  };
  const Case cases[] = {
      {"o 0x80 1;;o 0x80 2", "Command error!"},
      {"o 0x80 1; RDMSR", "Command error!"},
      {"o 0x80 1; bkif0", "Command error!"},
      {"o 0x80 1; frob 1", "Unknown command!"},
      {"o 0x80 1; o 0x80", "parameter error!"},
      {"o 0x80 1; iid 0x2e 0x2f", "parameter error!"},
      {"o 0x80 1; CMDS{o 0x80 2", "CMDS miss '}'"},
      {"o 0x80 1; WAIT{0 10 i 0x64", "WAIT miss '}'"},
      {"o 0x80 1; WAIT{0}", "parameter error!"},
      {"o 0x80 1; WAIT{0 10}", "parameter error!"},
      {"o 0x80 1; WAIT{x 10 i 0x64}", "Operand format error."},
      {"o 0x80 1; LOOP{3 o 0x80 2", "LOOP miss '}'"},
      {"o 0x80 1; LOOP{LocalX o 0x80 2}", kVariableMessage},
      {"o 0x80 1; div 7 0", "Division by zero!"},
      {"o 0x80 1; Local1=mod(7,0)", "Division by zero!"},
  };
  for (const Case& c : cases) {
    ClearTrace();
    Result = 0x5A5A;
    EXPECT_FALSE(Run(c.Text)) << c.Text;
    EXPECT_EQ(Script().Message, c.Message) << c.Text;
    EXPECT_EQ(WritesTo(0x80), std::vector<std::uint32_t>{1}) << c.Text;
    EXPECT_EQ(Result, 0x5A5A) << c.Text;
  }
  EXPECT_EQ(Script().Local[1], 0) << "a failed division stores nothing";

  // Trailing ";" and empty scripts are no errors.
  ClearTrace();
  EXPECT_TRUE(Run("  o 0x80 1;  ;; "));
  EXPECT_TRUE(Run(""));
  EXPECT_TRUE(Run("CMDS{o 0x80 2;}; CMDS{o 0x80 3} LOOP{1 o 0x80 4}"));
  EXPECT_EQ(WritesTo(0x80), (std::vector<std::uint32_t>{1, 2, 3, 4}));
}

TEST_F(ScriptTest, WaitAndLoopBlocks) {
  // WAIT stops as soon as the byte read equals the target...
  Status->Values = {5, 3, 0, 7};
  EXPECT_TRUE(Run("WAIT{0 10 i 0x64}"));
  EXPECT_EQ(Cycles().size(), 3u);
  EXPECT_EQ(Result, 0);
  // ... or after count passes; the target may be a variable.
  ClearTrace();
  Status->Values = {1};
  EXPECT_TRUE(Run("WAIT{0 10 i 0x64}"));
  EXPECT_EQ(Cycles().size(), 10u);
  ClearTrace();
  Status->Values = {5, 3, 9};
  EXPECT_TRUE(Run("Local1= 3; WAIT{Local1 10 i 0x64}"));
  EXPECT_EQ(Cycles().size(), 2u);

  ClearTrace();
  EXPECT_TRUE(Run("LOOP{3 o 0x80 1; o 0x81 2}"));
  EXPECT_EQ(WritesTo(0x80).size(), 3u);
  EXPECT_EQ(WritesTo(0x81).size(), 3u);

  // A break leaves the block; the script goes on after it.
  ClearTrace();
  EXPECT_TRUE(Run("WAIT{9 5 i 0x64; bkif0 sub 1 1; o 0x80 1}; o 0x80 2"));
  EXPECT_EQ(WritesTo(0x80), std::vector<std::uint32_t>{2});

  // Count 0 and negative counts run until the caller's budget stops them.
  Script().SetStatementBudget(50);
  for (const char* text : {"LOOP{0 o 0x80 1}", "LOOP{-1 o 0x80 1}", "WAIT{1 0 }"}) {
    ClearTrace();
    EXPECT_FALSE(Run(text)) << text;
    EXPECT_EQ(Script().Message, "Statement budget exhausted!") << text;
    EXPECT_EQ(WritesTo(0x80).size(), text[0] == 'L' ? 50u : 0u) << "every Run gets the budget";
  }
  Script().SetStatementBudget(0);
}

TEST_F(ScriptTest, BreaksEndOnlyTheirSequence) {
  EXPECT_TRUE(Run("CMDS{o 0x80 1; bkif0(sub(0,0)); o 0x80 2}; o 0x80 3"));
  EXPECT_EQ(WritesTo(0x80), (std::vector<std::uint32_t>{1, 3}));

  ClearTrace();
  EXPECT_TRUE(Run("o 0x80 1; bkif1 sub 5 1; o 0x80 2"));
  EXPECT_EQ(WritesTo(0x80), std::vector<std::uint32_t>{1});
  EXPECT_EQ(Script().Message, "Command break");
  EXPECT_EQ(Result, 4);

  // The test is on the result variable even after a command without a value.
  ClearTrace();
  EXPECT_TRUE(Run("sub 1 1; bkif1 o 0x80 1; bkif0 o 0x80 2; o 0x80 3"));
  EXPECT_EQ(WritesTo(0x80), (std::vector<std::uint32_t>{1, 2}));

  // A break in a plain part does not stop the block after it.
  ClearTrace();
  EXPECT_TRUE(Run("o 0x80 1; bkif0 sub 1 1; o 0x80 2; CMDS{o 0x80 3}"));
  EXPECT_EQ(WritesTo(0x80), (std::vector<std::uint32_t>{1, 3}));
}

TEST_F(ScriptTest, BlockKeywordsAreFoundByPriorityNotPosition) {
  // The plain part runs to the CMDS{ keyword even though a LOOP{ comes first, so the LOOP
  // text is a statement of that part and fails.
  EXPECT_FALSE(Run("o 0x80 1; LOOP{2 o 0x80 2}; CMDS{o 0x80 3}"));
  EXPECT_EQ(Script().Message, "Unknown command!");
  EXPECT_EQ(WritesTo(0x80), std::vector<std::uint32_t>{1});

  ClearTrace();
  EXPECT_TRUE(Run("o 0x80 1; LOOP{2 o 0x80 2}"));
  EXPECT_EQ(WritesTo(0x80), (std::vector<std::uint32_t>{1, 2, 2}));

  // Blocks do not nest: the first "}" ends the outer one.
  ClearTrace();
  EXPECT_FALSE(Run("CMDS{o 0x80 1; CMDS{o 0x80 2}; o 0x80 3}"));
  EXPECT_EQ(Script().Message, "Unknown command!");
  EXPECT_EQ(WritesTo(0x80), std::vector<std::uint32_t>{1});
}

TEST_F(ScriptTest, ArithmeticSignednessAndMessages) {
  struct Case {
    const char* Text;
    std::uint32_t Value;
    const char* Message;
  };
  const Case cases[] = {
      {"add 0xFFFFFFFF 2", 1, "Add (0xFFFFFFFF, 0x2) = 0x00000001"},
      {"sub 0 1", 0xFFFFFFFF, "Sub (0x0, 0x1) = 0xFFFFFFFF"},
      {"mul -2 3", 0xFFFFFFFA, "Mul (0xFFFFFFFE, 0x3) = 0xFFFFFFFA"},
      {"mul 0x10000 0x10001", 0x10000, "Mul (0x10000, 0x10001) = 0x00010000"},
      {"div -2 2", 0x7FFFFFFF, "Div (0xFFFFFFFE, 0x2) = 0x7FFFFFFF"},
      {"div 7 1", 7, "Div (0x7, 0x1) = 0x00000007"},
      {"mod -1 10", 5, "Mod (0xFFFFFFFF, 0xA) = 0x00000005"},
      {"and 0xF0F0 0xFF00", 0xF000, "And (0xF0F0, 0xFF00) = 0x0000F000"},
      {"or 1 2", 3, "Or (0x00000001, 0x00000002) = 0x00000003"},
      {"xor 0xFF 0x0F", 0xF0, "Xor (0x000000FF, 0x0000000F) = 0x000000F0"},
      {"not 0", 0xFFFFFFFF, "Not (0x00000000) = 0xFFFFFFFF"},
      {"shr 0x80000000 31", 1, "Shr (0x80000000, 0x0000001F) = 0x00000001"},
      {"shr -1 32", 0xFFFFFFFF, "Shr (0xFFFFFFFF, 0x00000020) = 0xFFFFFFFF"},
      {"shl 1 33", 2, "Shl (0x00000001, 0x00000021) = 0x00000002"},
      {"cmz 0", 0xFFFFFFFF, "Complement Zero (0x0) = 0xFFFFFFFF"},
      {"cmz 5", 0, "Complement Zero (0x5) = 0x0"},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(Run(c.Text)) << c.Text;
    EXPECT_EQ(static_cast<std::uint32_t>(Result), c.Value) << c.Text;
    EXPECT_EQ(static_cast<std::uint32_t>(Script().Scratch), c.Value) << c.Text;
    EXPECT_EQ(Script().Message, c.Message) << c.Text;
  }

  // RESULT reads Scratch back, which a statement with a target does not touch.
  EXPECT_TRUE(Run("sub 9 2; Local3=add 1 1; result"));
  EXPECT_EQ(Result, 7);
  EXPECT_EQ(Script().Local[3], 2);
  EXPECT_EQ(Script().Message, "Last result = 0x00000007");
}

TEST_F(ScriptTest, IndexDataOrderAndWidths) {
  Sio->Registers[0x20] = 0x05;
  Sio->Registers[0x21] = 0x41;
  Sio->Registers[0x22] = 0x19;
  Sio->Registers[0x23] = 0x34;
  EXPECT_TRUE(Run("Local0=IID32(0x2e,0x2f,0x20)"));
  EXPECT_EQ(Cycles(), (std::vector<TPortCycle>{Out(0x2E, 0x23), In(0x2F, 0x34), Out(0x2E, 0x22),
                                                In(0x2F, 0x19), Out(0x2E, 0x21), In(0x2F, 0x41),
                                                Out(0x2E, 0x20), In(0x2F, 0x05)}));
  EXPECT_EQ(Script().Local[0], 0x34194105);
  EXPECT_EQ(Script().Message, "In Index/Data/Offset 0x2E/0x2F/0x20 = 0x34194105");

  ClearTrace();
  EXPECT_TRUE(Run("iid 0x2e 0x2f 7"));
  EXPECT_EQ(Script().Message, "In Index/Data/Offset 0x2E/0x2F/0x07 = 0x00");

  ClearTrace();
  EXPECT_TRUE(Run("oid16 0x2e 0x2f 0x30 0x1234"));
  EXPECT_EQ(Cycles(), (std::vector<TPortCycle>{Out(0x2E, 0x30), Out(0x2F, 0x34), Out(0x2E, 0x31),
                                                Out(0x2F, 0x12)}));
  EXPECT_EQ(Script().Message, "Out Index/Data/Offset 0x2E/0x2F/0x30 = 0x1234");

  // Four byte writes, lowest first; the index wraps at 8 bits.
  ClearTrace();
  EXPECT_TRUE(Run("oid32 0x2e 0x2f 0xfe 0xAABBCCDD"));
  EXPECT_EQ(Cycles(), (std::vector<TPortCycle>{Out(0x2E, 0xFE), Out(0x2F, 0xDD), Out(0x2E, 0xFF),
                                                Out(0x2F, 0xCC), Out(0x2E, 0x00), Out(0x2F, 0xBB),
                                                Out(0x2E, 0x01), Out(0x2F, 0xAA)}));
  EXPECT_EQ(Sio->Registers[0x00], 0xBB);

  ClearTrace();
  EXPECT_TRUE(Run("oid 0x2e 0x2f 7 0x1FF; o16 0x80 0x12345; Local5=i16 0x80"));
  EXPECT_EQ(Cycles(), (std::vector<TPortCycle>{Out(0x2E, 0x07), Out(0x2F, 0xFF),
                                                TPortCycle::Out(0x80, 0x2345, 2),
                                                TPortCycle::In(0x80, 0xFFFF, 2)}));
  EXPECT_EQ(Script().Local[5], 0xFFFF) << "an unclaimed port reads all ones";
  EXPECT_EQ(Script().Message, "In Port 0x80 = 0xFFFF");
}

TEST_F(ScriptTest, DelayAndRepeatedTexts) {
  EXPECT_TRUE(Run("delay 25"));
  EXPECT_EQ(Sleeps, std::vector<std::uint32_t>{25});
  EXPECT_EQ(Script().Message, "Delay 25 ms");

  // A text run again (compiled once) still reads its variables at run time.
  const std::string text = "o LocalA 1; Local1=i(LocalA)";
  EXPECT_TRUE(Run("LocalA=0x80"));
  EXPECT_TRUE(Run(text));
  EXPECT_TRUE(Run("LocalA=0x81"));
  EXPECT_TRUE(Run(text));
  TInterpreter fresh;
  EXPECT_TRUE(fresh.Run(text));  // LocalA of a new interpreter is 0
  EXPECT_EQ(Cycles(), (std::vector<TPortCycle>{Out(0x80, 1), In(0x80, 0xFF), Out(0x81, 1),
                                                In(0x81, 0xFF), Out(0x00, 1), In(0x00, 0xFF)}));
}

}  // namespace
