// The option syntax shared by dla-batch and its sweep command, read with
// CLI11.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace dla::tools {

// Long options only: "--name VALUE", "--name=VALUE" for options that take a
// value, "--name" for flags. CLI11 does the reading; this class adds the
// rules that CLI11 does not enforce by itself:
// - each option at most once, so that a typo in a script cannot be silently
//   overridden by a later copy;
// - a value that starts with "--" is not taken as the value (it is almost
//   always a forgotten value) unless given as "--name=--value";
//   single-dash values such as "-1" are taken;
// - no positional arguments (the command word "sweep" is taken off before);
// - "--name=VALUE" only for options of one value, "--name=" an empty value;
// - every failure is one line: an EUsageError naming the option.
class TCommandLine {
 public:
  TCommandLine();
  ~TCommandLine();
  TCommandLine(const TCommandLine&) = delete;
  TCommandLine& operator=(const TCommandLine&) = delete;

  // Declares an option; name without the leading "--". values: how many
  // values follow it (0 for a flag; "--name=VALUE" only for one).
  void Add(const std::string& name, int values);

  // Parses the arguments; throws EUsageError.
  void Parse(const std::vector<std::string_view>& args);

  bool Has(std::string_view name) const;
  // The value given for an option that takes one, if it was given.
  std::optional<std::string> Value(std::string_view name) const;
  // The values given for an option (empty if it was not given).
  std::vector<std::string> Values(std::string_view name) const;

  // The declared names, in declaration order.
  std::vector<std::string> Names() const;

 private:
  struct TDeclared {
    std::string Name;
    int Values;
    CLI::Option* Option;
  };
  const TDeclared& Find(std::string_view name) const;
  // The rules above, on what CLI11 collected.
  void Check() const;

  std::unique_ptr<CLI::App> app_;
  std::vector<TDeclared> declared_;
  // Options given as "--name=--value".
  std::vector<std::string> inlineDashed_;
};

}  // namespace dla::tools
