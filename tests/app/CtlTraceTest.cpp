// gavreloctl trace on a trace written by hand: a run that drives GPIO12 low for 100 ms,
// with the Super I/O configuration cycles around the low step, a second copy refused
// during the pause (appended by that copy, so out of time order in the file), and a line
// that is no event.

#include <gtest/gtest.h>

#include <algorithm>

#include <nlohmann/json.hpp>
#include <tinyxml2.h>

#include "tests/support/Subprocess.h"
#include "tests/support/TempDir.h"

namespace {

const char* const kTrace = R"({"kind":"header","seq":1,"us":0,"tool":"gavrelo","version":"2.0.5.0","board":"boards/demo.json","command_line":"gavrelo /DEBUG","pid":100,"origin_unix_us":1000000000}
{"kind":"decision","what":"single_instance","name":"gavrelo","refused":false,"pid":100,"seq":2,"us":5}
{"kind":"out","port":46,"width":1,"value":135,"seq":3,"us":100}
{"kind":"out","port":46,"width":1,"value":135,"seq":4,"us":101}
{"kind":"state","device":"superio W83627UHG @0x2E","state":{"config_mode":true},"seq":5,"us":102}
{"kind":"out","port":46,"width":1,"value":7,"seq":6,"us":103}
{"kind":"out","port":47,"width":1,"value":7,"seq":7,"us":104}
{"kind":"state","device":"superio W83627UHG @0x2E","state":{"ldn":"0x07","present":true},"seq":8,"us":105}
{"kind":"out","port":46,"width":1,"value":241,"seq":9,"us":106}
{"kind":"in","port":47,"width":1,"value":4,"seq":10,"us":107}
{"kind":"out","port":47,"width":1,"value":0,"seq":11,"us":10000}
{"kind":"pin","owner":"sio","chip":"W83627UHG","port":46,"pin":"GPIO12","state":"output_low","level":0,"seq":12,"us":10000}
{"kind":"out","port":46,"width":1,"value":170,"seq":13,"us":10050}
{"kind":"state","device":"superio W83627UHG @0x2E","state":{"config_mode":false,"by":"0xAA"},"seq":14,"us":10051}
{"kind":"out","port":47,"width":1,"value":5,"seq":15,"us":10052}
{"kind":"decision","what":"pause","ms":100,"pid":100,"seq":16,"us":10100}
{"kind":"header","seq":1,"us":0,"tool":"gavrelo","version":"2.0.5.0","board":"boards/demo.json","command_line":"gavrelo","pid":200,"origin_unix_us":1000050000}
{"kind":"decision","what":"single_instance","name":"gavrelo","refused":true,"pid":200,"seq":2,"us":300}
{"kind":"end","exit_code":0,"left_unlocked":[],"pid":200,"seq":3,"us":400}
this line is no event
{"kind":"decision","what":"pause_end","ms":100,"pid":100,"seq":17,"us":110200}
{"kind":"pin","owner":"sio","chip":"W83627UHG","port":46,"pin":"GPIO12","state":"output_high","level":1,"seq":18,"us":110300}
{"kind":"end","exit_code":0,"left_unlocked":[],"pid":100,"seq":19,"us":111000}
)";

class CtlTrace : public testing::Test {
 protected:
  TProcessResult Ctl(std::vector<std::string> args) {
    return RunProcess(std::string(GAVRELO_BIN_DIR) + "/gavreloctl", args, {}, m_Dir.File("ctl"));
  }
  TTempDir m_Dir{"ctltrace"};
  std::string m_Trace = m_Dir.Write("trace.jsonl", kTrace);
};

