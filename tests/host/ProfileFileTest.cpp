#include <gtest/gtest.h>

#include "host/ProfileFile.h"
#include "tests/support/TempDir.h"

namespace {

using host::TProfileFile;

std::unique_ptr<TProfileFile> Parse(const std::string& bytes) {
  return TProfileFile::FromBytes(bytes);
}

// UTF-16LE with byte-order mark, as Windows editors save "Unicode" text.
std::string Utf16Le(const std::u16string& text) {
  std::string bytes = "\xFF\xFE";
  for (char16_t c : text) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  return bytes;
}

TEST(ProfileFile, NamesMatchWithoutCaseAndBlanksAroundNamesAndValuesAreIgnored) {
  auto ini = Parse("  [ GavreloDemo ]  trailing text\r\n   delay  =  250  \r\nType=SIO_GPIO\r\n");
  EXPECT_EQ(ini->ReadString(L"gavrelodemo", L"DELAY", L"100"), L"250");
  EXPECT_EQ(ini->ReadString(L"GAVRELODEMO", L"type", L""), L"SIO_GPIO");
  // Values keep their letter case; only names are matched without it.
  EXPECT_EQ(ini->ReadString(L"GavreloDemo", L"TYPE", L""), L"SIO_GPIO");
  EXPECT_EQ(ini->SectionKeys(L"gavreloDEMO"), (std::vector<std::wstring>{L"delay", L"Type"}));
}

TEST(ProfileFile, QuotesCommentsAndFirstMatchWins) {
  auto ini = Parse(
      "[A]\n"
      "q1=\"quoted value\"\n"
      "q2='single'\n"
      "q3=\"unbalanced'\n"
      "q4=\"\n"
      "; comment=not a key\n"
      "   ;indented=comment too\n"
      "dup=first\n"
      "DUP=second\n"
      "[a]\n"
      "only=in the second A\n");
  EXPECT_EQ(ini->ReadString(L"A", L"q1", L"-"), L"quoted value");
  EXPECT_EQ(ini->ReadString(L"A", L"q2", L"-"), L"single");
  EXPECT_EQ(ini->ReadString(L"A", L"q3", L"-"), L"\"unbalanced'");
  EXPECT_EQ(ini->ReadString(L"A", L"q4", L"-"), L"\"");  // one quote is no pair
  EXPECT_EQ(ini->ReadString(L"A", L"comment", L"-"), L"-");
  EXPECT_EQ(ini->ReadString(L"A", L";indented", L"-"), L"-");
  EXPECT_EQ(ini->ReadString(L"A", L"dup", L"-"), L"first");
  // The second section of the same name is never consulted.
  EXPECT_EQ(ini->ReadString(L"A", L"only", L"-"), L"-");
  EXPECT_EQ(ini->SectionKeys(L"a").size(), 6u);  // duplicates are listed as written
}

TEST(ProfileFile, EmptyValueIsNotTheDefaultAndSectionsWithoutKeysHaveNone) {
  auto ini = Parse(
      "orphan=before any section\n"
      "[Empty]\n"
      "; only a comment\n"
      "\n"
      "[Model]\n"
      "Delay=\n"
      "Bare\n"
      "=no name\n");
  EXPECT_EQ(ini->ReadString(L"Model", L"Delay", L"100"), L"");
  // A line without "=" names no key, as for Windows' own reader: not listed, read as the
  // default; a section holding only such lines has no key at all.
  EXPECT_EQ(ini->ReadString(L"Model", L"Bare", L"dflt"), L"dflt");
  EXPECT_EQ(ini->SectionKeys(L"Model"), (std::vector<std::wstring>{L"Delay"}));
  EXPECT_EQ(ini->LinesWithoutValue(L"model"), (std::vector<std::wstring>{L"Bare"}));
  EXPECT_TRUE(Parse("[Only]\nPIN\nTYPE\n")->SectionKeys(L"Only").empty());
  EXPECT_TRUE(ini->SectionKeys(L"Empty").empty());
  EXPECT_TRUE(ini->SectionKeys(L"Missing").empty());
  EXPECT_EQ(ini->ReadString(L"Missing", L"Delay", L"100"), L"100");
  EXPECT_EQ(ini->ReadString(L"", L"orphan", L"none"), L"none");
}

TEST(ProfileFile, EncodingsAndLineEnds) {
  // UTF-16LE with BOM and CRLF, a non-ASCII value included.
  auto wide = Parse(Utf16Le(u"[Board\u00C4]\r\nPIN=GPIO12\r\nName=\u00FCber\u20AC\r\n"));
  EXPECT_EQ(wide->ReadString(L"Board\u00C4", L"pin", L""), L"GPIO12");
  EXPECT_EQ(wide->ReadString(L"Board\u00C4", L"Name", L""), L"\u00FCber\u20AC");
  // UTF-8 with BOM; lone CR and lone LF line ends mixed.
  auto utf8 = Parse("\xEF\xBB\xBF[S]\rA=1\nB=\xC3\xBC\r\nC=3");
  EXPECT_EQ(utf8->ReadString(L"S", L"A", L""), L"1");
  EXPECT_EQ(utf8->ReadString(L"S", L"B", L""), L"\u00FC");
  EXPECT_EQ(utf8->ReadString(L"S", L"C", L""), L"3");  // last line without a line end
  // Not UTF-8 and no mark: one character per byte.
  auto latin = Parse("[S]\nV=caf\xE9\n");
  EXPECT_EQ(latin->ReadString(L"S", L"V", L""), L"caf\u00E9");
  // A UTF-16 file with an odd trailing byte loses only that byte.
  auto odd = Parse(Utf16Le(u"[S]\nK=v") + "\x41");
  EXPECT_EQ(odd->ReadString(L"S", L"K", L""), L"v");
}

TEST(ProfileFile, OpenReadsTheFileAndAMissingFileIsAnEmptyProfile) {
  TTempDir dir;
  std::string path = dir.Write("Gavrelo.INI", "[M]\r\nTYPE=SIO_GPIO\r\n");
  EXPECT_EQ(TProfileFile::Open(path)->ReadString(L"m", L"type", L""), L"SIO_GPIO");
  auto missing = TProfileFile::Open(dir.File("absent.ini"));
  ASSERT_NE(missing, nullptr);
  EXPECT_TRUE(missing->SectionKeys(L"M").empty());
}

}  // namespace
