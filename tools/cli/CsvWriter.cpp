#include "CsvWriter.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace dla::tools {

TCsvWriter::TCsvWriter(Sink sink, std::size_t chunk) : sink_(std::move(sink)), chunk_(chunk) {
  buffer_.reserve(chunk_ + 256);
}

TCsvWriter::Sink TCsvWriter::FileSink(std::FILE* stream) {
  return [stream](std::string_view piece) {
    errno = 0;
    if (std::fwrite(piece.data(), 1, piece.size(), stream) != piece.size() ||
        std::fflush(stream) != 0) {
      throw std::runtime_error(std::string("cannot write the output: ") +
                               (errno != 0 ? std::strerror(errno) : "write failed"));
    }
  };
}

void TCsvWriter::Flush() {
  if (buffer_.empty()) return;
  sink_(buffer_);
  buffer_.clear();
}

}  // namespace dla::tools
