#include "manager/service/ManagerService.h"

#include <poll.h>
#include <sdbus-c++/IConnection.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <memory>
#include <mutex>

#include "core/Common/QoraServerBusAdaptor.h"
#include "core/Common/VxSystem.h"
#include "manager/recognition/DefaultContent.h"
#include "manager/service/QoraManager.h"
#include "platform/com/PendingEvents.h"
#include "platform/com/SessionBus.h"
#include "platform/rtl/OsError.h"
#include "platform/rtl/Utf.h"

namespace qm::manager {
namespace {

using platform::RaiseOSError;

// A file descriptor closed on scope exit.
class TFd {
public:
  explicit TFd(int fd) : fd_(fd) {}
  ~TFd() {
    if (fd_ >= 0) close(fd_);
  }
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  int Get() const noexcept { return fd_; }

private:
  int fd_;
};

// The signals that end the service, blocked so that they arrive only
// through the descriptor (threads made later inherit the mask).
TFd OpenSignalFd() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGINT);
  if (pthread_sigmask(SIG_BLOCK, &signals, nullptr) != 0) RaiseOSError("Cannot block signals");
  const int fd = signalfd(-1, &signals, SFD_CLOEXEC | SFD_NONBLOCK);
  if (fd < 0) RaiseOSError("Cannot watch for signals");
  return TFd(fd);
}

void Drain(int fd) {
  uint64_t value = 0;
  while (read(fd, &value, sizeof value) > 0) {
  }
}

// Waits for a signal; meanwhile emits the posted events and looks for
// changes on every tick. Answers the signal, or 0 when the bus broke.
int Serve(TQoraManager& manager, platform::BusEventLoop& loop, int signalFd,
          std::chrono::milliseconds interval, std::ostream& log) {
  const TFd wake(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
  if (wake.Get() < 0) RaiseOSError("Cannot make an event descriptor");
  const int wakeFd = wake.Get();
  platform::SetPendingEventsWakeup([wakeFd] {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t ignored = write(wakeFd, &one, sizeof one);
  });
  struct TUnhook {
    ~TUnhook() { platform::SetPendingEventsWakeup({}); }
  } unhook;
  auto next = std::chrono::steady_clock::now() + interval;
  for (;;) {
    platform::ProcessPendingEvents();
    if (loop.Broken()) {
      log << "quillora-manager: the bus connection broke\n";
      return 0;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now >= next) {
      Swallowed([&] { manager.CheckForChanges(); });
      next = now + interval;
      continue;
    }
    pollfd fds[2] = {{signalFd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
    const int timeout =
        static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(next - now).count()) +
        1;
    if (poll(fds, 2, timeout) < 0 && errno != EINTR) RaiseOSError("Cannot wait for events");
    if (fds[1].revents != 0) Drain(wakeFd);
    if (fds[0].revents != 0) {
      signalfd_siginfo info{};
      if (read(signalFd, &info, sizeof info) == sizeof info)
        return static_cast<int>(info.ssi_signo);
    }
  }
}

}  // namespace

int RunManagerService(const TServeOptions& options, std::ostream& log) {
  std::mutex logLock;
  auto logLine = [&log, &logLock](const std::string& line) {
    std::lock_guard lock(logLock);
    log << "quillora-manager: " << line << "\n";
    log.flush();
  };
  try {
    const TFd signals = OpenSignalFd();
    auto store = std::make_unique<TManagerStore>(options.StorePath, &DefaultContent());
    const std::string path = store->Path();
    auto manager = platform::MakeCom<TQoraManager>(std::move(store), logLine);
    std::unique_ptr<sdbus::IConnection> connection = platform::OpenSessionBus();
    int signal = 0;
    {
      TQoraServerBusAdaptor adaptor(*connection, platform::ComPtr<IQoraServer>(manager.Get()));
      platform::BusEventLoop loop(*connection);
      loop.Start();
      logLine("serving org.quillora.Manager, store " + path);
      if (options.OnReady) options.OnReady();
      signal = Serve(*manager, loop, signals.Get(), options.PollInterval, log);
      manager->AnnounceQuit();
      platform::ProcessPendingEvents();  // OnQuit goes out before the name does
    }
    if (signal == 0) return 1;
    logLine(std::string("quitting on ") + (signal == SIGTERM ? "SIGTERM" : "SIGINT"));
    return 0;
  } catch (const std::exception& e) {
    std::string message = e.what();
    for (char& c : message) {
      if (c == '\r' || c == '\n') c = ' ';
    }
    logLine("cannot serve: " + message);
    return 1;
  }
}

}  // namespace qm::manager
