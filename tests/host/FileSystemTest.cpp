// Whole-file reads with a bound, copies that never overwrite when asked not to, and the
// replacing rename the configuration restore relies on.

#include <gtest/gtest.h>

#include <filesystem>

#include "host/FileSystem.h"
#include "tests/support/TempDir.h"

namespace {

namespace fs = std::filesystem;

std::string Read(const std::string& path) {
  std::string bytes;
  EXPECT_EQ(host::ReadFileBounded(path, 1u << 20, bytes), host::TReadResult::Ok) << path;
  return bytes;
}

TEST(FileSystem, BoundedReadReportsWhyNothingWasRead) {
  TTempDir dir;
  const std::string exact = dir.Write("exact", std::string(100, 'x'));
  fs::create_directory(dir.Path() / "directory");
  struct TCase {
    std::string Path;
    std::size_t Bound;
    host::TReadResult Expected;
    std::size_t Size;
  } cases[] = {
      {exact, 100, host::TReadResult::Ok, 100},
      {exact, 99, host::TReadResult::TooLarge, 0},
      {dir.Write("empty", ""), 0, host::TReadResult::Ok, 0},
      {dir.File("absent"), 100, host::TReadResult::Missing, 0},
      {dir.File("absent/below"), 100, host::TReadResult::Missing, 0},
      {exact + "/below", 100, host::TReadResult::Missing, 0},
      {dir.File("directory"), 100, host::TReadResult::Failed, 0},
  };
  for (const TCase& c : cases) {
    std::string bytes = "stale";
    EXPECT_EQ(host::ReadFileBounded(c.Path, c.Bound, bytes), c.Expected) << c.Path << " " << c.Bound;
    EXPECT_EQ(bytes.size(), c.Size) << c.Path;
  }
}

TEST(FileSystem, CopyRenameAndWriteKeepFilesWhole) {
  TTempDir dir;
  const std::string source = dir.Write("source", std::string("a\0b\r\n", 5));
  const std::string target = dir.Write("target", "old");

  // failIfExists never touches an existing file; without it the file is replaced.
  EXPECT_FALSE(host::CopyFileBytes(source, target, true));
  EXPECT_EQ(Read(target), "old");
  EXPECT_TRUE(host::CopyFileBytes(source, target, false));
  EXPECT_EQ(Read(target), std::string("a\0b\r\n", 5));
  EXPECT_TRUE(host::CopyFileBytes(source, dir.File("new"), true));
  EXPECT_EQ(Read(dir.File("new")), Read(source));
  // A source that is missing or no regular file copies nothing and creates nothing.
  EXPECT_FALSE(host::CopyFileBytes(dir.File("absent"), dir.File("copy"), false));
  EXPECT_FALSE(host::CopyFileBytes(dir.Path().string(), dir.File("copy"), false));
  EXPECT_FALSE(fs::exists(dir.File("copy")));

  EXPECT_TRUE(host::WriteFileBytes(dir.File("written"), "fresh"));
  EXPECT_TRUE(host::RenameReplacing(dir.File("written"), target));
  EXPECT_EQ(Read(target), "fresh");
  EXPECT_FALSE(fs::exists(dir.File("written")));
  EXPECT_FALSE(host::RenameReplacing(dir.File("written"), target));
  EXPECT_EQ(Read(target), "fresh");
  EXPECT_FALSE(host::WriteFileBytes(dir.File("absent/file"), "x"));

  EXPECT_TRUE(host::RemoveFile(target));
  EXPECT_FALSE(host::RemoveFile(target));
}

}  // namespace
