#include "host/NamedMutex.h"

#ifndef _WIN32
// The Windows mutex is in NamedMutexWindows.cpp.

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace host {
namespace {

// The abstract namespace is shared by every program of the machine, so the tool's names
// carry a prefix of their own. Names that do not fit the socket address keep their start
// and get a hash of the whole name, so two long names do not collide.
std::string SocketName(const std::string& name) {
  std::string full = "gavrelo.mutex/" + name;
  constexpr std::size_t kMax = sizeof(sockaddr_un::sun_path) - 1;  // leading NUL byte
  if (full.size() <= kMax) return full;
  std::uint64_t hash = 1469598103934665603ull;  // FNV-1a
  for (unsigned char c : full) hash = (hash ^ c) * 1099511628211ull;
  char suffix[20];
  std::snprintf(suffix, sizeof suffix, "#%016llx", static_cast<unsigned long long>(hash));
  return full.substr(0, kMax - std::strlen(suffix)) + suffix;
}

}  // namespace

TMutexResult AcquireNamedMutex(const std::string& name) {
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return TMutexResult::Failed;
  std::string socketName = SocketName(name);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  address.sun_path[0] = '\0';
  std::memcpy(address.sun_path + 1, socketName.data(), socketName.size());
  socklen_t length =
      static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + socketName.size());
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
    int error = errno;
    ::close(fd);
    return error == EADDRINUSE ? TMutexResult::AlreadyExists : TMutexResult::Failed;
  }
  // The descriptor stays open (and the name bound) until the process ends.
  return TMutexResult::Created;
}

}  // namespace host

#endif