TEST_F(CtlTrace, TimelineShowsRunsDecisionsAndPinChangesInTimeOrder) {
  TProcessResult r = Ctl({"trace", m_Trace});
  EXPECT_EQ(r.ExitCode, 0);
  EXPECT_EQ(r.Stdout,
            "gavrelo 2.0.5.0, pid 100, board boards/demo.json\n"
            "        ms  event\n"
            "     0.000  start  gavrelo 2.0.5.0, pid 100: gavrelo /DEBUG\n"
            "     0.005  tool   single_instance: name=gavrelo refused=false\n"
            "    10.000  pin    sio W83627UHG @0x2E  GPIO12  output_low (level 0)\n"
            "    10.100  tool   pause: ms=100\n"
            "    50.000  start  [pid 200] gavrelo 2.0.5.0, pid 200: gavrelo\n"
            "    50.300  tool   [pid 200] single_instance: name=gavrelo refused=true\n"
            "    50.400  end    [pid 200] exit code 0, no chip left in configuration mode\n"
            "   110.200  tool   pause_end: ms=100\n"
            "   110.300  pin    sio W83627UHG @0x2E  GPIO12  output_high (level 1)  after 100.300 ms\n"
            "   111.000  end    exit code 0, no chip left in configuration mode\n"
            "Bus operations: 1 in, 8 out\n");
  EXPECT_EQ(r.Stderr, "gavreloctl: trace: 1 line(s) of " + m_Trace + " are no trace events and were skipped\n");
}

TEST_F(CtlTrace, AllDecodesTheConfigurationRegistersOfAnOpenChipOnly) {
  TProcessResult r = Ctl({"trace", "--all", m_Trace});
  EXPECT_EQ(r.ExitCode, 0);
  const std::string lines =
      "     0.104  config superio W83627UHG @0x2E  reg 0x07 <- 0x07\n"
      "     0.107  config superio W83627UHG @0x2E  LDN 0x07 reg 0xF1 -> 0x04\n"
      "    10.000  config superio W83627UHG @0x2E  LDN 0x07 reg 0xF1 <- 0x00\n"
      "    10.000  pin    sio W83627UHG @0x2E  GPIO12  output_low (level 0)\n"
      "    10.100  tool   pause: ms=100\n";
  EXPECT_NE(r.Stdout.find(lines), std::string::npos) << r.Stdout;
  // The key bytes before the chip opened, the index writes and the data write after 0xAA
  // closed it are no register accesses.
  EXPECT_EQ(r.Stdout.find("config ", r.Stdout.find("pause:")), std::string::npos) << r.Stdout;
}

TEST_F(CtlTrace, JsonCarriesRunsTimelineAndPinTracks) {
  TProcessResult r = Ctl({"trace", "--all", "--json", m_Trace});
  ASSERT_EQ(r.ExitCode, 0);
  const nlohmann::json j = nlohmann::json::parse(r.Stdout);
  ASSERT_EQ(j["runs"].size(), 2u);
  EXPECT_EQ(j["runs"][0]["pid"], 100);
  EXPECT_EQ(j["runs"][0]["exit_code"], 0);
  EXPECT_DOUBLE_EQ(j["runs"][1]["start_ms"].get<double>(), 50.0);
  EXPECT_EQ(j["runs"][1]["ended"], true);
  ASSERT_EQ(j["pins"].size(), 1u);
  EXPECT_EQ(j["pins"][0]["pin"], "GPIO12");
  EXPECT_EQ(j["pins"][0]["port"], 46);
  ASSERT_EQ(j["pins"][0]["changes"].size(), 2u);
  EXPECT_EQ(j["pins"][0]["changes"][0]["state"], "output_low");
  EXPECT_DOUBLE_EQ(j["pins"][0]["changes"][0]["ms"].get<double>(), 10.0);
  EXPECT_DOUBLE_EQ(j["pins"][0]["changes"][1]["ms"].get<double>(), 110.3);
  EXPECT_EQ(j["bad_lines"], 1);
  EXPECT_EQ(j["events"], 22);
  EXPECT_EQ(j["operations"]["out"], 8);
  const nlohmann::json& config = j["timeline"][3];
  EXPECT_EQ(config["kind"], "config");
  EXPECT_EQ(config["ldn"], 7);
  EXPECT_EQ(config["register"], 0xF1);
  EXPECT_EQ(config["value"], 4);
  EXPECT_EQ(config["write"], false);
  EXPECT_TRUE(j["timeline"][2]["ldn"].is_null());  // the global register 0x07
}

