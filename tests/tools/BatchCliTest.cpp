// dla-batch run as a program: what a user or a script sees.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <ostream>
#include <thread>

#include "TRun.h"
#include "Render.h"
#include "PngPixels.h"
#include "TestNames.h"
#include "ToolProcess.h"
#include "Version.h"

namespace dla::tools::test {
namespace {

struct TBadRun {
  TArgs Args;
  const char* Message;
};

void PrintTo(const TBadRun& c, std::ostream* os) {
  for (const std::string& arg : c.Args) *os << arg << ' ';
}

class BatchCliBad : public ::testing::TestWithParam<TBadRun> {};

TEST_P(BatchCliBad, ExitsWithStatus2OneLineAndNoOutput) {
  ExpectRefused(GetParam().Args, "dla-batch: ", GetParam().Message);
}

// One of each kind; the options' own tables have the details.
INSTANTIATE_TEST_SUITE_P(
    Inputs, BatchCliBad,
    ::testing::Values(TBadRun{{"--bogus"}, "unknown option '--bogus'"},
                      TBadRun{{"--agents"}, "'--agents' needs a value"},
                      TBadRun{{"--agents", "many"}, "--agents: expected a whole number"},
                      // Shown escaped: one line, no control sequence.
                      TBadRun{{"--agents", "5\n\x1b[2J\xc2\x9b"}, "got '5\\n\\x1b[2J\\u009b'"},
                      TBadRun{{"--threshold", "abc"}, "'abc' is not a valid integer value"},
                      TBadRun{{"--size", "2x2"}, "at least 3x3"},
                      TBadRun{{"--picture", "@/no/such/dir/p.png"}, "--picture: cannot write"},
                      TBadRun{{"--picture", "@"}, "it is a directory"},
                      // A bad value after a good picture path: still nothing written.
                      TBadRun{{"--picture", "@/p.png", "--steps", "-1"}, "--steps"},
                      TBadRun{{"sweep2"}, "unexpected argument 'sweep2'"},
                      TBadRun{{"--measures", "@/m.csv"}, "--measures requires --measure-every"},
                      TBadRun{{"--sizes", "@/no/such/dir/s.csv"}, "--sizes: cannot write"},
                      TBadRun{{"--movie", "@/run.avi"}, "--movie: '"},
                      TBadRun{{"--movie", "@/no/such/dir/run.mp4"}, "--movie: cannot write"},
                      TBadRun{{"--movie-every", "5"}, "--movie-every requires --movie"},
                      TBadRun{{"--fps", "5"}, "--fps requires --movie"},
                      TBadRun{{"--threads", "257"}, "--threads: expected a whole number from 0 to 256"},
                      TBadRun{{"--movie", "@/run.gif", "--fps", "101"}, "--fps: expected a whole number from 1 to 100"},
                      TBadRun{{"--save-state-every", "5"}, "--save-state-every requires --save-state"},
                      TBadRun{{"--save-state", "@/p.png", "--picture", "@/p.png"}, "same file"},
                      TBadRun{{"--load-state", "@/none.dla", "--picture", "@/p.png"}, "--load-state: cannot read"}),
    TPrintedName());

TEST(BatchCli, HelpPrintsTheUsageAndVersionTheVersion) {
  const TToolResult help = RunTool({"--help"});
  EXPECT_EQ(help.ExitCode, 0);
  EXPECT_TRUE(StartsWith(help.Out, "Usage: dla-batch [OPTIONS]"));
  EXPECT_TRUE(help.Err.empty());
  const TToolResult version = RunTool({"--version"});
  EXPECT_EQ(version.ExitCode, 0);
  EXPECT_EQ(version.Out, std::string("dla-batch ") + Version + "\n");
  EXPECT_TRUE(version.Err.empty());
}

// The summary line's fields (seed, steps, free, aggregated); empty, and the
// test failed, if standard error holds anything else.
std::vector<long long> Summary(const TToolResult& result) {
  long long seed = 0, steps = 0, free = 0, aggregated = 0;
  int end = 0;
  if (std::sscanf(result.Err.c_str(), "seed=%lld steps=%lld free=%lld aggregated=%lld\n%n", &seed,
                  &steps, &free, &aggregated, &end) != 4 ||
      static_cast<std::size_t>(end) != result.Err.size() || Contains(result.Err, "-")) {
    ADD_FAILURE() << "standard error: " << result.Err;
    return {};
  }
  return {seed, steps, free, aggregated};
}

// The second field of a "step,free_agents" line.
int Free(const std::string& line) { return std::stoi(line.substr(line.find(',') + 1)); }

TEST(BatchCli, WritesOneLinePerStepUntilTheFirstStepWithoutAFreeAgent) {
  const TToolResult result =
      RunTool({"--size", "60x60", "--agents", "100", "--threshold", "3", "--seed", "7"});
  ASSERT_EQ(result.ExitCode, 0) << result.Err;
  const std::vector<std::string> lines = result.OutLines();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[0], "step,free_agents");
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const std::vector<std::string> fields = Split(lines[i], ',');
    ASSERT_EQ(fields.size(), 2u) << lines[i];
    EXPECT_EQ(std::stoul(fields[0]), i);
    // Free agents never rise, and only the last step has none.
    if (i > 1) {
      EXPECT_LE(Free(lines[i]), Free(lines[i - 1]));
    }
    EXPECT_EQ(Free(lines[i]) == 0, i == lines.size() - 1) << lines[i];
  }
  EXPECT_EQ(lines[1], "1,100");
  const std::vector<long long> summary = Summary(result);
  ASSERT_EQ(summary.size(), 4u);
  EXPECT_EQ(summary[0], 7);
  EXPECT_EQ(summary[1], static_cast<long long>(lines.size()) - 1);
  EXPECT_EQ(summary[2], 0);
  EXPECT_GT(summary[3], 0);
}

