// dla-model: the diffusion and aggregation model in its window. The command
// line only chooses the setup the window starts on (see --help); the
// window is the whole program.
#include <QIcon>
#include <QStringList>
#include <cstdio>
#include <memory>

#include "Application.h"
#include "CellForm.h"
#include "WindowOptions.h"

int main(int argc, char** argv) {
  // Read before the application object, which needs a display: a bad
  // command line ends the program without one.
  TWindowOptions options;
  try {
    QStringList arguments;
    for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    options = TWindowOptions::Parse(arguments);
  } catch (const TWindowOptions::EBadOption& e) {
    std::fprintf(stderr, "dla-model: %s\n", e.what());
    return 2;
  }
  if (options.Help) {
    std::fputs(TWindowOptions::Usage().toLocal8Bit().constData(), stdout);
    return 0;
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
