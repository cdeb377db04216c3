// dla-model: the diffusion and aggregation model in its window. The command
// line only chooses the setup the window starts on (see --help); the
// window is the whole program.
#include <QIcon>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "Application.h"
#include "CellForm.h"
#include "Report.h"
#include "UsageError.h"
#include "WindowOptions.h"

int main(int argc, char** argv) {
  // Read before the application object, which needs a display: a bad
  // command line ends the program without one.
  TWindowOptions options;
  try {
    options = TWindowOptions::Parse(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const dla::tools::EUsageError& e) {
    dla::tools::PrintError("dla-model", e.what());
    return 2;
  }
  if (!options.Help.empty()) {
    std::fputs(options.Help.c_str(), stdout);
    return dla::tools::FlushStandardOutput("dla-model") ? 0 : 1;
  }

  TApplication application(argc, argv);
  QIcon icon(QStringLiteral(":/icon/dla-model-32.png"));
  icon.addFile(QStringLiteral(":/icon/dla-model-256.png"));
  application.setWindowIcon(icon);
  application.setDesktopFileName(QStringLiteral("dla-model"));

  std::unique_ptr<TForm1> form;
  try {
    form = std::make_unique<TForm1>(application.Errors(), options);
  } catch (...) {
    // Without its window the program has nothing to run.
    application.Errors().ShowCurrentException();
    return 1;
  }
  form->show();
  return application.exec();
}
