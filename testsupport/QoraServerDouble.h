// A scriptable stand-in for the manager, for tests and benchmarks of code
// that talks to IQoraServer (the bus proxy and adaptor, the agent).
//
// Every operation records its inputs (texts as strings, numbers as Int32,
// flags as Bool, streams and lists as they came) and answers the outputs
// set with SetReply, in the order of its out parameters (missing ones
// answer empty, 0 or false); SetFailure makes an operation fail with a
// status and an error description instead.
//
// The double keeps the bus contract (core/Common/QoraServerBus.h) as the
// real manager and the bus do, so that no test passes with a wrong kind: a
// call whose stream argument is not a byte array fails with E_INVALIDARG
// ("Argument 1 of GetBanner must be a byte array"), and SetReply raises
// std::invalid_argument for an operation that does not exist, more outputs
// than the operation has, or an output of a kind its parameter cannot
// carry (a text for a stream, a stream for a list...). Hold makes calls wait until
// ReleaseHeld, to stand for a manager that does not answer. Events go out
// with Fire through the DIID_IQoraServerEvents connection point.
//
// Thread safe: the test scripts it on one thread while a bus thread calls.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "core/Common/QoraServerBus.h"
#include "core/Common/QuilloraLib.h"
#include "platform/com/ConnectionPoints.h"
#include "platform/com/ErrorInfo.h"
#include "platform/rtl/Utf.h"

