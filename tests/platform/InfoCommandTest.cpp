// The model name as the executables see it, run as real processes against the shipped
// board files: gavreloctl info, and gavrelo's choice of its INI section.

#ifndef _WIN32  // the runs are /bin/sh command lines

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "tests/support/TempDir.h"

namespace {

namespace fs = std::filesystem;

struct TRun {
  int Status = -1;
  std::string Output;
};

TRun RunCommand(const std::string& command) {
  TRun run;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  std::array<char, 4096> buffer;
  std::size_t n;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) run.Output.append(buffer.data(), n);
  run.Status = pclose(pipe);
  return run;
}

TRun RunInfo(const std::string& board, const std::string& args) {
  return RunCommand("GAVRELO_BOARD='" + board + "' '" GAVRELO_BIN_DIR "/gavreloctl' info " + args + " 2>&1");
}

TEST(InfoCommand, DemoBoardShowsTheGeneratedFirmware) {
  const std::string board = GAVRELO_SOURCE_DIR "/boards/demo.json";
  TRun run = RunInfo(board, "--json");
  ASSERT_EQ(run.Status, 0) << run.Output;
  nlohmann::json j = nlohmann::json::parse(run.Output, nullptr, false);
  ASSERT_FALSE(j.is_discarded()) << run.Output;
  EXPECT_EQ(j["model_name"], "GavreloDemo");
  EXPECT_TRUE(j["record_valid"].get<bool>());
  EXPECT_TRUE(j["acpi"]["found"].get<bool>());
  ASSERT_GE(j["acpi"]["tables"].size(), 3u);
  EXPECT_EQ(j["acpi"]["tables"][0]["signature"], "RSD PTR ");
  EXPECT_EQ(j["acpi"]["tables"][1]["signature"], "RSDT");
  EXPECT_TRUE(j["smbios"]["found"].get<bool>());
  EXPECT_GE(j["smbios"]["populated_slots"].get<unsigned>(), 1u);

  TRun text = RunInfo(board, "");
  ASSERT_EQ(text.Status, 0) << text.Output;
  EXPECT_NE(text.Output.find("Model name        : \"GavreloDemo\"\n"), std::string::npos) << text.Output;
  EXPECT_NE(text.Output.find("RSD PTR"), std::string::npos) << text.Output;
}

TEST(StartupFlow, ModelNameOfTheBoardSelectsTheIniSection) {
  // A Delay that is not a number ends in the conversion error, so the error shows whether
  // the section of that name was read.
  TTempDir dir("gavrelo-platform");
  ASSERT_FALSE(dir.Path().empty());
  // Named after the directory: a single-instance guard no other test's copy takes.
  const std::string exe = dir.File(dir.Path().filename().string());
  fs::copy_file(GAVRELO_BIN_DIR "/gavrelo", exe);
  const std::string run = "GAVRELO_BOARD='" GAVRELO_SOURCE_DIR "/boards/demo.json' '" + exe + "' 2>&1";
  dir.Write("Gavrelo.INI", "[OtherBoard]\nDelay=x\nTYPE=SIO_GPIO\nPIN=GPIO12\n"
                           "[GavreloDemo]\nDelay=notanumber\nTYPE=SIO_GPIO\nPIN=GPIO12\n");
  TRun picked = RunCommand(run);
  EXPECT_EQ(picked.Status, 0);
  EXPECT_NE(picked.Output.find("'notanumber' is not a valid integer value"), std::string::npos) << picked.Output;

  dir.Write("Gavrelo.INI", "[GavreloDemo2]\nDelay=notanumber\nTYPE=SIO_GPIO\nPIN=GPIO12\n");
  TRun other = RunCommand(run);
  EXPECT_EQ(other.Status, 0);
  EXPECT_EQ(other.Output.find("not a valid integer"), std::string::npos) << other.Output;
}

TEST(InfoCommand, Q35BoardShowsTheRealTableList) {
  if (!fs::exists(GAVRELO_SOURCE_DIR "/../shared/firmware/qemu-q35/mem-000e0000.bin"))
    GTEST_SKIP() << "q35 firmware images not found beside the repository";
  TRun run = RunInfo(GAVRELO_SOURCE_DIR "/boards/qemu-q35.json", "--json");
  ASSERT_EQ(run.Status, 0) << run.Output;
  nlohmann::json j = nlohmann::json::parse(run.Output, nullptr, false);
  ASSERT_FALSE(j.is_discarded()) << run.Output;
  std::string signatures;
  for (const auto& t : j["acpi"]["tables"]) signatures += t["signature"].get<std::string>() + " ";
  // SeaBIOS lists FACP, APIC, HPET, MCFG and WAET; FACS and DSDT come from the FADT.
  EXPECT_EQ(signatures, "RSD PTR  RSDT FACP APIC HPET MCFG WAET FACS DSDT ");
  EXPECT_EQ(j["acpi"]["mcfg_base"], 0xB0000000u);
  EXPECT_EQ(j["smbios"]["version"], "2.8");
  EXPECT_FALSE(j["model_name"].get<std::string>().empty());
}

TEST(InfoCommand, ValuesSayWhereTheyComeFromInTheirFieldsWidth) {
  // A model name with blanks at both ends; an ECDT but no FADT or MADT.
  TTempDir dir("gavrelo-info");
  const std::string board = dir.Write("board.json", R"({"firmware": {
      "identity": {"project": " Spaced Board "},
      "acpi": {"ecdt": {"command": "0x1066", "data": "0x1062", "address_space": 1}}}})");
  TRun text = RunInfo(board, "");
  ASSERT_EQ(text.Status, 0) << text.Output;
  for (const char* line : {
           "Model name        : \" Spaced Board \"\n",
           "  EcCommandPort   : 0x1066      from the firmware\n",
           "  EcAddressSpace  : 0x01        from the firmware\n",
           "  IoApicBase      : 0xFEC00000  built-in default\n",
           "  LocalApicBase   : 0x00000000  built-in default\n",
           "  SciInterrupt    : 0x00000009  built-in default\n",
           "  PStateControl   : 0x00        built-in default\n"})
    EXPECT_NE(text.Output.find(line), std::string::npos) << line << text.Output;

  TRun json = RunInfo(board, "--json");
  ASSERT_EQ(json.Status, 0) << json.Output;
  const nlohmann::json j = nlohmann::json::parse(json.Output);
  EXPECT_EQ(j["model_name"], " Spaced Board ");
  EXPECT_EQ(j["platform_source"]["EcDataPort"], "firmware");
  EXPECT_EQ(j["platform_source"]["Pm1aEventBlock"], "default");
}

}  // namespace

#endif
