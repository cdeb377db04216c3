#include "TCheckpoint.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "IntegerText.h"

namespace dla {

namespace {

// PNG's trick: a high byte first catches 7-bit channels, CR LF and LF catch
// line-end conversion, ^Z stops a DOS `type`.
constexpr std::string_view Magic{"\x89" "DLA\r\n\x1a\n", 8};
// Magic, version, length: the part every version keeps, so that a newer
// file is recognised as newer, not as corrupt.
constexpr std::size_t HeaderSize = 16;
constexpr std::size_t AgentSize = 16;
constexpr std::size_t ChecksumSize = 4;

constexpr std::array<std::uint32_t, 256> CrcTable = [] {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1u) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}();

void Put32(std::string& out, std::uint32_t v) {
  const char bytes[4] = {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
                         static_cast<char>(v >> 24)};
  out.append(bytes, 4);
}

std::uint32_t Get32(const char* p) noexcept {
  const auto* b = reinterpret_cast<const unsigned char*>(p);
  return std::uint32_t{b[0]} | std::uint32_t{b[1]} << 8 | std::uint32_t{b[2]} << 16 |
         std::uint32_t{b[3]} << 24;
}

std::int32_t Signed(std::uint32_t v) noexcept { return static_cast<std::int32_t>(v); }

// The lattice's cell count for a drawing area, as TWorld's constructor
// makes it (round(W / 3) x round(H / 3), which is (W + 1) / 3 for a whole
// W >= 0); 0 for an area it refuses.
std::size_t CellCount(std::int32_t width, std::int32_t height) {
  if (!DrawingAreaFault(width, height).empty()) return 0;
  return static_cast<std::size_t>((width + 1) / 3) * static_cast<std::size_t>((height + 1) / 3);
}

std::invalid_argument Corrupted(const std::string& what) {
  return std::invalid_argument("is corrupted: " + what);
}

// Reads the body in order; every read is checked against the end, which a
// file with a good checksum never reaches early unless its writer was wrong.
class TReader {
 public:
  TReader(std::string_view bytes, std::size_t at) : bytes_(bytes), at_(at) {}
  const char* Take(std::size_t count, const char* what) {
    if (count > bytes_.size() - at_) throw Corrupted(std::string(what) + " run past its end");
    const char* p = bytes_.data() + at_;
    at_ += count;
    return p;
  }
  std::uint32_t U32(const char* what) { return Get32(Take(4, what)); }
  std::size_t Left() const noexcept { return bytes_.size() - at_; }

 private:
  std::string_view bytes_;
  std::size_t at_;
};

}  // namespace

std::uint32_t Crc32(std::string_view bytes, std::uint32_t crc) noexcept {
  crc = ~crc;
  for (const char c : bytes) crc = CrcTable[(crc ^ static_cast<unsigned char>(c)) & 0xFFu] ^ (crc >> 8);
  return ~crc;
}

std::string TCheckpoint::Encode() const {
  const TWorldState& w = World;
  try {
    ThresholdFromText(ThresholdText);
  } catch (const EConvertError& error) {
    throw std::invalid_argument(std::string("cannot save the threshold: ") + error.what());
  }
  const std::size_t cells = CellCount(w.DrawingWidth, w.DrawingHeight);
  if (cells == 0 || w.States.size() != cells || w.Shades.size() != cells) {
    throw std::invalid_argument("the world's cells do not match its drawing area");
  }
  const std::size_t bitmap = (cells + 7) / 8;
  std::size_t counted = 0;
  for (const std::int32_t s : w.States) counted += s != 0;

  std::string out;
  out.reserve(HeaderSize + 40 + ThresholdText.size() + AgentSize * w.Agents.size() + 2 * bitmap +
              4 * counted + 4 + 4 * w.NewAggregates.size() + ChecksumSize);
  out.append(Magic);
  Put32(out, FormatVersion);
  Put32(out, 0);  // the length, filled in at the end
  Put32(out, static_cast<std::uint32_t>(w.DrawingWidth));
  Put32(out, static_cast<std::uint32_t>(w.DrawingHeight));
  Put32(out, static_cast<std::uint32_t>(ThresholdText.size()));
  out.append(ThresholdText);
  Put32(out, static_cast<std::uint32_t>(w.Agents.size()));
  Put32(out, w.Seed);
  Put32(out, w.PlacementSeed);
  Put32(out, static_cast<std::uint32_t>(w.StepCount));
  out.push_back(static_cast<char>(w.LastChange));

  for (std::size_t k = 0; k < w.Agents.size(); ++k) {
    const TAgent& a = w.Agents[k];
    const auto unit = [](std::int32_t v) { return v >= -1 && v <= 1; };
    if ((a.Moving != 0 && a.Moving != 1) || !unit(a.DX) || !unit(a.DY) || a.Radius < 0 ||
        a.Radius > 0xFFFF) {
      throw std::invalid_argument("agent " + std::to_string(k) +
                                  " has values the file format cannot hold");
    }
    Put32(out, static_cast<std::uint32_t>(a.X));
    Put32(out, static_cast<std::uint32_t>(a.Y));
    Put32(out, static_cast<std::uint32_t>(a.Heading));
    out.push_back(static_cast<char>(a.Radius & 0xFF));
    out.push_back(static_cast<char>(a.Radius >> 8));
    out.push_back(static_cast<char>(a.Moving));
    out.push_back(static_cast<char>(3 * (a.DX + 1) + (a.DY + 1)));
  }

  const std::size_t shadesAt = out.size();
  out.append(2 * bitmap, '\0');
  char* const shades = out.data() + shadesAt;
  char* const nonzero = shades + bitmap;
  for (std::size_t i = 0; i < cells; ++i) {
    const auto bit = static_cast<char>(1u << (i % 8));
    if (w.Shades[i] != 0) shades[i / 8] = static_cast<char>(shades[i / 8] | bit);
    if (w.States[i] != 0) nonzero[i / 8] = static_cast<char>(nonzero[i / 8] | bit);
  }
  for (const std::int32_t s : w.States) {
    if (s != 0) Put32(out, static_cast<std::uint32_t>(s));
  }
  Put32(out, static_cast<std::uint32_t>(w.NewAggregates.size()));
  for (const std::uint32_t index : w.NewAggregates) Put32(out, index);

  const auto length = static_cast<std::uint32_t>(out.size() + ChecksumSize);
  for (int b = 0; b < 4; ++b) out[12 + b] = static_cast<char>(length >> (8 * b));
  Put32(out, Crc32(out));
  return out;
}

