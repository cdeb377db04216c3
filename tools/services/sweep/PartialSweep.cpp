#include "PartialSweep.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>

#include "InterruptGuard.h"
#include "MeasureText.h"
#include "Options.h"
#include "SweepRows.h"
#include "UsageError.h"
#include "ValueList.h"

namespace dla::tools {
namespace {

constexpr std::string_view Marker = "# partial sweep, ";
constexpr std::string_view Program = "dla-batch sweep";
// The longest first line: two lists of TValueList::MaxValues numbers of at
// most nine digits, and the rest, with room to spare.
constexpr std::size_t MaxFirstLine = 512 * 1024;
// A row holds 13 fields of at most 24 characters.
constexpr std::size_t MaxRow = 1024;

// 64-bit FNV-1a.
class THash {
 public:
  void Add(std::string_view bytes) noexcept {
    for (const char byte : bytes) {
      value_ ^= static_cast<unsigned char>(byte);
      value_ *= 1099511628211u;
    }
  }
  std::string Hex() const {
    char text[17];
    const auto end = std::to_chars(text, text + 16, value_, 16).ptr;
    return std::string(16 - static_cast<std::size_t>(end - text), '0') + std::string(text, end);
  }

 private:
  std::uint64_t value_ = 14695981039346656037u;
};

std::string HeaderLine() {
  return std::string(SweepRunColumns) + "," + MeasureColumns + "\n";
}

// The lines of a file, each read only up to a bound, so that a device or a
// huge file without line ends is refused, never held.
class TLineReader {
 public:
  using TFail = std::function<EUsageError(const std::string&)>;

  // damaged: for a line too long or cut short; unreadable: for a read that
  // fails, with its reason.
  TLineReader(int fd, TFail damaged, TFail unreadable)
      : fd_(fd), damaged_(std::move(damaged)), unreadable_(std::move(unreadable)) {}

  // The first count bytes, or fewer at the end of the file, unread.
  std::string_view Peek(std::size_t count) {
    while (buffer_.size() - start_ < count && Fill()) {
    }
    return std::string_view(buffer_).substr(start_, count);
  }

  // The next line, its '\n' included; false at the end of the file.
  bool Next(std::string& line, std::size_t max) {
    line.clear();
    for (std::size_t searched = start_;;) {
      const std::size_t end = buffer_.find('\n', searched);
      if (end != std::string::npos && end - start_ < max) {
        line.assign(buffer_, start_, end + 1 - start_);
        start_ = end + 1;
        ++number_;
        return true;
      }
      if (buffer_.size() - start_ >= max) throw damaged_("line " + std::to_string(number_ + 1) + " is too long");
      buffer_.erase(0, start_);
      start_ = 0;
      searched = buffer_.size();
      if (!Fill()) {
        if (buffer_.empty()) return false;
        throw damaged_("line " + std::to_string(number_ + 1) + " is cut short");
      }
    }
  }

  // The line last read, counted from 1.
  std::uint64_t Number() const noexcept { return number_; }

 private:
  bool Fill() {
    char piece[64 * 1024];
    for (;;) {
      // The command's own words follow (TInterruptGuard::Requested()).
      if (TInterruptGuard::Requested()) throw EUsageError("interrupted");
      const ssize_t got = ::read(fd_, piece, sizeof piece);
      if (got > 0) {
        buffer_.append(piece, static_cast<std::size_t>(got));
        return true;
      }
      if (got == 0) return false;
      if (errno != EINTR) throw unreadable_(std::strerror(errno));
    }
  }

