// The browser process: Debian's Chromium binary started directly, in its
// own process group, with a fresh profile folder and the DevTools protocol
// on a socket that it sees as descriptors 3 (it reads) and 4 (it writes).
//
// It dies with the thread that launched it (a parent-death signal), so the
// launching thread must be one that lives exactly as long as the browser
// should: the connection's reader thread. Terminate (and the destructor)
// ends the whole group, reaps the browser and removes the profile folder.
// A kill of our own process leaves no browser behind either; only the
// profile folder then stays in the temporary directory.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace qm::chromium {

struct LaunchOptions {
  // The browser binary itself, not the /usr/bin wrapper script.
  std::string Binary = "/usr/lib/chromium/chromium";
  bool Headless = true;
  std::vector<std::string> ExtraArguments;
};

class ChromiumProcess {
public:
  // Starts the browser; raises platform::Exception when it cannot.
  explicit ChromiumProcess(const LaunchOptions& options);
  ~ChromiumProcess();
  ChromiumProcess(const ChromiumProcess&) = delete;
  ChromiumProcess& operator=(const ChromiumProcess&) = delete;

  // Our end of the protocol socket (read and write); -1 once terminated.
  int Socket() const noexcept { return socket_; }
  pid_t Pid() const noexcept { return pid_; }
  // The process group of the browser and everything it started.
  pid_t Group() const noexcept { return pid_; }
  const std::string& ProfileFolder() const noexcept { return profile_; }

  // Ends the group (politely, then by force), reaps the browser and
  // removes the profile folder. Idempotent; never raises.
  void Terminate() noexcept;

  // The arguments the browser is started with (without the binary).
  static std::vector<std::string> Arguments(const LaunchOptions& options,
                                            const std::string& profile);

private:
  int socket_ = -1;
  pid_t pid_ = -1;
  std::string profile_;
};

// Whether any process of group is still there.
bool ProcessGroupAlive(pid_t group) noexcept;

}  // namespace qm::chromium
