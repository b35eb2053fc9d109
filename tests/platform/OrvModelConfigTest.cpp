// The XML model configuration: path rules, the support-model list, the section parse and
// the restore of a model file, on files in a temporary tool tree.

#include <filesystem>
#include <string>

#include "PlatformTestSupport.h"
#include "diag/DebugConsole.h"
#include "platform/OrvConfigPaths.h"
#include "platform/OrvModelConfig.h"
#include "tests/support/Subprocess.h"
#include "tests/support/TempDir.h"

namespace {

namespace fs = std::filesystem;

// <tmp>/Bin/gavrelo with Conf/ and _Conf/ beside Bin/.
class ToolTree : public PlatformTest {
 protected:
  void SetUp() override {
    PlatformTest::SetUp();
    fs::create_directories(m_Root.Path() / "Conf");
    fs::create_directories(m_Root.Path() / "_Conf");
  }
  std::string Exe() const { return m_Root.File("Bin/gavrelo"); }
  std::string Conf(const std::string& name) const { return m_Root.File("Conf/" + name); }
  void Write(const std::string& relative, const std::string& bytes) { m_Root.Write(relative, bytes); }
  void List(const std::string& items) {
    Write("Conf/gavrelo.xml", "<Root><SupportModel>" + items + "</SupportModel></Root>");
  }
  // A model file for `model` listed as M.xml, and the configuration loaded from it.
  TOrvModelConfig& Load(const std::string& modelFile, const std::wstring& model = L"M") {
    m_Config.reset();
    List("<Item Name=\"M\" Conf=\"M.xml\"/>");
    Write("Conf/M.xml", modelFile);
    m_List = std::make_unique<TOrvKtaConfig>(Exe());
    m_Config = std::make_unique<TOrvModelConfig>(*m_List, model, Exe());
    return *m_Config;
  }
  static std::vector<std::string> Names(const TXmlItems& list) {
    std::vector<std::string> names;
    for (const TOrvXmlItem& item : list.Items) {
      const char* name = item.Element->Attribute("N");
      names.push_back(std::string(item.Element->Name()) + (name ? ":" + std::string(name) : ""));
    }
    return names;
  }