std::size_t TCheckpoint::Length(std::string_view header) {
  if (header.substr(0, Magic.size()) != Magic.substr(0, std::min(header.size(), Magic.size()))) {
    throw std::invalid_argument("is not a saved world (no checkpoint header)");
  }
  if (header.size() < HeaderSize) {
    throw std::invalid_argument(header.empty() ? "is empty" : "is truncated (no whole header)");
  }
  const std::uint32_t version = Get32(header.data() + 8);
  if (version > FormatVersion) {
    throw std::invalid_argument("was written in format version " + std::to_string(version) +
                                "; this program reads versions up to " +
                                std::to_string(FormatVersion));
  }
  if (version == 0) throw Corrupted("format version 0");
  return Get32(header.data() + 12);
}

void TCheckpoint::CheckLength(std::size_t length, std::uint64_t size) {
  if (size < length) {
    throw std::invalid_argument("is truncated (" + std::to_string(size) + " of " +
                                std::to_string(length) + " bytes)");
  }
  if (size > length || length < HeaderSize + ChecksumSize) {
    throw Corrupted("its length field says " + std::to_string(length) + " bytes, it has " +
                    std::to_string(size));
  }
}

TCheckpoint TCheckpoint::Decode(std::string_view bytes) {
  const std::size_t length = Length(bytes);
  CheckLength(length, bytes.size());
  const std::string_view body = bytes.substr(0, length - ChecksumSize);
  // Only the fuzzing build (DLA_FUZZ) defines this, so that mutated files
  // get past the checksum to the fields behind it.
#ifndef DLA_FUZZ_SKIP_CHECKSUM
  if (Crc32(body) != Get32(bytes.data() + body.size())) throw Corrupted("checksum mismatch");
#endif

  TReader in(body, HeaderSize);
  TCheckpoint checkpoint;
  TWorldState& w = checkpoint.World;
  w.DrawingWidth = Signed(in.U32("the drawing area"));
  w.DrawingHeight = Signed(in.U32("the drawing area"));
  const std::size_t cells = CellCount(w.DrawingWidth, w.DrawingHeight);
  if (cells == 0) {
    throw Corrupted("no world has the drawing area " + std::to_string(w.DrawingWidth) + "x" +
                    std::to_string(w.DrawingHeight));
  }
  const std::uint32_t textLength = in.U32("the threshold");
  checkpoint.ThresholdText.assign(in.Take(textLength, "the threshold"), textLength);
  try {
    ThresholdFromText(checkpoint.ThresholdText);
  } catch (const EConvertError&) {
    throw Corrupted("the threshold text is not a number");
  }
  const std::uint32_t agents = in.U32("the agents");
  w.Seed = in.U32("the random source");
  w.PlacementSeed = in.U32("the placement seed");
  w.StepCount = Signed(in.U32("the step count"));
  const auto change = static_cast<unsigned char>(*in.Take(1, "the last change"));
  if (change > static_cast<unsigned char>(TWorld::TChange::Stepped)) {
    throw Corrupted("last change of unknown kind " + std::to_string(change));
  }
  w.LastChange = static_cast<TWorld::TChange>(change);

  if (agents > in.Left() / AgentSize) throw Corrupted("the agents run past its end");
  w.Agents.resize(agents);
  const char* record = in.Take(AgentSize * agents, "the agents");
  for (TAgent& a : w.Agents) {
    const auto* b = reinterpret_cast<const unsigned char*>(record);
    a.X = Signed(Get32(record));
    a.Y = Signed(Get32(record + 4));
    a.Heading = Signed(Get32(record + 8));
    a.Radius = b[12] | b[13] << 8;
    a.Moving = b[14];
    if (a.Moving > 1 || b[15] > 8) throw Corrupted("an agent with values out of range");
    a.DX = b[15] / 3 - 1;
    a.DY = b[15] % 3 - 1;
    record += AgentSize;
  }

  const std::size_t bitmap = (cells + 7) / 8;
  const auto* shades = reinterpret_cast<const unsigned char*>(in.Take(bitmap, "the cells"));
  const auto* nonzero = reinterpret_cast<const unsigned char*>(in.Take(bitmap, "the cells"));
  // The last byte's bits past the last cell are 0, as written: a file has
  // one form for each world, and no count hides behind a cell that is not.
  const auto past = static_cast<unsigned char>(0xFFu << (cells - 8 * (bitmap - 1)) & 0xFFu);
  if (((shades[bitmap - 1] | nonzero[bitmap - 1]) & past) != 0) {
    throw Corrupted("bits set past the last cell");
  }
  std::size_t counted = 0;
  for (std::size_t i = 0; i < bitmap; ++i) counted += static_cast<std::size_t>(std::popcount(nonzero[i]));
  const char* counts = in.Take(4 * counted, "the cell counts");
  w.Shades.resize(cells);
  w.States.resize(cells);
  for (std::size_t i = 0; i < cells; ++i) {
    const unsigned bit = 1u << (i % 8);
    w.Shades[i] = (shades[i / 8] & bit) != 0 ? 255 : 0;
    if ((nonzero[i / 8] & bit) != 0) {
      w.States[i] = Signed(Get32(counts));
      if (w.States[i] <= 0) throw Corrupted("a cell count out of range");
      counts += 4;
    }
  }
  const std::uint32_t fresh = in.U32("the new aggregates");
  if (fresh > in.Left() / 4) throw Corrupted("the new aggregates run past its end");
  w.NewAggregates.resize(fresh);
  const char* index = in.Take(4 * std::size_t{fresh}, "the new aggregates");
  for (std::uint32_t& cell : w.NewAggregates) {
    cell = Get32(index);
    index += 4;
  }
  if (in.Left() != 0) throw Corrupted(std::to_string(in.Left()) + " bytes after the last part");
  return checkpoint;
}

