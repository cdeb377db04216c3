#include "CommandLine.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <stdexcept>

#include "UsageError.h"

namespace dla::tools {
namespace {

std::string Dashed(const std::string& name) { return "--" + name; }

}  // namespace

TCommandLine::TCommandLine() : app_(std::make_unique<CLI::App>()) {
  // --help is an option like the others, answered by the commands with
  // their own text; unknown arguments are collected and refused below
  // with our message rather than CLI11's.
  app_->set_help_flag();
  app_->allow_extras(true);
}

TCommandLine::~TCommandLine() = default;

void TCommandLine::Add(const std::string& name, int values) {
  CLI::Option* option;
  if (values == 0) {
    option = app_->add_flag(Dashed(name));
  } else {
    // The values are taken whatever they look like ("-1" is a threshold);
    // a repeat is collected rather than refused by CLI11, so that Check
    // can say what went wrong in our words.
    option = app_->add_option(Dashed(name))
                 ->expected(values)
                 ->allow_extra_args(false)
                 ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  }
  declared_.push_back({name, values, option});
}

void TCommandLine::Parse(const std::vector<std::string_view>& args) {
  // Spellings that CLI11 reads its own way: "--flag=VALUE" sets a flag (to
  // true for "=true" or "="), "--name=" takes the next argument as the
  // value, "--name=A B" gives two values. Ours: a flag takes no value,
  // "--name=" is an empty value, and "=" is for options of one value only.
  std::vector<std::string> reversed;  // CLI11 takes the arguments last first
  for (auto arg = args.rbegin(); arg != args.rend(); ++arg) {
    bool emptyValue = false;
    for (const TDeclared& option : declared_) {
      const std::string assigned = Dashed(option.Name) + "=";
      if (arg->substr(0, assigned.size()) != assigned) continue;
      if (option.Values == 0) {
        throw EUsageError("option '" + Dashed(option.Name) + "' takes no value");
      }
      if (option.Values > 1) {
        throw EUsageError("option '" + Dashed(option.Name) + "' needs " +
                          std::to_string(option.Values) + " values");
      }
      emptyValue = *arg == assigned;
      // "--name=--value" is a value typed on purpose.
      if (arg->substr(assigned.size(), 2) == "--") inlineDashed_.push_back(option.Name);
    }
    if (emptyValue) {
      reversed.emplace_back();
      reversed.emplace_back(arg->substr(0, arg->size() - 1));
    } else {
      reversed.emplace_back(*arg);
    }
  }
  try {
    app_->parse(reversed);
  } catch (const CLI::ArgumentMismatch&) {
    // The arguments ran out before an option had all its values: the last
    // option named is the one.
    for (auto arg = args.rbegin(); arg != args.rend(); ++arg) {
      for (const TDeclared& option : declared_) {
        const std::string dashed = Dashed(option.Name);
        if (option.Values > 0 &&
            (*arg == dashed || arg->substr(0, dashed.size() + 1) == dashed + "=")) {
          throw EUsageError("option '" + dashed + "' needs " +
                            (option.Values == 1 ? std::string("a value")
                                                : std::to_string(option.Values) + " values"));
        }
      }
    }
    throw EUsageError("an option lacks its value (see --help)");
  } catch (const CLI::ParseError& error) {
    std::string message = error.what();
    std::replace(message.begin(), message.end(), '\n', ' ');
    throw EUsageError(message + " (see --help)");
  }
  Check();
}

void TCommandLine::Check() const {
  for (const TDeclared& option : declared_) {
    const std::string dashed = Dashed(option.Name);
    const std::vector<std::string>& results = option.Option->results();
    if (option.Values == 0) {
      if (option.Option->count() > 1) {
        throw EUsageError("option '" + dashed + "' is given more than once");
      }
      // CLI11 reads "--flag=VALUE" as a flag's setting; ours take none.
      if (!results.empty() && results.front() != "true") {
        throw EUsageError("option '" + dashed + "' takes no value");
      }
      continue;
    }
    const auto expected = static_cast<std::size_t>(option.Values);
    // A value starting with "--" was taken by CLI11 only because the
    // option needed one: the user forgot it.
    const auto forgotten = std::find_if(results.begin(), results.end(), [](const std::string& v) {
      return v.compare(0, 2, "--") == 0;
    });
    const bool onPurpose = results.size() == 1 &&
                           std::find(inlineDashed_.begin(), inlineDashed_.end(), option.Name) !=
                               inlineDashed_.end();
    const std::size_t complete =
        onPurpose ? expected : static_cast<std::size_t>(forgotten - results.begin());
    // CLI11 insists on the first value only; the others it takes while
    // they do not look like options.
    if ((forgotten != results.end() && complete < expected) ||
        (option.Option->count() > 0 && results.size() < expected)) {
      throw EUsageError("option '" + dashed + "' needs " +
                        (expected == 1 ? std::string("a value")
                                       : std::to_string(expected) + " values"));
    }
    if (results.size() > expected) {
      throw EUsageError("option '" + dashed + "' is given more than once");
    }
  }
  const std::vector<std::string> extras = app_->remaining();
  if (!extras.empty()) {
    const std::string& first = extras.front();
    if (first.size() > 2 && first.compare(0, 2, "--") == 0) {
      throw EUsageError("unknown option '" + first.substr(0, first.find('=')) + "' (see --help)");
    }
    throw EUsageError("unexpected argument '" + first + "' (see --help)");
  }
}

const TCommandLine::TDeclared& TCommandLine::Find(std::string_view name) const {
  const auto it = std::find_if(declared_.begin(), declared_.end(),
                               [&](const TDeclared& option) { return option.Name == name; });
  if (it == declared_.end()) throw std::logic_error("undeclared option " + std::string(name));
  return *it;
}

bool TCommandLine::Has(std::string_view name) const { return Find(name).Option->count() > 0; }

std::optional<std::string> TCommandLine::Value(std::string_view name) const {
  const std::vector<std::string>& results = Find(name).Option->results();
  if (results.empty()) return std::nullopt;
  return results.front();
}

std::vector<std::string> TCommandLine::Values(std::string_view name) const {
  return Find(name).Option->results();
}

std::vector<std::string> TCommandLine::Names() const {
  std::vector<std::string> names;
  for (const TDeclared& option : declared_) names.push_back(option.Name);
  return names;
}

}  // namespace dla::tools
