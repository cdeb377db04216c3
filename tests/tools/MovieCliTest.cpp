// dla-batch --movie as a program, its movies read back with FFmpeg.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <thread>

#include "MovieFrames.h"
#include "PngPixels.h"
#include "TestNames.h"
#include "ToolProcess.h"

namespace dla::tools::test {
namespace {

// An odd drawing area: H.264 and VP9 pad it, the others keep it.
const TArgs World{"--agents", "400", "--threshold", "5", "--seed", "99", "--size", "131x97"};

TArgs With(TArgs args, const TArgs& more) {
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

TEST(MovieCli, TheLosslessMovieHoldsThePictureOfEveryStepItShows) {
  const std::string dir = ScratchDir();
  const int steps = static_cast<int>(RunTool(World).OutLines().size()) - 1;
  // Frames every `every` steps, and one more after the last.
  int every = 7;
  while (steps % every == 0) ++every;
  const TToolResult result =
      RunTool(With(World, {"--movie", dir + "/run.mkv", "--movie-every", std::to_string(every)}));
  ASSERT_EQ(result.ExitCode, 0) << result.Err;
  std::vector<int> shown;
  for (int step = 0; step <= steps; step += every) shown.push_back(step);
  shown.push_back(steps);

  const TMovie movie = DecodeMovie(dir + "/run.mkv");
  EXPECT_EQ(movie.Codec, "ffv1");
  EXPECT_EQ(movie.Container, "matroska,webm");
  ASSERT_EQ(movie.Width, 131);
  ASSERT_EQ(movie.Height, 97);
  ASSERT_EQ(movie.Frames.size(), shown.size());
  for (std::size_t i = 0; i < shown.size(); ++i) {
    const std::string png = dir + "/" + std::to_string(shown[i]) + ".png";
    ASSERT_EQ(RunTool(With(World, {"--steps", std::to_string(shown[i]), "--picture", png})).ExitCode, 0);
    std::uint32_t width = 0, height = 0;
    const std::vector<std::uint32_t> picture = DecodePng(ReadFile(png), width, height);
    EXPECT_TRUE(movie.Frames[i] == picture) << "frame " << i << " (step " << shown[i] << ")";
  }
  EXPECT_NE(movie.Frames.front(), movie.Frames.back());
}

struct TFormat {
  const char* Extension;
  const char* Container;
  const char* Codec;
  const char* Pixels;
  int Width, Height;
  // Lossless: every frame as the lossless movie has it. Lossy: of the
  // pixels of each model colour, the share at least whose nearest model
  // colour is still that one (the 2 x 2 red dots lose most to the halved
  // colour resolution).
  bool Lossless;
  double Share = 1;
};

void PrintTo(const TFormat& c, std::ostream* os) { *os << c.Extension; }

class MovieCliFormat : public ::testing::TestWithParam<TFormat> {};

// Of the pixels of each model colour (white, black, red) in the exact
// frame, the smallest share whose nearest model colour in the coded frame
// (codedWidth wide) is the same.
double SmallestShareKept(const std::vector<std::uint32_t>& coded, int codedWidth,
                         const std::vector<std::uint32_t>& exact, int width) {
  constexpr std::uint32_t Colours[3] = {0xFFFFFFFFu, 0xFF000000u, 0xFFFF0000u};
  const auto nearest = [&](std::uint32_t pixel) {
    int best = 0;
    long bestDistance = -1;
    for (int c = 0; c < 3; ++c) {
      long distance = 0;
      for (int shift = 0; shift < 24; shift += 8) {
        const long d = static_cast<long>(pixel >> shift & 0xFF) - static_cast<long>(Colours[c] >> shift & 0xFF);
        distance += d * d;
      }
      if (bestDistance < 0 || distance < bestDistance) {
        best = c;
        bestDistance = distance;
      }
    }
    return best;
  };
  double kept[3] = {}, all[3] = {};
  for (std::size_t i = 0; i < exact.size(); ++i) {
    const std::size_t x = i % static_cast<std::size_t>(width), y = i / static_cast<std::size_t>(width);
    const int colour = nearest(exact[i]);
    all[colour] += 1;
    kept[colour] += nearest(coded[y * static_cast<std::size_t>(codedWidth) + x]) == colour;
  }
  double smallest = 1;
  for (int c = 0; c < 3; ++c) {
    if (all[c] > 0) smallest = std::min(smallest, kept[c] / all[c]);
  }
  return smallest;
}

TEST_P(MovieCliFormat, TheExtensionChoosesContainerAndCodec) {
  const TFormat& c = GetParam();
  const std::string dir = ScratchDir();
  const TArgs run = With(World, {"--steps", "30", "--movie-every", "3", "--fps", "10"});
  ASSERT_EQ(RunTool(With(run, {"--movie", dir + "/exact.mkv"})).ExitCode, 0);
  const std::string path = dir + "/run." + c.Extension;
  const TToolResult result = RunTool(With(run, {"--movie", path}));
  ASSERT_EQ(result.ExitCode, 0) << result.Err;
  const TMovie exact = DecodeMovie(dir + "/exact.mkv");
  const TMovie movie = DecodeMovie(path);
  EXPECT_EQ(movie.Container, c.Container);
  EXPECT_EQ(movie.Codec, c.Codec);
  EXPECT_EQ(movie.PixelFormat, c.Pixels);
  EXPECT_EQ(movie.Width, c.Width);
  EXPECT_EQ(movie.Height, c.Height);
  EXPECT_DOUBLE_EQ(movie.Rate, 10.0);
  ASSERT_EQ(movie.Frames.size(), 11u);
  ASSERT_EQ(exact.Frames.size(), 11u);
  for (std::size_t i = 0; i < movie.Frames.size(); ++i) {
    if (c.Lossless) {
      EXPECT_TRUE(movie.Frames[i] == exact.Frames[i]) << "frame " << i;
    } else {
      EXPECT_GE(SmallestShareKept(movie.Frames[i], movie.Width, exact.Frames[i], 131), c.Share)
          << "frame " << i;
    }
  }
  if (c.Container == std::string("mov,mp4,m4a,3gp,3g2,mj2")) {
    // The index before the media, for playback while it loads.
    const std::string bytes = ReadFile(path);
    EXPECT_LT(bytes.find("moov"), bytes.find("mdat"));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, MovieCliFormat,
    ::testing::Values(TFormat{"mp4", "mov,mp4,m4a,3gp,3g2,mj2", "h264", "yuv420p", 132, 98, false, 0.6},
                      TFormat{"webm", "matroska,webm", "vp9", "yuv420p", 132, 98, false, 0.6},
                      TFormat{"GIF", "gif", "gif", "bgra", 131, 97, true},
                      TFormat{"Mkv", "matroska,webm", "ffv1", "bgr0", 131, 97, true}),
    TPrintedName());

// A GIF counts its delays in hundredths of a second, and players show a
// delay below 2 as 10: above 50 frames a second it shows the last frame that
// began in each 1/50 s, and keeps the movie's time.
class MovieCliGifRate : public ::testing::TestWithParam<int> {};

TEST_P(MovieCliGifRate, EveryFrameLastsAtLeastTwoHundredthsAndTheMovieKeepsItsTime) {
  const int fps = GetParam();
  const std::string dir = ScratchDir();
  const TArgs run = With(World, {"--fps", std::to_string(fps)});
  ASSERT_EQ(RunTool(With(run, {"--movie", dir + "/exact.mkv"})).ExitCode, 0);
  const TToolResult result = RunTool(With(run, {"--movie", dir + "/run.gif"}));
  ASSERT_EQ(result.ExitCode, 0) << result.Err;
  const TMovie exact = DecodeMovie(dir + "/exact.mkv");
  const TMovie movie = DecodeMovie(dir + "/run.gif");
  const std::size_t frames = exact.Frames.size();
  ASSERT_GE(frames, 30u);
  // The frames shown: the last of each 1/50 s, or every one.
  std::vector<std::size_t> shown;
  for (std::size_t i = 0; i < frames; ++i) {
    const bool sameFiftieth = fps > 50 && i > 0 && 50 * i / fps == 50 * (i - 1) / fps;
    if (sameFiftieth) shown.pop_back();
    shown.push_back(i);
  }
  ASSERT_EQ(movie.Frames.size(), shown.size());
  ASSERT_EQ(movie.Durations.size(), shown.size());
  double total = 0;
  for (std::size_t k = 0; k < shown.size(); ++k) {
    EXPECT_TRUE(movie.Frames[k] == exact.Frames[shown[k]]) << "frame " << k << " shows frame " << shown[k];
    EXPECT_GE(movie.Durations[k], 0.02 - 1e-9) << "frame " << k;
    total += movie.Durations[k];
  }
  EXPECT_NEAR(total, static_cast<double>(frames) / fps, 0.01 + 1e-9);
}

INSTANTIATE_TEST_SUITE_P(Rates, MovieCliGifRate, ::testing::Values(25, 30, 50, 62, 100));

// The largest sizes each format takes, found by trying its encoder: a size
// just beyond is refused before the run, a size at the edge makes a movie.
struct TMovieSize {
  const char* Size;
  const char* Extension;
  // Empty: the movie is made, of CodedSize.
  const char* Refusal;
  const char* CodedSize = "";
};

void PrintTo(const TMovieSize& c, std::ostream* os) { *os << c.Size << "_" << c.Extension; }

class MovieCliSize : public ::testing::TestWithParam<TMovieSize> {};

TEST_P(MovieCliSize, EachFormatTakesTheSizesItsEncoderTakes) {
  const TMovieSize& c = GetParam();
  const TArgs args{"--agents", "0", "--steps", "0", "--size", c.Size};
  if (*c.Refusal != '\0') {
    ExpectRefused(With(args, {"--movie", std::string("@/run.") + c.Extension}),
                  "dla-batch: cannot make this movie: ", c.Refusal);
    return;
  }
  const std::string path = ScratchDir() + "/run." + c.Extension;
  const TToolResult result = RunTool(With(args, {"--movie", path}));
  ASSERT_EQ(result.ExitCode, 0) << result.Err;
  const TMovie movie = DecodeMovie(path);
  EXPECT_EQ(std::to_string(movie.Width) + "x" + std::to_string(movie.Height), c.CodedSize);
  EXPECT_EQ(movie.Frames.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, MovieCliSize,
    ::testing::Values(
        // FFmpeg's check of any picture, on the coded (even) sides.
        TMovieSize{"16384x16384", "mp4", "a .mp4 movie takes at most 16254x16254 pixels in this shape, not 16384x16384"},
        TMovieSize{"16384x16384", "webm", "a .webm movie takes at most 16254x16254 pixels in this shape"},
        TMovieSize{"16256x16256", "gif", "a .gif movie takes at most 16255x16255 pixels in this shape"},
        TMovieSize{"2048998x3", "mkv", "a .mkv movie takes at most 2048997x3 pixels in this shape"},
        // The codecs' own sides; an odd side is coded one longer.
        TMovieSize{"16385x3", "mp4", "a .mp4 movie takes at most 16384 pixels a side, not 16385x3"},
        TMovieSize{"16383x3", "mp4", "", "16384x4"},
        TMovieSize{"3x16385", "webm", "a .webm movie takes at most 16384 pixels a side"},
        TMovieSize{"3x16384", "webm", "", "4x16384"},
        TMovieSize{"65536x3", "gif", "a .gif movie takes at most 65535 pixels a side"},
        TMovieSize{"65535x3", "gif", "", "65535x3"},
        // FFV1's four slices.
        TMovieSize{"4460x4460", "mkv", "a .mkv movie takes at most 4458x4458 pixels in this shape"},
        TMovieSize{"20000x90", "mkv", "", "20000x90"}),
    TPrintedName());

TEST(MovieCli, AnMp4IntoAPipeComesInFragments) {
  const std::string dir = ScratchDir();
  const std::string fifo = dir + "/run.mp4";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::string received;
  std::thread reader([&] {
    const int fd = ::open(fifo.c_str(), O_RDONLY);
    char buffer[65536];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) received.append(buffer, static_cast<std::size_t>(n));
    ::close(fd);
  });
  const TToolResult result = RunTool(With(World, {"--steps", "20", "--movie", fifo}));
  reader.join();
  ASSERT_EQ(result.ExitCode, 0) << result.Err;
  const std::string copy = dir + "/copy.mp4";
  std::FILE* file = std::fopen(copy.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  std::fwrite(received.data(), 1, received.size(), file);
  std::fclose(file);
  EXPECT_NE(received.find("moof"), std::string::npos);
  EXPECT_EQ(DecodeMovie(copy).Frames.size(), 21u);
}

TEST(MovieCli, AnInterruptLeavesNoMovie) {
  const std::string dir = ScratchDir();
  // Threshold -1: a run that goes on, a frame a step.
  TRunningTool tool({"--agents", "1000", "--size", "200x200", "--threshold", "-1", "--seed", "1",
                     "--movie", dir + "/run.mkv"});
  // The series is written in blocks, so the sign of a run under way is the
  // movie's temporary file, which the encoder has begun.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  for (bool begun = false; !begun && std::chrono::steady_clock::now() < deadline;) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    for (const auto& entry : std::filesystem::directory_iterator(dir)) begun |= entry.file_size() > 0;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  ::kill(tool.Pid(), SIGTERM);
  EXPECT_TRUE(tool.EndsWithin(std::chrono::seconds(10)));
  const TToolResult result = tool.Finish(std::chrono::seconds(10));
  EXPECT_EQ(result.ExitCode, 128 + SIGTERM) << result.Err;
  EXPECT_TRUE(Contains(result.Err, "no file written")) << result.Err;
  EXPECT_TRUE(IsEmptyDir(dir));
}

// The encoder program on its own: its movie appears whole or not at all.
struct TEncoderRun {
  const char* Name;
  TArgs Args;
  // The input: a file of InputBytes bytes, or this file.
  std::size_t InputBytes;
  const char* Input;
  int ExitCode;
  // The one line on standard error (empty: none).
  const char* Error;
  // Whether the movie, and nothing else, is in the folder afterwards.
  bool Written;
};

void PrintTo(const TEncoderRun& c, std::ostream* os) { *os << c.Name; }

class MovieEncoderAlone : public ::testing::TestWithParam<TEncoderRun> {};

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool Sanitized = true;
#else
constexpr bool Sanitized = false;
#endif

TEST_P(MovieEncoderAlone, LeavesTheWholeMovieOrNothing) {
  const TEncoderRun& c = GetParam();
  const std::string dir = ScratchDir();
  std::string input = c.Input;
  if (input.empty()) {
    input = ScratchDir() + "/frames";
    std::FILE* file = std::fopen(input.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(std::string(c.InputBytes, '\xff').data(), 1, c.InputBytes, file);
    std::fclose(file);
  }
  TArgs args = c.Args;
  std::string program = DLA_ENCODE_PATH;
  if (c.Name == std::string("beyond_memory")) {
    // A codec that cannot have the memory it needs says so through FFmpeg's
    // log; the sanitizers need more address space than this.
    if (Sanitized) GTEST_SKIP() << "no address-space limit under a sanitizer";
    args.insert(args.begin(), {"-c", "ulimit -v 3000000; exec \"$0\" \"$@\"", program});
    program = "/bin/sh";
  }
  for (std::string& arg : args) {
    if (arg.front() == '@') arg = dir + arg.substr(1);
  }
  const TToolResult result = RunProgram({program, input}, args);
  EXPECT_EQ(result.ExitCode, c.ExitCode) << result.Err;
  if (*c.Error == '\0') {
    EXPECT_EQ(result.Err, "");
  } else {
    ASSERT_EQ(result.ErrLines().size(), 1u) << result.Err;
    EXPECT_TRUE(StartsWith(result.ErrLines()[0], c.Error)) << result.Err;
  }
  if (!c.Written) {
    EXPECT_TRUE(IsEmptyDir(dir));
    return;
  }
  ASSERT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);
  EXPECT_EQ(DecodeMovie(dir + "/run.mkv").Frames.size(), c.InputBytes / 400);
}

INSTANTIATE_TEST_SUITE_P(
    Runs, MovieEncoderAlone,
    ::testing::Values(
        TEncoderRun{"two_frames", {"--format", "mkv", "--size", "10x10", "--output", "@/run.mkv"}, 800, "", 0, "", true},
        TEncoderRun{"cut_frame", {"--format", "mp4", "--size", "10x10", "--output", "@/run.mp4"}, 500, "", 1,
                    "dla-encode: the input ended inside frame 2", false},
        TEncoderRun{"no_frame", {"--format", "gif", "--size", "10x10", "--output", "@/run.gif"}, 0, "", 1,
                    "dla-encode: a movie needs at least one frame", false},
        TEncoderRun{"beyond_memory", {"--format", "webm", "--size", "8000x8000", "--output", "@/run.webm"}, 0,
                    "/dev/zero", 1, "dla-encode: cannot start the encoder: Invalid argument (Failed to initialize", false},
        TEncoderRun{"too_large", {"--format", "mp4", "--size", "16385x3", "--output", "@/run.mp4"}, 0, "", 2,
                    "dla-encode: --size: a .mp4 movie takes at most 16384 pixels a side", false},
        TEncoderRun{"no_folder", {"--format", "mp4", "--size", "10x10", "--output", "@/no/run.mp4"}, 400, "", 2,
                    "dla-encode: --output: cannot write", false},
        TEncoderRun{"no_format", {"--size", "10x10", "--output", "@/run.mp4"}, 400, "", 2,
                    "dla-encode: --format is required", false}),
    TPrintedName());

TEST(MovieCli, TheEncoderAloneExplainsItself) {
  const TToolResult help = RunProgram({DLA_ENCODE_PATH}, {"--help"});
  EXPECT_EQ(help.ExitCode, 0);
  EXPECT_TRUE(StartsWith(help.Out, "Usage: dla-encode [OPTIONS]")) << help.Out;
  for (const char* option : {"--format NAME", "--size WxH", "--fps F", "--output FILE", "--threads N"}) {
    EXPECT_TRUE(Contains(help.Out, option)) << option;
  }
}

TEST(MovieCli, AnInterruptedEncoderLeavesNoMovie) {
  const std::string dir = ScratchDir();
  // Frames without end.
  TRunningTool tool(TProgram{DLA_ENCODE_PATH, "/dev/zero"},
                    {"--format", "mkv", "--size", "60x45", "--output", dir + "/run.mkv"});
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  for (bool begun = false; !begun && std::chrono::steady_clock::now() < deadline;) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    for (const auto& entry : std::filesystem::directory_iterator(dir)) begun |= entry.file_size() > 0;
  }
  ::kill(tool.Pid(), SIGTERM);
  const TToolResult result = tool.Finish(std::chrono::seconds(10));
  EXPECT_EQ(result.ExitCode, 128 + SIGTERM) << result.Err;
  ASSERT_EQ(result.ErrLines().size(), 1u) << result.Err;
  EXPECT_TRUE(Contains(result.Err, "; no movie written")) << result.Err;
  EXPECT_TRUE(IsEmptyDir(dir));
}

TEST(MovieCli, AFullDiskIsOneLineThatSaysWhy) {
  if (::access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full here";
  const std::string dir = ScratchDir();
  std::filesystem::create_symlink("/dev/full", dir + "/run.mp4");
  const TToolResult result = RunTool(With(World, {"--movie", dir + "/run.mp4"}));
  EXPECT_EQ(result.ExitCode, 1);
  ASSERT_EQ(result.ErrLines().size(), 1u) << result.Err;
  EXPECT_TRUE(StartsWith(result.ErrLines()[0],
                         "dla-batch: the movie encoder failed: cannot write the movie: No space left on device"))
      << result.Err;
}

TEST(MovieCli, AMissingOrFailingEncoderWritesNothing) {
  const std::string dir = ScratchDir();
  const TToolResult missing =
      RunTool(With(World, {"--movie", dir + "/run.mp4"}), {"DLA_ENCODE=" + dir + "/no-encoder"});
  EXPECT_EQ(missing.ExitCode, 2);
  EXPECT_EQ(missing.Out, "");
  EXPECT_TRUE(Contains(missing.Err, "cannot make movies: no movie encoder at")) << missing.Err;
  const TToolResult failing = RunTool(With(World, {"--movie", dir + "/run.mp4"}), {"DLA_ENCODE=/bin/false"});
  EXPECT_EQ(failing.ExitCode, 1);
  EXPECT_TRUE(Contains(failing.Err, "the movie encoder failed (exit status 1)")) << failing.Err;
  EXPECT_TRUE(IsEmptyDir(dir));
}

}  // namespace
}  // namespace dla::tools::test
