// The option syntax shared by dla-batch and its sweep command.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dla::tools {

// Long options only: "--name VALUE", "--name=VALUE" for options that take a
// value, "--name" for flags. Each option may be given at most once, so that
// a typo in a script cannot be silently overridden by a later copy. There
// are no positional arguments; the command word ("sweep") is taken off
// before parsing. Every failure throws EUsageError with a one-line message.
class TOptionParser {
 public:
  // Declares an option; name without the leading "--". values: how many
  // values follow it (0 for a flag; "--name=VALUE" only for one).
  void Add(std::string name, int values);

  // Parses the arguments. A value that starts with "--" is not taken as the
  // value (it is almost always a forgotten value); single-dash values such
  // as "-1" are taken.
  void Parse(const std::vector<std::string_view>& args);

  bool Has(std::string_view name) const;
  // The value given for an option that takes one, if it was given.
  std::optional<std::string> Value(std::string_view name) const;
  // The values given for an option (empty if it was not given).
  std::vector<std::string> Values(std::string_view name) const;

 private:
  std::map<std::string, int, std::less<>> declared_;  // name -> number of values
  std::map<std::string, std::vector<std::string>, std::less<>> given_;
};

}  // namespace dla::tools
