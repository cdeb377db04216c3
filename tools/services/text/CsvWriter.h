// Fast CSV output: numbers formatted with std::to_chars into one buffer
// that is handed on in large pieces.
#pragma once

#include <charconv>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <type_traits>

namespace dla::tools {

// A row is built with Field()/Text() calls and closed with EndLine(); a
// comma goes before every field but the first of a line. The buffer is
// handed to the sink whenever it passes the chunk size and at Flush(). The
// sink throws (std::runtime_error) when it cannot write; the destructor does
// not flush, so a failed or abandoned output never gets a partial last
// piece.
class TCsvWriter {
 public:
  using Sink = std::function<void(std::string_view)>;

  explicit TCsvWriter(Sink sink, std::size_t chunk = 64 * 1024);

  template <typename Integer>
  TCsvWriter& Field(Integer value) {
    static_assert(std::is_integral_v<Integer>);
    Separate();
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    buffer_.append(digits, result.ptr);
    return *this;
  }
  TCsvWriter& Text(std::string_view text) {
    Separate();
    buffer_.append(text);
    return *this;
  }
  // Text written as it is, with no comma before it (a header line, say).
  TCsvWriter& Raw(std::string_view text) {
    buffer_.append(text);
    return *this;
  }
  void EndLine() {
    buffer_.push_back('\n');
    lineStarted_ = false;
    if (buffer_.size() >= chunk_) Flush();
  }
  void Flush();

 private:
  void Separate() {
    if (lineStarted_) buffer_.push_back(',');
    lineStarted_ = true;
  }

  Sink sink_;
  std::size_t chunk_;
  std::string buffer_;
  bool lineStarted_ = false;
};

}  // namespace dla::tools
