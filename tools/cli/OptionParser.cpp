#include "OptionParser.h"

#include <string>

#include "UsageError.h"

namespace dla::tools {

void TOptionParser::Add(std::string name, int values) { declared_[std::move(name)] = values; }

void TOptionParser::Parse(const std::vector<std::string_view>& args) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (arg.size() < 3 || arg.substr(0, 2) != "--") {
      throw EUsageError("unexpected argument '" + std::string(arg) + "' (see --help)");
    }
    const std::string_view body = arg.substr(2);
    const std::size_t equals = body.find('=');
    const std::string_view name = body.substr(0, equals);
    const auto option = declared_.find(name);
    if (option == declared_.end()) {
      throw EUsageError("unknown option '--" + std::string(name) + "' (see --help)");
    }
    if (given_.count(name) != 0) {
      throw EUsageError("option '--" + std::string(name) + "' is given more than once");
    }
    std::vector<std::string> values;
    if (option->second == 0) {
      if (equals != std::string_view::npos) {
        throw EUsageError("option '--" + std::string(name) + "' takes no value");
      }
    } else if (equals != std::string_view::npos && option->second == 1) {
      values.emplace_back(body.substr(equals + 1));
    } else {
      for (int k = 0; k < option->second; ++k) {
        if (equals != std::string_view::npos || i + 1 == args.size() ||
            args[i + 1].substr(0, 2) == "--") {
          throw EUsageError("option '--" + std::string(name) + "' needs " +
                            (option->second == 1 ? std::string("a value")
                                                 : std::to_string(option->second) + " values"));
        }
        values.emplace_back(args[++i]);
      }
    }
    given_.emplace(std::string(name), std::move(values));
  }
}

bool TOptionParser::Has(std::string_view name) const { return given_.count(name) != 0; }

std::optional<std::string> TOptionParser::Value(std::string_view name) const {
  const auto it = given_.find(name);
  if (it == given_.end() || it->second.empty()) return std::nullopt;
  return it->second.front();
}

std::vector<std::string> TOptionParser::Values(std::string_view name) const {
  const auto it = given_.find(name);
  return it == given_.end() ? std::vector<std::string>{} : it->second;
}

}  // namespace dla::tools
