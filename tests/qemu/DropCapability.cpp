// gavrelo_dropcap COMMAND [ARGS...]: runs COMMAND without CAP_SYS_ADMIN, keeping every
// other capability. The QEMU guest test uses it to see what the kernel shows a process that
// may reach ports and /dev/mem (CAP_SYS_RAWIO) but not all of PCI configuration space.
//
// Dropping the capability from the bounding set is enough for a process running as root:
// at execve its permitted set becomes the bounding set.

#include <linux/capability.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: gavrelo_dropcap COMMAND [ARGS...]\n");
    return 2;
  }
  if (prctl(PR_CAPBSET_DROP, CAP_SYS_ADMIN, 0, 0, 0) != 0) {
    std::perror("gavrelo_dropcap: PR_CAPBSET_DROP CAP_SYS_ADMIN");
    return 1;
  }
  execv(argv[1], argv + 1);
  std::perror("gavrelo_dropcap: execv");
  return 1;
}
