#include "core/CommandLine/TerminalIO.h"

#include <signal.h>
#include <string.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <iostream>
#include <istream>
#include <ostream>

namespace qm::tool {
namespace {

// The terminal's settings while echo is off, for the signal handler that
// puts them back when the program is interrupted at the prompt.
struct termios savedTerminal;
volatile sig_atomic_t echoOff = 0;
constexpr int RestoredSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

void RestoreTerminalAndDie(int signal) {
  if (echoOff != 0) tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
  ::signal(signal, SIG_DFL);
  raise(signal);
}

// Turns the terminal's echo off for its lifetime (nothing when standard
// input is no terminal, as in tests that pretend to be one).
class TEchoOff {
public:
  TEchoOff() {
    if (tcgetattr(STDIN_FILENO, &savedTerminal) != 0) return;
    struct sigaction action {};
    action.sa_handler = RestoreTerminalAndDie;
    sigemptyset(&action.sa_mask);
    for (size_t i = 0; i < std::size(RestoredSignals); ++i) {
      sigaction(RestoredSignals[i], &action, &previous_[i]);
    }
    struct termios quiet = savedTerminal;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    quiet.c_lflag |= ECHONL;
    echoOff = 1;
    // At once, keeping what was typed ahead: the prompt comes after this,
    // so whatever answers it is typed with the echo off.
    active_ = tcsetattr(STDIN_FILENO, TCSANOW, &quiet) == 0;
    if (!active_) Restore();
  }
  ~TEchoOff() {
    if (active_) Restore();
  }
  TEchoOff(const TEchoOff&) = delete;
  TEchoOff& operator=(const TEchoOff&) = delete;

private:
  void Restore() {
    tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
    echoOff = 0;
    for (size_t i = 0; i < std::size(RestoredSignals); ++i) {
      sigaction(RestoredSignals[i], &previous_[i], nullptr);
    }
  }

  bool active_ = false;
  struct sigaction previous_[std::size(RestoredSignals)] {};
};

}  // namespace

void WipeSecret(std::string& secret) {
  explicit_bzero(secret.data(), secret.size());
  secret.clear();
}

void WipeSecret(std::u16string& secret) {
  explicit_bzero(secret.data(), secret.size() * sizeof(char16_t));
  secret.clear();
}

std::string ReadSecretLine(ToolContext& io, const std::string& prompt, const std::string& what) {
  std::string line;
  bool got = false;
  if (io.InIsTerminal) {
    TEchoOff quiet;
    io.Err << prompt << std::flush;
    got = static_cast<bool>(std::getline(io.In, line));
  } else {
    got = static_cast<bool>(std::getline(io.In, line));
  }
  if (!got) {
    WipeSecret(line);
    throw ToolError("no " + what + " on standard input");
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

TProgressLine::TProgressLine(ToolContext& io, std::string label, std::string unit)
    : io_(io), label_(std::move(label)), unit_(std::move(unit)) {}

TProgressLine::~TProgressLine() {
  Finish();
}

void TProgressLine::Update(size_t done, size_t total) {
  const std::string text = label_ + ": " + std::to_string(done) + " of " + std::to_string(total) +
                           " " + unit_;
  if (io_.ErrIsTerminal) {
    // Back to the line's start, the new text, the rest of the old one cleared.
    io_.Err << "\r" << text << "\x1b[K" << std::flush;
    open_ = true;
  } else {
    io_.Err << text << "\n" << std::flush;
  }
}

void TProgressLine::Finish() {
  if (!open_) return;
  io_.Err << "\n" << std::flush;
  open_ = false;
}

int RunProgramMain(int argc, char** argv,
                   const std::function<int(const std::vector<std::string>&, ToolContext&)>& run) {
  std::ios::sync_with_stdio(false);
  const std::vector<std::string> args(argv + 1, argv + argc);
  ToolContext io{std::cin, std::cout, std::cerr, isatty(STDIN_FILENO) != 0,
                 isatty(STDERR_FILENO) != 0};
  const int status = run(args, io);
  std::cout.flush();
  if (!std::cout.good()) {
    const int error = errno;
    const std::string name = argc > 0 ? argv[0] : "";
    std::cerr << name.substr(name.rfind('/') + 1) << ": cannot write standard output"
              << (error != 0 ? std::string(": ") + strerror(error) : std::string()) << "\n";
    return ExitFailure;
  }
  return status;
}

}  // namespace qm::tool
