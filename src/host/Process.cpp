#include "host/Process.h"

#ifndef _WIN32
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

namespace host {

#ifndef _WIN32
// The Windows counterparts of these are in ProcessWindows.cpp.
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
#endif

std::string FileNamePart(std::string_view path) {
  std::size_t slash = path.find_last_of(kPathSeparators);
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string DirectoryPart(std::string_view path) {
  std::size_t slash = path.find_last_of(kPathSeparators);
  if (slash == std::string_view::npos) return "";
  return std::string(path.substr(0, slash + 1));
}

#ifndef _WIN32
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

void UseBinaryStandardStreams() {}

bool SetProcessAffinity(std::uint64_t mask) {
  if (mask == 0) return false;
  cpu_set_t set;
  CPU_ZERO(&set);
  for (unsigned cpu = 0; cpu < 64; ++cpu) {
    if (mask & (1ull << cpu)) CPU_SET(cpu, &set);
  }
  return ::sched_setaffinity(0, sizeof(set), &set) == 0;
}

void SetEnvironmentVariable(const std::string& name, const std::string& value) {
  ::setenv(name.c_str(), value.c_str(), 1);
}

std::string GetEnvironmentVariable(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  return value ? value : "";
}
#endif

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
