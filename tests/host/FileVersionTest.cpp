#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "host/FileVersion.h"
#include "host/Process.h"
#include "tests/support/TempDir.h"

namespace {

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  std::string bytes(in ? static_cast<std::size_t>(in.tellg()) : 0, '\0');
  in.seekg(0);
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return bytes;
}

const std::string kTool = std::string(GAVRELO_BIN_DIR) + "/gavrelo";

TEST(FileVersion, ReadFromTheExecutableFileItself) {
  auto version = host::ReadFileVersion(kTool);
  ASSERT_TRUE(version.has_value());
  EXPECT_EQ(version->Major, 2);
  EXPECT_EQ(version->Minor, 0);
  EXPECT_EQ(version->Release, 5);
  EXPECT_EQ(version->Build, 0);
  // This test program carries no version record; neither do other files.
  EXPECT_FALSE(host::ReadFileVersion(host::ExecutablePath()).has_value());
  EXPECT_FALSE(host::ReadFileVersion("/nonexistent/file").has_value());
}

TEST(FileVersion, DamagedOrForeignFilesHaveNone) {
  TTempDir dir;
  std::string image = Slurp(kTool);
  auto location = host::LocateFileVersion(kTool);
  ASSERT_TRUE(location.has_value());
  ASSERT_GE(location->Size, 52u);
  // A wrong signature in the record.
  std::string badSignature = image;
  badSignature[location->Offset] ^= 0x01;
  EXPECT_FALSE(host::ReadFileVersion(dir.Write("bad-signature", badSignature)).has_value());
  // Cut-off files: at the header, inside the section table, before the record's end (and,
  // for ELF, whose section table is at the end of the file, one byte short).
  std::vector<std::size_t> cuts = {3, 40, 64, static_cast<std::size_t>(location->Offset + 20)};
#ifdef _WIN32
  // The offset of the PE header (e_lfanew) pointing far outside the file.
  constexpr std::size_t kTableOffset = 0x3C;
  constexpr int kTableBytes = 4;
#else
  // The section table offset pointing far outside the file.
  constexpr std::size_t kTableOffset = 0x28;
  constexpr int kTableBytes = 8;
  cuts.push_back(image.size() - 1);
#endif
  for (std::size_t size : cuts) {
    EXPECT_FALSE(host::ReadFileVersion(dir.Write("cut", image.substr(0, size))).has_value())
        << size;
  }
  std::string badTable = image;
  for (int i = 0; i < kTableBytes; ++i) badTable[kTableOffset + i] = static_cast<char>(0xFF);
  EXPECT_FALSE(host::ReadFileVersion(dir.Write("bad-table", badTable)).has_value());
  EXPECT_FALSE(host::ReadFileVersion(dir.Write("text", "[GavreloDemo]\nDelay=1\n")).has_value());
  EXPECT_FALSE(host::ReadFileVersion(dir.Write("empty", "")).has_value());
}

}  // namespace
