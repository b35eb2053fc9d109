// The portable profile reader against the system's own (GetPrivateProfileStringW, under
// Wine in CI) on the files of the reader's tests: every value, every key listing and the
// section names must agree. Windows' reader is the reference for real INI files.
#ifdef _WIN32

#include <windows.h>

#include <gtest/gtest.h>

#include <set>

#include "host/ProfileFile.h"
#include "tests/host/ProfileSamples.h"
#include "tests/support/TempDir.h"

namespace {

using host::TProfileFile;

// Bytes as the system's ANSI code page reads them.
std::wstring Ansi(const std::string& bytes) {
  std::wstring wide(bytes.size(), L'\0');
  wide.resize(static_cast<std::size_t>(::MultiByteToWideChar(
      CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(), static_cast<int>(wide.size()))));
  return wide;
}

TEST(ProfileFileAgainstSystem, EveryValueKeyListAndSectionNameAgrees) {
  TTempDir dir;
  for (const TProfileSample& sample : ProfileSamples()) {
    SCOPED_TRACE(sample.Name);
    const std::string path = dir.Write(sample.Name + ".ini", sample.Bytes);
    const auto system = TProfileFile::Open(path);
    const auto portable = TProfileFile::FromBytes(sample.Bytes);
    if (sample.Name == "plain-utf8") {
      // The one exception (ProfileFile.h): Windows reads the file in its ANSI code page.
      EXPECT_EQ(system->ReadString(Ansi("S\xC3\x84"), L"V", L"-"), Ansi("\xC3\xBC" "ber"));
      EXPECT_EQ(system->ReadString(L"S\u00C4", L"V", L"-"), L"-");
      EXPECT_EQ(portable->ReadString(L"S\u00C4", L"V", L"-"), L"\u00FCber");
      continue;
    }

    const std::vector<std::wstring> sections = system->SectionNames();
    EXPECT_EQ(portable->SectionNames(), sections);

    // Every section either reader knows, in other letter cases too, and the probes.
    std::set<std::wstring> askSections(sections.begin(), sections.end());
    for (const std::wstring& name : portable->SectionNames()) askSections.insert(name);
    for (const auto& [section, key] : sample.Probes) askSections.insert(section);
    askSections.insert(L"Missing");
    for (std::wstring name : std::set<std::wstring>(askSections)) {
      for (wchar_t& c : name) c = static_cast<wchar_t>(::towupper(c));
      askSections.insert(name);
    }
    for (const std::wstring& section : askSections) {
      const std::vector<std::wstring> keys = system->SectionKeys(section);
      EXPECT_EQ(portable->SectionKeys(section), keys) << "keys of [" << section << "]";
      std::set<std::wstring> askKeys(keys.begin(), keys.end());
      for (const std::wstring& key : portable->SectionKeys(section)) askKeys.insert(key);
      for (const auto& [probeSection, key] : sample.Probes) askKeys.insert(key);
      askKeys.insert(L"absent");
      for (const std::wstring& key : askKeys) {
        EXPECT_EQ(portable->ReadString(section, key, L"<default>"),
                  system->ReadString(section, key, L"<default>"))
            << "[" << section << "] " << key;
      }
    }
  }
}

}  // namespace

#endif
