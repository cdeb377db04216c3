#include "ToolProcess.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

extern char** environ;

namespace dla::tools::test {
namespace {

std::vector<std::string> Lines(const std::string& text) { return Split(text, '\n'); }

// Reads what is there from fd into text; false at end of file.
bool Drain(int fd, std::string& text) {
  char buffer[65536];
  const ssize_t got = ::read(fd, buffer, sizeof buffer);
  if (got > 0) {
    text.append(buffer, static_cast<std::size_t>(got));
    return true;
  }
  return got < 0 && errno == EINTR;
}

struct TScratch {
  std::vector<std::string> Dirs;
  ~TScratch() {
    std::error_code ignored;
    for (const std::string& dir : Dirs) std::filesystem::remove_all(dir, ignored);
  }
};

}  // namespace

std::vector<std::string> TToolResult::ErrLines() const { return Lines(Err); }
std::vector<std::string> TToolResult::OutLines() const { return Lines(Out); }

TRunningTool::TRunningTool(const TArgs& args, const std::vector<std::string>& extraEnv,
                           EStdout out) {
  Start({DLA_BATCH_PATH}, args, extraEnv, out);
}

TRunningTool::TRunningTool(const TProgram& program, const TArgs& args) {
  Start(program, args, {}, EStdout::Captured);
}

void TRunningTool::Start(const TProgram& program, const TArgs& args,
                         const std::vector<std::string>& extraEnv, EStdout out) {
  name_ = program.Path;
  const bool closeOut = out == EStdout::Closed;
  int outPipe[2], err[2];
  if (::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
    ADD_FAILURE() << "no pipe";
    return;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, program.Input.c_str(), O_RDONLY, 0);
  if (closeOut) {
    posix_spawn_file_actions_addclose(&actions, STDOUT_FILENO);
  } else {
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
  }
  posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
  std::vector<std::string> argStrings{program.Path};
  argStrings.insert(argStrings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& arg : argStrings) argv.push_back(arg.data());
  argv.push_back(nullptr);
  std::vector<std::string> envStrings;
  for (char** entry = environ; *entry != nullptr; ++entry) envStrings.emplace_back(*entry);
  envStrings.insert(envStrings.end(), extraEnv.begin(), extraEnv.end());
  std::vector<char*> envp;
  for (std::string& entry : envStrings) envp.push_back(entry.data());
  envp.push_back(nullptr);
  const int spawned =
      ::posix_spawn(&pid_, program.Path.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(outPipe[1]);
  ::close(err[1]);
  out_ = outPipe[0];
  err_ = err[0];
  if (spawned != 0) {
    ADD_FAILURE() << "cannot start " << program.Path;
    pid_ = -1;
  }
}

TRunningTool::~TRunningTool() {
  if (pid_ > 0) Finish(std::chrono::milliseconds(0));
  if (out_ >= 0) ::close(out_);
  if (err_ >= 0) ::close(err_);
}

bool TRunningTool::WaitForOutput(std::chrono::milliseconds timeout) {
  if (!outText_.empty()) return true;
  pollfd fd{out_, POLLIN, 0};
  if (::poll(&fd, 1, static_cast<int>(timeout.count())) <= 0) return false;
  return Drain(out_, outText_) && !outText_.empty();
}

bool TRunningTool::EndsWithin(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (pid_ > 0) {
    siginfo_t info{};
    if (::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
        info.si_pid == pid_) {
      return true;
    }
    if (std::chrono::steady_clock::now() >= deadline) return false;
    ::usleep(10'000);
  }
  return false;
}

TToolResult TRunningTool::Finish(std::chrono::milliseconds timeout) {
  TToolResult result;
  if (pid_ <= 0) return result;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  bool outOpen = true, errOpen = true;
  while (outOpen || errOpen) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      if (timeout.count() > 0) ADD_FAILURE() << name_ << " did not run to its end";
      ::kill(pid_, SIGKILL);
      break;
    }
    pollfd fds[2] = {{outOpen ? out_ : -1, POLLIN, 0}, {errOpen ? err_ : -1, POLLIN, 0}};
    if (::poll(fds, 2, static_cast<int>(left.count())) < 0 && errno != EINTR) break;
    if (outOpen && fds[0].revents != 0) outOpen = Drain(out_, outText_);
    if (errOpen && fds[1].revents != 0) errOpen = Drain(err_, errText_);
  }
  int status = 0;
  while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  pid_ = -1;
  result.Exited = WIFEXITED(status);
  result.ExitCode = result.Exited ? WEXITSTATUS(status) : -1;
  result.Out = std::move(outText_);
  result.Err = std::move(errText_);
  return result;
}

TToolResult RunTool(const TArgs& args, const std::vector<std::string>& extraEnv, EStdout out) {
  return TRunningTool(args, extraEnv, out).Finish();
}

TToolResult RunProgram(const TProgram& program, const TArgs& args) {
  return TRunningTool(program, args).Finish();
}

void ExpectRefused(TArgs args, std::string_view prefix, std::string_view message) {
  const std::string dir = ScratchDir();
  for (std::string& arg : args) {
    for (std::size_t at = arg.find('@'); at != std::string::npos; at = arg.find('@', at + 1)) {
      arg.replace(at, 1, dir);
    }
  }
  const TToolResult result = RunTool(args);
  EXPECT_TRUE(result.Exited);
  EXPECT_EQ(result.ExitCode, 2);
  EXPECT_TRUE(result.Out.empty()) << result.Out;
  ASSERT_EQ(result.ErrLines().size(), 1u) << result.Err;
  EXPECT_TRUE(StartsWith(result.ErrLines()[0], prefix)) << result.Err;
  EXPECT_TRUE(Contains(result.ErrLines()[0], message)) << result.Err;
  EXPECT_TRUE(IsEmptyDir(dir)) << "a file was left in the output directory";
}

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    ADD_FAILURE() << "cannot read " << path;
    return {};
  }
  std::ostringstream content;
  content << file.rdbuf();
  return content.str();
}

std::string ScratchDir() {
  static TScratch scratch;
  std::string pattern = (std::filesystem::temp_directory_path() / "dla-tools-test.XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "cannot make a scratch folder";
  scratch.Dirs.push_back(pattern);
  return pattern;
}

bool IsEmptyDir(const std::string& path) { return std::filesystem::is_empty(path); }

std::vector<std::string> Split(std::string_view text, char separator) {
  std::vector<std::string> pieces;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = std::min(text.find(separator, start), text.size());
    pieces.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  return pieces;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

bool Contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

}  // namespace dla::tools::test