TCheckpoint TCheckpoint::Load(const std::string& path) {
  const auto unreadable = [&path](const std::string& why) {
    return std::runtime_error("cannot read '" + path + "': " + why);
  };
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw unreadable(std::strerror(errno));
  struct TClosed {
    int fd;
    ~TClosed() { ::close(fd); }
  } closed{fd};
  struct stat status {};
  if (::fstat(fd, &status) != 0) throw unreadable(std::strerror(errno));
  if (S_ISDIR(status.st_mode)) throw unreadable("it is a directory");
  // At most what the header promises, and the byte after it: a file that
  // is no checkpoint, or one whose length disagrees with its size, is
  // refused after its first bytes, however large it is or if it never ends.
  std::string bytes;
  const auto readUpTo = [&](std::size_t size) {
    constexpr std::size_t Piece = std::size_t{1} << 20;
    while (bytes.size() < size) {
      const std::size_t at = bytes.size();
      bytes.resize(std::min(size, at + Piece));
      const ssize_t got = ::read(fd, bytes.data() + at, bytes.size() - at);
      if (got < 0 && errno == EINTR) {
        bytes.resize(at);
        continue;
      }
      if (got < 0) throw unreadable(std::strerror(errno));
      bytes.resize(at + static_cast<std::size_t>(got));
      if (got == 0) return;
    }
  };
  const auto named = [&path](const std::invalid_argument& error) {
    return std::runtime_error("'" + path + "' " + error.what());
  };
  try {
    readUpTo(HeaderSize);
    const std::size_t length = Length(bytes);
    if (S_ISREG(status.st_mode)) CheckLength(length, static_cast<std::uint64_t>(status.st_size));
    readUpTo(length + 1);
    return Decode(bytes);
  } catch (const std::invalid_argument& error) {
    throw named(error);
  } catch (const std::bad_alloc&) {
    throw unreadable("not enough memory to read it");
  }
}

}  // namespace dla
