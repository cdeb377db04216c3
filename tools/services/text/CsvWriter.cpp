#include "CsvWriter.h"

#include <utility>

namespace dla::tools {

TCsvWriter::TCsvWriter(Sink sink, std::size_t chunk) : sink_(std::move(sink)), chunk_(chunk) {
  buffer_.reserve(chunk_ + 256);
}

void TCsvWriter::Flush() {
  if (buffer_.empty()) return;
  sink_(buffer_);
  buffer_.clear();
}

}  // namespace dla::tools
