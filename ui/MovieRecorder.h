// "Record video…": the frames the window shows, into a movie made by the
// encoder program (dla-encode, docs/movies.md) through a pipe, so that the
// window never loads FFmpeg and never waits for the encoder.
#pragma once

#include <QObject>
#include <QProcess>
#include <QSize>
#include <QString>
#include <memory>

class QImage;

class TMovieRecorder : public QObject {
  Q_OBJECT

 public:
  // At most this many frames wait for the encoder; a frame beyond them is
  // dropped, so that a slow encoder costs frames of the movie, never the
  // window's pace.
  static constexpr qint64 MaxFramesQueued = 8;
  // The encoder works with one thread and a lower priority (nice), so that
  // on a machine of few cores it leaves the window's thread a core of its
  // own: an encoder of several threads cost the pace a tenth.
  static constexpr int EncoderThreads = 1;
  static constexpr int EncoderNiceness = 10;

  // program: the encoder; by default DefaultProgram().
  explicit TMovieRecorder(QObject* parent = nullptr, QString program = DefaultProgram());
  // A recording not yet finished is abandoned: the encoder is asked to end
  // (SIGTERM), which leaves nothing written.
  ~TMovieRecorder() override;

  // $DLA_ENCODE, else dla-encode beside the running program, else the one
  // this build made.
  static QString DefaultProgram();

  // Starts a movie of `size` pixels at fps frames a second into path, the
  // format from its extension (.mp4, .webm, .gif, .mkv). The encoder
  // writes the movie to a temporary file beside path and renames it into
  // place when it is done. Throws std::runtime_error with a one-line reason (an extension
  // that names no format, a size the format does not take, an encoder that
  // cannot be started, a folder that cannot be written), having started
  // nothing. Not while Recording().
  void Start(const QString& path, QSize size, int fps);
  // The picture as the next frame, while recording (otherwise nothing);
  // converted to 32-bit RGB if it is not. A picture of another size than
  // Start's is not taken.
  void Frame(const QImage& picture);
  // Ends the recording: the encoder writes the end of the file and puts it
  // in place, and Finished or Failed follows.
  void Stop();
  // Stop, then waits (at most msecs) until the movie is in place or has
  // failed: for a window that closes while it records.
  void StopAndWait(int msecs = 30000);

  // Between Start and Stop (or a failure).
  bool Recording() const noexcept { return recording_; }
  // Frames handed to the encoder, and dropped, since Start.
  qint64 Frames() const noexcept { return frames_; }
  qint64 Dropped() const noexcept { return dropped_; }

 signals:
  // The movie is in place.
  void Finished(const QString& path);
  // No movie: the encoder failed (its reason) or the file could not be put
  // in place.
  void Failed(const QString& message);
  // Recording() changed.
  void RecordingChanged(bool recording);

 private:
  void Ended(int exitCode, QProcess::ExitStatus status);
  void Fail(const QString& message);

  QString program_;
  std::unique_ptr<QProcess> encoder_;
  QString path_;
  QSize size_;
  bool recording_ = false;
  qint64 frames_ = 0;
  qint64 dropped_ = 0;
};