// The attribute of the first element named `name` whose `key` attribute equals `value`.
const tinyxml2::XMLElement* Find(const tinyxml2::XMLElement* root, const char* name, const char* key,
                                 const std::string& value) {
  for (const tinyxml2::XMLElement* e = root->FirstChildElement(name); e; e = e->NextSiblingElement(name)) {
    const char* attribute = e->Attribute(key);
    if (attribute != nullptr && value == attribute) return e;
  }
  return nullptr;
}

TEST_F(CtlTrace, SvgDrawsTheLowAndHighLevelsApartOverAnAxisInMilliseconds) {
  const std::string svg = m_Dir.File("pins.svg");
  TProcessResult r = Ctl({"trace", m_Trace, "--svg", svg});
  ASSERT_EQ(r.ExitCode, 0);
  tinyxml2::XMLDocument doc;
  ASSERT_EQ(doc.LoadFile(svg.c_str()), tinyxml2::XML_SUCCESS);
  const tinyxml2::XMLElement* root = doc.RootElement();
  ASSERT_STREQ(root->Name(), "svg");
  std::vector<std::string> texts;
  for (const tinyxml2::XMLElement* e = root->FirstChildElement("text"); e; e = e->NextSiblingElement("text"))
    texts.push_back(e->GetText() ? e->GetText() : "");
  auto has = [&](const std::string& t) { return std::find(texts.begin(), texts.end(), t) != texts.end(); };
  EXPECT_TRUE(has("GPIO12"));
  EXPECT_TRUE(has("0 ms"));
  EXPECT_TRUE(has("100 ms"));       // an axis tick, and the low state's duration
  EXPECT_TRUE(has("pause 100 ms"));
  // Output low and output high: lines of their own colours at two different heights.
  const tinyxml2::XMLElement* low = Find(root, "line", "stroke", "#0550ae");
  const tinyxml2::XMLElement* high = Find(root, "line", "stroke", "#1a7f37");
  ASSERT_NE(low, nullptr);
  ASSERT_NE(high, nullptr);
  // The first of each colour is its legend entry; the waveform's are those with a tooltip.
  auto waveform = [&](const char* colour) {
    for (const tinyxml2::XMLElement* e = root->FirstChildElement("line"); e; e = e->NextSiblingElement("line"))
      if (std::string(e->Attribute("stroke") ? e->Attribute("stroke") : "") == colour && e->FirstChildElement("title"))
        return e;
    return static_cast<const tinyxml2::XMLElement*>(nullptr);
  };
  ASSERT_NE(waveform("#0550ae"), nullptr);
  ASSERT_NE(waveform("#1a7f37"), nullptr);
  EXPECT_GT(waveform("#0550ae")->DoubleAttribute("y1"), waveform("#1a7f37")->DoubleAttribute("y1"));
  EXPECT_STREQ(waveform("#0550ae")->FirstChildElement("title")->GetText(),
               "GPIO12 output low from 10 ms for 100 ms");
}

TEST_F(CtlTrace, AFileWithoutEventsOrThatCannotBeReadFails) {
  const std::string empty = m_Dir.Write("empty.jsonl", "\nnot json\n[1,2]\n");
  TProcessResult r = Ctl({"trace", empty});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_EQ(r.Stdout, "");
  EXPECT_NE(r.Stderr.find("holds no trace event"), std::string::npos) << r.Stderr;
  r = Ctl({"trace", m_Dir.File("missing.jsonl")});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_NE(r.Stderr.find("cannot read"), std::string::npos) << r.Stderr;
  r = Ctl({"trace", m_Trace, "--svg", m_Dir.File("no/such/dir/x.svg")});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_NE(r.Stderr.find("cannot write"), std::string::npos) << r.Stderr;
}

}  // namespace
