#include "OutputSet.h"

#include <unistd.h>

#include "InterruptGuard.h"
#include "UsageError.h"

namespace dla::tools {

TOutputFile& TOutputSet::Add(const std::string& path, std::string_view option) {
  const std::string name = "--" + std::string(option);
  if (!standardOutputTaken_) {
    standardOutputTaken_ = true;
    const std::optional<TFileIdentity> out = TFileIdentity::OfDescriptor(STDOUT_FILENO);
    if (out && !out->CharacterDevice) taken_.emplace_back("standard output", *out);
  }
  if (const std::optional<TFileIdentity> identity = TFileIdentity::OfPath(path)) {
    if (!identity->CharacterDevice) {
      for (const auto& [owner, file] : taken_) {
        if (file == *identity) {
          throw EUsageError(name + ": cannot write '" + path + "': it is the same file as " +
                            owner);
        }
      }
      taken_.emplace_back(name, *identity);
    }
  }
  files_.push_back(std::make_unique<TOutputFile>(path, option));
  return *files_.back();
}

bool TOutputSet::CommitAll() {
  for (const std::unique_ptr<TOutputFile>& file : files_) file->Finish();
  // Checked with interrupts held: one that comes after the check waits
  // until every file is in place.
  const TInterruptGuard::THeld held;
  if (TInterruptGuard::Requested()) return false;
  for (const std::unique_ptr<TOutputFile>& file : files_) file->Commit();
  return true;
}

}  // namespace dla::tools
