#include "core/Common/QoraServerBusAdaptor.h"

#include <sdbus-c++/sdbus-c++.h>

#include <mutex>
#include <optional>
#include <shared_mutex>

#include "core/Common/QoraServerBus.h"
#include "core/Common/QuillmateLibEvents.h"
#include "core/Common/VxSystem.h"
#include "platform/com/SessionBus.h"
#include "platform/rtl/Utf.h"

namespace qm {

using platform::ComPtr;

namespace {

void ReplyError(sdbus::MethodCall& call, const char* name, const String& message) noexcept {
  try {
    call.createErrorReply(sdbus::Error(name, platform::Utf16ToUtf8(message))).send();
  } catch (...) {
    // The caller is gone or the connection broke: nobody to tell.
  }
}

String MessageOf(const std::exception& e) {
  return FromStdException(e).Message();
}

// One call of Op: arguments read and checked whole, the implementation
// called, its results sent back; every failure becomes an error reply.
template <class Op>
void Serve(IQoraServer& server, sdbus::MethodCall& call) noexcept {
  typename Op::Storage values{};
  try {
    bus::ReadInputs<Op>(call, values);
  } catch (const std::exception& e) {
    ReplyError(call, bus::ErrorInvalidArgs, MessageOf(e));
    return;
  }
  HRESULT status = platform::E_UNEXPECTED;
  std::optional<String> failure;
  platform::ClearErrorInfo();
  try {
    status = std::apply([&](auto&... v) { return (server.*Op::method)(v...); }, values);
  } catch (const std::exception& e) {
    failure = MessageOf(e);
  } catch (...) {
    failure = u"Unknown exception";
  }
  if (!failure && platform::Failed(status)) {
    auto info = platform::TakeErrorInfo();
    failure = info && !info->Description.empty() ? info->Description : platform::StatusText(status);
  }
  platform::ClearErrorInfo();
  if (failure) {
    ReplyError(call, bus::ErrorFailed, *failure);
    return;
  }
  try {
    auto reply = call.createReply();
    bus::WriteOutputs<Op>(reply, values);
    reply.send();
  } catch (const std::exception& e) {
    ReplyError(call, bus::ErrorFailed, MessageOf(e));
  }
}

}  // namespace

struct TQoraServerBusAdaptor::Service {
  Service(sdbus::IConnection& connection, ComPtr<IQoraServer> server)
      : Connection(connection), Server(std::move(server)) {}

  ~Service() {
    if (OwnsName) {
      try {
        Connection.releaseName(bus::BusName);
      } catch (...) {
      }
    }
    {
      std::lock_guard lock(EmitLock);
      Emitting = false;
    }
    if (Sink) Sink->Disconnect();
    Object.reset();  // no call reaches Server after this
  }

  // Emits one signal; called on whatever thread the implementation fires,
  // possibly from inside a call being served (where the bus library's own
  // lock is held): so emitters share the lock, and only the teardown,
  // which never runs inside a call, takes it alone.
  void Emit(const char* name, std::optional<bool> value) {
    platform::BusGuarded([&] {
      std::shared_lock lock(EmitLock);
      if (!Emitting) return;
      auto signal = Object->createSignal(bus::InterfaceName, name);
      if (value) signal << *value;
      Object->emitSignal(signal);
    });
  }

  void ConnectEvents() {
    Sink = platform::MakeCom<TQuillmateLibIQoraServerEvents>();
    Sink->OnQuit = [this](auto&) { Emit(bus::SignalOnQuit, {}); };
    Sink->OnLanguageChange = [this](auto&) { Emit(bus::SignalOnLanguageChange, {}); };
    Sink->OnLogin = [this](auto&, platform::VARIANT_BOOL value) {
      Emit(bus::SignalOnLogin, value != platform::VARIANT_FALSE);
    };
    Sink->OnLexiconChange = [this](auto&) { Emit(bus::SignalOnLexiconChange, {}); };
    Sink->OnDatabaseChange = [this](auto&) { Emit(bus::SignalOnDatabaseChange, {}); };
    {
      std::lock_guard lock(EmitLock);
      Emitting = true;
    }
    Sink->Connect(Server.As<platform::IUnknown>());
  }

  sdbus::IConnection& Connection;
  ComPtr<IQoraServer> Server;
  std::unique_ptr<sdbus::IObject> Object;
  ComPtr<TQuillmateLibIQoraServerEvents> Sink;
  std::shared_mutex EmitLock;
  bool Emitting = false;
  bool OwnsName = false;
};

TQoraServerBusAdaptor::TQoraServerBusAdaptor(sdbus::IConnection& connection,
                                             ComPtr<IQoraServer> server)
    : service_(std::make_unique<Service>(connection, std::move(server))) {
  Service& service = *service_;
  if (!service.Server) throw Exception(u"No manager to serve");
  platform::BusGuarded([&] {
    service.Object = sdbus::createObject(connection, bus::ObjectPath);
    IQoraServer* target = service.Server.Get();  // held by the service past the object
    bus::ForEachOperation([&]<class Op>() {
      service.Object->registerMethod(
          bus::InterfaceName, Op::Name, bus::InSignature<Op>(), bus::OutSignature<Op>(),
          [target](sdbus::MethodCall call) { Serve<Op>(*target, call); });
    });
    for (const char* name : {bus::SignalOnQuit, bus::SignalOnLanguageChange,
                             bus::SignalOnLexiconChange, bus::SignalOnDatabaseChange}) {
      service.Object->registerSignal(bus::InterfaceName, name, "");
    }
    service.Object->registerSignal(bus::InterfaceName, bus::SignalOnLogin, "b");
    service.Object->finishRegistration();
  });
  service.ConnectEvents();
  platform::BusGuarded([&] {
    if (!platform::BusNameOwner(connection, bus::BusName, bus::DefaultCallTimeout).empty()) {
      throw Exception(u"Another manager already serves " + platform::Utf8ToUtf16(bus::BusName) +
                      u" on this bus");
    }
    connection.requestName(bus::BusName);
    service.OwnsName = true;
  });
}

TQoraServerBusAdaptor::~TQoraServerBusAdaptor() = default;

}  // namespace qm