namespace qm::testing {

class TQoraServerDouble final
    : public platform::ComObject<IQoraServer, platform::IConnectionPointContainer> {
public:
  struct Call {
    String Operation;
    std::vector<Variant> Inputs;
    std::thread::id Thread;
  };

  TQoraServerDouble() : events_(points_.Add(DIID_IQoraServerEvents)) {}

  void SetReply(const String& operation, std::vector<Variant> outputs) {
    CheckReply(operation, outputs);
    std::lock_guard lock(lock_);
    replies_[operation] = std::move(outputs);
  }
  void SetFailure(const String& operation, HRESULT status, String description) {
    std::lock_guard lock(lock_);
    failures_[operation] = {status, std::move(description)};
  }
  // Runs inside every call that does not fail (on the serving thread):
  // e.g. to fire an event the way a manager does while it serves a call.
  void SetCallHook(std::function<void(const String& operation)> hook) {
    std::lock_guard lock(lock_);
    hook_ = std::move(hook);
  }

  // The latest call (only that one is kept) and how many came.
  Call LastCall() const {
    std::lock_guard lock(lock_);
    return lastCall_;
  }
  size_t CallCount() const {
    std::lock_guard lock(lock_);
    return callCount_;
  }

  // Calls from now on wait for ReleaseHeld.
  void Hold() {
    std::lock_guard lock(lock_);
    holding_ = true;
  }
  void ReleaseHeld() {
    {
      std::lock_guard lock(lock_);
      holding_ = false;
    }
    changed_.notify_all();
  }
  // Waits until a call is waiting in Hold; answers whether one came in time.
  bool WaitForHeldCall(std::chrono::milliseconds timeout) {
    std::unique_lock lock(lock_);
    return changed_.wait_for(lock, timeout, [&] { return waiting_ > 0; });
  }

  // Fires an event; args last-first, as they travel.
  int Fire(platform::DISPID id, std::vector<Variant> args = {}) {
    return events_.Fire(id, platform::DispParams{std::move(args), {}});
  }
  int SinkCount() const { return events_.ConnectionCount(); }

  HRESULT GetTypeInfoCount(uint32_t& count) override {
    count = 0;
    return platform::S_OK;
  }
  HRESULT GetIDsOfNames(const std::vector<String>&, std::vector<platform::DISPID>&) override {
    return platform::E_NOTIMPL;
  }
  HRESULT Invoke(platform::DISPID, uint16_t, const platform::DispParams&, Variant*) override {
    return platform::E_NOTIMPL;
  }
  HRESULT FindConnectionPoint(const platform::IID& iid,
                              platform::ComPtr<platform::IConnectionPoint>& point) override {
    return points_.FindConnectionPoint(iid, point);
  }

  HRESULT ResolveField(const String& profile, const String& tag, const String& inputType,
                       const String& name, String& profileField, int32_t& valueKind, String& value,
                       String& values, bool& found, bool& passwordNeeded) override {
    return Serve<bus::ResolveFieldOperation>({In(profile), In(tag), In(inputType), In(name), In(profileField)},
                 profileField, valueKind, value, values, found, passwordNeeded);
  }
  HRESULT GetProfiles(Variant& profiles, String& activeProfile) override {
    return Serve<bus::GetProfilesOperation>({}, profiles, activeProfile);
  }
  HRESULT GetProfileFields(Variant& fields, bool& passwordNeeded) override {
    return Serve<bus::GetProfileFieldsOperation>({}, fields, passwordNeeded);
  }
  HRESULT SetActiveProfile(const String& profile) override {
    return Serve<bus::SetActiveProfileOperation>({In(profile)});
  }
  HRESULT ShowInManager(int32_t kind, const String& url, const String& name, bool& shown) override {
    return Serve<bus::ShowInManagerOperation>({In(kind), In(url), In(name)}, shown);
  }
  HRESULT GetDefaultCardNames(const String& pageKey, String& existingNames,
                              String& proposedName) override {
    return Serve<bus::GetDefaultCardNamesOperation>({In(pageKey)}, existingNames, proposedName);
  }
  HRESULT DeleteCard(const String& ownerKey, const String& card, bool& passwordNeeded) override {
    return Serve<bus::DeleteCardOperation>({In(ownerKey), In(card)}, passwordNeeded);
  }
  HRESULT Login(const String& password) override { return Serve<bus::LoginOperation>({In(password)}); }
  HRESULT Logout() override { return Serve<bus::LogoutOperation>({}); }
  HRESULT GetLoggedIn(bool& loggedIn) override { return Serve<bus::GetLoggedInOperation>({}, loggedIn); }
  HRESULT SetDefaultCard(const String& ownerKey, const String& card, bool allProfiles) override {
    return Serve<bus::SetDefaultCardOperation>({In(ownerKey), In(card), In(allProfiles)});
  }
  HRESULT AddSynonym(const String& profileField, const String& synonym, int32_t reserved) override {
    return Serve<bus::AddSynonymOperation>({In(profileField), In(synonym), In(reserved)});
  }
  HRESULT GetCardNote(int32_t cardId, String& title, String& text) override {
    return Serve<bus::GetCardNoteOperation>({In(cardId)}, title, text);
  }
  HRESULT GetPageNote(const String& url, String& title, String& text) override {
    return Serve<bus::GetPageNoteOperation>({In(url)}, title, text);
  }
  HRESULT MatchPageForms(const String& url, const Variant& forms, Variant& matches, String& line,
                         bool& hasMatch) override {
    return Serve<bus::MatchPageFormsOperation>({In(url), forms}, matches, line, hasMatch);
  }
  HRESULT AddFieldValue(int32_t reserved, const String& profileField, const String& value,
                        bool& passwordNeeded) override {
    return Serve<bus::AddFieldValueOperation>({In(reserved), In(profileField), In(value)}, passwordNeeded);
  }
  HRESULT NotifyNavigateComplete() override { return Serve<bus::NotifyNavigateCompleteOperation>({}); }
  HRESULT GetBannerMode(int32_t& mode) override { return Serve<bus::GetBannerModeOperation>({}, mode); }
  HRESULT GetBanner(const Variant& request, Variant& banner) override {
    return Serve<bus::GetBannerOperation>({request}, banner);
  }
  HRESULT LoadFormSet(const String& formSet, const String& card, Variant& cardStream,
                      bool& passwordNeeded) override {
    return Serve<bus::LoadFormSetOperation>({In(formSet), In(card)}, cardStream, passwordNeeded);
  }
  HRESULT SaveFormSet(const String& url, const String& name, const String& title,
                      const Variant& forms, bool& saved, bool& passwordNeeded) override {
    return Serve<bus::SaveFormSetOperation>({In(url), In(name), In(title), forms}, saved, passwordNeeded);
  }
  HRESULT FindFormSet(const String& url, const Variant& forms, String& name) override {
    return Serve<bus::FindFormSetOperation>({In(url), forms}, name);
  }
  HRESULT FindCard(int32_t kind, const String& url, const Variant& data, String& name) override {
    return Serve<bus::FindCardOperation>({In(kind), In(url), data}, name);
  }
  HRESULT SaveCard(int32_t kind, const String& url, const String& name, const String& title,
                   const Variant& data, bool& saved, bool& passwordNeeded) override {
    return Serve<bus::SaveCardOperation>({In(kind), In(url), In(name), In(title), data}, saved,
                 passwordNeeded);
  }
  HRESULT ListCards(int32_t kind, const String& url, Variant& list, String& selected) override {
    return Serve<bus::ListCardsOperation>({In(kind), In(url)}, list, selected);
  }
  HRESULT LoadCard(int32_t kind, const String& url, const String& name, Variant& data,
                   bool& passwordNeeded) override {
    return Serve<bus::LoadCardOperation>({In(kind), In(url), In(name)}, data, passwordNeeded);
  }
  HRESULT GetLexicon(Variant& lexicon) override { return Serve<bus::GetLexiconOperation>({}, lexicon); }
  HRESULT TranslateStrings(const Variant& strings, Variant& translated) override {
    return Serve<bus::TranslateStringsOperation>({strings}, translated);
  }
  HRESULT GetOptions(int32_t& options) override { return Serve<bus::GetOptionsOperation>({}, options); }
  HRESULT SetOptions(int32_t options) override { return Serve<bus::SetOptionsOperation>({In(options)}); }
  HRESULT AddAllValues(const String& values) override {
    return Serve<bus::AddAllValuesOperation>({In(values)});
  }

private:
  static Variant In(const String& v) { return Variant::FromString(v); }
  static Variant In(int32_t v) { return Variant::FromInt32(v); }
  static Variant In(bool v) { return Variant::FromBool(v); }

  static void Out(const Variant& from, String& to) {
    to = from.GetKind() == Variant::Kind::String ? from.AsString() : String();
  }
  static void Out(const Variant& from, int32_t& to) { to = from.IsEmpty() ? 0 : from.AsInt32(); }
  static void Out(const Variant& from, bool& to) { to = !from.IsEmpty() && from.AsBool(); }
  static void Out(const Variant& from, Variant& to) { to = from; }

  // Whether a value may travel as the wire kind; empty always may (it is
  // the empty text, 0, false or the zero-length array).
  static bool Fits(bus::Wire wire, const Variant& value) {
    using K = Variant::Kind;
    if (value.IsEmpty()) return true;
    switch (wire) {
      case bus::Wire::Text:
        return value.GetKind() == K::String;
      case bus::Wire::Int32:
        return value.GetKind() == K::Int32;
      case bus::Wire::Bool:
        return value.GetKind() == K::Bool;
      case bus::Wire::Stream:
        return value.IsNull() || value.GetKind() == K::ByteArray;
      case bus::Wire::List:
        if (value.IsNull() || value.GetKind() == K::StringArray) return true;
        if (value.GetKind() != K::VariantArray) return false;
        for (const Variant& item : value.AsVariantArray().Items) {
          if (item.IsArray() || item.GetKind() == K::Unknown) return false;
        }
        return true;
    }
    return false;
  }
  static const char* KindName(bus::Wire wire) {
    switch (wire) {
      case bus::Wire::Text:
        return "a text";
      case bus::Wire::Int32:
        return "a 32-bit integer";
      case bus::Wire::Bool:
        return "a boolean";
      case bus::Wire::Stream:
        return "a byte array";
      case bus::Wire::List:
        return "a list of texts";
    }
    return "";
  }

  // The wire kinds of an operation's parameters that go in (Dir::Out
  // skipped) or come back (Dir::In skipped), in order.
  template <class Op>
  static std::vector<bus::Wire> Kinds(bus::Dir skip) {
    std::vector<bus::Wire> kinds;
    std::apply([&](auto... a) { ((a.dir != skip ? kinds.push_back(a.wire) : void()), ...); },
               typename Op::Params{});
    return kinds;
  }

  static void CheckReply(const String& operation, const std::vector<Variant>& outputs) {
    const std::string name = platform::Utf16ToUtf8(operation);
    bool known = false;
    bus::ForEachOperation([&]<class Op>() {
      if (name != Op::Name) return;
      known = true;
      const std::vector<bus::Wire> kinds = Kinds<Op>(bus::Dir::In);
      if (outputs.size() > kinds.size()) {
        throw std::invalid_argument(name + " answers " + std::to_string(kinds.size()) +
                                    " values, not " + std::to_string(outputs.size()));
      }
      for (size_t i = 0; i < outputs.size(); ++i) {
        if (!Fits(kinds[i], outputs[i])) {
          throw std::invalid_argument("result " + std::to_string(i + 1) + " of " + name +
                                      " must be " + KindName(kinds[i]));
        }
      }
    });
    if (!known) throw std::invalid_argument("no operation " + name);
  }

  template <class Op>
  static std::optional<String> RefusedInput(const std::vector<Variant>& inputs) {
    const std::vector<bus::Wire> kinds = Kinds<Op>(bus::Dir::Out);
    for (size_t i = 0; i < inputs.size() && i < kinds.size(); ++i) {
      if (Fits(kinds[i], inputs[i])) continue;
      const std::string why = std::string("Argument ") + std::to_string(i + 1) + " of " +
                              Op::Name + " must be " + KindName(kinds[i]);
      return platform::Utf8ToUtf16(why);
    }
    return std::nullopt;
  }

  template <class Op, class... Outs>
  HRESULT Serve(std::vector<Variant> inputs, Outs&... outs) {
    const String operation = platform::Utf8ToUtf16(Op::Name);
    const std::optional<String> refused = RefusedInput<Op>(inputs);
    std::vector<Variant> reply;
    std::function<void(const String&)> hook;
    {
      std::unique_lock lock(lock_);
      hook = hook_;
      lastCall_ = {operation, std::move(inputs), std::this_thread::get_id()};
      ++callCount_;
      if (holding_) {
        ++waiting_;
        changed_.notify_all();
        changed_.wait(lock, [&] { return !holding_; });
        --waiting_;
      }
      if (refused) {
        platform::SetErrorInfo({*refused, {}});
        return platform::E_INVALIDARG;
      }
      if (auto it = failures_.find(operation); it != failures_.end()) {
        platform::SetErrorInfo({it->second.second, {}});
        return it->second.first;
      }
      if (auto it = replies_.find(operation); it != replies_.end()) reply = it->second;
    }
    if (hook) hook(operation);
    reply.resize(sizeof...(Outs));
    [[maybe_unused]] size_t i = 0;
    (Out(reply[i++], outs), ...);
    return platform::S_OK;
  }

  mutable std::mutex lock_;
  std::condition_variable changed_;
  std::map<String, std::vector<Variant>> replies_;
  std::map<String, std::pair<HRESULT, String>> failures_;
  std::function<void(const String&)> hook_;
  Call lastCall_;
  size_t callCount_ = 0;
  bool holding_ = false;
  int waiting_ = 0;
  platform::TConnectionPointList points_;
  platform::TConnectionPoint& events_;
};

}  // namespace qm::testing
