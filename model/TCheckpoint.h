// A saved world: its whole state and the threshold it runs with, in the
// checkpoint file format (docs/checkpoints.md). The batch runner, the window
// and the Python module all read and write it through this class, so a world
// saved by one carries on in another.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "TWorldState.h"

namespace dla {

class TCheckpoint {
 public:
  // The format version written; files of this version or older are read.
  static constexpr std::uint32_t FormatVersion = 1;

  TWorldState World;
  // The threshold as typed (the window's edit, --threshold): converted by
  // ThresholdFromText, as the window converts it.
  std::string ThresholdText = "6";

  // The file's bytes. Throws std::invalid_argument for what the format
  // cannot hold, which no set-up or step produces: a threshold text that
  // ThresholdFromText refuses (of any length it takes), an agent whose
  // Moving is not 0 or 1, whose DX or DY is not -1, 0 or 1, or whose Radius
  // is outside 0 to 65535.
  std::string Encode() const;

  // Reads a file's bytes. Throws std::invalid_argument with a one-line
  // reason that reads after the file's name ("is truncated (...)") when
  // they are not a whole, intact checkpoint of a version this program
  // reads. Whether the world it holds can be is TWorld's restoring
  // constructor's to say.
  static TCheckpoint Decode(std::string_view bytes);

  // Decode of the file at path, read in bounded pieces and never past what
  // its header says: a foreign file, or one whose length field disagrees
  // with its size, is refused after its first 16 bytes. Throws
  // std::runtime_error, one line that names the file: why it cannot be
  // read, or Decode's reason. (Writing is left to the caller, who knows how
  // its outputs are put into place.)
  static TCheckpoint Load(const std::string& path);

 private:
  // The whole file's length from its first bytes (HeaderSize of them, or
  // fewer if the file is shorter); throws Decode's reasons for a file that
  // is no checkpoint of a version this program reads.
  static std::size_t Length(std::string_view header);
  // Throws Decode's reasons unless the file's size is that length.
  static void CheckLength(std::size_t length, std::uint64_t size);
};

// CRC-32 (ISO-HDLC: polynomial 0xEDB88320 reflected, initial and final
// value 0xFFFFFFFF), the checksum of the format; crc carries on from an
// earlier piece (0 to start).
std::uint32_t Crc32(std::string_view bytes, std::uint32_t crc = 0) noexcept;

}  // namespace dla
