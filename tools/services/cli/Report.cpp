#include "Report.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "InterruptGuard.h"
#include "PrintableText.h"

namespace dla::tools {

void PrintError(std::string_view program, std::string_view message) {
  const std::string line = std::string(program) + ": " + PrintableText(message) + "\n";
  std::fputs(line.c_str(), stderr);
}

int RefusedBeforeTheRun(std::string_view program, std::string_view message) {
  if (TInterruptGuard::Requested()) {
    PrintError(program, "interrupted before the run; no file written");
    return 128 + TInterruptGuard::Signal();
  }
  PrintError(program, message);
  return 2;
}

bool FlushStandardOutput(std::string_view program) {
  errno = 0;
  if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return true;
  const int error = errno;
  PrintError(program, std::string("cannot write to standard output: ") +
                          (error != 0 ? std::strerror(error) : "write error"));
  return false;
}

}  // namespace dla::tools
