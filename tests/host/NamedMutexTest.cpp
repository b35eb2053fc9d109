#include <gtest/gtest.h>
#ifdef _WIN32
#include <process.h>
#else
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <string>

#include "host/NamedMutex.h"

namespace {

std::string UniqueName(const char* what) {
  return std::string("named-mutex-test-") + what + "-" + std::to_string(::getpid());
}

#ifndef _WIN32
TEST(NamedMutex, HeldUntilTheProcessEndsHoweverItEnds) {
  std::string name = UniqueName("kill");
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    char ok = host::AcquireNamedMutex(name) == host::TMutexResult::Created ? '1' : '0';
    (void)!::write(ready[1], &ok, 1);
    for (;;) ::pause();  // holds the name until killed
  }
  char ok = 0;
  ASSERT_EQ(::read(ready[0], &ok, 1), 1);
  EXPECT_EQ(ok, '1');
  EXPECT_EQ(host::AcquireNamedMutex(name), host::TMutexResult::AlreadyExists);
  ::kill(child, SIGKILL);
  int status = 0;
  ::waitpid(child, &status, 0);
  // Nothing stale after kill -9: the name is free again, and then held by this process.
  EXPECT_EQ(host::AcquireNamedMutex(name), host::TMutexResult::Created);
  EXPECT_EQ(host::AcquireNamedMutex(name), host::TMutexResult::AlreadyExists);
  ::close(ready[0]);
  ::close(ready[1]);
}
#endif

TEST(NamedMutex, NamesAreDistinctEvenWhenTooLongForTheSystem) {
  std::string base = UniqueName("long") + std::string(200, 'x');
  EXPECT_EQ(host::AcquireNamedMutex(base + "A"), host::TMutexResult::Created);
  EXPECT_EQ(host::AcquireNamedMutex(base + "B"), host::TMutexResult::Created);
  EXPECT_EQ(host::AcquireNamedMutex(base + "A"), host::TMutexResult::AlreadyExists);
  // Letter case matters, as for file names on this system.
  EXPECT_EQ(host::AcquireNamedMutex(UniqueName("Case")), host::TMutexResult::Created);
  EXPECT_EQ(host::AcquireNamedMutex(UniqueName("case")), host::TMutexResult::Created);
}

}  // namespace
