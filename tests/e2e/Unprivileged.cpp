// gavrelo_unprivileged COMMAND [ARGS...]: runs COMMAND as a process that cannot reach the
// hardware, so the end-to-end test of "no hardware" can run even where the tests run as
// root: as root it drops every supplementary group and becomes user and group 65534
// (nobody), which clears every capability at the change of user. Before it runs COMMAND it
// proves the drop: iopl(3) must be refused and /dev/mem and /dev/port must not open.
// Exit 77 (a skip for CTest) when the drop cannot be made or proved, so a test never runs
// the tool against the real machine by mistake.

#include <fcntl.h>
#include <grp.h>
#include <sys/io.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace {

constexpr int kSkip = 77;
constexpr uid_t kNobody = 65534;

bool Opens(const char* path) {
  const int fd = ::open(path, O_RDONLY);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: gavrelo_unprivileged COMMAND [ARGS...]\n");
    return 2;
  }
  if (::geteuid() == 0) {
    if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) {
      std::perror("gavrelo_unprivileged: cannot become nobody");
      return kSkip;
    }
  }
#if defined(__x86_64__) || defined(__i386__)
  if (::iopl(3) == 0) {
    std::fprintf(stderr, "gavrelo_unprivileged: iopl(3) still allowed\n");
    return kSkip;
  }
#endif
  if (Opens("/dev/mem") || Opens("/dev/port")) {
    std::fprintf(stderr, "gavrelo_unprivileged: /dev/mem or /dev/port still opens\n");
    return kSkip;
  }
  ::execv(argv[1], argv + 1);
  std::perror("gavrelo_unprivileged: execv");
  return 1;
}