TEST(BatchCli, StopsAfterStepsAndCountsWhatIsStillFree) {
  const TToolResult none = RunTool({"--size", "60x60", "--agents", "50", "--steps", "0"});
  EXPECT_EQ(none.Out, "step,free_agents\n");
  EXPECT_EQ(Summary(none), (std::vector<long long>{Summary(none).at(0), 0, 50, 0}));

  // Threshold -1 is 65535: nothing aggregates, every step has every agent.
  const TToolResult capped =
      RunTool({"--size", "60x60", "--agents", "50", "--threshold", "-1", "--steps", "25"});
  EXPECT_EQ(capped.OutLines().size(), 26u);
  EXPECT_EQ(capped.OutLines().back(), "25,50");
  EXPECT_EQ(Summary(capped), (std::vector<long long>{Summary(capped).at(0), 25, 50, 0}));

  // No agents: the first step has none free and ends the run.
  EXPECT_EQ(RunTool({"--size", "60x60", "--agents", "0"}).Out, "step,free_agents\n1,0\n");
}

TEST(BatchCli, TheSameSeedGivesTheSameRunByteForByte) {
  const TArgs args{"--agents", "300", "--threshold", "4", "--seed", "123456789",
                   "--size", "120x90"};
  const TToolResult first = RunTool(args);
  const std::string dir = ScratchDir();
  // Measuring, however often, only looks; painting only paints.
  TArgs measured = args;
  measured.insert(measured.end(), {"--measure", "--measure-every", "1", "--measures",
                                   dir + "/m.csv", "--sizes", dir + "/s.csv", "--picture",
                                   dir + "/p.png"});
  const TToolResult second = RunTool(measured);
  ASSERT_EQ(first.ExitCode, 0);
  EXPECT_GT(first.Out.size(), 100u);
  EXPECT_EQ(first.Out, second.Out);
  ASSERT_EQ(second.ErrLines().size(), 2u);
  EXPECT_EQ(first.ErrLines(), std::vector<std::string>{second.ErrLines()[0]});
  // A different seed is a different run.
  TArgs other = args;
  other[5] = "123456790";
  EXPECT_NE(RunTool(other).Out, first.Out);

  // A step shared among threads (a lattice and a population big enough
  // that it is) makes the same run.
  const TArgs big{"--agents", "6000", "--threshold", "1", "--seed", "5", "--size", "4500x4500", "--steps", "40"};
  std::string outs[3];
  const char* threads[] = {"1", "2", "0"};
  for (int i = 0; i < 3; ++i) {
    TArgs shared = big;
    shared.insert(shared.end(), {"--threads", threads[i], "--measure"});
    const TToolResult result = RunTool(shared);
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    outs[i] = result.Out + result.Err;
  }
  EXPECT_EQ(outs[1], outs[0]);
  EXPECT_EQ(outs[2], outs[0]);
  EXPECT_TRUE(Contains(outs[0], "\n40,")) << outs[0];
}

