// The movie formats, chosen by the file name's extension. Shared by the
// batch runner, the window and the encoder program, so that all three take
// the same names.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace dla::tools {

enum class EMovieFormat {
  Mp4,   // H.264 (libx264), yuv420p: plays in browsers
  WebM,  // VP9 (libvpx), yuv420p
  Gif,   // the model's three colours, exactly
  Mkv,   // FFV1 in Matroska: lossless, every frame the picture itself
};

// The format that a path's extension names (".mp4", ".webm", ".gif",
// ".mkv", in any case); none for another extension or none at all.
std::optional<EMovieFormat> MovieFormatOfPath(std::string_view path);

// The format's short name ("mp4", "webm", "gif", "mkv"), as the encoder
// program's --format takes it; and back (none for another name).
std::string_view MovieFormatName(EMovieFormat format);
std::optional<EMovieFormat> MovieFormatNamed(std::string_view name);

// Whether the encoder program can make a movie of this format from frames
// of width x height pixels (each side up to 2^31), with the settings it
// encodes with: none when it can; else the reason in one line, naming the
// longest side the format takes ("a .mp4 movie takes at most 16384 pixels
// a side, not 20000x90"), the largest size of that shape ("... at most
// 16254x16254 pixels in this shape, not 16384x16384") or the smallest size.
// The one rule for the batch runner (before its run), the window (before it
// records) and the encoder program itself. The limits, found by trying the
// encoders of this system (FFmpeg 5.1, libx264 164, libvpx 1.12):
// - every format: FFmpeg's check of any picture, (8 W + 1024) (H + 128)
//   below 2^31 - 1, so at most 16255x16255 as a square;
// - .mp4 (libx264) and .webm (libvpx-vp9): at most 16384 pixels a side;
//   both code even sides, so an odd side counts one more;
// - .gif: at most 65535 pixels a side;
// - .mkv (FFV1 in 2 x 2 slices): at least 2x2, and a slice (a quarter, its
//   sides rounded up) at most 4971026 pixels, so at most 4458x4458 as a
//   square.
// Memory is not counted: VP9 needs about 110 bytes a pixel.
std::optional<std::string> MovieSizeRefusal(EMovieFormat format, std::int64_t width,
                                            std::int64_t height);

// "(.mp4, .webm, .gif or .mkv)", for messages.
inline constexpr const char* MovieExtensions = ".mp4, .webm, .gif or .mkv";

}  // namespace dla::tools
