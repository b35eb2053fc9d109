// The shipped XML configuration as the executables use it, run as real processes: gavrelo's
// two log lines and the restore in an installed tree, and gavreloctl config.

#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "tests/support/Subprocess.h"
#include "tests/support/TempDir.h"

namespace {

namespace fs = std::filesystem;

const fs::path kBuildRoot = fs::path(GAVRELO_BIN_DIR).parent_path();
const std::string kBoards = GAVRELO_SOURCE_DIR "/boards/";

// The installed tree (Bin/, Conf/, _Conf/) copied to a fresh directory.
class TInstalledTree {
 public:
  TInstalledTree() {
    for (const char* sub : {"Bin", "Conf", "_Conf"}) fs::create_directory(m_Dir.Path() / sub);
    // Named after the directory: a single-instance guard no other test's copy takes.
    fs::copy_file(kBuildRoot / "Bin/gavrelo", m_Dir.Path() / "Bin" / m_Dir.Path().filename());
    fs::copy(kBuildRoot / "Conf", m_Dir.Path() / "Conf");
    fs::copy(kBuildRoot / "_Conf", m_Dir.Path() / "_Conf");
    // The support-model list is named after the executable too.
    fs::copy_file(kBuildRoot / "Conf/gavrelo.xml", m_Dir.Path() / "Conf" / (Name() + ".xml"));
  }
  std::string Name() const { return m_Dir.Path().filename().string(); }
  TProcessResult Gavrelo(const std::string& board, const std::string& tag) {
    return RunProcess(m_Dir.File("Bin/" + Name()), {"/DEBUG"},
                      {{"GAVRELO_BOARD", kBoards + board}},
                      m_Dir.File(tag));
  }
  std::string File(const std::string& relative) const { return m_Dir.File(relative); }

