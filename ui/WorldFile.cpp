#include "WorldFile.h"

#include <QFile>
#include <QSaveFile>
#include <stdexcept>

#include "TCheckpoint.h"
#include "TWorld.h"
#include "TWorldState.h"

namespace {

std::runtime_error Error(const QString& text) { return std::runtime_error(text.toStdString()); }

}  // namespace

void TWorldFile::Save(const dla::TWorld& world, const QString& thresholdText, const QString& path) {
  std::string bytes;
  try {
    bytes = dla::TCheckpoint{world.State(), thresholdText.toStdString()}.Encode();
  } catch (const std::invalid_argument& error) {
    throw Error(QStringLiteral("Cannot save the world: %1").arg(QString::fromStdString(error.what())));
  }
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) ||
      file.write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size()) ||
      !file.commit()) {
    throw Error(QStringLiteral("Cannot write '%1': %2").arg(path, file.errorString()));
  }
}

std::unique_ptr<dla::TWorld> TWorldFile::Open(const QString& path, QSize area, dla::SeedClock clock,
                                              QString* thresholdText) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    throw Error(QStringLiteral("Cannot read '%1': %2").arg(path, file.errorString()));
  }
  const QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError) {
    throw Error(QStringLiteral("Cannot read '%1': %2").arg(path, file.errorString()));
  }
  dla::TCheckpoint saved;
  try {
    saved = dla::TCheckpoint::Decode(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
  } catch (const std::invalid_argument& error) {
    throw Error(QStringLiteral("'%1' %2").arg(path, QString::fromStdString(error.what())));
  }
  if (saved.World.DrawingWidth != area.width() || saved.World.DrawingHeight != area.height()) {
    throw Error(QStringLiteral("'%1' holds a world of %2 x %3 pixels; this window draws %4 x %5")
                    .arg(path)
                    .arg(saved.World.DrawingWidth)
                    .arg(saved.World.DrawingHeight)
                    .arg(area.width())
                    .arg(area.height()));
  }
  std::unique_ptr<dla::TWorld> world;
  try {
    world = std::make_unique<dla::TWorld>(saved.World, std::move(clock));
  } catch (const std::invalid_argument& error) {
    throw Error(QStringLiteral("'%1' is corrupted: %2").arg(path, QString::fromStdString(error.what())));
  }
  if (thresholdText != nullptr) *thresholdText = QString::fromStdString(saved.ThresholdText);
  return world;
}
