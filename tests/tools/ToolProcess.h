// Running the dla-batch executable from a test, without Qt, so that the
// command-line tests also run in the headless and sanitizer builds.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace dla::tools::test {

using TArgs = std::vector<std::string>;

struct TToolResult {
  // False when the program was ended by a signal (or did not end in time).
  bool Exited = false;
  int ExitCode = -1;
  std::string Out;
  std::string Err;

  // Standard error split into lines (without the line ends).
  std::vector<std::string> ErrLines() const;
  // The lines of standard output.
  std::vector<std::string> OutLines() const;
};

enum class EStdout { Captured, Closed };

// Another program than dla-batch, and the file its standard input reads.
struct TProgram {
  std::string Path;
  std::string Input = "/dev/null";
};

// dla-batch started with the arguments, its standard input empty, its
// standard output (unless closed) and error captured. extraEnv: "NAME=value"
// entries added to this process's environment.
class TRunningTool {
 public:
  explicit TRunningTool(const TArgs& args, const std::vector<std::string>& extraEnv = {},
                        EStdout out = EStdout::Captured);
  TRunningTool(const TProgram& program, const TArgs& args);
  ~TRunningTool();
  TRunningTool(const TRunningTool&) = delete;
  TRunningTool& operator=(const TRunningTool&) = delete;

  pid_t Pid() const noexcept { return pid_; }
  // Waits until standard output has something to read (true) or the
  // program closed it or the time ran out (false).
  bool WaitForOutput(std::chrono::milliseconds timeout);
  // Whether the program ends within the time, its output left unread (so a
  // program blocked on a full pipe stays blocked unless something ends it).
  // It is reaped later by Finish.
  bool EndsWithin(std::chrono::milliseconds timeout);
  // Reads everything until the program ends and reaps it; after timeout,
  // kills it and the test fails.
  TToolResult Finish(std::chrono::milliseconds timeout = std::chrono::seconds(120));

 private:
  void Start(const TProgram& program, const TArgs& args, const std::vector<std::string>& extraEnv,
             EStdout out);

  std::string name_;
  pid_t pid_ = -1;
  int out_ = -1;
  int err_ = -1;
  std::string outText_;
  std::string errText_;
};

// Runs dla-batch with the arguments and waits for it (at most 120 s).
TToolResult RunTool(const TArgs& args, const std::vector<std::string>& extraEnv = {},
                    EStdout out = EStdout::Captured);
TToolResult RunProgram(const TProgram& program, const TArgs& args);

// The bad-command-line contract: exit status 2, nothing on standard
// output, exactly one line on standard error that starts with prefix and
// contains message. Every "@" in args becomes a fresh scratch folder, which
// must still be empty afterwards (no output file, no temporary file).
void ExpectRefused(TArgs args, std::string_view prefix, std::string_view message);

// The whole content of a file; empty, and the test failed, when it cannot
// be read.
std::string ReadFile(const std::string& path);

// A fresh temporary folder for output files, removed when the test program
// ends.
std::string ScratchDir();
// Whether a folder holds no entry at all, hidden ones included.
bool IsEmptyDir(const std::string& path);

// The text split at each separator; a last empty piece is dropped.
std::vector<std::string> Split(std::string_view text, char separator);
bool StartsWith(std::string_view text, std::string_view prefix);
bool Contains(std::string_view text, std::string_view part);

}  // namespace dla::tools::test
