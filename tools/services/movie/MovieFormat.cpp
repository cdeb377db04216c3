#include "MovieFormat.h"

#include <algorithm>
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

// What an encoder takes, with the settings the encoder program uses.
struct TSizeLimits {
  std::int64_t MinSide;
  std::int64_t MaxSide;  // of the coded picture
  bool EvenSides;        // coded with one more column or row when odd
  bool FourSlices;       // FFV1's limit on each of its 2 x 2 slices
};

TSizeLimits LimitsOf(EMovieFormat format) {
  switch (format) {
    case EMovieFormat::Mp4:
    case EMovieFormat::WebM:
      return {1, 16384, true, false};
    case EMovieFormat::Gif:
      return {1, 65535, false, false};
    case EMovieFormat::Mkv:
      break;
  }
  return {2, std::int64_t{1} << 31, false, true};
}

bool Takes(const TSizeLimits& limits, std::int64_t width, std::int64_t height) {
  if (width < limits.MinSide || height < limits.MinSide) return false;
  const std::int64_t codedWidth = limits.EvenSides ? (width + 1) / 2 * 2 : width;
  const std::int64_t codedHeight = limits.EvenSides ? (height + 1) / 2 * 2 : height;
  if (codedWidth > limits.MaxSide || codedHeight > limits.MaxSide) return false;
  // av_image_check_size, which every encoder applies when it is opened. The
  // first test keeps the product within 64 bits.
  constexpr std::int64_t IntMax = (std::int64_t{1} << 31) - 1;
  if (codedWidth > IntMax / 8 || codedHeight > IntMax) return false;
  if ((8 * codedWidth + 1024) * (codedHeight + 128) >= IntMax) return false;
  // FFV1 refuses slices of more than 8 << 24 samples times bits + 1.
  return !limits.FourSlices || (width + 1) / 2 * ((height + 1) / 2) * 27 <= (std::int64_t{8} << 24);
}

}  // namespace

std::optional<std::string> MovieSizeRefusal(EMovieFormat format, std::int64_t width,
                                            std::int64_t height) {
  const TSizeLimits limits = LimitsOf(format);
  if (Takes(limits, width, height)) return std::nullopt;
  const std::string name = "a ." + std::string(MovieFormatName(format)) + " movie";
  const auto size = [](std::int64_t w, std::int64_t h) { return std::to_string(w) + "x" + std::to_string(h); };
  if (width < limits.MinSide || height < limits.MinSide) {
    return name + " needs at least " + size(limits.MinSide, limits.MinSide) + " pixels, not " +
           size(width, height);
  }
  const std::int64_t codedWidth = limits.EvenSides ? (width + 1) / 2 * 2 : width;
  const std::int64_t codedHeight = limits.EvenSides ? (height + 1) / 2 * 2 : height;
  if (codedWidth > limits.MaxSide || codedHeight > limits.MaxSide) {
    return name + " takes at most " + std::to_string(limits.MaxSide) + " pixels a side, not " +
           size(width, height);
  }
  // Too many pixels: the largest of the same shape, the long side as long
  // as it can be and the short one in proportion.
  const bool wide = width >= height;
  const std::int64_t longSide = wide ? width : height, shortSide = wide ? height : width;
  const auto shorter = [&](std::int64_t side) {
    return std::max(limits.MinSide, (2 * shortSide * side + longSide) / (2 * longSide));
  };
  const auto fits = [&](std::int64_t side) {
    return wide ? Takes(limits, side, shorter(side)) : Takes(limits, shorter(side), side);
  };
  std::int64_t low = limits.MinSide, high = longSide;  // fits(low), !fits(high)
  while (high - low > 1) {
    const std::int64_t middle = low + (high - low) / 2;
    (fits(middle) ? low : high) = middle;
  }
  const std::string largest = wide ? size(low, shorter(low)) : size(shorter(low), low);
  return name + " takes at most " + largest + " pixels in this shape, not " + size(width, height);
}

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
