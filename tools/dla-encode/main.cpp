// dla-encode: frames in on standard input, a movie out. dla-batch and the
// window start it when a movie is asked for; it is the only program of the
// project that loads FFmpeg's libraries. Its options follow the rules of
// the other programs (Options.h); its output file appears whole or not at
// all (TOutputFile).
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <limits>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "InterruptGuard.h"
#include "MovieFormat.h"
#include "MovieWriter.h"
#include "Options.h"
#include "OutputSet.h"
#include "Report.h"
#include "StandardStreams.h"
#include "UsageError.h"

namespace {

using namespace dla::tools;

constexpr std::string_view Program = "dla-encode";

struct TEncodeOptions {
  EMovieFormat Format = EMovieFormat::Mp4;
  std::int64_t Width = 0, Height = 0;
  std::int32_t Fps = 25;
  std::int32_t Threads = 0;
  std::string Output;
  std::string Help;
};

TEncodeOptions Parse(const std::vector<std::string>& args) {
  TEncodeOptions options;
  CLI::App app(R"(Encodes frames into a movie with FFmpeg's libraries: what dla-batch --movie
and the window's "Record video..." start. Reads frames of W x H pixels on
standard input until its end, which must fall between two frames: 4 bytes a
pixel, 0xAARRGGBB in the machine's byte order, rows top to bottom, no gaps.)",
               std::string(Program));
  ConfigureOptions(app);
  app.add_option_function<std::string>(
         "--format",
         [&options](const std::string& name) {
           const std::optional<EMovieFormat> format = MovieFormatNamed(name);
           if (!format) throw EUsageError("--format: expected mp4, webm, gif or mkv, got '" + name + "'");
           options.Format = *format;
         },
         "mp4 (H.264), webm (VP9), gif or mkv (lossless FFV1)")
      ->type_name("NAME")
      ->required();
  app.add_option_function<std::string>(
         "--size",
         [&options](const std::string& text) {
           const std::size_t x = std::min(text.find_first_of("xX"), text.size());
           constexpr std::int64_t most = std::numeric_limits<std::int32_t>::max();
           const auto width = DecimalValue(std::string_view(text).substr(0, x), 1, most);
           const auto height = DecimalValue(std::string_view(text).substr(std::min(x + 1, text.size())), 1, most);
           if (!width || !height) throw EUsageError("--size: expected WIDTHxHEIGHT in pixels, got '" + text + "'");
           options.Width = *width;
           options.Height = *height;
         },
         "the frames' size in pixels, as large as the format takes")
      ->type_name("WxH")
      ->required();
  app.add_option("--fps", options.Fps, R"(frames per second, 1 to 1000 (default 25); a gif
shows at most 50: above that, the last frame that
began in each 1/50 s, so that it keeps its time)")
      ->type_name("F")
      ->transform(WholeNumber(1, 1000));
  app.add_option("--output", options.Output, "the movie (default: standard output)")->type_name("FILE");
  app.add_option("--threads", options.Threads, "threads the codec may use, 1 to 64 (default: its own)")
      ->type_name("N")
      ->transform(WholeNumber(1, 64));
  app.footer(R"(The movie goes to FILE, written to a temporary file beside it and renamed
into place when it is whole (nothing is left on a failure or an interrupt),
or to standard output (an MP4 into a pipe comes in fragments).

Exit status: 0 done, 1 failed while encoding (one line on standard error),
2 bad arguments (nothing written), 128+signal when interrupted.)");
  options.Help = ParseOptions(app, args);
  if (options.Help.empty()) {
    if (const auto refusal = MovieSizeRefusal(options.Format, options.Width, options.Height)) {
      throw EUsageError("--size: " + *refusal);
    }
  }
  return options;
}

// Fills buffer from standard input; returns how many bytes came before its
// end, or none when an interrupt came first. Polled, so that an interrupt
// that one of the codec's threads received is seen too.
std::optional<std::size_t> ReadFrame(char* buffer, std::size_t size) {
  std::size_t got = 0;
  while (got < size) {
    if (TInterruptGuard::Requested()) return std::nullopt;
    // Read only when there is something to read: an interrupt that cut the
    // poll short must not be followed by a read that blocks.
    pollfd input{STDIN_FILENO, POLLIN, 0};
    const int ready = ::poll(&input, 1, 100);
    if (ready < 0 && errno != EINTR) {
      throw std::runtime_error(std::string("cannot read the frames: ") + std::strerror(errno));
    }
    if (ready <= 0) continue;
    const ssize_t n = ::read(STDIN_FILENO, buffer + got, size - got);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n < 0) throw std::runtime_error(std::string("cannot read the frames: ") + std::strerror(errno));
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  return got;
}

}  // namespace

int main(int argc, char** argv) {
  if (!OpenClosedStandardStreams()) {
    PrintError(Program, "cannot open /dev/null for a closed standard stream");
    return 1;
  }
  // Before the output file exists, so that an interrupt never leaves its
  // temporary file behind.
  TInterruptGuard interrupt;
  TEncodeOptions options;
  TOutputSet outputs;
  int fd = STDOUT_FILENO;
  try {
    options = Parse(std::vector<std::string>(argv + 1, argv + argc));
    if (!options.Help.empty()) {
      std::fputs(options.Help.c_str(), stdout);
      return FlushStandardOutput(Program) ? 0 : 1;
    }
    if (!options.Output.empty()) fd = outputs.Add(options.Output, "--output").Fd();
  } catch (const EUsageError& error) {
    return RefusedBeforeTheRun(Program, error.what());
  }
  std::int64_t frames = 0;
  const auto interrupted = [&] {
    PrintError(Program, "interrupted after " + std::to_string(frames) + " frames" +
                            (options.Output.empty() ? "" : "; no movie written"));
    return 128 + TInterruptGuard::Signal();
  };
  try {
    TMovieWriter writer(options.Format, static_cast<int>(options.Width), static_cast<int>(options.Height),
                        options.Fps, fd, options.Threads, &TInterruptGuard::Flag());
    const std::size_t frameBytes =
        4 * static_cast<std::size_t>(options.Width) * static_cast<std::size_t>(options.Height);
    std::vector<std::uint32_t> frame(frameBytes / 4);
    for (;;) {
      const std::optional<std::size_t> got = ReadFrame(reinterpret_cast<char*>(frame.data()), frameBytes);
      if (!got) return interrupted();
      if (*got == 0) break;
      if (*got < frameBytes) {
        throw std::runtime_error("the input ended inside frame " + std::to_string(frames + 1));
      }
      writer.Write(frame.data());
      ++frames;
    }
    writer.Finish();
    if (TInterruptGuard::Requested() || !outputs.CommitAll()) return interrupted();
    return 0;
  } catch (const std::bad_alloc&) {
    if (TInterruptGuard::Requested()) return interrupted();
    PrintError(Program, "not enough memory for frames of this size");
  } catch (const std::exception& error) {
    // A write cut short by an interrupt fails; the interrupt is what
    // happened.
    if (TInterruptGuard::Requested()) return interrupted();
    PrintError(Program, error.what());
  }
  return 1;
}
