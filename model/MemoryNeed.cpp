#include "MemoryNeed.h"

#include <algorithm>
#include <cstdio>

#ifdef __EMSCRIPTEN__
#include <emscripten/heap.h>
#include <unistd.h>
#else
#include <sys/resource.h>

#include <fstream>
#include <sstream>
#endif

namespace dla {
namespace {

// Bytes a lattice cell takes: its state and shade, its aggregated bit, its
// place among the young aggregates, and its share of the measures' tiles.
constexpr std::int64_t CellBytes = 16;
// Bytes an agent takes: its free columns, its stuck record, the lists a
// step makes, each with a vector's room to grow, and an aggregated cell's
// node and sums in the measures, as many as there are agents at most, and
// the two cells of each free agent that a step shared among threads sorts.
constexpr std::int64_t AgentBytes = 104;
// The picture, and the movie frame or the window's copy of it.
constexpr std::int64_t PixelBytes = 8;
// What a process takes before its world does.
constexpr std::int64_t BaseBytes = std::int64_t{64} << 20;

std::string InGiB(std::int64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f GiB", static_cast<double>(bytes) / (1 << 30));
  return text;
}

#ifndef __EMSCRIPTEN__
// The value after `key` in a "key: value kB" file such as /proc/meminfo.
std::optional<std::int64_t> KibibytesAfter(const char* path, const std::string& key) {
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind(key, 0) != 0) continue;
    std::istringstream fields(line.substr(key.size()));
    std::int64_t kib = 0;
    if (fields >> kib) return kib * 1024;
  }
  return std::nullopt;
}

std::optional<std::int64_t> NumberIn(const std::string& path) {
  std::ifstream in(path);
  std::int64_t value = 0;
  if (in >> value) return value;
  return std::nullopt;  // also "max": no limit
}

// What the control group (version 2) this process runs in leaves: a
// container's or a cluster job's limit lies there, below the machine's.
std::optional<std::int64_t> CgroupLeft() {
  std::ifstream self("/proc/self/cgroup");
  std::string line;
  if (!std::getline(self, line) || line.rfind("0::", 0) != 0) return std::nullopt;
  const std::string dir = "/sys/fs/cgroup" + line.substr(3);
  const std::optional<std::int64_t> limit = NumberIn(dir + "/memory.max");
  const std::optional<std::int64_t> used = NumberIn(dir + "/memory.current");
  if (!limit || !used) return std::nullopt;
  return std::max<std::int64_t>(0, *limit - *used);
}

std::optional<std::int64_t> AddressSpaceLeft() {
  rlimit limit{};
  if (getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return std::nullopt;
  const std::optional<std::int64_t> used = KibibytesAfter("/proc/self/status", "VmSize:");
  return std::max<std::int64_t>(0, static_cast<std::int64_t>(limit.rlim_cur) - used.value_or(0));
}

#endif

}  // namespace

std::int64_t RunBytesNeeded(std::int64_t width, std::int64_t height, std::int64_t agents) {
  const std::int64_t cells = ((width + 1) / 3 + 1) * ((height + 1) / 3 + 1);
  return BaseBytes + CellBytes * cells + PixelBytes * width * height + AgentBytes * std::max<std::int64_t>(agents, 0);
}

std::optional<std::int64_t> AvailableBytes() {
#ifdef __EMSCRIPTEN__
  // A page has no files to read, and its memory is the module's own: what
  // may still grow between the top of the heap and the module's limit.
  const auto top = reinterpret_cast<std::uintptr_t>(sbrk(0));
  return static_cast<std::int64_t>(emscripten_get_heap_max()) - static_cast<std::int64_t>(top);
#else
  std::optional<std::int64_t> least;
  for (const std::optional<std::int64_t> left :
       {KibibytesAfter("/proc/meminfo", "MemAvailable:"), CgroupLeft(), AddressSpaceLeft()}) {
    if (left && (!least || *left < *least)) least = left;
  }
  return least;
#endif
}

std::string MemoryFault(std::int64_t width, std::int64_t height, std::int64_t agents,
                        std::optional<std::int64_t> available) {
  const std::int64_t needed = RunBytesNeeded(width, height, agents);
  if (!available || needed <= *available) return {};
  return "a " + std::to_string(width) + "x" + std::to_string(height) + " drawing area with " +
         std::to_string(std::max<std::int64_t>(agents, 0)) + " agents needs about " + InGiB(needed) +
         " of memory (" + std::to_string(needed) + " bytes); " + InGiB(*available) + " is available";
}

}  // namespace dla
