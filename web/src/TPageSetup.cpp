#include "TPageSetup.h"

#include <algorithm>
#include <stdexcept>
#include <vector>

#include "IntegerText.h"
#include "RunDefaults.h"
#include "UsageError.h"

namespace dla::web {
namespace {

int HexValue(char c) noexcept {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// As URLSearchParams decodes a name or a value: '+' a blank, %XX the byte
// XX, a '%' that starts no such pair taken as it is.
std::string Decoded(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '+') {
      out.push_back(' ');
    } else if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
               HexValue(text[i + 2]) >= 0) {
      out.push_back(static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2])));
      i += 2;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

std::int64_t Whole(const std::string& name, const std::string& text, TWholeRange range) {
  if (const std::optional<std::int64_t> value = DecimalValue(text, range.Min, range.Max)) return *value;
  throw std::invalid_argument(name + ": expected a whole number from " + std::to_string(range.Min) + " to " +
                              std::to_string(range.Max) + ", got '" + text + "'");
}

}  // namespace

TPageSetup TPageSetup::FromQuery(std::string_view query) {
  if (!query.empty() && query.front() == '?') query.remove_prefix(1);
  std::vector<std::pair<std::string, std::string>> parameters;
  while (!query.empty()) {
    const std::size_t amp = std::min(query.find('&'), query.size());
    const std::string_view pair = query.substr(0, amp);
    query.remove_prefix(std::min(amp + 1, query.size()));
    if (pair.empty()) continue;
    const std::size_t equals = std::min(pair.find('='), pair.size());
    parameters.emplace_back(Decoded(pair.substr(0, equals)),
                            Decoded(pair.substr(std::min(equals + 1, pair.size()))));
  }
  TPageSetup setup;
  const auto given = [&](const char* name) -> const std::string* {
    const std::string* found = nullptr;
    for (const auto& [key, value] : parameters) {
      if (key != name) continue;
      if (found != nullptr) throw std::invalid_argument(std::string(name) + " given twice");
      found = &value;
    }
    return found;
  };
  const std::string* seed = given("seed");
  const std::string* agents = given("agents");
  const std::string* threshold = given("threshold");
  const std::string* size = given("size");
  const std::string* step = given("step");
  if (seed != nullptr) setup.Seed = static_cast<std::uint32_t>(Whole("seed", *seed, SeedRange));
  if (agents != nullptr) setup.Agents = static_cast<std::int32_t>(Whole("agents", *agents, WindowAgentsRange));
  if (threshold != nullptr) {
    try {
      ThresholdFromText(*threshold);
    } catch (const EConvertError& error) {
      throw std::invalid_argument("threshold: " + error.Message());
    }
    setup.Threshold = *threshold;
  }
  if (size != nullptr) {
    try {
      setup.Size = tools::DrawingSizeFromText(*size, "size");
    } catch (const tools::EUsageError& error) {
      throw std::invalid_argument(error.Message());
    }
  }
  if (step != nullptr) setup.Step = static_cast<std::int32_t>(Whole("step", *step, StepsRange));
  return setup;
}

}  // namespace dla::web
