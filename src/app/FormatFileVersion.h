#pragma once
// The executable's file version as the caption and --version show it.

#include <string>

// Major, minor and release joined by ".", then "." and the build number only when the
// build is not 0 (2.0.5.0 -> "2.0.5", 2.0.5.3 -> "2.0.5.3"); "" when the file at `path`
// carries no file version.
std::wstring FormatFileVersion(const std::string& path);