 private:
  TTempDir m_Dir{"gavrelo-tree"};
};

TProcessResult Ctl(const std::string& board, const std::vector<std::string>& args, const TTempDir& out) {
  std::vector<std::string> all{"--board", kBoards + board, "config"};
  all.insert(all.end(), args.begin(), args.end());
  return RunProcess(GAVRELO_BIN_DIR "/gavreloctl", all, {}, out.File("ctl"));
}

TEST(ConfigProcess, GavreloLogsTheInstalledPathsAndRestoresABrokenModelFile) {
  TInstalledTree tree;
  TProcessResult run = tree.Gavrelo("demo.json", "first");
  ASSERT_EQ(run.ExitCode, 0) << run.Stderr;
  const std::string listLine = "TOrvKtaConfig::m_XmlFileName ... [" + tree.File("Conf/" + tree.Name() + ".xml") + "]\n";
  const std::string modelLine = "TOrvModelConfig::ModelName ... [GavreloDemo]\n";
  std::size_t list = run.Stdout.find(listLine);
  ASSERT_NE(list, std::string::npos) << run.Stdout;
  EXPECT_NE(run.Stdout.find(modelLine, list), std::string::npos) << run.Stdout;
  EXPECT_EQ(run.Stdout.find("TOrvModelConfig::Restore"), std::string::npos) << run.Stdout;

  // A user's half-written edit: restored from _Conf/, the edit kept beside it.
  const std::string model = tree.File("Conf/GavreloDemo.xml");
  std::ofstream(model, std::ios::trunc) << "<Root><MainMenu>my edit";
  run = tree.Gavrelo("demo.json", "second");
  EXPECT_EQ(run.ExitCode, 0);
  EXPECT_NE(run.Stdout.find("TOrvModelConfig::Restore ... [restored from " + tree.File("_Conf/GavreloDemo.xml") +
                            ", the replaced file kept as " + model + ".broken]\n"),
            std::string::npos)
      << run.Stdout;
  EXPECT_EQ(TSubprocess::Slurp(model + ".broken"), "<Root><MainMenu>my edit");
  EXPECT_EQ(TSubprocess::Slurp(model), TSubprocess::Slurp(tree.File("_Conf/GavreloDemo.xml")));
}

TEST(ConfigProcess, GavreloctlConfigListsTheDemoModelsSections) {
  TTempDir out;
  TProcessResult run = Ctl("demo.json", {"--json"}, out);
  ASSERT_EQ(run.ExitCode, 0) << run.Stderr;
  nlohmann::json j = nlohmann::json::parse(run.Stdout, nullptr, false);
  ASSERT_FALSE(j.is_discarded()) << run.Stdout;
  EXPECT_EQ(j["support_model_list"]["path"], HostPath(kBuildRoot / "Conf/gavrelo.xml"));
  EXPECT_EQ(j["model_name"], "GavreloDemo");
  EXPECT_EQ(j["model_file"]["path"], HostPath(kBuildRoot / "Conf/GavreloDemo.xml"));
  EXPECT_TRUE(j["model_file"]["loaded"].get<bool>());
  EXPECT_FALSE(j["model_file"]["restored"].get<bool>());
  const std::vector<std::string> order = {"MainMenu", "VoltageControl", "SioHwmSetting",
                                          "HardwareMonitor/Clock", "HardwareMonitor/Fan",
                                          "HardwareMonitor/Voltage", "FanControl", "GUIFanControl",
                                          "ThermalSensor", "Overclocking", "Profile", "SmallHWMPanel"};
  ASSERT_EQ(j["sections"].size(), order.size());
  for (std::size_t i = 0; i < order.size(); ++i) {
    const nlohmann::json& section = j["sections"][i];
    EXPECT_EQ(section["name"], order[i]);
    EXPECT_GT(section["count"].get<int>(), 0) << order[i];  // the demo board fills every one
    EXPECT_EQ(section["count"].get<std::size_t>(), section["items"].size());
  }
  EXPECT_EQ(j["sections"][5]["items"][0]["attributes"]["Name"], "VCORE");
  EXPECT_EQ(j["sections"][5]["items"][0]["attributes"]["Register"], "0x20");
  EXPECT_FALSE(j["sections"][4]["items"][0]["child"].get<bool>());
  EXPECT_TRUE(j["sections"][4]["items"][1]["child"].get<bool>());

  run = Ctl("demo.json", {}, out);
  EXPECT_EQ(run.ExitCode, 0);
  EXPECT_NE(run.Stdout.find("GavreloDemo -> GavreloDemo.xml\n"), std::string::npos) << run.Stdout;
  EXPECT_NE(run.Stdout.find("HardwareMonitor/Voltage (Count 6)\n  <Item"), std::string::npos) << run.Stdout;
  // Attributes in document order, children below their item.
  EXPECT_NE(run.Stdout.find("  <Item Name=\"CPUFAN\" Caption=\"CPU Fan\" Unit=\"RPM\" Bank=\"0\" Register=\"0x29\">\n"
                            "    <Divisor Register=\"0x47\" Bits=\"7:6\">\n"),
            std::string::npos)
      << run.Stdout;
}

TEST(ConfigProcess, GavreloctlConfigFailsVisiblyWithoutAModelFile) {
  TTempDir out;
  // This board carries no BIOS identity record: no model, so no model file.
  TProcessResult run = Ctl("sio-W.json", {"--json"}, out);
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_EQ(run.Stderr, "gavreloctl: the model file of \"\" did not load (no valid BIOS identity record, so "
                        "no model name)\n");
  nlohmann::json j = nlohmann::json::parse(run.Stdout, nullptr, false);
  EXPECT_TRUE(j["sections"].empty()) << run.Stdout;
  // A support-model list that is missing is named; so is a model file that is missing with
  // its restore source.
  run = Ctl("demo.json", {"--exe", out.File("Bin/gavrelo")}, out);
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_EQ(run.Stderr, "gavreloctl: the model file of \"GavreloDemo\" did not load (the support-model list " +
                            out.File("Conf/gavrelo.xml") + " did not load)\n");
  std::filesystem::create_directories(out.Path() / "Conf");
  out.Write("Conf/gavrelo.xml", "<Root><SupportModel><Item Name='GavreloDemo' Conf='D.xml'/></SupportModel></Root>");
  run = Ctl("demo.json", {"--exe", out.File("Bin/gavrelo")}, out);
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_EQ(run.Stderr, "gavreloctl: the model file of \"GavreloDemo\" did not load (missing or not "
                        "well-formed; not restored: no " + out.File("_Conf/D.xml") + ")\n");
  // Without hardware access there is no model name to look up.
  run = Ctl("no-such-board.json", {}, out);
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_EQ(run.Stderr.rfind("gavreloctl: no hardware access: ", 0), 0u) << run.Stderr;
}

// Every board file whose firmware names a model has that model's file in the tree: add
// Conf/<model>.xml with the board (README, "Adding a board file").
TEST(ConfigProcess, EveryShippedBoardModelHasAModelFile) {
  std::string list = TSubprocess::Slurp((kBuildRoot / "Conf/gavrelo.xml").string());
  for (const auto& entry : fs::directory_iterator(GAVRELO_SOURCE_DIR "/boards")) {
    if (entry.path().extension() != ".json") continue;
    nlohmann::json board = nlohmann::json::parse(TSubprocess::Slurp(entry.path().string()), nullptr, false);
    const nlohmann::json* project = &board;
    for (const char* key : {"firmware", "identity", "project"}) {
      project = project->is_object() && project->contains(key) ? &(*project)[key] : nullptr;
      if (project == nullptr) break;
    }
    if (project == nullptr || !project->is_string()) continue;
    std::string model = project->get<std::string>();
    while (!model.empty() && model.back() == '.') model.pop_back();
    EXPECT_TRUE(fs::exists(kBuildRoot / "Conf" / (model + ".xml"))) << entry.path() << ": add Conf/" << model << ".xml";
    EXPECT_TRUE(fs::exists(kBuildRoot / "_Conf" / (model + ".xml"))) << model;
    EXPECT_NE(list.find(" Name=\"" + model + "\" Conf=\"" + model + ".xml\""), std::string::npos) << model;
  }
}

}  // namespace
