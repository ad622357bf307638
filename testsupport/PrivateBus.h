// A private D-Bus session bus for tests and benchmarks.
//
// Starts a dbus-daemon of its own, listening on a socket in a fresh
// temporary folder and configured with no service folders (so that nothing
// can be started on it), and points DBUS_SESSION_BUS_ADDRESS (the address
// every session-bus connection of this program opens) at it. The user's
// own session bus is never touched.
//
// Stopping ends the daemon and removes the folder. The variable is left
// pointing at the stopped bus, not restored: code that opens the session
// bus later in the test process then fails instead of reaching the
// user's bus.
//
//   static PrivateBus* bus;  // e.g. in SetUpTestSuite: bus = new PrivateBus;
//
// Create and stop it on one thread, before other threads read the
// environment. The daemon also ends when that thread (or the process)
// ends, so that a crashed test leaves none behind.
#pragma once

#include <sys/types.h>

#include <string>

namespace qm::testing {

class PrivateBus {
public:
  // Raises std::runtime_error when the daemon cannot be started.
  PrivateBus();
  ~PrivateBus();
  PrivateBus(const PrivateBus&) = delete;
  PrivateBus& operator=(const PrivateBus&) = delete;

  const std::string& Address() const noexcept { return address_; }
  bool Running() const noexcept { return pid_ > 0; }
  // Ends the daemon now (every connection to it breaks). Idempotent.
  void Stop();

private:
  void Start();

  std::string folder_;
  std::string address_;
  pid_t pid_ = -1;
};

}  // namespace qm::testing