  int fd_;
  TFail damaged_;
  TFail unreadable_;
  std::string buffer_;
  std::size_t start_ = 0;
  std::uint64_t number_ = 0;
};

std::vector<std::string_view> Fields(std::string_view text, char separator) {
  std::vector<std::string_view> fields;
  for (std::size_t start = 0;;) {
    const std::size_t end = text.find(separator, start);
    fields.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
    if (end == std::string_view::npos) return fields;
    start = end + 1;
  }
}

std::optional<double> ExactValue(std::string_view text) {
  if (text.empty()) return std::numeric_limits<double>::quiet_NaN();
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

}  // namespace

TPartialSweep::TValues TPartialSweep::ValuesOf(const TSweepPlan& plan, std::int32_t maxSteps,
                                               TDrawingSize size) {
  return {TValueList::Text({plan.Agents().begin(), plan.Agents().end()}),
          TValueList::Text({plan.Thresholds().begin(), plan.Thresholds().end()}),
          std::to_string(plan.RunsPerCombination()),
          std::to_string(plan.BaseSeed()),
          std::to_string(maxSteps),
          std::to_string(size.Width) + "x" + std::to_string(size.Height),
          std::to_string(plan.ShardIndex()) + "/" + std::to_string(plan.ShardCount())};
}

void TPartialSweep::Write(const TCsvWriter::Sink& sink, const TSweepPlan& plan,
                          std::int32_t maxSteps, TDrawingSize size, std::uint64_t rows,
                          const std::function<TRunRecord(std::uint64_t)>& record) {
  const TValues values = ValuesOf(plan, maxSteps, size);
  std::string named(Program);
  for (std::size_t i = 0; i < values.size(); ++i) {
    named += ' ';
    named += OptionNames[i];
    named += ' ';
    named += values[i];
  }
  named += '\n';
  const auto body = [&](const TCsvWriter::Sink& to) {
    TCsvWriter out(to);
    WriteSweepHeader(out);
    for (std::uint64_t i = 0; i < rows; ++i) WriteSweepRow(out, plan.Run(i), record(i), EMeasureDigits::Exact);
    out.Flush();
  };
  THash hash;
  hash.Add(named);
  body([&](std::string_view piece) { hash.Add(piece); });
  sink(std::string(Marker) + std::to_string(rows) + " of " + std::to_string(plan.Count()) +
       " rows, check " + hash.Hex() + ": " + named);
  body(sink);
}

TPartialSweep TPartialSweep::Read(const std::string& path, std::string_view name) {
  TPartialSweep partial;
  partial.path_ = path;
  partial.name_ = name;
  const std::string prefix = std::string(name) + ": '" + path + "' ";
  const auto damaged = [&](const std::string& how) { return EUsageError(prefix + "is damaged: " + how); };
  const auto notPartial = [&] { return EUsageError(prefix + "is not a partial sweep file"); };

  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    throw EUsageError(std::string(name) + ": cannot read '" + path + "': " + std::strerror(errno));
  }
  struct TClose {
    int Fd;
    ~TClose() { ::close(Fd); }
  } closing{fd};
  TLineReader lines(fd, damaged, [&](const std::string& why) {
    return EUsageError(std::string(name) + ": cannot read '" + path + "': " + why);
  });

  // The first line: what it is (told from its first bytes), then which
  // sweep.
  if (lines.Peek(Marker.size()) != Marker) throw notPartial();
  std::string line;
  lines.Next(line, MaxFirstLine);
  const auto badFirstLine = [&] { return damaged("its first line does not name a sweep"); };
  const std::size_t colon = line.find(": ", Marker.size());
  if (colon == std::string::npos) throw badFirstLine();
  const std::string_view named = std::string_view(line).substr(colon + 2);
  const std::vector<std::string_view> counts =
      Fields(std::string_view(line).substr(Marker.size(), colon - Marker.size()), ' ');
  // "K of N rows, check C"
  if (counts.size() != 6 || counts[1] != "of" || counts[3] != "rows," || counts[4] != "check" ||
      counts[5].size() != 16) {
    throw badFirstLine();
  }
  const auto rowsValue = DecimalValue(counts[0], 0, TSweepPlan::MaxRunsPerShare);
  const auto totalValue = DecimalValue(counts[2], 0, TSweepPlan::MaxRunsPerShare);
  if (!rowsValue || !totalValue || *rowsValue > *totalValue) throw badFirstLine();
  const auto rows = static_cast<std::uint64_t>(*rowsValue);
  const std::string check(counts[5]);
  const std::vector<std::string_view> words = Fields(named.substr(0, named.size() - 1), ' ');
  const std::vector<std::string_view> program = Fields(Program, ' ');
  if (words.size() != program.size() + 2 * OptionNames.size() ||
      !std::equal(program.begin(), program.end(), words.begin())) {
    throw badFirstLine();
  }
  for (std::size_t i = 0; i < OptionNames.size(); ++i) {
    if (words[program.size() + 2 * i] != OptionNames[i]) throw badFirstLine();
    partial.values_[i] = words[program.size() + 1 + 2 * i];
  }
  const auto seed = DecimalValue(partial.values_[3], SeedRange.Min, SeedRange.Max);
  if (!seed) throw badFirstLine();
  partial.seed_ = static_cast<std::uint32_t>(*seed);
  THash hash;
  hash.Add(named);

