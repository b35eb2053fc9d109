#pragma once
// Runs an executable as a real process for end-to-end tests: arguments, extra environment,
// standard output and error captured to files, exit code, and a time limit after which the
// process is killed (so a hanging tool fails its test instead of hanging the suite).
//
// On Windows (the Windows configuration runs its tests under Wine) the process is started
// with CreateProcessA; `program` may omit ".exe". A message box the process shows is read,
// its text appended to the captured standard error as one line (where the Linux build
// writes its dialogs), and dismissed with OK, so no dialog ever blocks a run.

#ifdef _WIN32
#include <windows.h>

#include <set>
#else
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

#include <chrono>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <thread>
#include <vector>

struct TProcessResult {
  int ExitCode = -1;  // -1 when killed by a signal or the time limit
  bool TimedOut = false;
  std::string Stdout;
  std::string Stderr;
  double Seconds = 0;
  std::string Dialogs;  // Windows: the texts of the message boxes read and closed (also in Stderr)
};

// The whole file in one read (executables under test are tens of MiB in sanitizer builds);
// "" when it cannot be opened.
inline std::string SlurpFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return "";
  std::string bytes(static_cast<std::size_t>(in.tellg()), '\0');
  in.seekg(0);
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return bytes;
}

#ifdef _WIN32
class TSubprocess {
 public:
  TSubprocess(const std::string& program, const std::vector<std::string>& args,
              const std::map<std::string, std::string>& env, const std::string& outputPrefix)
      : m_Out(outputPrefix + ".out"), m_Err(outputPrefix + ".err") {
    std::string commandLine = Quote(program);
    for (const auto& a : args) commandLine += " " + Quote(a);
    std::string block = EnvironmentBlock(env);
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    HANDLE out = ::CreateFileA(m_Out.c_str(), GENERIC_WRITE, share, &inherit, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    HANDLE err = ::CreateFileA(m_Err.c_str(), GENERIC_WRITE, share, &inherit, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    HANDLE in = ::CreateFileA("NUL", GENERIC_READ, share, &inherit, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION info{};
    m_Start = std::chrono::steady_clock::now();
    if (::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, block.data(),
                         nullptr, &startup, &info)) {
      ::CloseHandle(info.hThread);
      m_Process = info.hProcess;
      m_Pid = info.dwProcessId;
    }
    for (HANDLE h : {out, err, in}) {
      if (h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
    }
  }
  ~TSubprocess() {
    if (m_Process != nullptr && !m_Done) {
      ::TerminateProcess(m_Process, 1);
      ::WaitForSingleObject(m_Process, INFINITE);
    }
    if (m_Process != nullptr) ::CloseHandle(m_Process);
  }
  DWORD Pid() const { return m_Pid; }
  // As a signal ends a process on Linux: its exit code reads -1.
  void Kill() {
    if (m_Process != nullptr && !m_Done && ::TerminateProcess(m_Process, 1)) m_Killed = true;
  }

  TProcessResult Wait(std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    TProcessResult result;
    if (m_Process == nullptr) return result;
    const auto deadline = m_Start + limit;
    while (::WaitForSingleObject(m_Process, 20) == WAIT_TIMEOUT) {
      DismissDialogs();
      if (std::chrono::steady_clock::now() > deadline) {
        result.TimedOut = true;
        ::TerminateProcess(m_Process, 1);
        ::WaitForSingleObject(m_Process, INFINITE);
        break;
      }
    }
    m_Done = true;
    result.Seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - m_Start).count();
    DWORD code = 0;
    if (!result.TimedOut && !m_Killed && ::GetExitCodeProcess(m_Process, &code)) {
      result.ExitCode = static_cast<int>(code);
    }
    result.Stdout = Slurp(m_Out);
    result.Stderr = Slurp(m_Err) + m_Dialogs;
    result.Dialogs = m_Dialogs;
    return result;
  }

  static std::string Slurp(const std::string& path) { return SlurpFile(path); }

 private:
  // One argument as the C run-time library of the child splits it again.
  static std::string Quote(const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) return arg;
    std::string quoted = "\"";
    std::size_t slashes = 0;
    for (char c : arg) {
      if (c == '\\') {
        ++slashes;
        continue;
      }
      quoted.append(c == '"' ? 2 * slashes + 1 : slashes, '\\');
      slashes = 0;
      quoted += c;
    }
    quoted.append(2 * slashes, '\\');
    return quoted + "\"";
  }

  // The process's environment with `env` added or replaced (names without regard to case).
  static std::string EnvironmentBlock(const std::map<std::string, std::string>& env) {
    struct TNoCase {
      bool operator()(const std::string& a, const std::string& b) const {
        return ::lstrcmpiA(a.c_str(), b.c_str()) < 0;
      }
    };
    std::map<std::string, std::string, TNoCase> merged;
    std::vector<std::string> hidden;  // "=C:=C:\..." entries of the drive directories
    if (char* strings = ::GetEnvironmentStringsA()) {
      for (const char* e = strings; *e != 0; e += std::strlen(e) + 1) {
        std::string entry = e;
        const auto eq = entry.find('=', 1);
        if (entry[0] == '=' || eq == std::string::npos) {
          hidden.push_back(entry);
        } else {
          merged[entry.substr(0, eq)] = entry.substr(eq + 1);
        }
      }
      ::FreeEnvironmentStringsA(strings);
    }
    for (const auto& [k, v] : env) merged[k] = v;
    std::string block;
    for (const auto& entry : hidden) block += entry + '\0';
    for (const auto& [k, v] : merged) block += k + "=" + v + '\0';
    block += '\0';
    return block;
  }

  // Message boxes of the process: text appended to the standard error, then OK.
  void DismissDialogs() {
    struct TSearch {
      TSubprocess* Self;
    } search{this};
    ::EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
          auto* self = reinterpret_cast<TSearch*>(data)->Self;
          DWORD pid = 0;
          ::GetWindowThreadProcessId(window, &pid);
          char className[64] = {};
          ::GetClassNameA(window, className, sizeof className);
          if (pid != self->m_Pid || std::string(className) != "#32770") return TRUE;
          // The text is read once; OK is sent again at every pass until the box is gone.
          if (self->m_Dismissed.count(window) == 0) {
            wchar_t text[4096] = {};
            // The message text is the dialog's static control 0xFFFF; it is filled in
            // shortly after the dialog appears.
            if (::GetDlgItemTextW(window, 0xFFFF, text, 4096) == 0) return TRUE;
            self->m_Dismissed.insert(window);
            const int size =
                ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
            std::string utf8(static_cast<std::size_t>(size > 0 ? size - 1 : 0), '\0');
            ::WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), size, nullptr, nullptr);
            self->m_Dialogs += utf8 + "\n";
          }
          ::PostMessageA(window, WM_COMMAND, IDOK, 0);
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
  }

  std::string m_Out;
  std::string m_Err;
  HANDLE m_Process = nullptr;
  DWORD m_Pid = 0;
  bool m_Done = false;
  bool m_Killed = false;
  std::chrono::steady_clock::time_point m_Start;
  std::string m_Dialogs;
  std::set<HWND> m_Dismissed;
};
#else
class TSubprocess {
 public:
  // Starts `program` with `args` (argv[1]...), the current environment plus `env`.
  TSubprocess(const std::string& program, const std::vector<std::string>& args,
              const std::map<std::string, std::string>& env, const std::string& outputPrefix)
      : m_Out(outputPrefix + ".out"), m_Err(outputPrefix + ".err") {
    std::vector<std::string> argvText{program};
    argvText.insert(argvText.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argvText) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::map<std::string, std::string> merged;
    for (char** e = environ; *e; ++e) {
      std::string entry = *e;
      auto eq = entry.find('=');
      if (eq != std::string::npos) merged[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
    for (auto& [k, v] : env) merged[k] = v;
    std::vector<std::string> envText;
    for (auto& [k, v] : merged) envText.push_back(k + "=" + v);
    std::vector<char*> envp;
    for (auto& e : envText) envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, m_Out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, m_Err.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    m_Start = std::chrono::steady_clock::now();
    if (posix_spawn(&m_Pid, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0)
      m_Pid = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~TSubprocess() {
    if (m_Pid > 0 && !m_Done) {
      ::kill(m_Pid, SIGKILL);
      ::waitpid(m_Pid, nullptr, 0);
    }
  }

  pid_t Pid() const { return m_Pid; }
  void Kill() {
    if (m_Pid > 0 && !m_Done) ::kill(m_Pid, SIGKILL);
  }

  // Waits for the end (at most `limit`), then collects the results.
  TProcessResult Wait(std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    TProcessResult result;
    if (m_Pid <= 0) return result;
    int status = 0;
    auto deadline = m_Start + limit;
    for (;;) {
      pid_t done = ::waitpid(m_Pid, &status, WNOHANG);
      if (done == m_Pid) break;
      if (std::chrono::steady_clock::now() > deadline) {
        result.TimedOut = true;
        ::kill(m_Pid, SIGKILL);
        ::waitpid(m_Pid, &status, 0);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    m_Done = true;
    result.Seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - m_Start).count();
    if (!result.TimedOut && WIFEXITED(status)) result.ExitCode = WEXITSTATUS(status);
    result.Stdout = Slurp(m_Out);
    result.Stderr = Slurp(m_Err);
    return result;
  }

  static std::string Slurp(const std::string& path) { return SlurpFile(path); }

 private:
  std::string m_Out;
  std::string m_Err;
  pid_t m_Pid = -1;
  bool m_Done = false;
  std::chrono::steady_clock::time_point m_Start;
};

#endif

inline TProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                                 const std::map<std::string, std::string>& env,
                                 const std::string& outputPrefix) {
  return TSubprocess(program, args, env, outputPrefix).Wait();
}
