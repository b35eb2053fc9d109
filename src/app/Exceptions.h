#pragma once
// The exception classes of the application framework. The tool's own operations raise no
// exceptions; the one that reaches the entry point in the start-up flow is the conversion
// error of a non-numeric Delay, which the entry point shows in the exception dialog.

#include <exception>
#include <string>
#include <utility>

// Base of the framework's exceptions: a message for the exception dialog (UTF-8).
class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : Message(std::move(message)) {}
  const char* what() const noexcept override { return Message.c_str(); }
  std::string Message;
};

// A text that is not a number of the wanted kind.
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};