TEST(BatchCli, TheReportedSeedOfAClockSeededRunRepeatsIt) {
  const TArgs args{"--agents", "300", "--threshold", "4", "--size", "120x90"};
  const TToolResult clocked = RunTool(args);
  ASSERT_EQ(clocked.ExitCode, 0);
  const std::vector<long long> summary = Summary(clocked);
  ASSERT_EQ(summary.size(), 4u);
  TArgs seeded = args;
  seeded.insert(seeded.end(), {"--seed", std::to_string(summary[0])});
  const TToolResult repeated = RunTool(seeded);
  EXPECT_EQ(repeated.Out, clocked.Out);
  EXPECT_EQ(repeated.Err, clocked.Err);
}

TEST(BatchCli, ThePictureHoldsExactlyTheCanvasPixels) {
  const std::string path = ScratchDir() + "/world.png";
  // An odd size: the last column and row of cells are drawn only in part.
  // Measured too: the picture must be the unmeasured run's.
  const TToolResult result =
      RunTool({"--agents", "400", "--threshold", "5", "--seed", "99", "--size", "131x97", "--steps",
               "60", "--picture", path, "--measure"});
  ASSERT_EQ(result.ExitCode, 0) << result.Err;
  std::uint32_t width = 0, height = 0;
  const std::vector<std::uint32_t> picture = DecodePng(ReadFile(path), width, height);
  ASSERT_FALSE(picture.empty());

  TRun::TSettings settings;
  settings.DrawingWidth = 131;
  settings.DrawingHeight = 97;
  settings.Agents = 400;
  settings.ThresholdText = "5";
  settings.Seed = 99;
  TRun run(settings);
  run.RunFor(60, [](const StepResult&) {});
  TCanvas canvas(131, 97);
  Render(run.World(), canvas);
  ASSERT_EQ(width, static_cast<std::uint32_t>(canvas.Width()));
  ASSERT_EQ(height, static_cast<std::uint32_t>(canvas.Height()));
  int differing = 0;
  bool black = false, red = false, white = false;
  for (int y = 0; y < canvas.Height(); ++y) {
    for (int x = 0; x < canvas.Width(); ++x) {
      const std::uint32_t pixel = picture[static_cast<std::size_t>(y) * width + x];
      differing += pixel != canvas.Pixel(x, y);
      black |= pixel == 0xFF000000u;
      red |= pixel == 0xFFFF0000u;
      white |= pixel == 0xFFFFFFFFu;
    }
  }
  EXPECT_EQ(differing, 0);
  EXPECT_TRUE(black && red && white) << "expected aggregate, agents and open cells";
}

