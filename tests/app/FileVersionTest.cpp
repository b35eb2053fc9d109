// The file version is read back from the executable file, so a copy whose record was
// changed reports the changed version.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/FormatFileVersion.h"
#include "host/FileVersion.h"
#include "host/Process.h"
#include "tests/support/Subprocess.h"
#include "tests/support/TempDir.h"

namespace {

// A copy of `source` whose version record says major.minor.release.build.
std::string StampedCopy(const TTempDir& dir, const std::string& source, const std::string& name,
                        std::uint16_t major, std::uint16_t minor, std::uint16_t release,
                        std::uint16_t build) {
  std::string image = TSubprocess::Slurp(source);
  auto location = host::LocateFileVersion(source);
  if (!location) return "";
  auto put = [&image](std::uint64_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) image[at + i] = static_cast<char>(v >> (8 * i));
  };
  put(location->Offset + 8, (std::uint32_t{major} << 16) | minor);
  put(location->Offset + 12, (std::uint32_t{release} << 16) | build);
  std::string path = dir.Write(name, image);
  std::filesystem::permissions(path, std::filesystem::perms::owner_all);
  return path;
}

TEST(FormatFileVersion, BuildNumberOnlyWhenNotZero) {
  const std::string tool = std::string(GAVRELO_BIN_DIR) + "/gavrelo";
  EXPECT_EQ(FormatFileVersion(tool), L"2.0.5");
  EXPECT_EQ(FormatFileVersion(std::string(GAVRELO_BIN_DIR) + "/gavreloctl"), L"2.0.5");
  TTempDir dir;
  EXPECT_EQ(FormatFileVersion(StampedCopy(dir, tool, "a", 2, 0, 5, 3)), L"2.0.5.3");
  EXPECT_EQ(FormatFileVersion(StampedCopy(dir, tool, "b", 65535, 1, 0, 0)), L"65535.1.0");
  EXPECT_EQ(FormatFileVersion(StampedCopy(dir, tool, "c", 0, 0, 0, 65535)), L"0.0.0.65535");
  EXPECT_EQ(FormatFileVersion(host::ExecutablePath()), L"");  // no record in this program
  EXPECT_EQ(FormatFileVersion(dir.File("missing")), L"");
}

TEST(FormatFileVersion, GavreloctlVersionComesFromItsOwnFile) {
  TTempDir dir;
  std::string ctl =
      StampedCopy(dir, std::string(GAVRELO_BIN_DIR) + "/gavreloctl", "gavreloctl", 3, 1, 4, 1);
  TProcessResult result = RunProcess(ctl, {"--version"}, {}, dir.File("out"));
  EXPECT_EQ(result.ExitCode, 0);
  EXPECT_EQ(result.Stdout, "gavreloctl 3.1.4.1\n");
}

}  // namespace
