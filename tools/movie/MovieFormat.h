// The movie formats, chosen by the file name's extension. Shared by the
// batch runner, the window and the encoder program, so that all three take
// the same names.
#pragma once

#include <optional>
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

// "(.mp4, .webm, .gif or .mkv)", for messages.
inline constexpr const char* MovieExtensions = ".mp4, .webm, .gif or .mkv";

}  // namespace dla::tools
