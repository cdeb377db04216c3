#include "MovieEncoder.h"

#include <algorithm>
#include <optional>
#include <stdexcept>
#include <string_view>

namespace dla::tools {
namespace {

THelperProgram Encoder() { return THelperProgram("dla-encode", TMovieEncoder::PathVariable, "movie encoder"); }

}  // namespace

std::string TMovieEncoder::ProgramPath() { return Encoder().Path(); }

std::vector<std::string> TMovieEncoder::Arguments(EMovieFormat format, int width, int height,
                                                  int fps, const std::string& output, int threads) {
  std::vector<std::string> args{"--format", std::string(MovieFormatName(format)), "--size",
                                std::to_string(width) + "x" + std::to_string(height), "--fps",
                                std::to_string(fps)};
  if (!output.empty()) args.insert(args.end(), {"--output", output});
  if (threads > 0) args.insert(args.end(), {"--threads", std::to_string(threads)});
  return args;
}

TMovieEncoder::TMovieEncoder(EMovieFormat format, int width, int height, int fps)
    : format_(format), width_(width), height_(height), fps_(fps), program_(Encoder()) {}

void TMovieEncoder::CheckAvailable() const {
  if (const std::optional<std::string> refusal = MovieSizeRefusal(format_, width_, height_)) {
    throw std::runtime_error("cannot make this movie: " + *refusal);
  }
  try {
    program_.CheckAvailable();
  } catch (const std::runtime_error& error) {
    throw std::runtime_error(std::string("cannot make movies: ") + error.what());
  }
}

void TMovieEncoder::Start(int outputFd) {
  program_.Start(Arguments(format_, width_, height_, fps_), outputFd);
}

void TMovieEncoder::Frame(const std::uint32_t* pixels, std::ptrdiff_t stride,
                          const std::atomic<bool>* stop) {
  const auto width = static_cast<std::size_t>(width_);
  const std::size_t count = width * static_cast<std::size_t>(height_);
  if (stride != width_) {
    packed_.resize(count);
    for (int y = 0; y < height_; ++y) {
      std::copy_n(pixels + y * stride, width, packed_.data() + static_cast<std::size_t>(y) * width);
    }
    pixels = packed_.data();
  }
  program_.Send(std::string_view(reinterpret_cast<const char*>(pixels), 4 * count), "the movie", stop);
  ++frames_;
}

void TMovieEncoder::Finish(const std::atomic<bool>* stop) { program_.Finish("the movie", stop); }

}  // namespace dla::tools
