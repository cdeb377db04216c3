// dla-model: the diffusion and aggregation model in its window. No command
// line, no files: the window is the whole program.
#include <QIcon>
#include <memory>

#include "Application.h"
#include "CellForm.h"

int main(int argc, char** argv) {
  TApplication application(argc, argv);
  QIcon icon(QStringLiteral(":/icon/dla-model-32.png"));
  icon.addFile(QStringLiteral(":/icon/dla-model-256.png"));
  application.setWindowIcon(icon);
  application.setDesktopFileName(QStringLiteral("dla-model"));

  std::unique_ptr<TForm1> form;
  try {
    form = std::make_unique<TForm1>(application.Errors());
  } catch (...) {
    // Without its window the program has nothing to run.
    application.Errors().ShowCurrentException();
    return 1;
  }
  form->show();
  return application.exec();
}
