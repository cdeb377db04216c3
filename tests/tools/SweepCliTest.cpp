// dla-batch sweep run as a program.
#include <gtest/gtest.h>

#include <ostream>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <csignal>
#include <filesystem>
#include <thread>

#include "ToolProcess.h"

namespace dla::tools::test {
namespace {

// A small sweep: 20 x 20 cells, runs of a few dozen steps.
const QStringList Small{"--size", "60x60", "--agents", "60,100", "--threshold", "2..4",
                        "--runs", "4", "--seed", "4294967294", "--steps", "400"};

const char* const Header =
    "agents,threshold,seed,steps,ended,aggregated_cells,stuck_agents,aggregates,largest,mean_size,"
    "gyration,dimension,r2";

TToolResult Sweep(const QStringList& args) { return RunTool(QStringList{"sweep"} + args); }

struct TBadSweep {
  QStringList Args;
  const char* Message;
};

void PrintTo(const TBadSweep& c, std::ostream* os) { *os << c.Args.join(' ').toStdString(); }

class SweepCliBad : public ::testing::TestWithParam<TBadSweep> {};

TEST_P(SweepCliBad, ExitsWithStatus2BeforeAnyRun) {
  const QString dir = ScratchDir();
  QStringList args = GetParam().Args;
  args.replaceInStrings("@", dir);
  const TToolResult result = Sweep(args);
  EXPECT_EQ(result.Status, QProcess::NormalExit);
  EXPECT_EQ(result.ExitCode, 2);
  EXPECT_TRUE(result.Out.isEmpty()) << result.Out.toStdString();
  ASSERT_EQ(result.ErrLines().size(), 1) << result.Err.toStdString();
  EXPECT_TRUE(result.ErrLines()[0].startsWith("dla-batch sweep: "));
  EXPECT_TRUE(result.ErrLines()[0].contains(GetParam().Message)) << result.Err.toStdString();
  EXPECT_TRUE(QDir(dir).isEmpty()) << "a file was left in the output directory";
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, SweepCliBad,
    ::testing::Values(
        TBadSweep{{"--threshold", "8..3"}, "reversed"},
        TBadSweep{{"--threshold", "3.."}, "end missing"},
        TBadSweep{{"--agents", ""}, "the list is empty"},
        TBadSweep{{"--agents", "100..200:0"}, "step 0"},
        TBadSweep{{"--threshold", "3,six"}, "'six'"},
        TBadSweep{{"--shard", "3/2", "--seed", "1"}, "1 <= I <= N"},
        TBadSweep{{"--shard", "0/4", "--seed", "1"}, "1 <= I <= N"},
        TBadSweep{{"--shard", "1/4"}, "--shard needs --seed"}, TBadSweep{{"--jobs", "0"}, "--jobs"},
        TBadSweep{{"--series", "@/missing/s.csv"}, "--series: cannot write"},
        // The series file was fine; the plot's path is not: neither is left.
        TBadSweep{{"--series", "@/s.csv", "--plot", "@/missing/p.png"}, "--plot: cannot write"},
        TBadSweep{{"--series", "@/same", "--plot", "@/same"}, "the same file"},
        TBadSweep{{"--plot-measure", "volume", "@/m.png"}, "expected one of aggregates,largest,"},
        TBadSweep{{"--plot", "@/same", "--plot-measure", "r2", "@/same"}, "the same file"}));

TEST(SweepCli, PrintsOneSortedRowPerRunAndASummaryPerCombination) {
  const TToolResult result = Sweep(Small + QStringList{"--jobs", "2"});
  ASSERT_EQ(result.ExitCode, 0) << result.Err.toStdString();
  const QStringList lines = result.OutLines();
  ASSERT_EQ(lines.size(), 1 + 2 * 3 * 4);
  EXPECT_EQ(lines[0], Header);
  // Seeds 4294967294, 4294967295, 0, 1: sorted, the wrapped ones first.
  EXPECT_TRUE(lines[1].startsWith("60,2,0,"));
  EXPECT_TRUE(lines[2].startsWith("60,2,1,"));
  EXPECT_TRUE(lines[3].startsWith("60,2,4294967294,"));
  EXPECT_TRUE(lines[4].startsWith("60,2,4294967295,"));
  EXPECT_TRUE(lines[24].startsWith("100,4,4294967295,"));
  for (int i = 1; i < lines.size(); ++i) {
    const QStringList fields = lines[i].split(',');
    ASSERT_EQ(fields.size(), 13);
    // Every run here ends well within 400 steps, all its agents stuck.
    EXPECT_EQ(fields[4], "1") << lines[i].toStdString();
    EXPECT_EQ(fields[6], fields[0]) << lines[i].toStdString();
    // The aggregates partition the aggregated cells.
    const int cells = fields[5].toInt(), aggregates = fields[7].toInt(),
              largest = fields[8].toInt();
    EXPECT_TRUE(aggregates >= 1 && largest >= 1 && largest <= cells) << lines[i].toStdString();
    EXPECT_NEAR(aggregates * fields[9].toDouble(), cells, cells * 1e-5) << lines[i].toStdString();
  }

  const QStringList err = result.ErrLines();
  ASSERT_EQ(err.size(), 2 + 6) << result.Err.toStdString();
  EXPECT_TRUE(err[0].startsWith("seed=4294967294 runs=24 jobs=2"));
  EXPECT_EQ(err[1].simplified(),
            "agents threshold runs mean_steps sd_steps min_steps max_steps ended mean_aggregates "
            "sd_aggregates mean_largest sd_largest mean_dimension sd_dimension");
  EXPECT_TRUE(err[2].simplified().startsWith("60 2 4 "));
  EXPECT_TRUE(err[7].simplified().startsWith("100 4 4 "));
  // Every run ended; every run has a dimension on this 20 x 20 lattice.
  const QStringList last = err[7].simplified().split(' ');
  ASSERT_EQ(last.size(), 14);
  EXPECT_EQ(last[7], "4");
  EXPECT_NE(last[12], "none");
}

TEST(SweepCli, RunsThatReachStepsAreNotEnded) {
  const TToolResult result =
      Sweep({"--size", "60x60", "--agents", "50", "--threshold", "65535", "--runs", "2",
             "--seed", "5", "--steps", "30"});
  ASSERT_EQ(result.ExitCode, 0);
  // No aggregate: no mean size, gyration or dimension, left empty.
  EXPECT_EQ(result.Out,
            QByteArray(Header) + "\n50,65535,5,30,0,0,0,0,0,,,,\n50,65535,6,30,0,0,0,0,0,,,,\n");
}

TEST(SweepCli, OutputIsTheSameForOneJobAndForTwo) {
  const QString dir = ScratchDir();
  const TToolResult one =
      Sweep(Small + QStringList{"--jobs", "1", "--series", dir + "/one.csv"});
  const TToolResult two =
      Sweep(Small + QStringList{"--jobs", "2", "--series", dir + "/two.csv"});
  ASSERT_EQ(one.ExitCode, 0);
  ASSERT_EQ(two.ExitCode, 0);
  EXPECT_EQ(one.Out, two.Out);
  const QByteArray series = ReadFile(dir + "/one.csv");
  EXPECT_GT(series.count('\n'), 24 * 5);
  EXPECT_EQ(series, ReadFile(dir + "/two.csv"));
  // The summary table too (the first line differs in jobs and time).
  EXPECT_EQ(one.ErrLines().mid(1), two.ErrLines().mid(1));
}

// The union of the shares is the whole sweep: shard_scripts_test.sh runs
// the shares through the job-array and merge scripts.

TEST(SweepCli, ARunOfTheSweepRepeatedAloneGivesTheSameSeries) {
  const QString path = ScratchDir() + "/series.csv";
  const TToolResult sweep = Sweep(Small + QStringList{"--series", path});
  ASSERT_EQ(sweep.ExitCode, 0);
  QStringList series = QString::fromUtf8(ReadFile(path)).split('\n', Qt::SkipEmptyParts);
  ASSERT_FALSE(series.isEmpty());
  EXPECT_EQ(series.takeFirst(), "agents,threshold,seed,step,free_agents");
  // Two runs, one with a wrapped seed.
  for (const QString& key : {QString("100,3,1,"), QString("60,4,4294967295,")}) {
    QByteArray expected = "step,free_agents\n";
    for (const QString& line : series) {
      if (line.startsWith(key)) expected += line.mid(key.size()).toUtf8() + "\n";
    }
    const QStringList fields = key.split(',');
    const TToolResult alone = RunTool({"--size", "60x60", "--steps", "400", "--agents", fields[0],
                                       "--threshold", fields[1], "--seed", fields[2]});
    ASSERT_EQ(alone.ExitCode, 0);
    EXPECT_GT(expected.count('\n'), 3);
    EXPECT_EQ(alone.Out, expected) << key.toStdString();
  }
}

TEST(SweepCli, ThePlotsArePngsOfTheExpectedSize) {
  const QString dir = ScratchDir();
  const TToolResult result =
      Sweep(Small +
            QStringList{"--plot", dir + "/plot.png", "--plot-measure", "gyration", dir + "/g.png"});
  ASSERT_EQ(result.ExitCode, 0) << result.Err.toStdString();
  for (const QString name : {"plot.png", "g.png"}) {
    QImageReader reader(dir + "/" + name);
    EXPECT_EQ(reader.format(), "png") << name.toStdString();
    EXPECT_EQ(reader.size(), QSize(1200, 800));
    // One line per combination: SweepPlotTest looks inside the axes.
    EXPECT_FALSE(reader.read().isNull());
  }
}

TEST(SweepCli, AnInterruptStopsPromptlyAndLeavesNoFile) {
  const QString dir = ScratchDir();
  QProcess process;
  // Threshold 65535: runs that would go on for a million steps each.
  process.start(QStringLiteral(DLA_BATCH_PATH),
                {"sweep", "--agents", "1000", "--threshold", "65535", "--runs", "4", "--seed",
                 "1", "--jobs", "2", "--series", dir + "/s.csv", "--plot", dir + "/p.png"});
  ASSERT_TRUE(process.waitForStarted());
  // The output files are opened (unnamed, until committed) after the
  // interrupt handler is in place: wait until the process holds them.
  const std::filesystem::path fds = "/proc/" + std::to_string(process.processId()) + "/fd";
  bool open = false;
  for (int i = 0; i < 1000 && !open; ++i) {
    std::error_code error;
    for (const auto& fd : std::filesystem::directory_iterator(fds, error)) {
      const auto target = std::filesystem::read_symlink(fd.path(), error);
      open |= !error && target.string().rfind(dir.toStdString(), 0) == 0;
    }
    if (!open) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_TRUE(open);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  const auto start = std::chrono::steady_clock::now();
  ::kill(static_cast<pid_t>(process.processId()), SIGINT);
  ASSERT_TRUE(process.waitForFinished(10'000));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(process.exitCode(), 128 + SIGINT);
  EXPECT_TRUE(process.readAllStandardOutput().isEmpty());
  EXPECT_TRUE(process.readAllStandardError().contains("interrupted"));
  EXPECT_TRUE(QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
}

}  // namespace
}  // namespace dla::tools::test
