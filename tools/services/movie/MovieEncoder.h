// A movie being made by the encoder program (dla-encode), which dla-batch
// starts only when a movie is asked for, so that it never loads FFmpeg
// itself. The window starts the same program with its own process class;
// Arguments() is what both pass.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "HelperProgram.h"
#include "MovieFormat.h"

namespace dla::tools {

class TMovieEncoder {
 public:
  // The environment variable that names the program instead of dla-encode
  // beside the running executable.
  static constexpr const char* PathVariable = "DLA_ENCODE";

  // The encoder program's path (as THelperProgram::Path finds it) and its
  // arguments for a movie of width x height pixels at fps frames a second;
  // output, if not empty, is the file it writes (else its standard output);
  // threads, if not 0, how many threads its codec may use (1 to 64).
  static std::string ProgramPath();
  static std::vector<std::string> Arguments(EMovieFormat format, int width, int height, int fps,
                                            const std::string& output = "", int threads = 0);

  TMovieEncoder(EMovieFormat format, int width, int height, int fps);

  // Throws std::runtime_error, before any run, when this movie cannot be
  // made: "cannot make this movie: <MovieSizeRefusal>" for a size the
  // format does not take, "cannot make movies: no movie encoder at ..."
  // when the program is missing.
  void CheckAvailable() const;
  // Starts the program, writing the movie to outputFd. Throws
  // std::runtime_error.
  void Start(int outputFd);
  // Adds a frame: height rows of width pixels (0xAARRGGBB, native order),
  // `stride` pixels from one row to the next. Waits while the encoder is
  // behind; when stop is given and becomes true, gives up and throws.
  // Throws std::runtime_error, whose message ends with the encoder's own
  // reason when it failed (THelperProgram::Finish).
  void Frame(const std::uint32_t* pixels, std::ptrdiff_t stride,
             const std::atomic<bool>* stop = nullptr);
  // Ends the input and waits for the encoder to write the file's end.
  // Throws std::runtime_error.
  void Finish(const std::atomic<bool>* stop = nullptr);

  std::int64_t Frames() const noexcept { return frames_; }

 private:
  EMovieFormat format_;
  int width_, height_, fps_;
  THelperProgram program_;
  std::vector<std::uint32_t> packed_;
  std::int64_t frames_ = 0;
};

}  // namespace dla::tools
