#include <gtest/gtest.h>

#include "host/ProfileFile.h"
#include "tests/host/ProfileSamples.h"
#include "tests/support/TempDir.h"

namespace {

using host::TProfileFile;

std::unique_ptr<TProfileFile> Parse(const std::string& bytes) {
  return TProfileFile::FromBytes(bytes);
}

TEST(ProfileFile, NamesMatchWithoutCaseAndBlanksAroundNamesAndValuesAreIgnored) {
  auto ini = Parse(ProfileSample("blanks"));
  EXPECT_EQ(ini->ReadString(L"gavrelodemo", L"DELAY", L"100"), L"250");
  EXPECT_EQ(ini->ReadString(L"GAVRELODEMO", L"type", L""), L"SIO_GPIO");
  // Values keep their letter case; only names are matched without it.
  EXPECT_EQ(ini->ReadString(L"GavreloDemo", L"TYPE", L""), L"SIO_GPIO");
  EXPECT_EQ(ini->SectionKeys(L"gavreloDEMO"), (std::vector<std::wstring>{L"delay", L"Type"}));
  // Blanks around the asked section name: ignored for a value, not for the key listing.
  EXPECT_EQ(ini->ReadString(L" GavreloDemo ", L" Type ", L""), L"SIO_GPIO");
  EXPECT_TRUE(ini->SectionKeys(L" GavreloDemo ").empty());
}

TEST(ProfileFile, QuotesCommentsAndFirstMatchWins) {
  auto ini = Parse(ProfileSample("quotes"));
  EXPECT_EQ(ini->ReadString(L"A", L"q1", L"-"), L"quoted value");
  EXPECT_EQ(ini->ReadString(L"A", L"q2", L"-"), L"single");
  EXPECT_EQ(ini->ReadString(L"A", L"q3", L"-"), L"\"unbalanced'");
  EXPECT_EQ(ini->ReadString(L"A", L"q4", L"-"), L"\"");  // one quote is no pair
  // Comment lines are no keys of the listing, but a lookup by their whole name finds them.
  EXPECT_EQ(ini->ReadString(L"A", L"comment", L"-"), L"-");
  EXPECT_EQ(ini->ReadString(L"A", L"; comment", L"-"), L"not a key");
  EXPECT_EQ(ini->ReadString(L"A", L";indented", L"-"), L"comment too");
  EXPECT_EQ(ini->ReadString(L"A", L"dup", L"-"), L"first");
  // The second section of the same name is never consulted.
  EXPECT_EQ(ini->ReadString(L"A", L"only", L"-"), L"-");
  EXPECT_EQ(ini->SectionKeys(L"a"), (std::vector<std::wstring>{L"q1", L"q2", L"q3", L"q4", L"dup",
                                                             L"DUP"}));  // duplicates as written
  EXPECT_EQ(ini->SectionNames(), (std::vector<std::wstring>{L"A", L"a"}));
}

TEST(ProfileFile, EmptyValueIsNotTheDefaultAndSectionsWithoutKeysHaveNone) {
  auto ini = Parse(ProfileSample("empty"));
  EXPECT_EQ(ini->ReadString(L"Model", L"Delay", L"100"), L"");
  // A line without "=" names no key, as for Windows' own reader: not listed, read as the
  // default; a section holding only such lines has no key at all. A line with "=" and no
  // name is read under "" and not listed either.
  EXPECT_EQ(ini->ReadString(L"Model", L"Bare", L"dflt"), L"dflt");
  EXPECT_EQ(ini->ReadString(L"Model", L"", L"dflt"), L"no name");
  EXPECT_EQ(ini->SectionKeys(L"Model"), (std::vector<std::wstring>{L"Delay"}));
  EXPECT_EQ(ini->LinesWithoutValue(L"model"), (std::vector<std::wstring>{L"Bare"}));
  EXPECT_TRUE(ini->LinesWithoutValue(L"Empty").empty());  // a comment is no such line
  EXPECT_TRUE(Parse("[Only]\nPIN\nTYPE\n")->SectionKeys(L"Only").empty());
  EXPECT_TRUE(ini->SectionKeys(L"Empty").empty());
  EXPECT_TRUE(ini->SectionKeys(L"Missing").empty());
  EXPECT_EQ(ini->ReadString(L"Missing", L"Delay", L"100"), L"100");
  // Keys before the first header: a nameless section, read and listed under "" alone.
  EXPECT_EQ(ini->ReadString(L"", L"orphan", L"none"), L"before any section");
  EXPECT_EQ(ini->SectionKeys(L""), (std::vector<std::wstring>{L"orphan"}));
  EXPECT_EQ(ini->SectionNames(), (std::vector<std::wstring>{L"Empty", L"Model"}));
}

TEST(ProfileFile, EncodingsAndLineEnds) {
  // UTF-16LE with BOM and CRLF, a non-ASCII value included.
  auto wide = Parse(ProfileSample("utf16"));
  EXPECT_EQ(wide->ReadString(L"Board\u00C4", L"pin", L""), L"GPIO12");
  EXPECT_EQ(wide->ReadString(L"Board\u00C4", L"Name", L""), L"\u00FCber\u20AC");
  // UTF-8 with BOM; lone CR and lone LF line ends mixed.
  auto utf8 = Parse(ProfileSample("utf8"));
  EXPECT_EQ(utf8->ReadString(L"S", L"A", L""), L"1");
  EXPECT_EQ(utf8->ReadString(L"S", L"B", L""), L"\u00FC");
  EXPECT_EQ(utf8->ReadString(L"S", L"C", L""), L"3");  // last line without a line end
  // Not UTF-8 and no mark: one character per byte, in Windows-1252 (also where it differs
  // from Latin-1, and its undefined bytes as the control characters of their number).
  auto latin = Parse(ProfileSample("latin"));
  EXPECT_EQ(latin->ReadString(L"S", L"V", L""), L"caf\u00E9");
  auto ansi = Parse(ProfileSample("ansi"));
  EXPECT_EQ(ansi->ReadString(L"S", L"V", L""), L"\u20AC\u201E\u008D\u0178 caf\u00E9");
  // Valid UTF-8 without a mark stays UTF-8.
  auto plain = Parse(ProfileSample("plain-utf8"));
  EXPECT_EQ(plain->ReadString(L"S\u00C4", L"V", L""), L"\u00FCber");
  // A UTF-16 file with an odd trailing byte: that byte is a character of its own.
  auto odd = Parse(ProfileSample("odd"));
  EXPECT_EQ(odd->ReadString(L"S", L"K", L""), L"vA");
}

TEST(ProfileFile, OpenReadsTheFileAndAMissingFileIsAnEmptyProfile) {
  TTempDir dir;
  std::string path = dir.Write("Gavrelo.INI", ProfileSample("model"));
  EXPECT_EQ(TProfileFile::Open(path)->ReadString(L"m", L"type", L""), L"SIO_GPIO");
  auto missing = TProfileFile::Open(dir.File("absent.ini"));
  ASSERT_NE(missing, nullptr);
  EXPECT_TRUE(missing->SectionKeys(L"M").empty());
}

}  // namespace
