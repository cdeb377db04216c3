// Encodes frames into a movie file with FFmpeg's libraries: the heart of
// dla-encode, kept out of dla-batch so that a run without a movie never
// loads them.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "MovieFormat.h"

namespace dla::tools {

class TMovieWriter {
 public:
  // A movie of width x height pixels (a size MovieSizeRefusal takes) at fps
  // frames a second (1 to 1000), written to the descriptor fd, which must stay open
  // until Finish. On a regular file an MP4 gets its index at the front
  // (progressive playback), when fd is also open for reading; anywhere else
  // (a pipe, a device) it is written in fragments, which need no seeking.
  // H.264 and VP9 need even sides: an odd side gets one more column or row
  // of white. threads: how many threads the codec may use (1 to 64), 0 to
  // let it choose. When stop is given and becomes true, a write blocked on
  // a full pipe gives up and the call throws. Throws std::runtime_error
  // with a one-line reason (an encoder this FFmpeg lacks, an unwritable
  // file), FFmpeg's own words for it included: from the first writer on,
  // FFmpeg's messages no longer go to standard error.
  TMovieWriter(EMovieFormat format, int width, int height, int fps, int fd, int threads = 0,
               const std::atomic<bool>* stop = nullptr);
  ~TMovieWriter();
  TMovieWriter(const TMovieWriter&) = delete;
  TMovieWriter& operator=(const TMovieWriter&) = delete;

  // Adds a frame: height rows of width pixels, 0xAARRGGBB in native byte
  // order (QImage's Format_RGB32), row after row without gaps. For GIF,
  // white, black and red map to the palette exactly and any other colour
  // to the nearest of them. Throws std::runtime_error.
  void Write(const std::uint32_t* pixels);

  // Flushes the encoder and writes the file's end. Throws
  // std::runtime_error, also for a movie without a frame.
  void Finish();

  std::int64_t Frames() const noexcept;

 private:
  struct TState;
  std::unique_ptr<TState> state_;
};

}  // namespace dla::tools