  // The header, then the rows.
  if (!lines.Next(line, MaxRow) || line != HeaderLine()) {
    throw damaged("line 2 is not the header " + HeaderLine().substr(0, HeaderLine().size() - 1));
  }
  hash.Add(line);
  while (lines.Next(line, MaxRow)) {
    hash.Add(line);
    const std::string where = "line " + std::to_string(lines.Number());
    if (partial.records_.size() == rows) {
      throw damaged(where + ": more rows than its first line says (" + std::to_string(rows) + ")");
    }
    const std::vector<std::string_view> fields =
        Fields(std::string_view(line).substr(0, line.size() - 1), ',');
    if (fields.size() != 13) {
      throw damaged(where + " has " + std::to_string(fields.size()) + " fields, not 13");
    }
    const auto whole = [&](std::size_t column, std::int64_t max) {
      const auto value = DecimalValue(fields[column], 0, max);
      if (!value) throw damaged(where + ": '" + std::string(fields[column]) + "' in column " + std::to_string(column + 1));
      return *value;
    };
    constexpr std::int64_t maxInt = std::numeric_limits<std::int32_t>::max();
    TRow row;
    row.Agents = static_cast<std::int32_t>(whole(0, AgentsRange.Max));
    row.Threshold = static_cast<std::uint16_t>(whole(1, ThresholdValueRange.Max));
    TRunRecord record;
    record.Seed = static_cast<std::uint32_t>(whole(2, SeedRange.Max));
    record.Steps = static_cast<std::int32_t>(whole(3, maxInt));
    record.Ended = whole(4, 1) == 1;
    record.AggregatedCells = static_cast<std::int32_t>(whole(5, maxInt));
    record.StuckAgents = static_cast<std::int32_t>(whole(6, maxInt));
    for (std::size_t m = 0; m < record.Measures.size(); ++m) {
      const std::optional<double> value = ExactValue(fields[7 + m]);
      if (!value) throw damaged(where + ": '" + std::string(fields[7 + m]) + "' in column " + std::to_string(8 + m));
      record.Measures[m] = *value;
    }
    partial.rows_.push_back(row);
    partial.records_.push_back(record);
  }
  if (partial.records_.size() != rows) {
    throw damaged("its first line says " + std::to_string(rows) + " rows, it holds " +
                  std::to_string(partial.records_.size()));
  }
  if (hash.Hex() != check) throw damaged("its content does not match its check");
  partial.total_ = static_cast<std::uint64_t>(*totalValue);
  return partial;
}

std::vector<TRunRecord> TPartialSweep::TakeRecords(const TSweepPlan& plan, std::int32_t maxSteps,
                                                   TDrawingSize size, const TNames& names) {
  const TValues here = ValuesOf(plan, maxSteps, size);
  for (std::size_t i = 0; i < here.size(); ++i) {
    if (values_[i] != here[i]) {
      throw EUsageError(name_ + ": '" + path_ + "' is the partial file of another sweep: " +
                        std::string(names[i]) + " " + values_[i] + " there, " + here[i] + " here");
    }
  }
  // The same values make the same runs; a file that holds other ones was
  // not written by a sweep.
  if (total_ != plan.Count()) {
    throw EUsageError(name_ + ": '" + path_ + "' is damaged: its first line says " +
                      std::to_string(total_) + " runs, the sweep it names has " +
                      std::to_string(plan.Count()));
  }
  for (std::uint64_t i = 0; i < records_.size(); ++i) {
    const TSweepRun run = plan.Run(i);
    if (rows_[i].Agents != run.Agents || rows_[i].Threshold != run.Threshold ||
        records_[i].Seed != run.Seed) {
      throw EUsageError(name_ + ": '" + path_ + "' is damaged: line " + std::to_string(i + 3) +
                        " is not the row of run " + std::to_string(i + 1) + " of its sweep");
    }
  }
  rows_.clear();
  return std::move(records_);
}

}  // namespace dla::tools