  TTempDir m_Root;
  std::unique_ptr<TOrvKtaConfig> m_List;
  std::unique_ptr<TOrvModelConfig> m_Config;
};

TEST(OrvConfigPaths, RulesForBothSeparators) {
  struct TCase {
    const char* Exe;
    char Separator;
    const char *List, *Model, *Restore;
  } cases[] = {
      {R"(C:\Tools\X\Bin\Tool.exe)", '\\', R"(C:\Tools\X\Conf\Tool.xml)", R"(C:\Tools\X\Conf\M.xml)",
       R"(C:\Tools\X\_Conf\M.xml)"},
      {R"(C:\Tools\X\Bin\Tool.new.exe)", '\\', R"(C:\Tools\X\Conf\Tool.xml)", R"(C:\Tools\X\Conf\M.xml)",
       R"(C:\Tools\X\_Conf\M.xml)"},
      {R"(C:\Tools\X\Tool.exe)", '\\', R"(C:\Tools\Conf\Tool.xml)", R"(C:\Tools\Conf\M.xml)", R"(_Conf\M.xml)"},
      {"/opt/x/Bin/gavrelo", '/', "/opt/x/Conf/gavrelo.xml", "/opt/x/Conf/M.xml", "/opt/x/_Conf/M.xml"},
      {"/opt/x/Bin/gavrelo.new", '/', "/opt/x/Conf/gavrelo.xml", "/opt/x/Conf/M.xml", "/opt/x/_Conf/M.xml"},
      {"/opt/x/tool/gavrelo", '/', "/opt/x/Conf/gavrelo.xml", "/opt/x/Conf/M.xml", "_Conf/M.xml"},
      // The first "/Bin", case-sensitive: "/bin" is none, "/Binaries" is the first one.
      {"/usr/bin/x/Bin/gavrelo", '/', "/usr/bin/x/Conf/gavrelo.xml", "/usr/bin/x/Conf/M.xml",
       "/usr/bin/x/_Conf/M.xml"},
      {"/Binaries/x/Bin/gavrelo", '/', "/Binaries/x/Conf/gavrelo.xml", "/Binaries/x/Conf/M.xml", "/_Conf/M.xml"},
      {"/Bin/gavrelo", '/', "/Conf/gavrelo.xml", "/Conf/M.xml", "/_Conf/M.xml"},
      // An unknown executable path reads and writes nothing.
      {"", '/', "", "", ""},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(TOrvConfigPaths::SupportModelList(c.Exe, c.Separator), c.List) << c.Exe;
    EXPECT_EQ(TOrvConfigPaths::ModelFile(c.Exe, "M.xml", c.Separator), c.Model) << c.Exe;
    EXPECT_EQ(TOrvConfigPaths::RestoreSource(c.Exe, "M.xml", c.Separator), c.Restore) << c.Exe;
  }
}

TEST_F(ToolTree, SupportModelListLaterDuplicateWinsAndUnlistedModelsGetAnEmptyRecord) {
  List("<Item Index=\"1\" Name=\"A\" Conf=\"a1.xml\" UloConf=\"u\"/><!-- comment -->text"
       "<Other Index=\"two\" Name=\"B\" Conf=\"b.xml\"/>"
       "<Item Index=\"3\" Name=\"A\" Conf=\"a3.xml\"><Item Name=\"Nested\"/></Item>");
  TOrvKtaConfig list(Exe());
  ASSERT_TRUE(list.Loaded);
  ASSERT_EQ(list.SupportModels.size(), 2u);
  const _OrvModel_t& a = list.SupportModels.at(L"A");
  EXPECT_EQ(a.Index, 3);
  EXPECT_EQ(a.Conf, L"a3.xml");
  EXPECT_EQ(a.UloConf, L"");  // the whole record is replaced
  EXPECT_EQ(list.SupportModels.at(L"B").Index, 0);  // not a number
  EXPECT_EQ(list.GetModelConf(L"a"), L"");          // names compare with their case
  EXPECT_EQ(list.SupportModels.size(), 3u);
  EXPECT_EQ(list.SupportModels.at(L"a").Name, L"");

  for (const char* bad : {"<Root><SupportModel><Item Name=\"A\" Conf=\"a.xml\"></SupportModel></Root>", "",
                          "<!-- no element -->"}) {
    Write("Conf/gavrelo.xml", bad);
    TOrvKtaConfig broken(Exe());
    EXPECT_FALSE(broken.Loaded) << bad;
    EXPECT_TRUE(broken.SupportModels.empty()) << bad;
  }
}

TEST(OrvXmlItem, GetBoolAttributeForms) {
  tinyxml2::XMLDocument doc;
  doc.Parse("<E/>");
  tinyxml2::XMLElement* e = doc.RootElement();
  TOrvXmlItem item(e);
  struct TCase {
    const char* Value;  // null: attribute missing
    int Expected;       // -1: the caller's default
  } cases[] = {{"1", 1},      {"TRUE", 1},  {"true", 1},     {"tRuE", 1}, {"0", 0},
               {"false", 0},  {"FaLsE", 0}, {"yes", -1},     {"", -1},    {" 1", -1},
               {"2", -1},     {nullptr, -1}, {"\xC4\xB1rue", -1}};
  for (const TCase& c : cases) {
    if (c.Value) e->SetAttribute("Enable", c.Value); else e->DeleteAttribute("Enable");
    for (bool fallback : {false, true})
      EXPECT_EQ(item.GetBoolAttribute("Enable", fallback), c.Expected < 0 ? fallback : c.Expected == 1)
          << (c.Value ? c.Value : "(missing)") << " default " << fallback;
  }
  EXPECT_TRUE(TOrvXmlItem().GetBoolAttribute("Enable", true));
  EXPECT_FALSE(TOrvXmlItem().GetBoolAttribute("Enable", false));
}

TEST_F(ToolTree, SectionsTakeItemsThenChildrenWithTheirGatesAndEnableRules) {
  TOrvModelConfig& config = Load(R"(<?xml version="1.0"?>
<Root>
  <MainMenu>
    <Item N="t" Enable="true"><C N="c1" Enable="1"/><C N="c2" Enable="yes"/><C N="c3"/><C N="c4" Enable="TRUE"/></Item>
    <Item N="yes" Enable="yes"><C N="hidden" Enable="1"/></Item>
    <Item N="missing"/>
    <Other N="o" Enable="1"/>
  </MainMenu>
  <VoltageControl Enable="0"><Item N="v"/></VoltageControl>
  <SioHwmSetting>
    <Item N="1"><A/><!-- comment --><B><Deeper/></B>text<C/></Item>
    <!-- comment -->
    <Item N="2"/>
  </SioHwmSetting>
  <HardwareMonitor>
    <Clock><Item N="no gate attribute"/></Clock>
    <Fan Enable="TRUE"><Item N="f"/></Fan>
  </HardwareMonitor>
  <FanControl Enable="1"/>
  <Profile Enable="1"><Item N="p"/></Profile>
  <Profile Enable="0"><Item N="second profile element"/></Profile>
</Root>)");
  ASSERT_TRUE(config.Loaded);
  EXPECT_EQ(Names(config.MainMenu),
            (std::vector<std::string>{"Item:t", "C:c1", "C:c4", "Other:o"}));
  EXPECT_EQ(config.MainMenu.Count, 4);
  // Item 1, its three children (not the grandchild), item 2: Count 5.
  EXPECT_EQ(Names(config.SioHwmSetting), (std::vector<std::string>{"Item:1", "A", "B", "C", "Item:2"}));
  EXPECT_EQ(config.SioHwmSetting.Count, 5);
  EXPECT_EQ(config.VoltageControl.Count, 0);  // Enable="0" with items
  EXPECT_EQ(config.HwmClock.Count, 0);        // no Enable on the section element
  EXPECT_EQ(Names(config.HwmFan), (std::vector<std::string>{"Item:f"}));
  EXPECT_EQ(config.HwmVoltage.Count, 0);  // section missing
  EXPECT_EQ(config.FanControl.Count, 0);  // enabled, no items
  EXPECT_EQ(Names(config.Profile), (std::vector<std::string>{"Item:p"}));
  for (const auto& section : TOrvModelConfig::kSections)
    EXPECT_EQ((config.*section.List).Count, static_cast<int>((config.*section.List).Items.size()));
}

TEST_F(ToolTree, PathSelectsTheFirstMatchInDocumentOrder) {
  TOrvModelConfig& config = Load("<Root><Profile Enable='1'/><Profile><Item N='late'/><Item N='later'/></Profile></Root>");
  // The gate is the first Profile element's; the items are those of the first Item found.
  EXPECT_EQ(Names(config.Profile), (std::vector<std::string>{"Item:late", "Item:later"}));
  EXPECT_EQ(config.SelectFirst("/Root/Profile/Item/"), nullptr);
  EXPECT_EQ(config.SelectFirst("Root/Profile"), nullptr);
  EXPECT_EQ(config.SelectFirst("/Root//Item"), nullptr);
  EXPECT_EQ(config.SelectFirst("/Other/Profile"), nullptr);
}

TEST_F(ToolTree, UntrustedFilesFailCleanlyWithAnEmptyConfiguration) {
  std::string deep;
  for (int i = 0; i < 5000; ++i) deep += "<E>";
  std::string huge = "<Root><MainMenu><Item Enable='1'/>" +
                     std::string(TOrvXmlBase::kMaxFileSize, ' ') + "</MainMenu></Root>";
  for (const std::string& content : {deep, huge, std::string("<Root><MainMenu><Item Enable='1'/></Root>"),
                                     std::string("\xFF\xFE<\0R\0/\0>\0", 10)}) {
    TOrvModelConfig& config = Load(content);
    EXPECT_FALSE(config.Loaded);
    EXPECT_EQ(config.RootElement, nullptr);
    for (const auto& section : TOrvModelConfig::kSections) EXPECT_EQ((config.*section.List).Count, 0);
  }
}

TEST_F(ToolTree, RestoreOnlyFromASourceThatLoadsAndKeepTheReplacedFile) {
  const std::string good = "<Root><Profile Enable='1'><Item N='restored'/></Profile></Root>";
  const std::string broken = "<Root><Profile Enable='1'>half written";
  const auto dir = [&](const std::string& sub) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(m_Root.Path() / sub)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  };

