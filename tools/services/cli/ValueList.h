// A list of whole numbers typed as items separated by commas, for the
// sweep's --agents and --threshold.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace dla::tools {

// Items: "N" (one number), "A..B" (every number from A to B) and "A..B:STEP"
// (A, A + STEP, ... up to B at most; B itself only if it lies on the step).
// Blanks around an item are allowed. The result is sorted and free of
// repeats, because the sweep runs each combination once per seed and sorts
// its rows by value.
//
// Refused with EUsageError (one line naming the value and the item): an
// empty list or item, a non-number, a number outside [min, max], a range
// with an end missing ("5.."), a reversed range ("8..3"), a step of 0, and
// a list of more than MaxValues distinct numbers.
class TValueList {
 public:
  static constexpr std::size_t MaxValues = 10'000;

  // name: the value as the caller calls it ("--agents"), which starts
  // the message.
  static TValueList Parse(std::string_view text, std::int64_t min, std::int64_t max,
                          std::string_view name);

  const std::vector<std::int64_t>& Values() const noexcept { return values_; }

  // A text that Parse reads back as values (ascending, without repeats), the
  // same for the same values: each run of three or more evenly spaced values
  // as a range ("3..8", "1000..5000:1000"), any other value alone. What a
  // sweep's list is recorded as.
  static std::string Text(const std::vector<std::int64_t>& values);

 private:
  std::vector<std::int64_t> values_;
};

}  // namespace dla::tools
