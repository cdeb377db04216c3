// Reading back the movies that dla-batch writes, with FFmpeg's libraries:
// what the file holds and every frame it decodes to.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dla::tools::test {

struct TMovie {
  // FFmpeg's names: "mov,mp4,m4a,3gp,3g2,mj2", "h264", "yuv420p", ...
  std::string Container;
  std::string Codec;
  std::string PixelFormat;
  int Width = 0;
  int Height = 0;
  // Frames a second, as the stream states it.
  double Rate = 0;
  // Every decoded frame as 0xFFRRGGBB pixels, Width x Height, row after row.
  std::vector<std::vector<std::uint32_t>> Frames;
  // How long the container shows each frame, in seconds, as FFmpeg reads
  // it (a GIF delay below 2/100 s as 1/10 s, as players do).
  std::vector<double> Durations;
};

// The movie at path; empty, and the test failed, if FFmpeg cannot read it.
TMovie DecodeMovie(const std::string& path);

}  // namespace dla::tools::test
