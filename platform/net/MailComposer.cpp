#include "platform/net/MailComposer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/rtl/Utf.h"

extern char** environ;

namespace qm::platform {
namespace {

std::mutex composerLock;
TMailComposer& ProcessComposer() {
  static TMailComposer composer;
  return composer;
}

// How the program's run ended, before it is judged.
struct TComposerEnd {
  enum class TWay : uint8_t { NoProgram, NotStarted, Exited, Signalled, TimedOut, Lost };
  TWay Way = TWay::Lost;
  int Code = 0;  // exit status, signal number or errno, by Way
};

std::u16string ErrnoText(int error) {
  return W(std::generic_category().message(error));
}

// The one translation of how the composer ended into our answer.
TMailResult Translate(const TComposerEnd& end, const std::string& program) {
  TMailResult result;
  const std::u16string name = W(program);
  switch (end.Way) {
    case TComposerEnd::TWay::Exited:
      result.ExitStatus = end.Code;
      if (end.Code == 0) {
        result.Outcome = TMailOutcome::Composed;
        return result;
      }
      result.Outcome = TMailOutcome::Failed;
      // xdg-email's own exit statuses.
      switch (end.Code) {
        case 1:
          result.Reason = name + u" refused its arguments";
          break;
        case 3:
          result.Reason = u"No mail program is set up for " + name;
          break;
        case 4:
          result.Reason = u"The mail program started by " + name + u" failed";
          break;
        default:
          result.Reason = name + u" ended with status " + W(std::to_string(end.Code));
      }
      return result;
    case TComposerEnd::TWay::NoProgram:
      result.Outcome = TMailOutcome::NotInstalled;
      result.Reason = name + u" is not installed";
      return result;
    case TComposerEnd::TWay::NotStarted:
      // A file that vanished between the look-up and the start is as good
      // as not installed.
      result.Outcome = end.Code == ENOENT ? TMailOutcome::NotInstalled : TMailOutcome::Failed;
      result.Reason = u"Cannot start " + name + u": " + ErrnoText(end.Code);
      return result;
    case TComposerEnd::TWay::Signalled:
      result.Outcome = TMailOutcome::Failed;
      result.Reason = name + u" was ended by signal " + W(std::to_string(end.Code));
      return result;
    case TComposerEnd::TWay::TimedOut:
      result.Outcome = TMailOutcome::TimedOut;
      result.Reason = name + u" did not finish in time";
      return result;
    case TComposerEnd::TWay::Lost:
      break;
  }
  result.Outcome = TMailOutcome::Failed;
  result.Reason = u"Lost track of " + name + u": " + ErrnoText(end.Code);
  return result;
}

TMailResult Refused(std::u16string reason) {
  TMailResult result;
  result.Outcome = TMailOutcome::Refused;
  result.Reason = std::move(reason);
  return result;
}

bool IsExecutableFile(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

// The program as a path: a name is looked up in the PATH the program will
// get, as the shell would; empty when it is nowhere.
std::string ResolveProgram(const std::string& program, char* const* environment) {
  if (program.find('/') != std::string::npos) return IsExecutableFile(program) ? program : "";
  std::string_view path = "/usr/bin:/bin";  // the C library's choice without a PATH
  for (char* const* entry = environment; entry != nullptr && *entry != nullptr; ++entry) {
    const std::string_view text(*entry);
    if (text.starts_with("PATH=")) {
      path = text.substr(5);
      break;
    }
  }
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find(':', start);
    if (end == std::string_view::npos) end = path.size();
    // An empty entry is the working folder.
    const std::string folder(end == start ? std::string_view(".")
                                          : path.substr(start, end - start));
    const std::string candidate = folder + "/" + program;
    if (IsExecutableFile(candidate)) return candidate;
    start = end + 1;
  }
  return "";
}

// Starts the program with its own plain standard streams and default
// signals; answers the errno of a failed start, 0 when it runs.
int Spawn(const std::string& path, const std::vector<std::string>& arguments,
          char* const* environment, pid_t& pid) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(path.c_str()));
  for (const std::string& a : arguments)
    argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  posix_spawn_file_actions_init(&actions);
  posix_spawnattr_init(&attributes);
  // Nothing of ours leaks into the composer: no terminal, no descriptors,
  // no blocked or ignored signals.
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  sigset_t none;
  sigset_t all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &all);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  const int error = posix_spawn(&pid, path.c_str(), &actions, &attributes, argv.data(),
                                const_cast<char* const*>(environment));
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  return error;
}

