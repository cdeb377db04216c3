#include "PngPixels.h"

#include <gtest/gtest.h>
#include <spng.h>

#include <memory>

namespace dla::tools::test {

std::vector<std::uint32_t> DecodePng(const std::string& png, std::uint32_t& width,
                                     std::uint32_t& height) {
  const std::unique_ptr<spng_ctx, void (*)(spng_ctx*)> context(spng_ctx_new(0), spng_ctx_free);
  spng_ihdr header{};
  std::size_t size = 0;
  if (spng_set_png_buffer(context.get(), png.data(), png.size()) != 0 ||
      spng_get_ihdr(context.get(), &header) != 0 ||
      spng_decoded_image_size(context.get(), SPNG_FMT_RGBA8, &size) != 0) {
    ADD_FAILURE() << "not a PNG";
    return {};
  }
  std::vector<unsigned char> rgba(size);
  if (spng_decode_image(context.get(), rgba.data(), size, SPNG_FMT_RGBA8, 0) != 0) {
    ADD_FAILURE() << "a broken PNG";
    return {};
  }
  width = header.width;
  height = header.height;
  std::vector<std::uint32_t> pixels(size / 4);
  for (std::size_t i = 0; i < pixels.size(); ++i) {
    pixels[i] = std::uint32_t{rgba[4 * i + 3]} << 24 | std::uint32_t{rgba[4 * i]} << 16 |
                std::uint32_t{rgba[4 * i + 1]} << 8 | rgba[4 * i + 2];
  }
  return pixels;
}

}  // namespace dla::tools::test
