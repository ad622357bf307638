#include "engines/chromium/ChromiumProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "platform/rtl/Exception.h"
#include "platform/rtl/OsError.h"
#include "platform/rtl/Utf.h"

namespace qm::chromium {

std::vector<std::string> ChromiumProcess::Arguments(const LaunchOptions& options,
                                                    const std::string& profile) {
  std::vector<std::string> args = {
      "--remote-debugging-pipe",
      "--user-data-dir=" + profile,
      "--no-first-run",
      "--no-default-browser-check",
      "--disable-dev-shm-usage",
      // Nothing of its own on the network: the machine may have none, and a
      // filler has no business phoning anywhere.
      "--disable-background-networking",
      "--disable-component-update",
      "--disable-sync",
      "--disable-default-apps",
      "--disable-extensions",
      "--disable-domain-reliability",
      "--disable-client-side-phishing-detection",
      "--disable-breakpad",
      "--no-pings",
      "--metrics-recording-only",
      "--password-store=basic",
      "--use-mock-keychain",
      "--disable-features=Translate,MediaRouter,OptimizationHints,AutofillServerCommunication,"
      "CertificateTransparencyComponentUpdater",
      // History navigations must reach the request interception.
      "--disable-back-forward-cache",
      "--no-startup-window",
  };
  if (options.Headless) args.push_back("--headless=new");
  // As root Chromium refuses to start with its sandbox.
  if (geteuid() == 0) args.push_back("--no-sandbox");
  for (const std::string& a : options.ExtraArguments)
    args.push_back(a);
  return args;
}

ChromiumProcess::ChromiumProcess(const LaunchOptions& options) {
  if (access(options.Binary.c_str(), X_OK) != 0) {
    throw platform::Exception(u"The Chromium browser is not installed at " +
                              platform::W(options.Binary));
  }
  std::string folder = (std::filesystem::temp_directory_path() / "quillmate-chromium-XXXXXX");
  if (mkdtemp(folder.data()) == nullptr) platform::RaiseOSError("Cannot make a browser profile");
  profile_ = folder;

  int pair[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) {
    const int error = errno;
    std::filesystem::remove_all(profile_);
    platform::RaiseOSError("Cannot make the browser's protocol socket", error);
  }
  // Everything the child needs is made before fork: after it, only
  // async-signal-safe calls.
  std::vector<std::string> args = Arguments(options, profile_);
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(options.Binary.c_str()));
  for (std::string& a : args)
    argv.push_back(a.data());
  argv.push_back(nullptr);
  const pid_t parent = getpid();
  const int childEnd = pair[1];

  const pid_t pid = fork();
  if (pid < 0) {
    const int error = errno;
    close(pair[0]);
    close(pair[1]);
    std::filesystem::remove_all(profile_);
    platform::RaiseOSError("Cannot start the browser", error);
  }
  if (pid == 0) {
    setpgid(0, 0);
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);
    // The socket must land on exactly 3 and 4 and survive exec: move it
    // above them first, so that dup2 never meets a close-on-exec 3 or 4.
    const int high = fcntl(childEnd, F_DUPFD, 10);
    if (high < 0 || dup2(high, 3) < 0 || dup2(high, 4) < 0) _exit(127);
    const int null = open("/dev/null", O_RDWR);
    if (null >= 0) {
      dup2(null, 0);
      if (getenv("QM_CHROMIUM_LOG") == nullptr) {
        dup2(null, 1);
        dup2(null, 2);
      }
    }
    syscall(SYS_close_range, 5U, ~0U, 0U);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(pair[1]);
  socket_ = pair[0];
  pid_ = pid;
  setpgid(pid, pid);  // also here, so that the group exists before we ever signal it
}

ChromiumProcess::~ChromiumProcess() {
  Terminate();
}

bool ProcessGroupAlive(pid_t group) noexcept {
  return group > 0 && (kill(-group, 0) == 0 || errno == EPERM);
}

void ChromiumProcess::Terminate() noexcept {
  if (socket_ >= 0) {
    close(socket_);
    socket_ = -1;
  }
  if (pid_ > 0) {
    using Clock = std::chrono::steady_clock;
    kill(-pid_, SIGTERM);
    const auto giveUp = Clock::now() + std::chrono::seconds(3);
    bool reaped = false;
    while (Clock::now() < giveUp) {
      int status = 0;
      const pid_t done = waitpid(pid_, &status, WNOHANG);
      if (done == pid_ || (done < 0 && errno == ECHILD)) {
        reaped = true;
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    // Whatever of the group is left (helpers that outlived the browser, or
    // a browser that would not end) goes by force.
    kill(-pid_, SIGKILL);
    if (!reaped) {
      int status = 0;
      while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
      }
    }
    const auto settle = Clock::now() + std::chrono::seconds(2);
    while (ProcessGroupAlive(pid_) && Clock::now() < settle)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    pid_ = -1;
  }
  if (!profile_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(profile_, ignored);
    profile_.clear();
  }
}

}  // namespace qm::chromium
