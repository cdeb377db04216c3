#include "MovieFormat.h"

#include <array>
#include <cctype>
#include <string>
#include <utility>

namespace dla::tools {
namespace {

constexpr std::array<std::pair<std::string_view, EMovieFormat>, 4> Names{{
    {"mp4", EMovieFormat::Mp4},
    {"webm", EMovieFormat::WebM},
    {"gif", EMovieFormat::Gif},
    {"mkv", EMovieFormat::Mkv},
}};

}  // namespace

std::optional<EMovieFormat> MovieFormatOfPath(std::string_view path) {
  const std::size_t dot = path.rfind('.');
  const std::size_t slash = path.rfind('/');
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) {
    return std::nullopt;
  }
  std::string extension;
  for (const char c : path.substr(dot + 1)) {
    extension.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  }
  return MovieFormatNamed(extension);
}

std::string_view MovieFormatName(EMovieFormat format) {
  for (const auto& [name, value] : Names) {
    if (value == format) return name;
  }
  return "";
}

std::optional<EMovieFormat> MovieFormatNamed(std::string_view name) {
  for (const auto& [known, value] : Names) {
    if (known == name) return value;
  }
  return std::nullopt;
}

}  // namespace dla::tools