TComposerEnd Ended(int status) {
  if (WIFEXITED(status)) return {TComposerEnd::TWay::Exited, WEXITSTATUS(status)};
  return {TComposerEnd::TWay::Signalled, WIFSIGNALED(status) ? WTERMSIG(status) : 0};
}

// Waits for pid until the deadline; true with status when it ended.
// Errors other than a time-out come back in error.
bool WaitUntil(pid_t pid, std::chrono::steady_clock::time_point deadline, int& status, int& error) {
  using Clock = std::chrono::steady_clock;
  error = 0;
  // The C library's own declaration is not fit for C++ in every version.
  const int handle = static_cast<int>(syscall(SYS_pidfd_open, pid, 0U));
  while (true) {
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) {
      if (handle >= 0) close(handle);
      return true;
    }
    if (done < 0 && errno != EINTR) {
      error = errno;
      if (handle >= 0) close(handle);
      return false;
    }
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) break;
    if (handle >= 0) {
      pollfd ready{handle, POLLIN, 0};
      poll(&ready, 1, static_cast<int>(std::min<int64_t>(left.count(), 60000)));
    } else {
      // A kernel without process handles: look again shortly.
      std::this_thread::sleep_for(std::min(left, std::chrono::milliseconds(5)));
    }
  }
  if (handle >= 0) close(handle);
  return false;
}

}  // namespace

std::vector<std::string> MailComposerArguments(std::u16string_view address,
                                               std::u16string_view subject,
                                               std::u16string_view body) {
  std::vector<std::string> arguments;
  if (!subject.empty()) {
    arguments.push_back("--subject");
    arguments.push_back(U8(subject));
  }
  if (!body.empty()) {
    arguments.push_back("--body");
    arguments.push_back(U8(body));
  }
  arguments.push_back(U8(address));
  return arguments;
}

TMailResult RunMailComposer(const TMailComposer& composer, std::u16string_view address,
                            std::u16string_view subject, std::u16string_view body) {
  if (address.empty()) return Refused(u"The mail has no address");
  if (address.front() == u'-') return Refused(u"The mail address begins with \"-\"");
  for (const std::u16string_view text : {address, subject, body}) {
    if (text.find(u'\0') != std::u16string_view::npos) {
      return Refused(u"The mail holds a NUL character");
    }
  }
  const std::vector<std::string> arguments = MailComposerArguments(address, subject, body);

  std::vector<char*> ownEnvironment;
  char* const* environment = environ;
  if (composer.Environment) {
    for (const std::string& entry : *composer.Environment)
      ownEnvironment.push_back(const_cast<char*>(entry.c_str()));
    ownEnvironment.push_back(nullptr);
    environment = ownEnvironment.data();
  }
  const std::string path = ResolveProgram(composer.Program, environment);
  if (path.empty()) return Translate({TComposerEnd::TWay::NoProgram, 0}, composer.Program);

  const auto deadline = std::chrono::steady_clock::now() + composer.TimeLimit;
  pid_t pid = -1;
  if (const int error = Spawn(path, arguments, environment, pid); error != 0) {
    return Translate({TComposerEnd::TWay::NotStarted, error}, composer.Program);
  }
  int status = 0;
  int error = 0;
  if (WaitUntil(pid, deadline, status, error)) return Translate(Ended(status), composer.Program);
  if (error != 0) return Translate({TComposerEnd::TWay::Lost, error}, composer.Program);
  kill(pid, SIGKILL);
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return Translate({TComposerEnd::TWay::TimedOut, 0}, composer.Program);
}

TMailComposer CurrentMailComposer() {
  const std::lock_guard lock(composerLock);
  return ProcessComposer();
}

void SetMailComposer(TMailComposer composer) {
  const std::lock_guard lock(composerLock);
  ProcessComposer() = std::move(composer);
}

bool ComposeMail(std::u16string_view address, std::u16string_view subject,
                 std::u16string_view body) {
  return RunMailComposer(CurrentMailComposer(), address, subject, body).Outcome ==
         TMailOutcome::Composed;
}

}  // namespace qm::platform