TEST(BatchCli, MeasuresTheAggregatesAtTheEndAndEveryKSteps) {
  const std::string dir = ScratchDir();
  const TToolResult result = RunTool({"--agents", "300", "--threshold", "4", "--seed", "11",
                                      "--size", "120x90", "--measure", "--measure-every", "7",
                                      "--measures", dir + "/m.csv", "--sizes", dir + "/s.csv"});
  ASSERT_EQ(result.ExitCode, 0) << result.Err;
  const std::vector<std::string> err = result.ErrLines();
  ASSERT_EQ(err.size(), 2u) << result.Err;
  // aggregates=A largest=L mean_size=M gyration=G dimension=D r2=R, all
  // present here.
  long long aggregatesSeen = 0, largest = 0;
  double meanSize = 0, gyration = 0, dimension = 0, r2 = 0;
  int end = 0;
  ASSERT_EQ(std::sscanf(err[1].c_str(),
                        "aggregates=%lld largest=%lld mean_size=%lf gyration=%lf dimension=%lf "
                        "r2=%lf%n",
                        &aggregatesSeen, &largest, &meanSize, &gyration, &dimension, &r2, &end),
            6)
      << err[1];
  EXPECT_EQ(static_cast<std::size_t>(end), err[1].size()) << err[1];
  const std::vector<long long> summary = Summary({true, 0, "", err[0] + "\n"});
  ASSERT_EQ(summary.size(), 4u);
  const long long steps = summary[1];
  const long long aggregated = summary[3];

  // The size distribution adds up to the aggregated cells and the line.
  const std::vector<std::string> sizes = Split(ReadFile(dir + "/s.csv"), '\n');
  ASSERT_GE(sizes.size(), 2u);
  EXPECT_EQ(sizes[0], "size,count");
  long long cells = 0, aggregates = 0, previous = 0;
  for (std::size_t i = 1; i < sizes.size(); ++i) {
    const std::vector<std::string> fields = Split(sizes[i], ',');
    ASSERT_EQ(fields.size(), 2u) << sizes[i];
    const long long size = std::stoll(fields[0]), count = std::stoll(fields[1]);
    EXPECT_GT(size, previous) << "sizes in increasing order";
    previous = size;
    cells += size * count;
    aggregates += count;
  }
  EXPECT_EQ(cells, aggregated);
  EXPECT_EQ(aggregates, aggregatesSeen);
  EXPECT_EQ(previous, largest);
  EXPECT_NEAR(meanSize * static_cast<double>(aggregates), static_cast<double>(cells),
              static_cast<double>(cells) * 1e-5);

  // Steps 7, 14, ... only.
  const std::vector<std::string> rows = Split(ReadFile(dir + "/m.csv"), '\n');
  ASSERT_EQ(rows.size(), static_cast<std::size_t>(1 + steps / 7));
  EXPECT_EQ(rows[0], "step,aggregates,largest,mean_size,gyration,dimension,r2");
  for (std::size_t i = 1; i < rows.size(); ++i) {
    const std::vector<std::string> fields = Split(rows[i] + ",", ',');
    ASSERT_EQ(fields.size(), 7u) << rows[i];
    EXPECT_EQ(std::stoul(fields[0]), 7 * i);
  }
}

TEST(BatchCli, MeasuresWithoutAnAggregateOrWithOneRoundTheTorus) {
  const std::string dir = ScratchDir();
  // Nothing aggregates with threshold -1; all is empty in the files.
  const TToolResult none = RunTool({"--agents", "50", "--threshold", "-1", "--steps", "4", "--size",
                                    "60x60", "--measure", "--measure-every", "2", "--measures",
                                    dir + "/m.csv", "--sizes", dir + "/s.csv"});
  ASSERT_EQ(none.ErrLines().size(), 2u);
  EXPECT_EQ(none.ErrLines()[1],
            "aggregates=0 largest=0 mean_size=none gyration=none dimension=none r2=none");
  EXPECT_EQ(ReadFile(dir + "/m.csv"),
            "step,aggregates,largest,mean_size,gyration,dimension,r2\n"
            "2,0,0,,,,\n4,0,0,,,,\n");
  EXPECT_EQ(ReadFile(dir + "/s.csv"), "size,count\n");
  // Threshold 0 on a 10 x 10 lattice: every occupied cell aggregates at
  // once, and 200 agents leave no row or column open. Two box sides only:
  // no dimension.
  const TToolResult full = RunTool(
      {"--agents", "200", "--threshold", "0", "--size", "30x30", "--seed", "1", "--measure"});
  ASSERT_EQ(full.ErrLines().size(), 2u);
  EXPECT_TRUE(StartsWith(full.ErrLines()[1], "aggregates=1 largest="));
  EXPECT_TRUE(Contains(full.ErrLines()[1], " gyration=wraps dimension=none r2=none"));
}

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
// Under an address-space limit (what a cluster job or `ulimit -v` sets) a
// world that cannot fit is refused before any of it is taken, as a bad
// argument is; one that fits still runs. The sanitizers reserve more
// address space than any such limit, so their builds cannot take part.
TEST(BatchCli, ARunThatTheMemoryLeftCannotHoldIsRefusedBeforeItStarts) {
  struct TCase {
    TArgs Args;
    int ExitCode;
    const char* Message;
  };
  const std::string dir = ScratchDir();
  const TCase cases[] = {
      {{"--size", "16384x16384", "--picture", dir + "/p.png"}, 2, "a 16384x16384 drawing area with 2000 agents needs about"},
      {{"--agents", "100000000", "--steps", "1"}, 2, "a 404x404 drawing area with 100000000 agents needs about"},
      {{"sweep", "--size", "16384x16384", "--agents", "10,20", "--jobs", "2"}, 2,
       "--size: a 16384x16384 drawing area with 20 agents needs about"},
      {{"--size", "1000x1000", "--agents", "100000", "--steps", "2"}, 0, ""},
  };
  for (const TCase& c : cases) {
    TArgs args{"--as=1000000000", DLA_BATCH_PATH};
    args.insert(args.end(), c.Args.begin(), c.Args.end());
    const TToolResult result = RunProgram({"/usr/bin/prlimit"}, args);
    SCOPED_TRACE(result.Err);
    EXPECT_TRUE(result.Exited);
    EXPECT_EQ(result.ExitCode, c.ExitCode);
    if (c.ExitCode == 0) continue;
    ASSERT_EQ(result.ErrLines().size(), 1u);
    EXPECT_TRUE(StartsWith(result.Err, "dla-batch"));
    EXPECT_TRUE(Contains(result.Err, c.Message));
    EXPECT_TRUE(Contains(result.Err, "GiB is available"));
    EXPECT_TRUE(result.Out.empty());
    EXPECT_TRUE(IsEmptyDir(dir));
  }
}
#endif

