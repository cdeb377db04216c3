// "Save world…" and "Open world…": the window's world in a checkpoint file
// (docs/checkpoints.md), the same files that dla-batch --save-state writes
// and --load-state reads.
#pragma once

#include <QSize>
#include <QString>
#include <memory>

#include "Random.h"

namespace dla {
class TWorld;
}

class TWorldFile {
 public:
  // Writes the world and the threshold edit's text to path, whole or not at
  // all (a temporary file renamed into place). Throws std::runtime_error,
  // one line: "Cannot write '<path>': <reason>".
  static void Save(const dla::TWorld& world, const QString& thresholdText, const QString& path);

  // A world read from path for a window whose drawing area is `area`
  // pixels; its later setups seed from `clock`. *thresholdText gets the
  // saved threshold text. Throws std::runtime_error, one line: a file that
  // cannot be read, is not a whole checkpoint of a known version, or holds
  // a world of another drawing area.
  static std::unique_ptr<dla::TWorld> Open(const QString& path, QSize area, dla::SeedClock clock,
                                           QString* thresholdText);
};
