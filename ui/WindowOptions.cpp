#include "WindowOptions.h"

#include <limits>

#include "MemoryNeed.h"
#include "Options.h"
#include "UsageError.h"

TWindowOptions TWindowOptions::Parse(const std::vector<std::string>& arguments) {
  using namespace dla::tools;
  using dla::RunDefaults;
  TWindowOptions options;
  CLI::App app("Opens the diffusion-aggregation model in its window and runs it.", "dla-model");
  ConfigureOptions(app);
  app.allow_extras();
  app.add_option("--seed", options.Seed, R"(0 to 4294967295: every setup places its agents from
this seed, so a run repeats exactly, here or in
dla-batch (default: a new seed from the clock at
every setup))")
      ->type_name("S")
      ->transform(WholeNumber(SeedRange));
  app.add_option("--agents", options.Agents,
                 "number of agents of the first setup, " + std::to_string(RunDefaults.WindowAgentsMin) +
                     " to " + std::to_string(RunDefaults.WindowAgentsMax) + "\n(default " +
                     std::to_string(RunDefaults.Agents) + ")")
      ->type_name("N")
      ->transform(WholeNumber(dla::WindowAgentsRange));
  app.add_option("--threshold", options.Threshold,
                 std::string(R"(aggregation threshold, put into its edit as given
and read as the edit is read (default )") +
                     RunDefaults.ThresholdText + ")")
      ->type_name("T")
      ->check(ThresholdText());
  app.add_option_function<std::string>(
         "--size",
         [&options](const std::string& text) {
           const TDrawingSize size = DrawingSizeFromText(text, "--size");
           options.Size = std::pair(size.Width, size.Height);
         },
         "drawing area of every setup in pixels, at least 3x3 (default " +
             std::to_string(RunDefaults.DrawingWidth) + "x" + std::to_string(RunDefaults.DrawingHeight) +
             R"();
a larger one is shown fitted into the drawing panel)")
      ->type_name("WxH");
  app.footer(R"(Arguments that do not start with -- are left to Qt (-platform, -style, ...).

Exit status: 0 when the window is closed, 2 for a bad command line.)");
  options.Help = ParseOptions(app, arguments);
  if (options.Size && options.Help.empty()) {
    // Said now, with exit status 2, rather than by a window that cannot open.
    const auto [width, height] = *options.Size;
    const std::string fault =
        dla::MemoryFault(width, height, options.Agents.value_or(RunDefaults.Agents), dla::AvailableBytes());
    if (!fault.empty()) throw EUsageError("--size: " + fault);
  }
  return options;
}
