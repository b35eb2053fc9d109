#pragma once
// A fresh directory under the system's temporary directory, removed with its content when
// the object goes. Each gets a unique name, so tests running at the same time (several
// ctest jobs, several build trees on one machine) never share one.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#endif

// The path as the tools under test report it: on Windows the full path with backslash
// separators and a drive letter, as GetModuleFileNameA and GetFullPathNameA give it (under
// Wine "/work/b" is Z:\work\b); elsewhere the path unchanged.
inline std::string HostPath(const std::filesystem::path& path) {
#ifdef _WIN32
  char full[MAX_PATH * 4];
  const DWORD length = ::GetFullPathNameA(path.string().c_str(), sizeof full, full, nullptr);
  if (length > 0 && length < sizeof full) return std::string(full, length);
  return std::filesystem::path(path).make_preferred().string();
#else
  return path.string();
#endif
}

class TTempDir {
 public:
  explicit TTempDir(const std::string& prefix = "gavrelo-test") {
#ifdef _WIN32
    // No mkdtemp: a random name, taken only when creating the directory succeeds.
    std::random_device random;
    for (int attempt = 0; attempt < 100 && m_Path.empty(); ++attempt) {
      auto candidate = std::filesystem::temp_directory_path() /
                       (prefix + "-" + std::to_string(random()) + std::to_string(random()));
      std::error_code error;
      if (std::filesystem::create_directory(candidate, error)) m_Path = candidate;
    }
#else
    std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
    if (char* made = ::mkdtemp(pattern.data())) m_Path = made;
#endif
  }
  ~TTempDir() {
    std::error_code ignored;
    if (!m_Path.empty()) std::filesystem::remove_all(m_Path, ignored);
  }
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;

  const std::filesystem::path& Path() const { return m_Path; }
  // NAME may use "/" between directories; the result has the host's separators, as the
  // tools build their own paths.
  std::string File(const std::string& name) const {
    return (m_Path / std::filesystem::path(name).make_preferred()).string();
  }
  std::string Write(const std::string& name, const std::string& bytes) const {
    std::string path = File(name);
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

 private:
  std::filesystem::path m_Path;
};
