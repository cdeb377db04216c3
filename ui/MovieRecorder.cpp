#include "MovieRecorder.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryFile>
#include <unistd.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <optional>
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
    // Asked to stop, the encoder removes its temporary file; killed, it
    // could not.
    encoder_->terminate();
    if (!encoder_->waitForFinished(2000)) {
      encoder_->kill();
      encoder_->waitForFinished(1000);
    }
  }
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
  const std::optional<std::string> refusal = dla::tools::MovieSizeRefusal(*format, size.width(), size.height());
  if (refusal) {
    throw Error(QStringLiteral("Cannot record into '%1': %2").arg(path, QString::fromStdString(*refusal)));
  }
  // The encoder writes the movie to a temporary file beside the target and
  // renames it into place when it is whole; a folder it could not write is
  // found now, before it starts.
  const QFileInfo target(path);
  QTemporaryFile probe(target.absoluteDir().filePath(QStringLiteral(".%1.XXXXXX").arg(target.fileName())));
  if (!probe.open()) {
    throw Error(QStringLiteral("Cannot write '%1': %2").arg(path, probe.errorString()));
  }
  probe.remove();

  QStringList arguments;
  for (const std::string& argument :
       dla::tools::TMovieEncoder::Arguments(*format, size.width(), size.height(), fps, path.toStdString(),
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
  // finishes the file, puts it in place and exits.
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
#ifdef __GLIBC__
  // The frames queued for a slow encoder took megabytes that the allocator
  // would otherwise keep for good: a window that records now and then
  // would hold the most its busiest recording ever needed.
  malloc_trim(0);
#endif
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
  emit Finished(path_);
}

void TMovieRecorder::Fail(const QString& message) {
  if (recording_) {
    recording_ = false;
    emit RecordingChanged(false);
  }
  emit Failed(message);
}