TEST(BatchCli, AnInterruptEndsEvenAWriteBlockedOnAFullPipeAndWritesNoPicture) {
  const std::string dir = ScratchDir();
  // Threshold -1: a run that would go on for a million steps, writing a
  // line per step into a pipe that nobody reads after the first bytes.
  // A small world steps fast enough to fill the pipe in a fraction of a
  // second.
  TRunningTool tool({"--agents", "1000", "--size", "100x100", "--threshold", "-1", "--seed", "1",
                     "--picture", dir + "/p.png"});
  // Standard output starts once the run has begun, which is after the
  // handler is in place and the picture file is open.
  ASSERT_TRUE(tool.WaitForOutput(std::chrono::seconds(10)));
  // Long enough for the run to fill the pipe's 64 KiB and block in write().
  std::this_thread::sleep_for(std::chrono::seconds(1));
  ::kill(tool.Pid(), SIGTERM);
  EXPECT_TRUE(tool.EndsWithin(std::chrono::seconds(10)))
      << "a signal must cut a blocked write short, not wait for the reader";
  const TToolResult result = tool.Finish(std::chrono::seconds(10));
  EXPECT_TRUE(result.Exited);
  EXPECT_EQ(result.ExitCode, 128 + SIGTERM);
  EXPECT_TRUE(Contains(result.Err, "interrupted"));
  EXPECT_TRUE(IsEmptyDir(dir));
}

// Outputs that are not new regular files: each case names what it makes in
// a fresh folder, and checks what is there afterwards.
struct TSpecialTarget {
  const char* Name;
  // Makes the target in dir and returns the arguments after "--seed 1
  // --steps 20"; an empty result skips the case (not permitted here).
  std::function<TArgs(const std::string& dir)> Make;
  EStdout Out;
  int ExitCode;
  bool SeriesOnStdout;
  std::function<void(const std::string& dir)> Check;
};

void PrintTo(const TSpecialTarget& c, std::ostream* os) { *os << c.Name; }

std::string FileKind(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return "missing";
  if (S_ISREG(info.st_mode)) return "regular";
  if (S_ISCHR(info.st_mode)) return "character device";
  if (S_ISFIFO(info.st_mode)) return "fifo";
  if (S_ISLNK(info.st_mode)) return "symlink";
  return "other";
}

constexpr std::string_view PngSignature = "\x89PNG\r\n\x1a\n";

// A FIFO's reader, which dla-batch's open waits for.
std::string FifoText;
std::thread FifoReader;

class BatchCliSpecialTarget : public ::testing::TestWithParam<TSpecialTarget> {};

