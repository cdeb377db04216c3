// dla-batch run as a program: what a user or a script sees.
#include <gtest/gtest.h>

#include <ostream>

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QRegularExpression>
#include <csignal>
#include <thread>

#include "BatchRun.h"
#include "ToolProcess.h"

namespace dla::tools::test {
namespace {

struct TBadRun {
  QStringList Args;
  const char* Message;
};

void PrintTo(const TBadRun& c, std::ostream* os) { *os << c.Args.join(' ').toStdString(); }

class BatchCliBad : public ::testing::TestWithParam<TBadRun> {};

TEST_P(BatchCliBad, ExitsWithStatus2OneLineAndNoOutput) {
  const QString dir = ScratchDir();
  QStringList args = GetParam().Args;
  args.replaceInStrings("@", dir);
  const TToolResult result = RunTool(args);
  EXPECT_EQ(result.Status, QProcess::NormalExit);
  EXPECT_EQ(result.ExitCode, 2);
  EXPECT_TRUE(result.Out.isEmpty()) << result.Out.toStdString();
  ASSERT_EQ(result.ErrLines().size(), 1) << result.Err.toStdString();
  EXPECT_TRUE(result.ErrLines()[0].startsWith("dla-batch: ")) << result.Err.toStdString();
  EXPECT_TRUE(result.ErrLines()[0].contains(GetParam().Message)) << result.Err.toStdString();
  EXPECT_TRUE(QDir(dir).isEmpty()) << "a file was left in the output directory";
}

// One of each kind; the options' own tables have the details.
INSTANTIATE_TEST_SUITE_P(
    Inputs, BatchCliBad,
    ::testing::Values(TBadRun{{"--bogus"}, "unknown option '--bogus'"},
                      TBadRun{{"--agents"}, "'--agents' needs a value"},
                      TBadRun{{"--agents", "many"}, "--agents: expected a whole number"},
                      TBadRun{{"--threshold", "abc"}, "'abc' is not a valid integer value"},
                      TBadRun{{"--size", "2x2"}, "at least 3x3"},
                      TBadRun{{"--picture", "@/no/such/dir/p.png"}, "--picture: cannot write"},
                      TBadRun{{"--picture", "@"}, "it is a directory"},
                      // A bad value after a good picture path: still nothing written.
                      TBadRun{{"--picture", "@/p.png", "--steps", "-1"}, "--steps"},
                      TBadRun{{"sweep2"}, "unexpected argument 'sweep2'"},
                      TBadRun{{"--measures", "@/m.csv"}, "--measure-every K and --measures"},
                      TBadRun{{"--sizes", "@/no/such/dir/s.csv"}, "--sizes: cannot write"}));

TEST(BatchCli, HelpPrintsTheUsage) {
  const TToolResult result = RunTool({"--help"});
  EXPECT_EQ(result.ExitCode, 0);
  EXPECT_TRUE(result.Out.startsWith("Usage: dla-batch [OPTIONS]"));
  EXPECT_TRUE(result.Err.isEmpty());
}

// The summary line's fields (seed, steps, free, aggregated); empty, and the
// test failed, if standard error holds anything else.
std::vector<qint64> Summary(const TToolResult& result) {
  static const QRegularExpression pattern(
      QStringLiteral("^seed=(\\d+) steps=(\\d+) free=(\\d+) aggregated=(\\d+)\n$"));
  const auto match = pattern.match(QString::fromUtf8(result.Err));
  if (!match.hasMatch()) {
    ADD_FAILURE() << "standard error: " << result.Err.toStdString();
    return {};
  }
  return {match.captured(1).toLongLong(), match.captured(2).toLongLong(),
          match.captured(3).toLongLong(), match.captured(4).toLongLong()};
}

TEST(BatchCli, WritesOneLinePerStepUntilTheFirstStepWithoutAFreeAgent) {
  const TToolResult result =
      RunTool({"--size", "60x60", "--agents", "100", "--threshold", "3", "--seed", "7"});
  ASSERT_EQ(result.ExitCode, 0) << result.Err.toStdString();
  const QStringList lines = result.OutLines();
  ASSERT_GE(lines.size(), 3);
  EXPECT_EQ(lines[0], "step,free_agents");
  for (int i = 1; i < lines.size(); ++i) {
    const QStringList fields = lines[i].split(',');
    ASSERT_EQ(fields.size(), 2) << lines[i].toStdString();
    EXPECT_EQ(fields[0].toInt(), i);
    // Free agents never rise, and only the last step has none.
    if (i > 1) {
      EXPECT_LE(fields[1].toInt(), lines[i - 1].split(',')[1].toInt());
    }
    EXPECT_EQ(fields[1].toInt() == 0, i == lines.size() - 1) << lines[i].toStdString();
  }
  EXPECT_EQ(lines[1], "1,100");
  const std::vector<qint64> summary = Summary(result);
  ASSERT_EQ(summary.size(), 4u);
  EXPECT_EQ(summary[0], 7);
  EXPECT_EQ(summary[1], lines.size() - 1);
  EXPECT_EQ(summary[2], 0);
  EXPECT_GT(summary[3], 0);
}

TEST(BatchCli, StopsAfterStepsAndCountsWhatIsStillFree) {
  const TToolResult none = RunTool({"--size", "60x60", "--agents", "50", "--steps", "0"});
  EXPECT_EQ(none.Out, "step,free_agents\n");
  EXPECT_EQ(Summary(none), (std::vector<qint64>{Summary(none).at(0), 0, 50, 0}));

  // Threshold -1 is 65535: nothing aggregates, every step has every agent.
  const TToolResult capped =
      RunTool({"--size", "60x60", "--agents", "50", "--threshold", "-1", "--steps", "25"});
  EXPECT_EQ(capped.OutLines().size(), 26);
  EXPECT_EQ(capped.OutLines().back(), "25,50");
  EXPECT_EQ(Summary(capped), (std::vector<qint64>{Summary(capped).at(0), 25, 50, 0}));

  // No agents: the first step has none free and ends the run.
  EXPECT_EQ(RunTool({"--size", "60x60", "--agents", "0"}).Out, "step,free_agents\n1,0\n");
}

TEST(BatchCli, TheSameSeedGivesTheSameRunByteForByte) {
  const QStringList args{"--agents", "300", "--threshold", "4", "--seed", "123456789",
                         "--size", "120x90"};
  const TToolResult first = RunTool(args);
  const QString dir = ScratchDir();
  // Measuring, however often, only looks.
  const TToolResult second =
      RunTool(args + QStringList{"--measure", "--measure-every", "1", "--measures", dir + "/m.csv",
                                 "--sizes", dir + "/s.csv"});
  ASSERT_EQ(first.ExitCode, 0);
  EXPECT_GT(first.Out.size(), 100);
  EXPECT_EQ(first.Out, second.Out);
  EXPECT_EQ(second.ErrLines().size(), 2);
  EXPECT_EQ(first.ErrLines(), second.ErrLines().mid(0, 1));
  // A different seed is a different run.
  QStringList other = args;
  other[other.indexOf("123456789")] = "123456790";
  EXPECT_NE(RunTool(other).Out, first.Out);
}

TEST(BatchCli, TheReportedSeedOfAClockSeededRunRepeatsIt) {
  const QStringList args{"--agents", "300", "--threshold", "4", "--size", "120x90"};
  const TToolResult clocked = RunTool(args);
  ASSERT_EQ(clocked.ExitCode, 0);
  const std::vector<qint64> summary = Summary(clocked);
  ASSERT_EQ(summary.size(), 4u);
  const TToolResult repeated = RunTool(args + QStringList{"--seed", QString::number(summary[0])});
  EXPECT_EQ(repeated.Out, clocked.Out);
  EXPECT_EQ(repeated.Err, clocked.Err);
}

TEST(BatchCli, ThePictureHoldsExactlyTheCanvasPixels) {
  const QString path = ScratchDir() + "/world.png";
  // An odd size: the last column and row of cells are drawn only in part.
  // Measured too: the picture must be the unmeasured run's.
  const TToolResult result =
      RunTool({"--agents", "400", "--threshold", "5", "--seed", "99", "--size", "131x97", "--steps",
               "60", "--picture", path, "--measure"});
  ASSERT_EQ(result.ExitCode, 0) << result.Err.toStdString();
  EXPECT_EQ(QImageReader(path).format(), "png");
  const QImage picture(path);
  ASSERT_FALSE(picture.isNull());

  TRunSettings settings;
  settings.Size = {131, 97};
  settings.Agents = 400;
  settings.Threshold = 5;
  settings.Seed = 99;
  settings.MaxSteps = 60;
  settings.Paint = Painting::On;
  TBatchRun run(settings);
  run.Run([](const StepResult&) {});
  const TCanvas& canvas = run.World().Canvas();
  ASSERT_EQ(picture.width(), canvas.Width());
  ASSERT_EQ(picture.height(), canvas.Height());
  int differing = 0;
  bool black = false, red = false, white = false;
  for (int y = 0; y < canvas.Height(); ++y) {
    for (int x = 0; x < canvas.Width(); ++x) {
      const QRgb pixel = picture.pixel(x, y);
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
  const QString dir = ScratchDir();
  const TToolResult result = RunTool({"--agents", "300", "--threshold", "4", "--seed", "11",
                                      "--size", "120x90", "--measure", "--measure-every", "7",
                                      "--measures", dir + "/m.csv", "--sizes", dir + "/s.csv"});
  ASSERT_EQ(result.ExitCode, 0) << result.Err.toStdString();
  const QStringList err = result.ErrLines();
  ASSERT_EQ(err.size(), 2) << result.Err.toStdString();
  static const QRegularExpression line(
      QStringLiteral("^aggregates=(\\d+) largest=(\\d+) mean_size=(\\S+) gyration=([0-9.]+) "
                     "dimension=([0-9.]+) r2=([0-9.]+)$"));
  const auto match = line.match(err[1]);
  ASSERT_TRUE(match.hasMatch()) << err[1].toStdString();
  const int steps = err[0].section(' ', 1, 1).mid(6).toInt();
  const int aggregated = err[0].section(' ', 3, 3).mid(11).toInt();

  // The size distribution adds up to the aggregated cells and the line.
  const QStringList sizes =
      QString::fromUtf8(ReadFile(dir + "/s.csv")).split('\n', Qt::SkipEmptyParts);
  ASSERT_GE(sizes.size(), 2);
  EXPECT_EQ(sizes[0], "size,count");
  int cells = 0, aggregates = 0, previous = 0;
  for (const QString& row : sizes.mid(1)) {
    const int size = row.section(',', 0, 0).toInt(), count = row.section(',', 1, 1).toInt();
    EXPECT_GT(size, previous) << "sizes in increasing order";
    previous = size;
    cells += size * count;
    aggregates += count;
  }
  EXPECT_EQ(cells, aggregated);
  EXPECT_EQ(aggregates, match.captured(1).toInt());
  EXPECT_EQ(previous, match.captured(2).toInt());
  EXPECT_NEAR(match.captured(3).toDouble() * aggregates, cells, cells * 1e-5);

  // Steps 7, 14, ... only; the counts of aggregates never exceed the cells.
  const QStringList rows =
      QString::fromUtf8(ReadFile(dir + "/m.csv")).split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(rows.size(), 1 + steps / 7);
  EXPECT_EQ(rows[0], "step,aggregates,largest,mean_size,gyration,dimension,r2");
  for (int i = 1; i < rows.size(); ++i) {
    const QStringList fields = rows[i].split(',');
    ASSERT_EQ(fields.size(), 7) << rows[i].toStdString();
    EXPECT_EQ(fields[0].toInt(), 7 * i);
  }
}

TEST(BatchCli, MeasuresWithoutAnAggregateOrWithOneRoundTheTorus) {
  const QString dir = ScratchDir();
  // Nothing aggregates with threshold -1; all is empty in the files.
  const TToolResult none = RunTool({"--agents", "50", "--threshold", "-1", "--steps", "4", "--size",
                                    "60x60", "--measure", "--measure-every", "2", "--measures",
                                    dir + "/m.csv", "--sizes", dir + "/s.csv"});
  ASSERT_EQ(none.ErrLines().size(), 2);
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
  ASSERT_EQ(full.ErrLines().size(), 2);
  EXPECT_TRUE(full.ErrLines()[1].startsWith("aggregates=1 largest="));
  EXPECT_TRUE(full.ErrLines()[1].endsWith(" gyration=wraps dimension=none r2=none"));
}

TEST(BatchCli, AnInterruptStopsTheRunAndWritesNoPicture) {
  const QString dir = ScratchDir();
  QProcess process;
  // Threshold -1: a run that would go on for a million steps.
  process.start(QStringLiteral(DLA_BATCH_PATH),
                {"--agents", "2000", "--threshold", "-1", "--picture", dir + "/p.png"});
  ASSERT_TRUE(process.waitForStarted());
  // Standard output starts once the run has begun, which is after the
  // handler is in place and the picture file is open.
  ASSERT_TRUE(process.waitForReadyRead(10'000));
  ::kill(static_cast<pid_t>(process.processId()), SIGINT);
  ASSERT_TRUE(process.waitForFinished(10'000));
  EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(process.exitCode(), 128 + SIGINT);
  EXPECT_TRUE(process.readAllStandardError().contains("interrupted"));
  EXPECT_TRUE(QDir(dir).isEmpty());
}

}  // namespace
}  // namespace dla::tools::test
