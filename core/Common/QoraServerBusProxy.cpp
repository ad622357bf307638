#include "core/Common/QoraServerBusProxy.h"

#include <sdbus-c++/sdbus-c++.h>

#include <atomic>
#include <mutex>

#include "core/Common/QoraServerBus.h"
#include "core/Common/VxSystem.h"
#include "platform/com/RunningObjects.h"
#include "platform/com/SessionBus.h"

namespace qm {

using platform::ComPtr;
using platform::DISPID;
using platform::DispParams;

struct TQoraServerBusProxy::Channel {
  Channel(std::unique_ptr<sdbus::IConnection> connection, std::string manager,
          std::chrono::milliseconds timeout)
      : Connection(std::move(connection)),
        Manager(std::move(manager)),
        TimeoutUsec(static_cast<uint64_t>(
            std::chrono::duration_cast<std::chrono::microseconds>(timeout).count())),
        Loop(*Connection) {}

  // Members go in this order so that the reader thread stops first and the
  // connection closes last.
  std::unique_ptr<sdbus::IConnection> Connection;
  const std::string Manager;
  const uint64_t TimeoutUsec;
  std::unique_ptr<sdbus::IProxy> Remote;
  sdbus::Slot OwnerWatch;
  std::mutex CallLock;
  std::atomic<bool> QuitAnnounced{false};
  platform::BusEventLoop Loop;
};

namespace {

// After a call made on the caller's thread, which may have queued signals
// on the connection, the reader thread must look at once.
struct WakeAfter {
  platform::BusEventLoop& Loop;
  ~WakeAfter() { Loop.Wake(); }
};

}  // namespace

TQoraServerBusProxy::TQoraServerBusProxy(std::unique_ptr<sdbus::IConnection> connection,
                                         std::string manager, std::chrono::milliseconds callTimeout)
    : events_(points_.Add(DIID_IQoraServerEvents)),
      channel_(std::make_unique<Channel>(std::move(connection), std::move(manager), callTimeout)) {
  Channel& channel = *channel_;
  platform::TConnectionPoint& events = events_;
  channel.Remote = sdbus::createProxy(*channel.Connection, channel.Manager, bus::ObjectPath);
  // Signal handlers run on the reader thread, which is joined before the
  // point goes away; they only post, so sinks run on their own threads.
  auto plain = [&events](DISPID id) {
    return [&events, id](sdbus::Signal&) { events.Post(id, {}); };
  };
  channel.Remote->registerSignalHandler(bus::InterfaceName, bus::SignalOnQuit,
                                        [&events, &channel](sdbus::Signal&) {
                                          channel.QuitAnnounced = true;
                                          events.Post(DISPID_OnQuit, {});
                                        });
  channel.Remote->registerSignalHandler(bus::InterfaceName, bus::SignalOnLanguageChange,
                                        plain(DISPID_OnLanguageChange));
  channel.Remote->registerSignalHandler(
      bus::InterfaceName, bus::SignalOnLogin, [&events](sdbus::Signal& signal) {
        bool value = false;
        try {
          signal >> value;
        } catch (const sdbus::Error&) {
          return;  // not the contract's OnLogin: nothing to deliver
        }
        events.Post(DISPID_OnLogin, DispParams{{Variant::FromBool(value)}, {}});
      });
  channel.Remote->registerSignalHandler(bus::InterfaceName, bus::SignalOnLexiconChange,
                                        plain(DISPID_OnLexiconChange));
  channel.Remote->registerSignalHandler(bus::InterfaceName, bus::SignalOnDatabaseChange,
                                        plain(DISPID_OnDatabaseChange));
  channel.Remote->finishRegistration();
  // A manager that ends without announcing it (a crash) still ends the
  // sinks' connection: its unique name losing its owner is the quit.
  channel.OwnerWatch = channel.Connection->addMatch(
      "type='signal',sender='org.freedesktop.DBus',path='/org/freedesktop/DBus',"
      "interface='org.freedesktop.DBus',member='NameOwnerChanged',arg0='" +
          channel.Manager + "'",
      [&events, &channel](sdbus::Message& message) {
        try {
          std::string name, oldOwner, newOwner;
          message >> name >> oldOwner >> newOwner;
          if (name == channel.Manager && newOwner.empty() &&
              !channel.QuitAnnounced.exchange(true)) {
            events.Post(DISPID_OnQuit, {});
          }
        } catch (const sdbus::Error&) {
        }
      });
}

TQoraServerBusProxy::~TQoraServerBusProxy() = default;

ComPtr<TQoraServerBusProxy> TQoraServerBusProxy::Connect(
    std::unique_ptr<sdbus::IConnection> connection, std::chrono::milliseconds callTimeout) {
  return platform::BusGuarded([&]() -> ComPtr<TQoraServerBusProxy> {
    std::string manager = platform::BusNameOwner(*connection, bus::BusName, callTimeout);
    if (manager.empty()) return {};
    ComPtr<TQoraServerBusProxy> proxy(
        new TQoraServerBusProxy(std::move(connection), manager, callTimeout));
    Channel& channel = *proxy->channel_;
    // The manager may have gone between the question and the watch.
    if (platform::BusNameOwner(*channel.Connection, manager, callTimeout).empty()) return {};
    channel.Loop.Start();
    return proxy;
  });
}

const std::string& TQoraServerBusProxy::ManagerName() const noexcept {
  return channel_->Manager;
}

template <class Op, class... A>
HRESULT TQoraServerBusProxy::Call(A&... args) {
  static_assert(sizeof...(A) == Op::Count);
  String source;
  const HRESULT status = SafeCallEdge([&] {
    try {
      platform::BusGuarded([&] {
        auto params = std::forward_as_tuple(args...);
        typename Op::Storage results{};
        {
          Channel& channel = *channel_;
          std::lock_guard lock(channel.CallLock);
          WakeAfter wake{channel.Loop};
          auto call = channel.Remote->createMethodCall(bus::InterfaceName, Op::Name);
          platform::DisableAutoStart(call);
          bus::WriteInputs<Op>(call, params);
          auto reply = channel.Remote->callMethod(call, channel.TimeoutUsec);
          bus::ExpectSignature(reply, bus::OutSignature<Op>(), "The reply to", Op::Name);
          bus::ReadOutputs<Op>(reply, results);
        }
        // Only a reply read whole reaches the caller's variables.
        bus::MoveOutputs<Op>(results, params);
      });
    } catch (const EOleException& e) {
      source = e.Source();
      throw;
    }
  });
  if (platform::Failed(status) && !source.empty()) {
    if (auto info = platform::TakeErrorInfo()) {
      info->Source = source;
      platform::SetErrorInfo(std::move(*info));
    }
  }
  return status;
}

HRESULT TQoraServerBusProxy::GetTypeInfoCount(uint32_t& count) {
  count = 0;
  return platform::S_OK;
}

HRESULT TQoraServerBusProxy::GetIDsOfNames(const std::vector<String>&, std::vector<DISPID>& ids) {
  ids.clear();
  return platform::E_NOTIMPL;
}

HRESULT TQoraServerBusProxy::Invoke(DISPID, uint16_t, const DispParams&, Variant*) {
  return platform::E_NOTIMPL;
}

HRESULT TQoraServerBusProxy::FindConnectionPoint(const platform::IID& iid,
                                                 ComPtr<platform::IConnectionPoint>& point) {
  return points_.FindConnectionPoint(iid, point);
}

HRESULT TQoraServerBusProxy::ResolveField(const String& profile, const String& tag,
                                          const String& inputType, const String& name,
                                          String& profileField, int32_t& valueKind, String& value,
                                          String& values, bool& found, bool& passwordNeeded) {
  return Call<bus::ResolveFieldOperation>(profile, tag, inputType, name, profileField, valueKind,
                                          value, values, found, passwordNeeded);
}

HRESULT TQoraServerBusProxy::GetProfiles(Variant& profiles, String& activeProfile) {
  return Call<bus::GetProfilesOperation>(profiles, activeProfile);
}

HRESULT TQoraServerBusProxy::GetProfileFields(Variant& fields, bool& passwordNeeded) {
  return Call<bus::GetProfileFieldsOperation>(fields, passwordNeeded);
}

HRESULT TQoraServerBusProxy::SetActiveProfile(const String& profile) {
  return Call<bus::SetActiveProfileOperation>(profile);
}

HRESULT TQoraServerBusProxy::ShowInManager(int32_t kind, const String& url, const String& name,
                                           bool& shown) {
  return Call<bus::ShowInManagerOperation>(kind, url, name, shown);
}

HRESULT TQoraServerBusProxy::GetDefaultCardNames(const String& pageKey, String& existingNames,
                                                 String& proposedName) {
  return Call<bus::GetDefaultCardNamesOperation>(pageKey, existingNames, proposedName);
}

HRESULT TQoraServerBusProxy::DeleteCard(const String& ownerKey, const String& card,
                                        bool& passwordNeeded) {
  return Call<bus::DeleteCardOperation>(ownerKey, card, passwordNeeded);
}

HRESULT TQoraServerBusProxy::Login(const String& password) {
  return Call<bus::LoginOperation>(password);
}

HRESULT TQoraServerBusProxy::Logout() {
  return Call<bus::LogoutOperation>();
}

HRESULT TQoraServerBusProxy::GetLoggedIn(bool& loggedIn) {
  return Call<bus::GetLoggedInOperation>(loggedIn);
}

HRESULT TQoraServerBusProxy::SetDefaultCard(const String& ownerKey, const String& card,
                                            bool allProfiles) {
  return Call<bus::SetDefaultCardOperation>(ownerKey, card, allProfiles);
}

HRESULT TQoraServerBusProxy::AddSynonym(const String& profileField, const String& synonym,
                                        int32_t reserved) {
  return Call<bus::AddSynonymOperation>(profileField, synonym, reserved);
}

HRESULT TQoraServerBusProxy::GetCardNote(int32_t cardId, String& title, String& text) {
  return Call<bus::GetCardNoteOperation>(cardId, title, text);
}

HRESULT TQoraServerBusProxy::GetPageNote(const String& url, String& title, String& text) {
  return Call<bus::GetPageNoteOperation>(url, title, text);
}

HRESULT TQoraServerBusProxy::MatchPageForms(const String& url, const Variant& forms,
                                            Variant& matches, String& line, bool& hasMatch) {
  return Call<bus::MatchPageFormsOperation>(url, forms, matches, line, hasMatch);
}

HRESULT TQoraServerBusProxy::AddFieldValue(int32_t reserved, const String& profileField,
                                           const String& value, bool& passwordNeeded) {
  return Call<bus::AddFieldValueOperation>(reserved, profileField, value, passwordNeeded);
}

HRESULT TQoraServerBusProxy::NotifyNavigateComplete() {
  return Call<bus::NotifyNavigateCompleteOperation>();
}

HRESULT TQoraServerBusProxy::GetBannerMode(int32_t& mode) {
  return Call<bus::GetBannerModeOperation>(mode);
}

HRESULT TQoraServerBusProxy::GetBanner(const Variant& request, Variant& banner) {
  return Call<bus::GetBannerOperation>(request, banner);
}

HRESULT TQoraServerBusProxy::LoadFormSet(const String& formSet, const String& card,
                                         Variant& cardStream, bool& passwordNeeded) {
  return Call<bus::LoadFormSetOperation>(formSet, card, cardStream, passwordNeeded);
}

HRESULT TQoraServerBusProxy::SaveFormSet(const String& url, const String& name, const String& title,
                                         const Variant& forms, bool& saved, bool& passwordNeeded) {
  return Call<bus::SaveFormSetOperation>(url, name, title, forms, saved, passwordNeeded);
}

HRESULT TQoraServerBusProxy::FindFormSet(const String& url, const Variant& forms, String& name) {
  return Call<bus::FindFormSetOperation>(url, forms, name);
}

HRESULT TQoraServerBusProxy::FindCard(int32_t kind, const String& url, const Variant& data,
                                      String& name) {
  return Call<bus::FindCardOperation>(kind, url, data, name);
}

HRESULT TQoraServerBusProxy::SaveCard(int32_t kind, const String& url, const String& name,
                                      const String& title, const Variant& data, bool& saved,
                                      bool& passwordNeeded) {
  return Call<bus::SaveCardOperation>(kind, url, name, title, data, saved, passwordNeeded);
}

HRESULT TQoraServerBusProxy::ListCards(int32_t kind, const String& url, Variant& list,
                                       String& selected) {
  return Call<bus::ListCardsOperation>(kind, url, list, selected);
}

HRESULT TQoraServerBusProxy::LoadCard(int32_t kind, const String& url, const String& name,
                                      Variant& data, bool& passwordNeeded) {
  return Call<bus::LoadCardOperation>(kind, url, name, data, passwordNeeded);
}

HRESULT TQoraServerBusProxy::GetLexicon(Variant& lexicon) {
  return Call<bus::GetLexiconOperation>(lexicon);
}

HRESULT TQoraServerBusProxy::TranslateStrings(const Variant& strings, Variant& translated) {
  return Call<bus::TranslateStringsOperation>(strings, translated);
}

HRESULT TQoraServerBusProxy::GetOptions(int32_t& options) {
  return Call<bus::GetOptionsOperation>(options);
}

HRESULT TQoraServerBusProxy::SetOptions(int32_t options) {
  return Call<bus::SetOptionsOperation>(options);
}

HRESULT TQoraServerBusProxy::AddAllValues(const String& values) {
  return Call<bus::AddAllValuesOperation>(values);
}

ComPtr<IQoraServer> ConnectManagerOverBus(std::chrono::milliseconds callTimeout) {
  ComPtr<TQoraServerBusProxy> proxy =
      TQoraServerBusProxy::Connect(platform::OpenSessionBus(), callTimeout);
  return proxy ? ComPtr<IQoraServer>(proxy.Get()) : ComPtr<IQoraServer>();
}

void InstallManagerBusLookup(std::chrono::milliseconds callTimeout) {
  platform::RegisterActiveObjectProvider(
      CLASS_QoraServer, [callTimeout]() -> ComPtr<platform::IUnknown> {
        ComPtr<IQoraServer> server = ConnectManagerOverBus(callTimeout);
        return server.As<platform::IUnknown>();
      });
}

}  // namespace qm
