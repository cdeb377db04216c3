#include "ToolProcess.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <memory>
#include <vector>

namespace dla::tools::test {
namespace {

QStringList Lines(const QByteArray& text) {
  QStringList lines = QString::fromUtf8(text).split('\n');
  if (!lines.isEmpty() && lines.back().isEmpty()) lines.pop_back();
  return lines;
}

}  // namespace

QStringList TToolResult::ErrLines() const { return Lines(Err); }
QStringList TToolResult::OutLines() const { return Lines(Out); }

TToolResult RunTool(const QStringList& args) {
  QProcess process;
  process.start(QStringLiteral(DLA_BATCH_PATH), args);
  TToolResult result;
  if (!process.waitForStarted(10'000) || !process.waitForFinished(120'000)) {
    ADD_FAILURE() << "dla-batch did not run to its end: " << process.errorString().toStdString();
    process.kill();
    process.waitForFinished();
  }
  result.Status = process.exitStatus();
  result.ExitCode = process.exitCode();
  result.Out = process.readAllStandardOutput();
  result.Err = process.readAllStandardError();
  return result;
}

QByteArray ReadFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    ADD_FAILURE() << "cannot read " << path.toStdString();
    return {};
  }
  return file.readAll();
}

QString ScratchDir() {
  // Kept until the test program ends; each test gets its own.
  static std::vector<std::unique_ptr<QTemporaryDir>> dirs;
  dirs.push_back(std::make_unique<QTemporaryDir>());
  return dirs.back()->path();
}

}  // namespace dla::tools::test
