#include "platform/com/SessionBus.h"

#include <poll.h>
#include <sdbus-c++/sdbus-c++.h>
#include <sys/eventfd.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>

#include "platform/rtl/OsError.h"
#include "platform/rtl/Utf.h"

namespace qm::platform {
namespace {

// sdbus-c++ keeps the sd-bus message protected; naming the member through
// a derived class is the sanctioned way to reach it.
struct MessageAccess : sdbus::Message {
  static sd_bus_message* Raw(sdbus::Message& message) {
    return static_cast<sd_bus_message*>(message.*(&MessageAccess::msg_));
  }
};

bool EndsWith(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

HRESULT StatusOfBusError(std::string_view name) {
  constexpr std::string_view timeouts[] = {
      "org.freedesktop.DBus.Error.NoReply", "org.freedesktop.DBus.Error.Timeout",
      "org.freedesktop.DBus.Error.TimedOut", "System.Error.ETIMEDOUT"};
  constexpr std::string_view gone[] = {"org.freedesktop.DBus.Error.ServiceUnknown",
                                       "org.freedesktop.DBus.Error.NameHasNoOwner",
                                       "org.freedesktop.DBus.Error.Disconnected",
                                       "org.freedesktop.DBus.Error.NoServer",
                                       "org.freedesktop.DBus.Error.UnknownObject",
                                       "System.Error.ECONNRESET",
                                       "System.Error.ENOTCONN",
                                       "System.Error.EPIPE",
                                       "System.Error.ECONNREFUSED",
                                       "System.Error.ENOENT"};
  for (std::string_view n : timeouts) {
    if (name == n) return RPC_E_TIMEOUT;
  }
  for (std::string_view n : gone) {
    if (name == n) return RPC_E_DISCONNECTED;
  }
  if (EndsWith(name, ".InvalidArgs") || name == "System.Error.EINVAL") return E_INVALIDARG;
  if (name == "org.freedesktop.DBus.Error.NoMemory" || name == "System.Error.ENOMEM") {
    return E_OUTOFMEMORY;
  }
  return E_FAIL;
}

void CheckSdBus(int result, const char* what) {
  if (result < 0) throw BusException(sdbus::createError(-result, what));
}

}  // namespace

EOleException BusException(const sdbus::Error& error) {
  const std::string& text = error.getMessage().empty() ? error.getName() : error.getMessage();
  return EOleException(Utf8ToUtf16(text), StatusOfBusError(error.getName()),
                       Utf8ToUtf16(error.getName()), u"", 0);
}

std::unique_ptr<sdbus::IConnection> OpenSessionBus() {
  // sd-bus reads DBUS_SESSION_BUS_ADDRESS itself (falling back to the
  // per-user socket); sdbus-c++'s own by-address opening leaks the bus
  // when the address does not answer.
  return BusGuarded([] { return sdbus::createSessionBusConnection(); });
}

std::string BusNameOwner(sdbus::IConnection& connection, const std::string& name,
                         std::chrono::milliseconds timeout) {
  return BusGuarded([&] {
    auto bus = sdbus::createProxy(connection, "org.freedesktop.DBus", "/org/freedesktop/DBus");
    std::string owner;
    try {
      bus->callMethod("GetNameOwner")
          .onInterface("org.freedesktop.DBus")
          .withTimeout(timeout)
          .withArguments(name)
          .storeResultsTo(owner);
    } catch (const sdbus::Error& e) {
      if (e.getName() == "org.freedesktop.DBus.Error.NameHasNoOwner") return std::string();
      throw;
    }
    return owner;
  });
}

void DisableAutoStart(sdbus::Message& call) {
  CheckSdBus(sd_bus_message_set_auto_start(MessageAccess::Raw(call), 0),
             "Failed to disable auto-start");
}

std::string MessageSignature(sdbus::Message& message) {
  const char* signature = sd_bus_message_get_signature(MessageAccess::Raw(message), 1);
  return signature != nullptr ? signature : "";
}

void AppendByteArray(sdbus::Message& message, std::span<const uint8_t> bytes) {
  // sd-bus wants a valid pointer even for no bytes.
  static const uint8_t none = 0;
  CheckSdBus(sd_bus_message_append_array(MessageAccess::Raw(message), 'y',
                                         bytes.empty() ? &none : bytes.data(), bytes.size()),
             "Failed to serialize a byte array");
}

std::span<const uint8_t> ReadByteArray(sdbus::Message& message) {
  const void* data = nullptr;
  size_t size = 0;
  const int r = sd_bus_message_read_array(MessageAccess::Raw(message), 'y', &data, &size);
  CheckSdBus(r, "Failed to deserialize a byte array");
  if (r == 0) throw BusException(sdbus::createError(ENXIO, "Missing byte array"));
  return {static_cast<const uint8_t*>(data), data == nullptr ? 0 : size};
}

BusEventLoop::BusEventLoop(sdbus::IConnection& connection) : connection_(connection) {
  wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wakeFd_ < 0) RaiseOSError("Failed to create an eventfd");
}

BusEventLoop::~BusEventLoop() {
  Stop();
  if (thread_.joinable()) thread_.join();
  ::close(wakeFd_);
}

void BusEventLoop::Start() {
  if (thread_.joinable()) return;
  stop_ = false;
  thread_ = std::thread([this] { Run(); });
}

bool BusEventLoop::Run() {
  while (!stop_) {
    if (!Step()) {
      broken_ = true;
      return false;
    }
  }
  return true;
}

bool BusEventLoop::Step() {
  try {
    while (!stop_ && connection_.processPendingRequest()) {
    }
    if (stop_) return true;
    const auto data = connection_.getEventLoopPollData();
    pollfd fds[2] = {{data.fd, data.events, 0}, {wakeFd_, POLLIN, 0}};
    const int r = ::poll(fds, 2, data.getPollTimeout());
    if (r < 0) return errno == EINTR;
    if (fds[1].revents & POLLIN) {
      uint64_t count;
      while (::read(wakeFd_, &count, sizeof count) > 0) {
      }
    }
    if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
      // Hand out what arrived before the hang-up, then give up: polling a
      // dead socket would spin.
      while (connection_.processPendingRequest()) {
      }
      return false;
    }
    return true;
  } catch (...) {
    return false;
  }
}

void BusEventLoop::Stop() {
  stop_ = true;
  Wake();
}

void BusEventLoop::Wake() {
  const uint64_t one = 1;
  (void)!::write(wakeFd_, &one, sizeof one);
}

}  // namespace qm::platform
