// Bad input on the command line.
#pragma once

#include <stdexcept>

namespace dla::tools {

// what() is one line that names the offending option and value. The commands
// print it and exit with status 2, always before any run has started, so
// nothing has been written to standard output or to an output file.
class EUsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace dla::tools
