#pragma once
// Where the XML configuration lives, derived from the executable's own path. The tool sits
// in a directory called Bin under its tool root:
//
//   <tool root>/Bin/gavrelo              the executable
//   <tool root>/Conf/gavrelo.xml         support-model list (executable base name + ".xml")
//   <tool root>/Conf/<Conf>              the model file the list names for a model
//   <Bin root>_Conf/<Conf>               the pristine copy a broken model file is restored from
//
// Tool root: the path without its last two components (file name and the directory holding
// it), no trailing separator. Bin root: the path up to and including the separator at which
// the first occurrence of "<separator>Bin" begins (case-sensitive), "" when there is none —
// so outside a Bin directory the restore source is the relative path "_Conf/<Conf>".
// Executable base name: the file name up to its first ".", so "gavrelo.new.exe" gives
// "gavrelo".
//
// The rules take the separator as a parameter (the host's by default), so the same code
// builds "C:\Tools\X\Conf\Tool.xml" on Windows and "/opt/x/Conf/gavrelo" here.
//
// An unknown executable path (""), as the host reports when it cannot tell, gives empty
// paths: the configuration then loads nothing and restores nothing, rather than reading or
// writing below the file system root or the current directory.

#include <string>
#include <string_view>

#include "host/Process.h"

class TOrvConfigPaths {
 public:
  static std::string ToolRoot(std::string_view exe, char separator = host::kPathSeparator);
  static std::string BinRoot(std::string_view exe, char separator = host::kPathSeparator);
  static std::string ExecutableBaseName(std::string_view exe, char separator = host::kPathSeparator);

  static std::string SupportModelList(std::string_view exe, char separator = host::kPathSeparator);
  static std::string ModelFile(std::string_view exe, std::string_view conf,
                               char separator = host::kPathSeparator);
  static std::string RestoreSource(std::string_view exe, std::string_view conf,
                                   char separator = host::kPathSeparator);

  // The executable whose paths the configuration singletons use: the running one, unless a
  // caller named another before their first request (gavreloctl names the gavrelo beside
  // it, so it shows what the tool itself loads).
  static std::string ExecutablePath();
  static void SetExecutablePath(std::string path);
};