TEST_P(BatchCliSpecialTarget, IsWrittenInPlaceOrRefusedBeforeTheRun) {
  const TSpecialTarget& c = GetParam();
  const std::string dir = ScratchDir();
  TArgs args = c.Make(dir);
  if (args.empty()) GTEST_SKIP() << "cannot make " << c.Name << " here";
  args.insert(args.begin(), {"--seed", "1", "--steps", "20"});
  const TToolResult result = RunTool(args, {}, c.Out);
  if (FifoReader.joinable()) FifoReader.join();
  EXPECT_TRUE(result.Exited);
  EXPECT_EQ(result.ExitCode, c.ExitCode) << result.Err;
  if (c.SeriesOnStdout) {
    EXPECT_TRUE(StartsWith(result.Out, "step,free_agents\n"));
  } else {
    EXPECT_EQ(result.Out, "");
  }
  if (c.ExitCode == 2) {
    EXPECT_EQ(result.ErrLines().size(), 1u) << result.Err;
  }
  c.Check(dir);
}

INSTANTIATE_TEST_SUITE_P(
    Targets, BatchCliSpecialTarget,
    ::testing::Values(
        TSpecialTarget{"device node",
                       [](const std::string& dir) {
                         const std::string node = dir + "/null";
                         if (::mknod(node.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) {
                           return TArgs{};
                         }
                         return TArgs{"--picture", node};
                       },
                       EStdout::Captured, 0, true,
                       [](const std::string& dir) {
                         EXPECT_EQ(FileKind(dir + "/null"), "character device");
                       }},
        TSpecialTarget{"fifo",
                       [](const std::string& dir) {
                         const std::string fifo = dir + "/f";
                         EXPECT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
                         FifoText.clear();
                         // Opened here, so that dla-batch's open finds a
                         // reader; read with a time limit, so that a
                         // program that never writes fails the case
                         // rather than hanging it.
                         const int fd = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
                         EXPECT_GE(fd, 0);
                         FifoReader = std::thread([fd] {
                           const auto deadline =
                               std::chrono::steady_clock::now() + std::chrono::seconds(60);
                           char buffer[4096];
                           while (std::chrono::steady_clock::now() < deadline) {
                             pollfd p{fd, POLLIN, 0};
                             ::poll(&p, 1, 100);
                             const ssize_t n = ::read(fd, buffer, sizeof buffer);
                             if (n > 0) FifoText.append(buffer, static_cast<std::size_t>(n));
                             // End of file once a writer has come and gone.
                             if (n == 0 && !FifoText.empty()) break;
                           }
                           ::close(fd);
                         });
                         return TArgs{"--picture", fifo};
                       },
                       EStdout::Captured, 0, true,
                       [](const std::string& dir) {
                         EXPECT_EQ(FileKind(dir + "/f"), "fifo");
                         EXPECT_TRUE(StartsWith(FifoText, PngSignature));
                       }},
        TSpecialTarget{"dev stdout, which is the series' own pipe",
                       [](const std::string&) { return TArgs{"--sizes", "/dev/stdout"}; },
                       EStdout::Captured, 2, false,
                       [](const std::string& dir) { EXPECT_TRUE(IsEmptyDir(dir)); }},
        TSpecialTarget{"dangling symlink to the other output",
                       [](const std::string& dir) {
                         EXPECT_EQ(::symlink("s.csv", (dir + "/link.csv").c_str()), 0);
                         return TArgs{"--measure-every", "5", "--measures", dir + "/link.csv",
                                      "--sizes", dir + "/s.csv"};
                       },
                       EStdout::Captured, 2, false,
                       [](const std::string& dir) {
                         EXPECT_EQ(FileKind(dir + "/link.csv"), "symlink");
                         EXPECT_EQ(FileKind(dir + "/s.csv"), "missing");
                       }},
        TSpecialTarget{"256-byte name",
                       [](const std::string& dir) {
                         return TArgs{"--picture", dir + "/" + std::string(252, 'a') + ".png"};
                       },
                       EStdout::Captured, 2, false,
                       [](const std::string& dir) { EXPECT_TRUE(IsEmptyDir(dir)); }},
        TSpecialTarget{"closed stdout",
                       [](const std::string& dir) { return TArgs{"--picture", dir + "/p.png"}; },
                       EStdout::Closed, 0, false,
                       [](const std::string& dir) {
                         EXPECT_EQ(FileKind(dir + "/p.png"), "regular");
                         EXPECT_TRUE(StartsWith(ReadFile(dir + "/p.png"), PngSignature));
                       }}),
    TPrintedName());

}  // namespace
}  // namespace dla::tools::test
