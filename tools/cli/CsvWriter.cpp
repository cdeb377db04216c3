#include "CsvWriter.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "InterruptGuard.h"

namespace dla::tools {

TCsvWriter::TCsvWriter(Sink sink, std::size_t chunk) : sink_(std::move(sink)), chunk_(chunk) {
  buffer_.reserve(chunk_ + 256);
}

TCsvWriter::Sink TCsvWriter::StandardOutputSink() {
  // Straight to the descriptor, past stdio, whose fwrite would retry a
  // write that an interrupt cut short and block again on a full pipe.
  std::fflush(stdout);
  return [](std::string_view piece) {
    if (const int error = TInterruptGuard::WriteAll(STDOUT_FILENO, piece); error != 0) {
      throw std::runtime_error(std::string("cannot write the output: ") + std::strerror(error));
    }
  };
}

void TCsvWriter::Flush() {
  if (buffer_.empty()) return;
  sink_(buffer_);
  buffer_.clear();
}

}  // namespace dla::tools
