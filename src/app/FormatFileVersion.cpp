#include "app/FormatFileVersion.h"

#include "host/FileVersion.h"

std::wstring FormatFileVersion(const std::string& path) {
  std::optional<host::TFileVersion> version = host::ReadFileVersion(path);
  if (!version) return L"";
  std::wstring text = std::to_wstring(version->Major) + L"." + std::to_wstring(version->Minor) +
                      L"." + std::to_wstring(version->Release);
  if (version->Build != 0) text += L"." + std::to_wstring(version->Build);
  return text;
}
