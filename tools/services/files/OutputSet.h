// The output files of one command, checked against each other before the
// run and put into place together after it.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "FileIdentity.h"
#include "OutputFile.h"

namespace dla::tools {

class TOutputSet {
 public:
  // Opens the output (see TOutputFile) after checking that it is not the
  // same file as one added before or as standard output, compared by device
  // and inode after following symlinks, also where the file does not exist
  // yet. Character devices are exempt (/dev/null twice is harmless). Throws
  // EUsageError. The file lives as long as the set.
  TOutputFile& Add(const std::string& path, std::string_view name);
  // As Add, but the file is none of CommitAll's, and its writes go on after
  // an interrupt (TOutputFile::EInterrupts::WriteOn): its owner commits it on
  // its own, or leaves it uncommitted, which discards it. For a file written
  // when the others are not, the rows an interrupted sweep keeps.
  TOutputFile& AddApart(const std::string& path, std::string_view name);

  // Finishes every file, then, unless an interrupt is pending, renames them
  // all into place with interrupts held, so that they appear together or
  // not at all. Returns false, having renamed nothing, when an interrupt
  // came first. Throws std::runtime_error.
  bool CommitAll();

 private:
  // Refuses a path that is the same file as one taken before.
  void Take(const std::string& path, std::string_view name);

  std::vector<std::pair<std::string, TFileIdentity>> taken_;  // who, which file
  std::vector<std::unique_ptr<TOutputFile>> files_;
  std::vector<std::unique_ptr<TOutputFile>> apart_;
  bool standardOutputTaken_ = false;
};

}  // namespace dla::tools
