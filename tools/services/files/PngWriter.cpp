#include "PngWriter.h"

#include <spng.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace dla::tools {
namespace {

struct TStream {
  // Where the bytes go: the descriptor, or Out where it is given.
  int Fd;
  const std::atomic<bool>* Stop;
  std::string* Out = nullptr;
  // The first failed write's errno, which libspng only sees as an I/O error.
  int Error = 0;
};

int WriteToFd(spng_ctx*, void* user, void* data, std::size_t length) {
  auto& stream = *static_cast<TStream*>(user);
  const auto* bytes = static_cast<const char*>(data);
  if (stream.Out != nullptr) {
    stream.Out->append(bytes, length);
    return 0;
  }
  const auto stopped = [&] { return stream.Stop && stream.Stop->load(std::memory_order_relaxed); };
  while (length > 0) {
    // Checked before each write too: a write cut short after some bytes
    // returns their count, not EINTR.
    if (stopped()) {
      stream.Error = EINTR;
      return SPNG_IO_ERROR;
    }
    const ssize_t written = ::write(stream.Fd, bytes, length);
    if (written < 0) {
      if (errno == EINTR) continue;
      stream.Error = errno;
      return SPNG_IO_ERROR;
    }
    bytes += written;
    length -= static_cast<std::size_t>(written);
  }
  return 0;
}

void Encode(const TCanvas& canvas, TStream& stream) {
  const std::atomic<bool>* stop = stream.Stop;
  const std::unique_ptr<spng_ctx, void (*)(spng_ctx*)> context(spng_ctx_new(SPNG_CTX_ENCODER),
                                                               spng_ctx_free);
  if (!context) throw std::bad_alloc();
  const auto check = [&](int result) {
    if (result == 0 || result == SPNG_EOI) return;
    throw std::runtime_error(
        std::string("cannot write the picture: ") +
        (stream.Error != 0 ? std::strerror(stream.Error) : spng_strerror(result)));
  };
  check(spng_set_png_stream(context.get(), WriteToFd, &stream));
  spng_ihdr header{};
  header.width = static_cast<std::uint32_t>(canvas.Width());
  header.height = static_cast<std::uint32_t>(canvas.Height());
  header.bit_depth = 8;
  header.color_type = SPNG_COLOR_TYPE_TRUECOLOR;
  check(spng_set_ihdr(context.get(), &header));
  // The picture is large flat areas of a few colours, where the adaptive
  // row filters buy nothing: unfiltered rows compress smaller here, and
  // encode two to three times faster.
  check(spng_set_option(context.get(), SPNG_FILTER_CHOICE, SPNG_FILTER_CHOICE_NONE));
  check(spng_encode_image(context.get(), nullptr, 0, SPNG_FMT_PNG,
                          SPNG_ENCODE_PROGRESSIVE | SPNG_ENCODE_FINALIZE));
  // Row by row: a 16384-pixel-wide row is 48 KiB, the whole picture up to
  // 768 MiB.
  std::vector<unsigned char> row(3 * static_cast<std::size_t>(canvas.Width()));
  const std::uint32_t* pixels = canvas.Bits();
  for (std::int32_t y = 0; y < canvas.Height(); ++y) {
    if (stop && stop->load(std::memory_order_relaxed)) {
      throw std::runtime_error("the picture was not finished: interrupted");
    }
    const std::uint32_t* source = pixels + static_cast<std::size_t>(y) * canvas.Stride();
    for (std::int32_t x = 0; x < canvas.Width(); ++x) {
      const std::uint32_t pixel = source[x];
      row[3 * x] = static_cast<unsigned char>(pixel >> 16);
      row[3 * x + 1] = static_cast<unsigned char>(pixel >> 8);
      row[3 * x + 2] = static_cast<unsigned char>(pixel);
    }
    check(spng_encode_row(context.get(), row.data(), row.size()));
  }
}

}  // namespace

void WriteCanvasPng(const TCanvas& canvas, int fd, const std::atomic<bool>* stop) {
  TStream stream{fd, stop};
  Encode(canvas, stream);
}

std::string CanvasPng(const TCanvas& canvas) {
  std::string bytes;
  TStream stream{-1, nullptr, &bytes};
  Encode(canvas, stream);
  return bytes;
}

}  // namespace dla::tools
