// The manager's event sink: a small object that attaches itself to the
// manager's connection point, receives the manager's events as late-bound
// calls and turns each into an event handler that its owner (the agent)
// sets.
//
// TQuillmateLibEventsBaseSink does the attaching and the argument handling
// for any outgoing interface; TQuillmateLibIQoraServerEvents knows the
// manager's five events (dispatch numbers 201 to 205, QuilloraLib.h).
//
// Ownership: the owner holds the sink by ComPtr. While attached, the
// server's connection point holds a reference too, so the owner detaches
// (Disconnect) before letting go; the destructor detaches as well, for a
// sink whose server let go of it first. The sink holds its server and the
// server's connection point while attached.
//
// Threads: events arrive on the thread that attached the sink (the
// connection point delivers them there); the sink takes no locks and is
// used from that one thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/Common/QuilloraLib.h"
#include "platform/com/ConnectionPoint.h"
#include "platform/com/Dispatch.h"

namespace qm {

class TQuillmateLibEventsBaseSink : public platform::ComObject<platform::IDispatch> {
public:
  ~TQuillmateLibEventsBaseSink() override;

  // Detaches first, then attaches to server's connection point of
  // EventsIID and keeps server as Source. Any failure raises Exception
  // "Unable to connect <Name>.\r<reason>". server must be set.
  void Connect(const platform::ComPtr<platform::IUnknown>& server);
  // Detaches when attached; a failing detach is forgotten silently.
  void Disconnect() noexcept;
  bool Connected() const noexcept { return static_cast<bool>(source_); }

  // The component's name, used in the attach failure message.
  const std::u16string& Name() const noexcept { return name_; }
  void SetName(std::u16string name) { name_ = std::move(name); }

  const platform::IID& EventsIID() const noexcept { return eventsIid_; }
  uint32_t Cookie() const noexcept { return cookie_; }
  const platform::ComPtr<platform::IConnectionPoint>& ConnectionPoint() const noexcept {
    return connectionPoint_;
  }
  const platform::ComPtr<platform::IUnknown>& Source() const noexcept { return source_; }

  // Type information and name lookup are not offered: the count is 0, the
  // lookup answers E_NOTIMPL.
  HRESULT GetTypeInfoCount(uint32_t& count) override;
  HRESULT GetIDsOfNames(const std::vector<std::u16string>& names,
                        std::vector<platform::DISPID>& ids) override;
  // Method calls only. Nothing escapes: a refused call or a failing
  // handler answers DISP_E_EXCEPTION with the reason as error information;
  // an unknown number answers DISP_E_MEMBERNOTFOUND.
  HRESULT Invoke(platform::DISPID id, uint16_t flags, const platform::DispParams& params,
                 platform::Variant* result) final;

protected:
  // The declared arguments of one call: Arg(j) is declared argument j,
  // wherever the caller placed it (by position, or by name).
  class TArguments {
  public:
    explicit TArguments(const platform::DispParams& params);
    int Count() const noexcept { return static_cast<int>(map_.size()); }
    // Raises EOleSysError (DISP_E_BADPARAMCOUNT) for a missing argument.
    const platform::Variant& Arg(int declared) const;

  private:
    std::vector<const platform::Variant*> map_;
  };

  TQuillmateLibEventsBaseSink(const platform::IID& eventsIid, std::u16string className);

  // Raises the event of id; answers DISP_E_MEMBERNOTFOUND for an unknown
  // one. May raise (the handler's failure).
  virtual HRESULT InvokeEvent(platform::DISPID id, const TArguments& args) = 0;

  void* QueryExtraInterface(const platform::IID& iid) override;

private:
  const platform::IID eventsIid_;
  uint32_t cookie_ = 0;
  platform::ComPtr<platform::IConnectionPoint> connectionPoint_;
  platform::ComPtr<platform::IUnknown> source_;
  const std::u16string className_;
  std::u16string name_;
};

class TQuillmateLibIQoraServerEvents;

using TIQoraServerEventsOnQuitEvent = std::function<void(TQuillmateLibIQoraServerEvents& sender)>;
using TIQoraServerEventsOnLoginEvent =
    std::function<void(TQuillmateLibIQoraServerEvents& sender, platform::VARIANT_BOOL AValue)>;
using TIQoraServerEventsOnLexiconChangeEvent =
    std::function<void(TQuillmateLibIQoraServerEvents& sender)>;
using TIQoraServerEventsOnDatabaseChangeEvent =
    std::function<void(TQuillmateLibIQoraServerEvents& sender)>;
using TIQoraServerEventsOnLanguageChangeEvent =
    std::function<void(TQuillmateLibIQoraServerEvents& sender)>;

class TQuillmateLibIQoraServerEvents final : public TQuillmateLibEventsBaseSink {
public:
  TQuillmateLibIQoraServerEvents();

  // Unset handlers are skipped.
  TIQoraServerEventsOnQuitEvent OnQuit;
  TIQoraServerEventsOnLoginEvent OnLogin;
  TIQoraServerEventsOnLexiconChangeEvent OnLexiconChange;
  TIQoraServerEventsOnDatabaseChangeEvent OnDatabaseChange;
  TIQoraServerEventsOnLanguageChangeEvent OnLanguageChange;

protected:
  HRESULT InvokeEvent(platform::DISPID id, const TArguments& args) override;
};

}  // namespace qm
