// The D-Bus session bus under the COM stand-ins: opening it, asking who
// owns a name, running a connection's event processing, and the one place
// where D-Bus failures become our exceptions.
//
// Objects that other processes serve (the manager) are reached over the
// session bus named by DBUS_SESSION_BUS_ADDRESS; tests point that variable
// at a private bus (testsupport/PrivateBus.h) and so never touch the
// user's own.
//
// Threads: an sdbus-c++ connection serialises its own use, so a connection
// may be used from several threads; BusEventLoop is the one thread that
// reads its socket when nobody is waiting for a reply (see there).
#pragma once

#include <sdbus-c++/Error.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <thread>

#include "platform/com/OleException.h"

namespace sdbus {
class IConnection;
class Message;
}  // namespace sdbus

namespace qm::platform {

// The one translation of a D-Bus failure (from sdbus-c++, sd-bus or the far
// side's error reply) into our exception: an EOleException whose message is
// the error's text (its name when the text is empty), whose source is the
// error's name, and whose status says what kind of failure it was:
// RPC_E_TIMEOUT for no reply in time, RPC_E_DISCONNECTED for a peer or bus
// that is gone, E_INVALIDARG for refused arguments, E_OUTOFMEMORY, else
// E_FAIL.
EOleException BusException(const sdbus::Error& error);

// Runs body; an sdbus-c++ error that leaves it is raised as BusException.
template <class F>
decltype(auto) BusGuarded(F&& body) {
  try {
    return std::forward<F>(body)();
  } catch (const sdbus::Error& e) {
    throw BusException(e);
  }
}

// A new connection to the session bus at DBUS_SESSION_BUS_ADDRESS (unset:
// the bus's standard per-user address). Raises BusException.
std::unique_ptr<sdbus::IConnection> OpenSessionBus();

// The unique name (":1.42") that owns name now, or empty when nobody does.
// Asks the bus itself, which never starts a service for this. Raises
// BusException for a failed connection.
std::string BusNameOwner(sdbus::IConnection& connection, const std::string& name,
                         std::chrono::milliseconds timeout);

// Message operations sdbus-c++ 1.2 leaves out, done on the underlying
// sd-bus message. Each raises BusException on failure.
//
// Keeps the bus from starting a service to receive this call (a call to a
// name that nobody owns then fails at once). Before the call is sent.
void DisableAutoStart(sdbus::Message& call);
// The complete signature of a received message's arguments.
std::string MessageSignature(sdbus::Message& message);
// Appends an "ay" argument in one piece.
void AppendByteArray(sdbus::Message& message, std::span<const uint8_t> bytes);
// Reads an "ay" argument in one piece; the bytes live as long as message.
std::span<const uint8_t> ReadByteArray(sdbus::Message& message);

// Runs a connection's event processing (signals, incoming calls, timers)
// on a thread of its own (Start) or on the calling thread (Run), until
// Stop or until the connection breaks; a broken connection ends the loop
// quietly (Broken then answers true) instead of ending the program.
//
// A call made synchronously on another thread reads the socket itself and
// may leave other messages queued on the connection: the caller then Wakes
// the loop so that they are handled at once.
//
// The connection must outlive the loop. Stop, Wake and Broken are thread
// safe; the destructor stops and joins a started thread (never destroy the
// loop from its own thread).
class BusEventLoop {
public:
  explicit BusEventLoop(sdbus::IConnection& connection);
  ~BusEventLoop();
  BusEventLoop(const BusEventLoop&) = delete;
  BusEventLoop& operator=(const BusEventLoop&) = delete;

  void Start();
  // Answers false when the loop ended because the connection broke.
  bool Run();
  void Stop();
  void Wake();
  bool Broken() const noexcept { return broken_; }

private:
  bool Step();

  sdbus::IConnection& connection_;
  int wakeFd_ = -1;
  std::atomic<bool> stop_{false};
  std::atomic<bool> broken_{false};
  std::thread thread_;
};

}  // namespace qm::platform
