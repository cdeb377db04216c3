#include "PlotRequest.h"

#include <charconv>
#include <stdexcept>
#include <system_error>

namespace dla::tools {
namespace {

// Text layout:
//   steps                          measure NAME
//   line C AGENTS THRESHOLD N      point AGENTS THRESHOLD RUNS MEAN SD
//   STEP MEAN   (N times)          ...
template <typename Number>
void Append(std::string& out, Number value) {
  char digits[40];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  out.append(digits, result.ptr);
}

class TReader {
 public:
  explicit TReader(std::string_view text) : text_(text) {}

  bool AtEnd() const noexcept { return text_.empty(); }

  // The next line's words, separated by single blanks.
  std::vector<std::string_view> Line() {
    const std::size_t end = text_.find('\n');
    if (end == std::string_view::npos) Fail("a line without its end");
    const std::string_view line = text_.substr(0, end);
    text_.remove_prefix(end + 1);
    ++number_;
    std::vector<std::string_view> words;
    std::size_t start = 0;
    while (start <= line.size()) {
      const std::size_t blank = std::min(line.find(' ', start), line.size());
      words.push_back(line.substr(start, blank - start));
      start = blank + 1;
    }
    return words;
  }

  template <typename Number>
  Number Value(std::string_view word) const {
    Number value{};
    const auto [ptr, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (error != std::errc() || ptr != word.data() + word.size()) {
      Fail("'" + std::string(word) + "' is not a number");
    }
    return value;
  }

  [[noreturn]] void Fail(const std::string& why) const {
    throw std::runtime_error("plot request, line " + std::to_string(number_) + ": " + why);
  }

 private:
  std::string_view text_;
  int number_ = 0;
};

}  // namespace

std::string TPlotRequest::Text() const {
  std::string out;
  if (Kind == EKind::Steps) {
    out += "steps\n";
    for (const TPlotLine& line : Lines) {
      out += "line ";
      Append(out, line.Combination);
      out += ' ';
      Append(out, line.Agents);
      out += ' ';
      Append(out, line.Threshold);
      out += ' ';
      Append(out, line.Points.size());
      out += '\n';
      for (const auto& [step, mean] : line.Points) {
        Append(out, step);
        out += ' ';
        Append(out, mean);
        out += '\n';
      }
    }
  } else {
    out += "measure " + Measure + "\n";
    for (const TMeasurePoint& p : Points) {
      out += "point ";
      Append(out, p.Agents);
      out += ' ';
      Append(out, p.Threshold);
      out += ' ';
      Append(out, p.Runs);
      out += ' ';
      Append(out, p.Mean);
      out += ' ';
      Append(out, p.Sd);
      out += '\n';
    }
  }
  return out;
}

TPlotRequest TPlotRequest::Parse(std::string_view text) {
  TReader reader(text);
  TPlotRequest request;
  const std::vector<std::string_view> head = reader.Line();
  if (head.size() == 1 && head[0] == "steps") {
    request.Kind = EKind::Steps;
    while (!reader.AtEnd()) {
      const std::vector<std::string_view> words = reader.Line();
      if (words.size() != 5 || words[0] != "line") reader.Fail("expected a line header");
      TPlotLine line;
      line.Combination = reader.Value<std::size_t>(words[1]);
      line.Agents = reader.Value<std::int32_t>(words[2]);
      line.Threshold = reader.Value<std::uint16_t>(words[3]);
      const auto count = reader.Value<std::size_t>(words[4]);
      for (std::size_t i = 0; i < count; ++i) {
        const std::vector<std::string_view> point = reader.Line();
        if (point.size() != 2) reader.Fail("expected STEP MEAN");
        line.Points.emplace_back(reader.Value<double>(point[0]), reader.Value<double>(point[1]));
      }
      request.Lines.push_back(std::move(line));
    }
  } else if (head.size() == 2 && head[0] == "measure" && !head[1].empty()) {
    request.Kind = EKind::Measure;
    request.Measure = head[1];
    while (!reader.AtEnd()) {
      const std::vector<std::string_view> words = reader.Line();
      if (words.size() != 6 || words[0] != "point") reader.Fail("expected a point");
      request.Points.push_back({reader.Value<std::int32_t>(words[1]),
                                reader.Value<std::uint16_t>(words[2]),
                                reader.Value<std::uint64_t>(words[3]),
                                reader.Value<double>(words[4]), reader.Value<double>(words[5])});
    }
  } else {
    reader.Fail("expected 'steps' or 'measure NAME'");
  }
  return request;
}

}  // namespace dla::tools
