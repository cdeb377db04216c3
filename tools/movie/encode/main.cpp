// dla-encode: frames in on standard input, a movie out. dla-batch and the
// window start it when a movie is asked for; it is the only program of the
// project that loads FFmpeg's libraries.
//
//   dla-encode --format mp4|webm|gif|mkv --size WxH [--fps F] [--output FILE]
//              [--threads N]
//
// Standard input: frames of W x H pixels, each pixel 4 bytes, 0xAARRGGBB in
// native byte order (QImage's Format_RGB32), rows top to bottom, no gaps;
// the movie ends at the end of the input, which must fall between frames.
// The movie goes to FILE, or to standard output (a regular file there is
// used with seeking). --threads: how many threads the codec may use (1 to
// 64; by default its own choice). Exit status 0 done, 1 failed, 2 bad arguments; a
// failure says why in one line on standard error.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

#include "MovieFormat.h"
#include "MovieWriter.h"

namespace {

using dla::tools::EMovieFormat;

int Fail(const std::string& message, int status) {
  std::fprintf(stderr, "dla-encode: %s\n", message.c_str());
  return status;
}

std::optional<int> Number(std::string_view text, int max) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  int value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = 10 * value + (c - '0');
  }
  if (value < 1 || value > max) return std::nullopt;
  return value;
}

// Reads exactly size bytes; returns how many came before the end of input.
std::size_t ReadAll(int fd, char* buffer, std::size_t size) {
  std::size_t got = 0;
  while (got < size) {
    const ssize_t n = ::read(fd, buffer + got, size - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw std::runtime_error(std::string("cannot read the frames: ") + std::strerror(errno));
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  return got;
}

}  // namespace

int main(int argc, char** argv) {
  std::optional<EMovieFormat> format;
  std::optional<int> width, height;
  int fps = 25;
  int threads = 0;
  std::string output;
  for (int i = 1; i < argc; ++i) {
    const std::string_view option = argv[i];
    if (i + 1 >= argc) return Fail("'" + std::string(option) + "' needs a value", 2);
    const std::string_view value = argv[++i];
    if (option == "--format") {
      format = dla::tools::MovieFormatNamed(value);
      if (!format) return Fail("--format: no format '" + std::string(value) + "'", 2);
    } else if (option == "--size") {
      const std::size_t x = value.find('x');
      if (x != std::string_view::npos) {
        width = Number(value.substr(0, x), 16384);
        height = Number(value.substr(x + 1), 16384);
      }
      if (!width || !height) return Fail("--size: expected WxH, got '" + std::string(value) + "'", 2);
    } else if (option == "--fps") {
      const std::optional<int> number = Number(value, 1000);
      if (!number) return Fail("--fps: expected 1 to 1000, got '" + std::string(value) + "'", 2);
      fps = *number;
    } else if (option == "--threads") {
      const std::optional<int> number = Number(value, 64);
      if (!number) return Fail("--threads: expected 1 to 64, got '" + std::string(value) + "'", 2);
      threads = *number;
    } else if (option == "--output") {
      output = value;
    } else {
      return Fail("unknown option '" + std::string(option) + "'", 2);
    }
  }
  if (!format || !width) return Fail("--format and --size are needed", 2);

  // FFmpeg's own chatter (encoder settings, statistics) is not for users.
  av_log_set_level(AV_LOG_ERROR);
  int fd = STDOUT_FILENO;
  if (!output.empty()) {
    fd = ::open(output.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return Fail("cannot write '" + output + "': " + std::strerror(errno), 1);
  }
  try {
    dla::tools::TMovieWriter writer(*format, *width, *height, fps, fd, threads);
    const std::size_t frameBytes = 4 * static_cast<std::size_t>(*width) * static_cast<std::size_t>(*height);
    std::vector<std::uint32_t> frame(frameBytes / 4);
    for (;;) {
      const std::size_t got = ReadAll(STDIN_FILENO, reinterpret_cast<char*>(frame.data()), frameBytes);
      if (got == 0) break;
      if (got < frameBytes) {
        throw std::runtime_error("the input ended inside frame " + std::to_string(writer.Frames() + 1));
      }
      writer.Write(frame.data());
    }
    writer.Finish();
  } catch (const std::exception& error) {
    return Fail(error.what(), 1);
  }
  if (fd != STDOUT_FILENO && ::close(fd) != 0) {
    return Fail("cannot write '" + output + "': " + std::strerror(errno), 1);
  }
  return 0;
}
