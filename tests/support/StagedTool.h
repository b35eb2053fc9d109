#pragma once
// A copy of one of the tool's executables in a directory of its own, under a file name no
// other test uses, so it takes a single-instance guard of its own (the guard is named after
// the file name) and reads the Gavrelo.INI the test writes beside it.

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/support/Subprocess.h"
#include "tests/support/TempDir.h"

class TStagedExecutable {
 public:
  explicit TStagedExecutable(const std::string& source, const std::string& prefix = "gavrelo") : m_Dir(prefix) {
    m_Exe = m_Dir.File(m_Dir.Path().filename().string());
    std::filesystem::copy_file(source, m_Exe);
  }

  void WriteIni(const std::string& text) const { m_Dir.Write("Gavrelo.INI", text); }
  const TTempDir& Dir() const { return m_Dir; }
  const std::string& Exe() const { return m_Exe; }
  std::string FileName() const { return std::filesystem::path(m_Exe).filename().string(); }

  TSubprocess Start(const std::vector<std::string>& args, const std::map<std::string, std::string>& env,
                    const std::string& tag = "run") const {
    return TSubprocess(m_Exe, args, env, m_Dir.File("output-" + tag));
  }
  TProcessResult Run(const std::vector<std::string>& args, const std::map<std::string, std::string>& env,
                     const std::string& tag = "run") const {
    return Start(args, env, tag).Wait();
  }

 private:
  TTempDir m_Dir;
  std::string m_Exe;
};