  // Missing model file: restored, nothing to keep.
  Write("_Conf/M.xml", good);
  List("<Item Name=\"M\" Conf=\"M.xml\"/>");
  m_List = std::make_unique<TOrvKtaConfig>(Exe());
  TOrvModelConfig restored(*m_List, L"M", Exe());
  EXPECT_TRUE(restored.Loaded);
  EXPECT_TRUE(restored.Restored);
  EXPECT_EQ(restored.KeptCopy, "");
  EXPECT_EQ(Names(restored.Profile), (std::vector<std::string>{"Item:restored"}));
  EXPECT_EQ(TSubprocess::Slurp(Conf("M.xml")), good);

  // Broken model file: restored, the broken one kept byte for byte; a second time under
  // the next free name.
  for (const char* kept : {"M.xml.broken", "M.xml.broken.1"}) {
    TOrvModelConfig& config = Load(broken);
    EXPECT_TRUE(config.Loaded);
    EXPECT_TRUE(config.Restored);
    EXPECT_EQ(config.KeptCopy, Conf(kept));
    EXPECT_EQ(TSubprocess::Slurp(Conf(kept)), broken);
    EXPECT_EQ(TSubprocess::Slurp(Conf("M.xml")), good);
  }
  EXPECT_EQ(dir("Conf"), (std::vector<std::string>{"M.xml", "M.xml.broken", "M.xml.broken.1", "gavrelo.xml"}));

