// Stands in for the message box in the window's tests: records what the
// error display would have shown, and can run a nested event loop while the
// "box" is open, as a real modal box does.
#pragma once

#include <QList>
#include <QString>
#include <QTest>
#include <functional>

#include "ErrorDisplay.h"

struct TBoxRecorder {
  struct Box {
    QString Caption;
    QString Text;
  };
  QList<Box> Boxes;
  // How long each box stays open, with the event loop running.
  int OpenMs = 0;
  // Runs while the box is open.
  std::function<void()> WhileOpen;

  TErrorDisplay::Presenter Presenter() {
    return [this](QWidget*, const QString& caption, const QString& text) {
      Boxes.append({caption, text});
      if (WhileOpen) WhileOpen();
      if (OpenMs > 0) QTest::qWait(OpenMs);
    };
  }
};
