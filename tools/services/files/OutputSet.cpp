#include "OutputSet.h"

#include <unistd.h>

#include "InterruptGuard.h"
#include "UsageError.h"

namespace dla::tools {

void TOutputSet::Take(const std::string& path, std::string_view name) {
  if (!standardOutputTaken_) {
    standardOutputTaken_ = true;
    const std::optional<TFileIdentity> out = TFileIdentity::OfDescriptor(STDOUT_FILENO);
    if (out && !out->CharacterDevice) taken_.emplace_back("standard output", *out);
  }
  if (const std::optional<TFileIdentity> identity = TFileIdentity::OfPath(path)) {
    if (!identity->CharacterDevice) {
      for (const auto& [owner, file] : taken_) {
        if (file == *identity) {
          throw EUsageError(std::string(name) + ": cannot write '" + path + "': it is the same file as " +
                            owner);
        }
      }
      taken_.emplace_back(name, *identity);
    }
  }
}

TOutputFile& TOutputSet::Add(const std::string& path, std::string_view name) {
  Take(path, name);
  files_.push_back(std::make_unique<TOutputFile>(path, name));
  return *files_.back();
}

TOutputFile& TOutputSet::AddApart(const std::string& path, std::string_view name) {
  Take(path, name);
  apart_.push_back(std::make_unique<TOutputFile>(path, name, TOutputFile::EInterrupts::WriteOn));
  return *apart_.back();
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
