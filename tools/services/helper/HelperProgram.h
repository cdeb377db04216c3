// A separate program that dla-batch starts for work that needs a large
// library it does not load itself (plots need Qt, movies FFmpeg), so that a
// run that asks for neither starts as fast as a bare process. The program
// lies next to the running executable, where both are built and installed,
// or is named by an environment variable; it reads its input on standard
// input and writes its one output file on standard output.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <string>
#include <string_view>
#include <vector>

namespace dla::tools {

class THelperProgram {
 public:
  // name: the program's file name ("dla-plot"); variable: the environment
  // variable that names it instead ("DLA_PLOT"); role: what it is, in
  // messages ("plotting program").
  THelperProgram(std::string name, std::string variable, std::string role);
  // A program still running (an error, an interrupt) is ended with SIGTERM
  // and reaped.
  ~THelperProgram();
  THelperProgram(const THelperProgram&) = delete;
  THelperProgram& operator=(const THelperProgram&) = delete;

  // $variable if set and not empty, else name in the folder of the running
  // executable.
  std::string Path() const;

  // Throws std::runtime_error("no <role> at '<path>' (install <name> next to
  // dla-batch, or name it in <variable>)") when the program is missing or
  // not executable, so that a command can refuse before its run rather than
  // fail after it.
  void CheckAvailable() const;

  // Starts the program with the arguments (after its own path), a socket
  // to us on its standard input and outputFd on its standard output; its
  // standard error is kept until it ends (Finish). Throws
  // std::runtime_error when it cannot be started. Once only.
  void Start(const std::vector<std::string>& args, int outputFd);

  // Hands all of data to the program's standard input, waiting while it is
  // busy. A program that has died is reaped and reported as Finish reports
  // it; what ("the plot") names the data in a message. When stop is given
  // and becomes true, a wait is cut short and the call throws. Throws
  // std::runtime_error.
  void Send(std::string_view data, std::string_view what, const std::atomic<bool>* stop = nullptr);

  // Closes the program's standard input and waits for it to exit; what it
  // wrote on standard error is then passed on to ours. Throws
  // std::runtime_error when it was ended by a signal, or did not exit with
  // status 0: "the <role> failed: <its last line, without its name>", so
  // that the failure is one line; or when stop became true: the program is
  // then ended with SIGTERM at once (a long encoding or drawing must not
  // hold up a user who asked to stop), and the message says "<what> was
  // not finished: interrupted".
  void Finish(std::string_view what, const std::atomic<bool>* stop = nullptr);

 private:
  void CloseInput() noexcept;
  // What the program wrote on standard error (at most its last 64 KiB).
  std::string TakeErrors();

  std::string name_;
  std::string variable_;
  std::string role_;
  std::string path_;
  pid_t child_ = -1;
  int input_ = -1;
  int errors_ = -1;
};

}  // namespace dla::tools
