#include "host/Process.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

namespace host {

std::string ExecutablePath() {
  // PATH_MAX is 4096 on Linux; a longer link target is reported as unknown.
  char buffer[4096];
  ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer);
  if (n <= 0 || static_cast<std::size_t>(n) >= sizeof buffer) return "";
  return std::string(buffer, static_cast<std::size_t>(n));
}

std::string CommandLine() {
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  if (!in) return "";
  // The kernel caps the arguments at a few MiB; read no more than 1 MiB of them.
  std::string raw;
  char c;
  while (raw.size() < (1u << 20) && in.get(c)) raw += c;
  while (!raw.empty() && raw.back() == '\0') raw.pop_back();
  for (char& ch : raw) {
    if (ch == '\0') ch = ' ';
  }
  return raw;
}

std::string FileNamePart(std::string_view path) {
  std::size_t slash = path.find_last_of(kPathSeparator);
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string DirectoryPart(std::string_view path) {
  std::size_t slash = path.find_last_of(kPathSeparator);
  if (slash == std::string_view::npos) return "";
  return std::string(path.substr(0, slash + 1));
}

bool FileExists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

void SleepMilliseconds(std::uint32_t milliseconds) {
  timespec remaining{static_cast<time_t>(milliseconds / 1000),
                     static_cast<long>(milliseconds % 1000) * 1000000L};
  while (::nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
  }
}

void SetEnvironmentVariable(const std::string& name, const std::string& value) {
  ::setenv(name.c_str(), value.c_str(), 1);
}

std::string GetEnvironmentVariable(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  return value ? value : "";
}

namespace {
std::vector<TExitHook>& ExitHooks() {
  static auto* hooks = new std::vector<TExitHook>();  // outlives every static destructor
  return *hooks;
}
}  // namespace

void AddExitHook(TExitHook hook) { ExitHooks().push_back(hook); }

long ProcessId() { return static_cast<long>(::getpid()); }

void ExitProcess(int code) {
  // Taken out first: a hook that ends the process itself does not run the others twice.
  std::vector<TExitHook> hooks;
  hooks.swap(ExitHooks());
  for (auto it = hooks.rbegin(); it != hooks.rend(); ++it) (*it)(code);
  std::cout.flush();
  std::wcout.flush();
  std::cerr.flush();
  std::fflush(nullptr);
  std::exit(code);
}

}  // namespace host
