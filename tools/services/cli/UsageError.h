// Bad input on the command line.
#pragma once

#include <stdexcept>
#include <string>

namespace dla::tools {

// what() is one line that names the offending option and value. The commands
// print it and exit with status 2, always before any run has started, so
// nothing has been written to standard output or to an output file.
// Message() is the same, whole even where a value holds a NUL byte (what()
// ends there; a command line cannot hold one, a Python string can).
class EUsageError : public std::runtime_error {
 public:
  explicit EUsageError(const std::string& message) : std::runtime_error(message), message_(message) {}
  const std::string& Message() const noexcept { return message_; }

 private:
  std::string message_;
};

}  // namespace dla::tools
