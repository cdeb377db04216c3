#include "WindowOptions.h"

#include <limits>

#include "Options.h"

TWindowOptions TWindowOptions::Parse(const std::vector<std::string>& arguments) {
  using namespace dla::tools;
  TWindowOptions options;
  CLI::App app("Opens the diffusion-aggregation model in its window and runs it.", "dla-model");
  ConfigureOptions(app);
  app.allow_extras();
  app.add_option("--seed", options.Seed, R"(0 to 4294967295: every setup places its agents from
this seed, so a run repeats exactly, here or in
dla-batch (default: a new seed from the clock at
every setup))")
      ->type_name("S")
      ->transform(WholeNumber(0, std::numeric_limits<std::uint32_t>::max()));
  app.add_option("--agents", options.Agents, R"(number of agents of the first setup, 1 to 10000
(default 2000))")
      ->type_name("N")
      ->transform(WholeNumber(1, 10000));
  app.add_option("--threshold", options.Threshold,
                 R"(aggregation threshold, put into its edit as given
and read as the edit is read (default 6))")
      ->type_name("T")
      ->check(ThresholdText());
  app.footer(R"(Arguments that do not start with -- are left to Qt (-platform, -style, ...).

Exit status: 0 when the window is closed, 2 for a bad command line.)");
  options.Help = ParseOptions(app, arguments);
  return options;
}
