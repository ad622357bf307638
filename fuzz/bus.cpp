// Both readers of the manager's bus interface, over private buses. The
// first byte picks the direction:
//   even: a raw call of a chosen method with fuzzed arguments to the
//         adaptor (serving the test double); it must answer every call,
//         with a reply or an error, and keep serving;
//   odd:  a proxy call of a chosen operation to a stand-in manager that
//         answers with fuzzed values; the proxy must answer a status.
// The rest of the input is a script of typed values: a type byte, then
// its value.
#include <sdbus-c++/sdbus-c++.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "core/Common/QoraServerBus.h"
#include "core/Common/QoraServerBusAdaptor.h"
#include "core/Common/QoraServerBusProxy.h"
#include "platform/com/SessionBus.h"
#include "testsupport/PrivateBus.h"
#include "testsupport/QoraServerDouble.h"

namespace {

using namespace qm;

void Check(bool ok) {
  if (!ok) std::abort();
}

class Script {
public:
  Script(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool Done() const { return at_ >= size_; }
  uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  std::string Bytes(size_t n) {
    n = std::min(n, size_ - std::min(at_, size_));
    std::string out(reinterpret_cast<const char*>(data_ + at_), n);
    at_ += n;
    return out;
  }

private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

// Appends up to 12 values the script describes. Values D-Bus itself refuses
// (invalid UTF-8) end the script: they cannot be sent at all.
void AppendValues(sdbus::Message& m, Script& script) {
  for (int count = 0; count < 12 && !script.Done(); ++count) {
    const uint8_t type = script.Byte();
    switch (type % 7) {
      case 0:
        m << script.Bytes(script.Byte());
        break;
      case 1: {
        int32_t v = 0;
        const std::string b = script.Bytes(4);
        std::memcpy(&v, b.data(), b.size());
        m << v;
        break;
      }
      case 2:
        m << (script.Byte() % 2 == 1);
        break;
      case 3: {
        const std::string b = script.Bytes(script.Byte() * 16u);
        qm::platform::AppendByteArray(m, {reinterpret_cast<const uint8_t*>(b.data()), b.size()});
        break;
      }
      case 4: {
        m.openContainer("s");
        for (int n = script.Byte() % 8; n > 0; --n)
          m << script.Bytes(script.Byte() % 16);
        m.closeContainer();
        break;
      }
      case 5:
        m << static_cast<uint64_t>(script.Byte());
        break;  // a type the contract never uses
      case 6:
        // Just over a cap, now and then.
        if (type == 0xFF) {
          m << std::string(bus::MaxTextBytes + 1, 'x');
        } else if (type == 0xFE) {
          m.openContainer("s");
          for (size_t n = 0; n <= bus::MaxListItems; ++n)
            m << std::string();
          m.closeContainer();
        }
        break;
    }
  }
}

std::vector<std::string> MethodNames() {
  std::vector<std::string> names;
  bus::ForEachOperation([&]<class Op>() { names.emplace_back(Op::Name); });
  names.emplace_back("NoSuchMethod");
  return names;
}

// The fuzzed replies the stand-in manager gives.
struct ReplyScript {
  std::mutex Lock;
  std::vector<uint8_t> Bytes;
};

struct World {
  World() {
    // The adaptor's bus.
    adaptorBus = std::make_unique<testing::PrivateBus>();
    serving = platform::OpenSessionBus();
    adaptor = std::make_unique<TQoraServerBusAdaptor>(*serving, server);
    servingLoop = std::make_unique<platform::BusEventLoop>(*serving);
    servingLoop->Start();
    client = platform::OpenSessionBus();
    raw = sdbus::createProxy(*client, platform::BusNameOwner(*client, bus::BusName, timeout),
                             bus::ObjectPath);
    // The stand-in's bus.
    standInBus = std::make_unique<testing::PrivateBus>();
    standIn = platform::OpenSessionBus();
    object = sdbus::createObject(*standIn, bus::ObjectPath);
    // Each method takes the contract's arguments (the bus library checks
    // those) and answers whatever the script says.
    bus::ForEachOperation([&]<class Op>() {
      object->registerMethod(bus::InterfaceName, Op::Name, bus::InSignature<Op>(),
                             bus::OutSignature<Op>(),
                             [this](sdbus::MethodCall call) { AnswerFromScript(call); });
    });
    object->finishRegistration();
    standIn->requestName(bus::BusName);
    standInLoop = std::make_unique<platform::BusEventLoop>(*standIn);
    standInLoop->Start();
    proxy = TQoraServerBusProxy::Connect(platform::OpenSessionBus(), timeout);
    Check(static_cast<bool>(proxy));
  }

  void AnswerFromScript(sdbus::MethodCall& call) {
    try {
      std::vector<uint8_t> bytes;
      {
        std::lock_guard lock(replies.Lock);
        bytes = replies.Bytes;
      }
      auto reply = call.createReply();
      Script script(bytes.data(), bytes.size());
      AppendValues(reply, script);
      reply.send();
    } catch (const sdbus::Error& e) {
      call.createErrorReply(e).send();
    }
  }

  const std::chrono::seconds timeout{10};
  platform::ComPtr<testing::TQoraServerDouble> server =
      platform::MakeCom<testing::TQoraServerDouble>();
  std::unique_ptr<testing::PrivateBus> adaptorBus, standInBus;
  std::unique_ptr<sdbus::IConnection> serving, client, standIn;
  std::unique_ptr<TQoraServerBusAdaptor> adaptor;
  std::unique_ptr<platform::BusEventLoop> servingLoop, standInLoop;
  std::unique_ptr<sdbus::IProxy> raw;
  std::unique_ptr<sdbus::IObject> object;
  ReplyScript replies;
  platform::ComPtr<TQoraServerBusProxy> proxy;
};

World& TheWorld() {
  // Lives through exit (its threads keep running), but its buses end
  // with the run and take their folders with them.
  static World* world = [] {
    auto* made = new World;
    std::atexit([] {
      TheWorld().adaptorBus->Stop();
      TheWorld().standInBus->Stop();
    });
    return made;
  }();
  return *world;
}

bool IsTransportTimeout(const sdbus::Error& e) {
  return e.getName() == "org.freedesktop.DBus.Error.NoReply" ||
         e.getName() == "org.freedesktop.DBus.Error.Timeout";
}

void CallAdaptor(World& world, Script& script) {
  static const std::vector<std::string> names = MethodNames();
  const std::string& name = names[script.Byte() % names.size()];
  auto call = world.raw->createMethodCall(bus::InterfaceName, name);
  try {
    AppendValues(call, script);
  } catch (const sdbus::Error&) {
    return;  // not sendable
  } catch (const qm::platform::Exception&) {
    return;
  }
  try {
    world.raw->callMethod(call, std::chrono::microseconds(world.timeout).count());
  } catch (const sdbus::Error& e) {
    Check(!IsTransportTimeout(e));  // the adaptor answers every call
  }
}

void CallProxy(World& world, Script& script) {
  const uint8_t pick = script.Byte();
  {
    std::lock_guard lock(world.replies.Lock);
    const std::string rest = script.Bytes(SIZE_MAX);
    world.replies.Bytes.assign(rest.begin(), rest.end());
  }
  size_t index = 0;
  bus::ForEachOperation([&]<class Op>() {
    if (index++ != pick % std::tuple_size_v<bus::AllOperations>) return;
    typename Op::Storage values{};
    const HRESULT status =
        std::apply([&](auto&... v) { return (world.proxy.Get()->*Op::method)(v...); }, values);
    Check(status != qm::platform::RPC_E_TIMEOUT);  // the stand-in answers every call
  });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  World& world = TheWorld();
  Script script(data + 1, size - 1);
  if (data[0] % 2 == 0) {
    CallAdaptor(world, script);
  } else {
    CallProxy(world, script);
  }
  return 0;
}
