#include "Options.h"

#include <algorithm>
#include <memory>

#include "IntegerText.h"
#include "TWorld.h"
#include "UsageError.h"
#include "Version.h"

namespace dla::tools {
namespace {

bool StartsWithDashes(std::string_view arg) { return arg.substr(0, 2) == "--"; }

EUsageError Unexpected(const std::string& arg) {
  if (arg.size() > 2 && StartsWithDashes(arg)) {
    return EUsageError("unknown option '" + arg.substr(0, arg.find('=')) + "' (see --help)");
  }
  return EUsageError("unexpected argument '" + arg + "' (see --help)");
}

EUsageError Lacking(const CLI::Option& option, int values) {
  return EUsageError("option '" + option.get_name() + "' needs " +
                     (values == 1 ? std::string("a value") : std::to_string(values) + " values"));
}

// The usage line first, then the description; an option's type name only
// (no "Needs:" and the like: the descriptions say it in words).
class THelpFormatter : public CLI::Formatter {
 public:
  std::string make_description(const CLI::App*) const override { return {}; }
  std::string make_usage(const CLI::App* app, std::string name) const override {
    return CLI::Formatter::make_usage(app, name) + "\n" + app->get_description() + "\n";
  }
  std::string make_option_opts(const CLI::Option* option) const override {
    return option->get_type_name().empty() ? "" : " " + option->get_type_name();
  }
};

}  // namespace

void ConfigureOptions(CLI::App& app) {
  app.set_help_flag("--help", "show this text");
  app.set_version_flag("--version", app.get_name() + " " + Version + "\n",
                       "show the program's name and version");
  auto formatter = std::make_shared<THelpFormatter>();
  formatter->column_width(22);
  app.formatter(formatter);
}

CLI::Validator WholeNumber(std::int64_t min, std::int64_t max) {
  return CLI::Validator(
      [min, max](std::string& text) {
        const std::optional<std::int64_t> value = DecimalValue(text, min, max);
        if (!value) {
          return "expected a whole number from " + std::to_string(min) + " to " +
                 std::to_string(max) + ", got '" + text + "'";
        }
        text = std::to_string(*value);
        return std::string();
      },
      "");
}

CLI::Validator ThresholdText() {
  return CLI::Validator(
      [](std::string& text) {
        try {
          text = std::to_string(ThresholdFromText(text));
        } catch (const EConvertError& error) {
          return std::string(error.what());
        }
        return std::string();
      },
      "");
}

std::string ParseOptions(CLI::App& app, const std::vector<std::string>& args) {
  CLI::App* command = &app;
  bool help = false;
  // CLI11 takes an option's values whatever they look like, reads "--name="
  // as "the value follows" and "--flag=true" as the flag, and finds a
  // subcommand anywhere: the rules above come first.
  std::vector<std::string> checked;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    checked.push_back(arg);
    const auto named = app.get_subcommands([&](CLI::App* sub) { return sub->check_name(arg); });
    if ((!named.empty() && i > 0) || arg == "--") throw Unexpected(arg);
    if (!named.empty()) command = named.front();
    if (!StartsWithDashes(arg)) continue;
    const std::size_t equals = arg.find('=');
    const CLI::Option* option = command->get_option_no_throw(arg.substr(0, equals));
    if (option == nullptr) continue;
    help = help || option == command->get_help_ptr();
    const int values = option->get_items_expected_max();
    if (equals != std::string::npos) {
      if (values == 0) throw EUsageError("option '" + option->get_name() + "' takes no value");
      if (values > 1) throw Lacking(*option, values);
      if (equals + 1 == arg.size()) {
        checked.back().pop_back();
        checked.emplace_back();
      }
      continue;
    }
    for (int k = 1; k <= values; ++k) {
      if (i + k >= args.size() || StartsWithDashes(args[i + k])) throw Lacking(*option, values);
      checked.push_back(args[i + k]);
    }
    i += static_cast<std::size_t>(values);
  }
  // Each option at most once: CLI11's rule, which its flags leave off.
  for (CLI::Option* option : command->get_options()) {
    option->multi_option_policy(CLI::MultiOptionPolicy::Throw);
  }
  // A second copy, an unknown option and a stray argument, all collected
  // while CLI11 reads, are refused in one wording for the three programs,
  // before a bad value (which CLI11 finds afterwards) and before the help,
  // which ignores the values.
  const auto refuseCollected = [command] {
    for (const CLI::Option* option : command->get_options()) {
      if (option->count() > std::max<std::size_t>(1, option->get_items_expected_max())) {
        throw EUsageError("option '" + option->get_name() + "' is given more than once");
      }
    }
    for (const std::string& extra : command->remaining()) {
      if (!command->get_allow_extras() || StartsWithDashes(extra)) throw Unexpected(extra);
    }
  };
  std::reverse(checked.begin(), checked.end());  // CLI11 takes the last first
  try {
    app.parse(checked);
  } catch (const CLI::CallForHelp&) {
  } catch (const CLI::CallForVersion& version) {
    refuseCollected();
    return version.what();
  } catch (const std::runtime_error& error) {  // CLI::ParseError, or an option's EUsageError
    refuseCollected();
    if (!help) throw EUsageError(error.what());
  }
  refuseCollected();
  return help ? app.help() : std::string();
}

}  // namespace dla::tools
