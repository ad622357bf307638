// The add-on's side of the manager's bus interface (QoraServerBus.h): a COM
// object that implements IQoraServer by calling the running manager over
// the session bus, and the running-object lookup that hands it out.
//
// A proxy is bound to one manager instance (the unique bus name that owned
// org.quillora.Manager when it was made): when that manager goes away,
// every further call fails at once (RPC_E_DISCONNECTED) and its sinks get
// one OnQuit, unless the manager announced its quit itself; a manager
// started later is reached through a new proxy. Calls never start the
// manager, and time out (RPC_E_TIMEOUT) after the proxy's call timeout.
// A failed call answers its status with error information, so that
// OleCheck raises EOleException with the manager's (or the transport's)
// message and the D-Bus error name as its source.
//
// Events: the manager's signals become Invoke calls (dispatch numbers
// 201-205) on every sink connected to the proxy's DIID_IQoraServerEvents
// connection point, delivered on the thread that connected the sink, when
// that thread processes its pending events (platform/com/PendingEvents.h).
//
// Ownership: the proxy owns its bus connection and the thread that reads
// it; the last Release stops that thread and closes the connection. The
// reader thread never holds a reference, so the last Release may come from
// any thread. Threads: calls may come from any thread; they are serialised.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "core/Common/QoraServerBus.h"
#include "core/Common/QuilloraLib.h"
#include "platform/com/ConnectionPoints.h"

namespace sdbus {
class IConnection;
}

namespace qm {

class TQoraServerBusProxy final
    : public platform::ComObject<IQoraServer, platform::IConnectionPointContainer> {
public:
  // A proxy of the manager that owns the manager's bus name on connection
  // now, or empty when nobody does. Takes the connection. Raises
  // BusException when the bus cannot be asked.
  static platform::ComPtr<TQoraServerBusProxy> Connect(
      std::unique_ptr<sdbus::IConnection> connection,
      std::chrono::milliseconds callTimeout = bus::DefaultCallTimeout);
  ~TQoraServerBusProxy() override;

  // The unique bus name of the manager instance this proxy talks to.
  const std::string& ManagerName() const noexcept;

  // IDispatch: the proxy is called early-bound only.
  HRESULT GetTypeInfoCount(uint32_t& count) override;
  HRESULT GetIDsOfNames(const std::vector<String>& names,
                        std::vector<platform::DISPID>& ids) override;
  HRESULT Invoke(platform::DISPID id, uint16_t flags, const platform::DispParams& params,
                 Variant* result) override;

  HRESULT FindConnectionPoint(const platform::IID& iid,
                              platform::ComPtr<platform::IConnectionPoint>& point) override;

  HRESULT ResolveField(const String& profile, const String& tag, const String& inputType,
                       const String& name, String& profileField, int32_t& valueKind, String& value,
                       String& values, bool& found, bool& passwordNeeded) override;
  HRESULT GetProfiles(Variant& profiles, String& activeProfile) override;
  HRESULT GetProfileFields(Variant& fields, bool& passwordNeeded) override;
  HRESULT SetActiveProfile(const String& profile) override;
  HRESULT ShowInManager(int32_t kind, const String& url, const String& name, bool& shown) override;
  HRESULT GetDefaultCardNames(const String& pageKey, String& existingNames,
                              String& proposedName) override;
  HRESULT DeleteCard(const String& ownerKey, const String& card, bool& passwordNeeded) override;
  HRESULT Login(const String& password) override;
  HRESULT Logout() override;
  HRESULT GetLoggedIn(bool& loggedIn) override;
  HRESULT SetDefaultCard(const String& ownerKey, const String& card, bool allProfiles) override;
  HRESULT AddSynonym(const String& profileField, const String& synonym, int32_t reserved) override;
  HRESULT GetCardNote(int32_t cardId, String& title, String& text) override;
  HRESULT GetPageNote(const String& url, String& title, String& text) override;
  HRESULT MatchPageForms(const String& url, const Variant& forms, Variant& matches, String& line,
                         bool& hasMatch) override;
  HRESULT AddFieldValue(int32_t reserved, const String& profileField, const String& value,
                        bool& passwordNeeded) override;
  HRESULT NotifyNavigateComplete() override;
  HRESULT GetBannerMode(int32_t& mode) override;
  HRESULT GetBanner(const Variant& request, Variant& banner) override;
  HRESULT LoadFormSet(const String& formSet, const String& card, Variant& cardStream,
                      bool& passwordNeeded) override;
  HRESULT SaveFormSet(const String& url, const String& name, const String& title,
                      const Variant& forms, bool& saved, bool& passwordNeeded) override;
  HRESULT FindFormSet(const String& url, const Variant& forms, String& name) override;
  HRESULT FindCard(int32_t kind, const String& url, const Variant& data, String& name) override;
  HRESULT SaveCard(int32_t kind, const String& url, const String& name, const String& title,
                   const Variant& data, bool& saved, bool& passwordNeeded) override;
  HRESULT ListCards(int32_t kind, const String& url, Variant& list, String& selected) override;
  HRESULT LoadCard(int32_t kind, const String& url, const String& name, Variant& data,
                   bool& passwordNeeded) override;
  HRESULT GetLexicon(Variant& lexicon) override;
  HRESULT TranslateStrings(const Variant& strings, Variant& translated) override;
  HRESULT GetOptions(int32_t& options) override;
  HRESULT SetOptions(int32_t options) override;
  HRESULT AddAllValues(const String& values) override;

private:
  struct Channel;  // the bus side: connection, reader thread, subscriptions

  TQoraServerBusProxy(std::unique_ptr<sdbus::IConnection> connection, std::string manager,
                      std::chrono::milliseconds callTimeout);
  template <class Op, class... A>
  HRESULT Call(A&... args);

  platform::TConnectionPointList points_;
  platform::TConnectionPoint& events_;
  std::unique_ptr<Channel> channel_;
};

// A proxy of the manager running on the session bus, or empty when none
// runs. Raises BusException when there is no session bus.
platform::ComPtr<IQoraServer> ConnectManagerOverBus(
    std::chrono::milliseconds callTimeout = bus::DefaultCallTimeout);

// Lets GetActiveObject(CLASS_QoraServer) find a manager on the session bus
// (after any registered in this process). Idempotent; the last timeout
// given is the one the proxies get.
void InstallManagerBusLookup(std::chrono::milliseconds callTimeout = bus::DefaultCallTimeout);

}  // namespace qm
