#include "platform/OrvConfigPaths.h"

#include <optional>

#include "diag/ProcessState.h"

namespace {

std::optional<std::string>& ExecutablePathOverride() {
  static auto* path = new std::optional<std::string>();
  return *path;
}

void ClearExecutablePathOverride() { ExecutablePathOverride().reset(); }

std::string Join(std::string_view directory, char separator, std::string_view name) {
  std::string path(directory);
  path += separator;
  path += "Conf";
  path += separator;
  path += name;
  return path;
}

}  // namespace

std::string TOrvConfigPaths::ToolRoot(std::string_view exe, char separator) {
  std::size_t last = exe.rfind(separator);
  if (last == std::string_view::npos || last == 0) return "";
  std::size_t parent = exe.rfind(separator, last - 1);
  if (parent == std::string_view::npos) return "";
  return std::string(exe.substr(0, parent));
}

std::string TOrvConfigPaths::BinRoot(std::string_view exe, char separator) {
  const char bin[] = {separator, 'B', 'i', 'n'};
  std::size_t at = exe.find(std::string_view(bin, sizeof bin));
  if (at == std::string_view::npos) return "";
  return std::string(exe.substr(0, at + 1));
}

std::string TOrvConfigPaths::ExecutableBaseName(std::string_view exe, char separator) {
  std::size_t last = exe.rfind(separator);
  std::string_view name = last == std::string_view::npos ? exe : exe.substr(last + 1);
  return std::string(name.substr(0, name.find('.')));
}

std::string TOrvConfigPaths::SupportModelList(std::string_view exe, char separator) {
  if (exe.empty()) return "";
  return Join(ToolRoot(exe, separator), separator, ExecutableBaseName(exe, separator) + ".xml");
}

std::string TOrvConfigPaths::ModelFile(std::string_view exe, std::string_view conf, char separator) {
  if (exe.empty()) return "";
  return Join(ToolRoot(exe, separator), separator, conf);
}

std::string TOrvConfigPaths::RestoreSource(std::string_view exe, std::string_view conf,
                                           char separator) {
  if (exe.empty()) return "";
  std::string path = BinRoot(exe, separator) + "_Conf";
  path += separator;
  path += conf;
  return path;
}

std::string TOrvConfigPaths::ExecutablePath() {
  const std::optional<std::string>& chosen = ExecutablePathOverride();
  return chosen ? *chosen : host::ExecutablePath();
}

void TOrvConfigPaths::SetExecutablePath(std::string path) {
  if (!ExecutablePathOverride()) gavrelo::RegisterProcessReset(&ClearExecutablePathOverride);
  ExecutablePathOverride() = std::move(path);
}
