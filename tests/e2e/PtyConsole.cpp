// e2e_pty PROGRAM [ARGS...]
//
// Runs PROGRAM with a pseudo-terminal as its standard input and output, as a user's
// terminal would be, and writes the text that terminal shows to standard output; standard
// error stays what it was, so a caller still reads it apart. Wine gives a Windows program
// started this way a real console (its Unix console host draws on the terminal), so
// `gavrelo.exe /DEBUG` writes its log through WriteConsole and the console's colours —
// the path a user meets on Windows — where a pipe or file as standard output would take
// the log's redirected path instead.
//
// What the terminal shows: the text of each line as the console host drew it, without
// colours (TTerminalText below). The terminal is 1000 columns wide, so the console never
// wraps a line of the log.
//
// The exit code is PROGRAM's (128 + the signal when a signal ended it, 127 when it could
// not be started). PROGRAM dies with this process: a caller that kills e2e_pty on a time
// limit leaves nothing running.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// The text a terminal shows, line by line, from the bytes written to it — as much of a
// terminal as a console host needs for output that only grows downwards: characters are
// put at the cursor's column, the line is handed on at each line feed, and the control
// sequences move the cursor within the line (CSI n C forward, n D back, n G and r;c H to a
// column), erase it (CSI K; 1 K and 2 K from its start) or are dropped (colours, the
// cursor shown and hidden, OSC strings). A console host draws a run of blanks as "erase,
// cursor forward": the blanks count as spaces once text follows them.
class TTerminalText {
 public:
  // The complete lines the bytes finish, each with its line feed.
  std::string Feed(const char* data, std::size_t size) {
    std::string done;
    for (std::size_t i = 0; i < size; ++i) {
      const char c = data[i];
      switch (m_State) {
        case TState::Text:
          Text(c, done);
          break;
        case TState::Escape:
          m_State = c == '[' ? TState::Csi : c == ']' ? TState::Osc : TState::Text;
          m_Parameters.clear();
          break;
        case TState::Csi:
          if (c >= 0x40 && c <= 0x7E) {
            Control(c);
            m_State = TState::Text;
          } else {
            m_Parameters += c;
          }
          break;
        case TState::Osc:
          if (c == 0x07) m_State = TState::Text;
          if (c == 0x1B) m_State = TState::OscEscape;
          break;
        case TState::OscEscape:
          m_State = c == '\\' ? TState::Text : TState::Osc;
          break;
      }
    }
    return done;
  }
  // The line begun and not finished.
  const std::string& Rest() const { return m_Line; }

 private:
  enum class TState { Text, Escape, Csi, Osc, OscEscape };

  void Text(char c, std::string& done) {
    switch (c) {
      case 0x1B:
        m_State = TState::Escape;
        return;
      case '\r':
        m_Column = 0;
        return;
      case '\n':
        done += m_Line + '\n';
        m_Line.clear();
        m_Column = 0;
        return;
      case '\b':
        if (m_Column > 0) --m_Column;
        return;
      case '\t':
        m_Column = (m_Column / 8 + 1) * 8;
        return;
      default:
        if (m_Line.size() < m_Column) m_Line.resize(m_Column, ' ');
        if (m_Line.size() == m_Column)
          m_Line += c;
        else
          m_Line[m_Column] = c;
        ++m_Column;
    }
  }

  // The n-th number of the parameters (n from 0), `fallback` when absent or 0.
  std::size_t Number(std::size_t n, std::size_t fallback) const {
    std::size_t at = 0;
    for (; n > 0 && at != std::string::npos; --n) {
      at = m_Parameters.find(';', at);
      if (at != std::string::npos) ++at;
    }
    if (at == std::string::npos) return fallback;
    const std::size_t value = std::strtoul(m_Parameters.c_str() + at, nullptr, 10);
    return value == 0 ? fallback : value;
  }

  void Control(char final) {
    if (!m_Parameters.empty() && m_Parameters[0] == '?') return;  // modes: cursor shown, hidden
    switch (final) {
      case 'C':
        m_Column += Number(0, 1);
        break;
      case 'D':
        m_Column -= std::min(m_Column, Number(0, 1));
        break;
      case 'G':
        m_Column = Number(0, 1) - 1;
        break;
      case 'H':
        m_Column = Number(1, 1) - 1;
        break;
      case 'K':
        if (Number(0, 0) == 0) {
          if (m_Line.size() > m_Column) m_Line.resize(m_Column);
        } else if (Number(0, 0) == 1) {
          m_Line.replace(0, std::min(m_Line.size(), m_Column + 1), std::min(m_Line.size(), m_Column + 1), ' ');
        } else {
          m_Line.clear();
        }
        break;
      default:
        break;  // colours and the rest change nothing in the text
    }
  }

  TState m_State = TState::Text;
  std::string m_Parameters;
  std::string m_Line;
  std::size_t m_Column = 0;
};

void WriteAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs("usage: e2e_pty PROGRAM [ARGS...]\n", stderr);
    return 2;
  }
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
    std::perror("e2e_pty: pseudo-terminal");
    return 127;
  }
  const std::string slaveName = ::ptsname(master);
  const pid_t parent = ::getpid();
  const pid_t child = ::fork();
  if (child < 0) {
    std::perror("e2e_pty: fork");
    return 127;
  }
  if (child == 0) {
    // A session of its own with the terminal as its controlling terminal; killed when the
    // parent goes (the flag survives exec).
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(127);
    ::setsid();
    const int slave = ::open(slaveName.c_str(), O_RDWR);
    if (slave < 0) ::_exit(127);
    ::ioctl(slave, TIOCSCTTY, 0);
    termios mode{};
    if (::tcgetattr(slave, &mode) == 0) {
      mode.c_lflag &= ~static_cast<tcflag_t>(ECHO | ICANON);
      ::tcsetattr(slave, TCSANOW, &mode);
    }
    winsize size{};
    size.ws_row = 50;
    size.ws_col = 1000;
    ::ioctl(slave, TIOCSWINSZ, &size);
    ::dup2(slave, 0);
    ::dup2(slave, 1);
    if (slave > 1) ::close(slave);
    ::close(master);
    ::execvp(argv[1], argv + 1);
    ::_exit(127);
  }

  TTerminalText terminal;
  int status = 0;
  bool exited = false;
  char buffer[4096];
  for (;;) {
    pollfd readable{master, POLLIN, 0};
    // After the program's end, helpers of its own (a console host) may still write: read
    // until the terminal is closed everywhere, or nothing came for two seconds.
    const int ready = ::poll(&readable, 1, exited ? 2000 : 50);
    if (ready > 0) {
      const ssize_t n = ::read(master, buffer, sizeof buffer);
      if (n > 0) {
        WriteAll(1, terminal.Feed(buffer, static_cast<std::size_t>(n)));
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (exited) break;  // EIO: no process holds the terminal any more
    } else if (ready == 0 && exited) {
      break;
    }
    if (!exited) {
      exited = ::waitpid(child, &status, WNOHANG) == child;
      if (!exited && ready > 0) ::usleep(20000);  // hung up before the end: do not spin
    }
  }
  WriteAll(1, terminal.Rest());
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : 127;
}
