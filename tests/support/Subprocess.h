#pragma once
// Runs an executable as a real process for end-to-end tests: arguments, extra environment,
// standard output and error captured to files, exit code, and a time limit after which the
// process is killed (so a hanging tool fails its test instead of hanging the suite).

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

struct TProcessResult {
  int ExitCode = -1;  // -1 when killed by a signal or the time limit
  bool TimedOut = false;
  std::string Stdout;
  std::string Stderr;
  double Seconds = 0;
};

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

  // The whole file in one read (executables under test are tens of MiB in sanitizer builds).
  static std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return "";
    std::string bytes(static_cast<std::size_t>(in.tellg()), '\0');
    in.seekg(0);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return bytes;
  }

 private:
  std::string m_Out;
  std::string m_Err;
  pid_t m_Pid = -1;
  bool m_Done = false;
  std::chrono::steady_clock::time_point m_Start;
};

inline TProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                                 const std::map<std::string, std::string>& env,
                                 const std::string& outputPrefix) {
  return TSubprocess(program, args, env, outputPrefix).Wait();
}
