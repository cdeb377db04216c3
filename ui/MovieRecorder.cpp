#include "MovieRecorder.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryFile>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "MovieEncoder.h"
#include "MovieFormat.h"

namespace {

std::runtime_error Error(const QString& text) { return std::runtime_error(text.toStdString()); }

}  // namespace

TMovieRecorder::TMovieRecorder(QObject* parent, QString program)
    : QObject(parent), program_(std::move(program)) {}

TMovieRecorder::~TMovieRecorder() {
  if (encoder_) {
    encoder_->disconnect(this);
    encoder_->kill();
    encoder_->waitForFinished(2000);
  }
  if (!temporary_.isEmpty()) QFile::remove(temporary_);
}

QString TMovieRecorder::DefaultProgram() {
  const QString found = QString::fromStdString(dla::tools::TMovieEncoder::ProgramPath());
#ifdef DLA_ENCODE_BUILD_PATH
  if (!QFileInfo(found).isExecutable()) return QStringLiteral(DLA_ENCODE_BUILD_PATH);
#endif
  return found;
}

void TMovieRecorder::Start(const QString& path, QSize size, int fps) {
  if (recording_ || encoder_) throw Error(QStringLiteral("A recording is still being made"));
  const auto format = dla::tools::MovieFormatOfPath(path.toStdString());
  if (!format) {
    throw Error(QStringLiteral("Cannot record into '%1': the name must end in %2")
                    .arg(path, QString::fromLatin1(dla::tools::MovieExtensions)));
  }
  // Beside the target, so that the rename at the end stays on its file
  // system.
  const QFileInfo target(path);
  QTemporaryFile temporary(target.absoluteDir().filePath(QStringLiteral(".%1.XXXXXX").arg(target.fileName())));
  temporary.setAutoRemove(false);
  if (!temporary.open()) {
    throw Error(QStringLiteral("Cannot write '%1': %2").arg(path, temporary.errorString()));
  }
  // Only the name is kept: the encoder makes the file, with the permissions
  // any new file gets.
  temporary_ = temporary.fileName();
  temporary.remove();

  QStringList arguments;
  for (const std::string& argument :
       dla::tools::TMovieEncoder::Arguments(*format, size.width(), size.height(), fps, temporary_.toStdString(),
                                            EncoderThreads)) {
    arguments << QString::fromStdString(argument);
  }
  encoder_ = std::make_unique<QProcess>();
  encoder_->setProgram(program_);
  encoder_->setArguments(arguments);
  encoder_->setStandardOutputFile(QProcess::nullDevice());
  // Below the window in the scheduler's eyes: on a busy machine the
  // encoder falls behind and frames are dropped, not the window's steps.
  encoder_->setChildProcessModifier([] { static_cast<void>(::nice(EncoderNiceness)); });
  connect(encoder_.get(), &QProcess::finished, this, &TMovieRecorder::Ended);
  encoder_->start();
  if (!encoder_->waitForStarted()) {
    const QString reason = encoder_->errorString();
    encoder_.reset();
    QFile::remove(temporary_);
    temporary_.clear();
    throw Error(QStringLiteral("Cannot start the movie encoder '%1': %2").arg(program_, reason));
  }
  path_ = path;
  size_ = size;
  frames_ = 0;
  dropped_ = 0;
  recording_ = true;
  emit RecordingChanged(true);
}

void TMovieRecorder::Frame(const QImage& picture) {
  if (!recording_ || picture.size() != size_) return;
  const qint64 frameBytes = 4 * static_cast<qint64>(size_.width()) * size_.height();
  if (encoder_->bytesToWrite() >= MaxFramesQueued * frameBytes) {
    ++dropped_;
    return;
  }
  const QImage rgb = picture.format() == QImage::Format_RGB32 || picture.format() == QImage::Format_ARGB32
                         ? picture
                         : picture.convertToFormat(QImage::Format_RGB32);
  if (rgb.bytesPerLine() == 4 * size_.width()) {
    encoder_->write(reinterpret_cast<const char*>(rgb.constBits()), frameBytes);
  } else {
    for (int y = 0; y < size_.height(); ++y) {
      encoder_->write(reinterpret_cast<const char*>(rgb.constScanLine(y)), 4 * size_.width());
    }
  }
  ++frames_;
}

void TMovieRecorder::Stop() {
  if (!recording_) return;
  recording_ = false;
  emit RecordingChanged(false);
  // The rest of the frames, then the end of the input; the encoder then
  // finishes the file and exits, and Ended puts it in place.
  encoder_->closeWriteChannel();
}

void TMovieRecorder::StopAndWait(int msecs) {
  Stop();
  // Qt delivers finished() from inside the wait, so Ended has run when it
  // returns.
  if (encoder_) encoder_->waitForFinished(msecs);
}

void TMovieRecorder::Ended(int exitCode, QProcess::ExitStatus status) {
  const QString reason = QString::fromLocal8Bit(encoder_->readAllStandardError()).trimmed();
  encoder_.release()->deleteLater();
  if (status != QProcess::NormalExit || exitCode != 0) {
    Fail(reason.isEmpty() ? QStringLiteral("The movie encoder failed (exit status %1)").arg(exitCode)
                          : reason.section(QLatin1Char('\n'), -1));
    return;
  }
  if (recording_) {
    // It ended before it was asked to.
    Fail(QStringLiteral("The movie encoder stopped early"));
    return;
  }
  if (std::rename(QFile::encodeName(temporary_).constData(), QFile::encodeName(path_).constData()) != 0) {
    Fail(QStringLiteral("Cannot write '%1': %2").arg(path_, QString::fromLocal8Bit(std::strerror(errno))));
    return;
  }
  temporary_.clear();
  emit Finished(path_);
}

void TMovieRecorder::Fail(const QString& message) {
  if (!temporary_.isEmpty()) QFile::remove(temporary_);
  temporary_.clear();
  if (recording_) {
    recording_ = false;
    emit RecordingChanged(false);
  }
  emit Failed(message);
}
