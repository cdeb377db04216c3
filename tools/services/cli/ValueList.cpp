#include "ValueList.h"

#include <algorithm>
#include <string>

#include "Options.h"
#include "UsageError.h"

namespace dla::tools {
namespace {

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

}  // namespace

TValueList TValueList::Parse(std::string_view text, std::int64_t min, std::int64_t max,
                             std::string_view name) {
  const std::string prefix = std::string(name) + ": ";
  const auto fail = [&](const std::string& why) { return EUsageError(prefix + why); };
  const auto number = [&](std::string_view item, std::string_view part) {
    if (const auto value = DecimalValue(part, min, max)) return *value;
    if (part.empty()) throw fail("range '" + std::string(item) + "' has an end missing");
    throw fail("'" + std::string(part) + "' in '" + std::string(item) +
               "' is not a whole number from " + std::to_string(min) + " to " +
               std::to_string(max));
  };

  TValueList list;
  if (Trimmed(text).empty()) throw fail("the list is empty");
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t comma = std::min(text.find(',', start), text.size());
    const std::string_view item = Trimmed(text.substr(start, comma - start));
    start = comma + 1;
    if (item.empty()) throw fail("empty item in '" + std::string(text) + "'");

    const std::size_t dots = item.find("..");
    if (dots == std::string_view::npos) {
      list.values_.push_back(number(item, item));
    } else {
      const std::string_view rest = item.substr(dots + 2);
      const std::size_t colon = rest.find(':');
      const std::int64_t first = number(item, item.substr(0, dots));
      const std::int64_t last = number(item, rest.substr(0, colon));
      std::int64_t step = 1;
      if (colon != std::string_view::npos) {
        const std::string_view stepText = rest.substr(colon + 1);
        const auto value = DecimalValue(stepText, 0, max - min > 0 ? max - min : 1);
        if (!value) {
          throw fail("step '" + std::string(stepText) + "' in '" + std::string(item) +
                     "' is not a whole number from 1 to " +
                     std::to_string(max - min > 0 ? max - min : 1));
        }
        if (*value == 0) throw fail("step 0 in '" + std::string(item) + "' never advances");
        step = *value;
      }
      if (last < first) {
        throw fail("range '" + std::string(item) + "' is reversed (it must run upwards)");
      }
      if ((last - first) / step >= static_cast<std::int64_t>(MaxValues)) {
        throw fail("'" + std::string(item) + "' holds more than " + std::to_string(MaxValues) +
                   " values");
      }
      for (std::int64_t v = first; v <= last; v += step) list.values_.push_back(v);
    }
    if (list.values_.size() > 4 * MaxValues) {
      std::sort(list.values_.begin(), list.values_.end());
      list.values_.erase(std::unique(list.values_.begin(), list.values_.end()),
                         list.values_.end());
      if (list.values_.size() > MaxValues) {
        throw fail("the list holds more than " + std::to_string(MaxValues) + " values");
      }
    }
  }
  std::sort(list.values_.begin(), list.values_.end());
  list.values_.erase(std::unique(list.values_.begin(), list.values_.end()), list.values_.end());
  if (list.values_.size() > MaxValues) {
    throw fail("the list holds more than " + std::to_string(MaxValues) + " values");
  }
  return list;
}

std::string TValueList::Text(const std::vector<std::int64_t>& values) {
  std::string text;
  for (std::size_t i = 0; i < values.size();) {
    if (!text.empty()) text += ',';
    text += std::to_string(values[i]);
    const bool range = i + 2 < values.size() && values[i + 2] - values[i + 1] == values[i + 1] - values[i];
    if (!range) {
      ++i;
      continue;
    }
    const std::int64_t step = values[i + 1] - values[i];
    std::size_t last = i + 2;
    while (last + 1 < values.size() && values[last + 1] - values[last] == step) ++last;
    text += ".." + std::to_string(values[last]);
    if (step != 1) text += ':' + std::to_string(step);
    i = last + 1;
  }
  return text;
}

}  // namespace dla::tools
