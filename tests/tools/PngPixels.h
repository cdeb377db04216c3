// Reading back the pictures that dla-batch writes, for comparing them pixel
// by pixel.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dla::tools::test {

// A PNG decoded to 0xFFRRGGBB pixels, row after row; empty, and the test
// failed, if it is not a PNG.
std::vector<std::uint32_t> DecodePng(const std::string& png, std::uint32_t& width,
                                     std::uint32_t& height);

}  // namespace dla::tools::test