  // A restore source that is missing or does not load: the model file stays as it was,
  // and nothing else appears beside it.
  fs::remove(Conf("M.xml.broken"));
  fs::remove(Conf("M.xml.broken.1"));
  for (const std::string& source : {std::string(), std::string("<Root><Profile>"), std::string(5u << 20, '<')}) {
    fs::remove(m_Root.File("_Conf/M.xml"));
    if (!source.empty()) Write("_Conf/M.xml", source);
    TOrvModelConfig& config = Load(broken);
    EXPECT_FALSE(config.Loaded);
    EXPECT_FALSE(config.Restored);
    EXPECT_EQ(config.RestoreSource, m_Root.File("_Conf/M.xml"));
    EXPECT_EQ(TSubprocess::Slurp(Conf("M.xml")), broken);
    EXPECT_EQ(dir("Conf"), (std::vector<std::string>{"M.xml", "gavrelo.xml"}));
  }

  // A Conf value that is a path of its own is loaded but never restored.
  Write("_Conf/M.xml", good);
  List("<Item Name=\"M\" Conf=\"../Bin/M.xml\"/>");
  m_List = std::make_unique<TOrvKtaConfig>(Exe());
  TOrvModelConfig outside(*m_List, L"M", Exe());
  EXPECT_FALSE(outside.Restored);
  EXPECT_FALSE(fs::exists(m_Root.Path() / "Bin"));
}

TEST_F(ToolTree, InstanceLogsTheListPathAndTheModelOfTheIdentityRecord) {
  Install({{"firmware", {{"identity", {{"project", "M.."}}}}}});
  TOrvConfigPaths::SetExecutablePath(Exe());
  List("<Item Name=\"M\" Conf=\"M.xml\"/>");
  Write("Conf/M.xml", "<Root><Profile Enable='1'><Item/></Profile></Root>");
  ::testing::internal::CaptureStdout();
  TDebugConsole::Instance(true);
  TOrvModelConfig& config = TOrvModelConfig::Instance();
  std::string log = ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(&config.KtaConfig, &TOrvKtaConfig::Instance());
  EXPECT_EQ(config.ModelName, L"M");
  EXPECT_EQ(config.Profile.Count, 1);
  EXPECT_EQ(log, "TOrvKtaConfig::m_XmlFileName ... [" + Conf("gavrelo.xml") +
                     "]\nRawProjectName ... [M..]\nTOrvModelConfig::ModelName ... [M]\n");
}

}  // namespace
