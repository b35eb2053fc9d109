#include "host/FileSystem.h"

#ifdef _WIN32

#include <windows.h>

namespace host {

TReadResult ReadFileBounded(const std::string& path, std::size_t maxBytes, std::string& bytes) {
  bytes.clear();
  HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    DWORD error = ::GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? TReadResult::Missing
                                                                          : TReadResult::Failed;
  }
  TReadResult result = TReadResult::Failed;
  LARGE_INTEGER size{};
  if (::GetFileType(file) != FILE_TYPE_DISK || !::GetFileSizeEx(file, &size) || size.QuadPart < 0) {
    result = TReadResult::Failed;
  } else if (static_cast<unsigned long long>(size.QuadPart) > maxBytes) {
    result = TReadResult::TooLarge;
  } else {
    bytes.resize(static_cast<std::size_t>(size.QuadPart));
    DWORD read = 0;
    if (bytes.empty() || (::ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read,
                                     nullptr) &&
                          read == bytes.size()))
      result = TReadResult::Ok;
  }
  ::CloseHandle(file);
  if (result != TReadResult::Ok) bytes.clear();
  return result;
}

bool WriteFileBytes(const std::string& path, std::string_view bytes) {
  HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = bytes.size() <= MAXDWORD &&
            (bytes.empty() || (::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()),
                                           &written, nullptr) &&
                               written == bytes.size())) &&
            ::FlushFileBuffers(file);
  ::CloseHandle(file);
  if (!ok) ::DeleteFileA(path.c_str());
  return ok;
}

bool CopyFileBytes(const std::string& from, const std::string& to, bool failIfExists) {
  return ::CopyFileA(from.c_str(), to.c_str(), failIfExists ? TRUE : FALSE) != FALSE;
}

bool RenameReplacing(const std::string& from, const std::string& to) {
  return ::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) !=
         FALSE;
}

bool RemoveFile(const std::string& path) { return ::DeleteFileA(path.c_str()) != FALSE; }

}  // namespace host

#else

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace host {
namespace {

// Closes the descriptor when the scope ends, on every path.
class TDescriptor {
 public:
  explicit TDescriptor(int fd) : m_Fd(fd) {}
  ~TDescriptor() {
    if (m_Fd >= 0) ::close(m_Fd);
  }
  TDescriptor(const TDescriptor&) = delete;
  TDescriptor& operator=(const TDescriptor&) = delete;
  int Get() const { return m_Fd; }
  // Closes now and reports whether the close itself succeeded (a late write error of the
  // file system shows here).
  bool Close() {
    int fd = m_Fd;
    m_Fd = -1;
    return fd < 0 || ::close(fd) == 0;
  }

 private:
  int m_Fd;
};

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// Reads up to `size` bytes; the count read, or -1 on an error.
ssize_t ReadSome(int fd, char* data, std::size_t size) {
  for (;;) {
    ssize_t n = ::read(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    return n;
  }
}

}  // namespace

TReadResult ReadFileBounded(const std::string& path, std::size_t maxBytes, std::string& bytes) {
  bytes.clear();
  TDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.Get() < 0)
    return errno == ENOENT || errno == ENOTDIR ? TReadResult::Missing : TReadResult::Failed;
  struct stat info {};
  if (::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode)) return TReadResult::Failed;
  if (static_cast<unsigned long long>(info.st_size) > maxBytes) return TReadResult::TooLarge;
  // The size may change while the file is read: read at most one byte beyond the bound, so
  // a file that grew past it is still reported as too large.
  bytes.resize(static_cast<std::size_t>(info.st_size) + 1);
  std::size_t total = 0;
  for (;;) {
    if (total == bytes.size()) {
      if (bytes.size() > maxBytes) {
        bytes.clear();
        return TReadResult::TooLarge;
      }
      bytes.resize(std::min(bytes.size() * 2, maxBytes + 1));
    }
    ssize_t n = ReadSome(fd.Get(), bytes.data() + total, bytes.size() - total);
    if (n < 0) {
      bytes.clear();
      return TReadResult::Failed;
    }
    if (n == 0) break;
    total += static_cast<std::size_t>(n);
  }
  if (total > maxBytes) {
    bytes.clear();
    return TReadResult::TooLarge;
  }
  bytes.resize(total);
  return TReadResult::Ok;
}

bool WriteFileBytes(const std::string& path, std::string_view bytes) {
  TDescriptor fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  if (fd.Get() < 0) return false;
  bool ok = WriteAll(fd.Get(), bytes.data(), bytes.size()) && ::fsync(fd.Get()) == 0;
  ok = fd.Close() && ok;
  if (!ok) ::unlink(path.c_str());
  return ok;
}

bool CopyFileBytes(const std::string& from, const std::string& to, bool failIfExists) {
  TDescriptor in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
  if (in.Get() < 0) return false;
  struct stat info {};
  if (::fstat(in.Get(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (failIfExists ? O_EXCL : O_TRUNC);
  TDescriptor out(::open(to.c_str(), flags, info.st_mode & 0777));
  if (out.Get() < 0) return false;
  char buffer[64 * 1024];
  bool ok = true;
  for (;;) {
    ssize_t n = ReadSome(in.Get(), buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0 || !WriteAll(out.Get(), buffer, static_cast<std::size_t>(n))) {
      ok = false;
      break;
    }
  }
  ok = ok && ::fsync(out.Get()) == 0;
  ok = out.Close() && ok;
  if (!ok) ::unlink(to.c_str());
  return ok;
}

bool RenameReplacing(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}

bool RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

}  // namespace host

#endif
