#include "host/MessageDialog.h"

#ifndef _WIN32
// The Windows message boxes are in MessageDialogWindows.cpp.

#include <unistd.h>

#include <cerrno>
#include <string>

namespace host {
namespace {

void WriteStderrLine(std::string_view text) {
  std::string line(text);
  line += '\n';
  const char* data = line.data();
  std::size_t size = line.size();
  while (size > 0) {
    ssize_t n = ::write(STDERR_FILENO, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
}

}  // namespace

void ShowMessageDialog(std::string_view text) { WriteStderrLine(text); }

void ShowErrorDialog(std::string_view text) { WriteStderrLine(text); }

}  // namespace host

#endif
