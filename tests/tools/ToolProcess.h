// Running the dla-batch executable from a test.
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace dla::tools::test {

struct TToolResult {
  QProcess::ExitStatus Status = QProcess::NormalExit;
  int ExitCode = -1;
  QByteArray Out;
  QByteArray Err;

  // Standard error split into lines (without the line ends).
  QStringList ErrLines() const;
  // The lines of standard output.
  QStringList OutLines() const;
};

// Runs dla-batch with the arguments and waits for it (at most 120 s).
TToolResult RunTool(const QStringList& args);

// The whole content of a file; an empty array, and the test failed, when it
// cannot be read.
QByteArray ReadFile(const QString& path);

// A fresh temporary directory for output files, removed afterwards.
QString ScratchDir();

}  // namespace dla::tools::test
