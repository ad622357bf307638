// The manager application's interface, as the add-on sees it: its class,
// the IQoraServer operations in their interface order, and its outgoing
// event interface.
//
// The manager is a program of its own. The add-on never starts it: it asks
// the running-object table for the object of CLASS_QoraServer and queries
// it for IQoraServer. Implementations: the manager itself (registered in
// process, or served over D-Bus and reached through a proxy).
//
// Every operation answers a status; a failure leaves error information
// with the reason (see platform/com/ErrorInfo.h), so that callers write
//   platform::OleCheck(server->GetOptions(word));
// and get an EOleException carrying the manager's or the transport's text.
// Texts are UTF-16; lists and streams are variants (string arrays and byte
// arrays). "passwordNeeded" is the flag that asks the caller to log in and
// retry. The flat layouts of the list results are described with each
// operation. Calls come from one thread per browser window; an
// implementation serves each call on the caller's thread (in process) or
// its own (over the bus).
#pragma once

#include <cstdint>
#include <string>

#include "platform/com/Dispatch.h"
#include "platform/com/Guid.h"
#include "platform/com/Variant.h"

namespace qm {

using platform::HRESULT;
using platform::Variant;
using String = std::u16string;

inline constexpr platform::CLSID CLASS_QoraServer =
    platform::MakeGuid("{8DDD182B-AE09-4CB3-BA9A-DA3A0AA0AC4A}");
inline constexpr platform::IID DIID_IQoraServerEvents =
    platform::MakeGuid("{020EED28-7389-4FC7-A29B-F9E9103F2A3F}");

// Dispatch numbers of the outgoing events.
enum QoraServerEventId : platform::DISPID {
  DISPID_OnQuit = 201,
  DISPID_OnLanguageChange = 202,
  DISPID_OnLogin = 203,  // one 16-bit boolean
  DISPID_OnLexiconChange = 204,
  DISPID_OnDatabaseChange = 205,
};

// Kinds of the cards stored besides form sets.
enum QoraCardKind : int32_t {
  CardKindNavigation = 1,
  CardKindMail = 2,
};

struct IQoraServer : platform::IDispatch {
  static constexpr platform::IID Iid =
      platform::MakeGuid("{BB1BD5A5-5977-4856-B55D-ADD29C07D0C0}");
  using BaseInterface = platform::IDispatch;

  // profile: empty for the active one. With tag, inputType and name all
  // empty this is the log-in probe. profileField in: the field to answer
  // (by caption), empty to let the manager recognise the control; out: the
  // field that answered. values: comma text of candidate values.
  virtual HRESULT ResolveField(const String& profile, const String& tag, const String& inputType,
                               const String& name, String& profileField, int32_t& valueKind,
                               String& value, String& values, bool& found,
                               bool& passwordNeeded) = 0;
  // profiles: string array of names.
  virtual HRESULT GetProfiles(Variant& profiles, String& activeProfile) = 0;
  // fields: string array, flat triples caption, field name, group.
  virtual HRESULT GetProfileFields(Variant& fields, bool& passwordNeeded) = 0;
  virtual HRESULT SetActiveProfile(const String& profile) = 0;
  virtual HRESULT ShowInManager(int32_t kind, const String& url, const String& name,
                                bool& shown) = 0;
  // existingNames: comma text of "flag=name" entries (flag "1" when the
  // card is the default for all profiles, else "0").
  virtual HRESULT GetDefaultCardNames(const String& pageKey, String& existingNames,
                                      String& proposedName) = 0;
  virtual HRESULT DeleteCard(const String& ownerKey, const String& card,
                             bool& passwordNeeded) = 0;
  // Fails when the password is refused.
  virtual HRESULT Login(const String& password) = 0;
  virtual HRESULT Logout() = 0;
  virtual HRESULT GetLoggedIn(bool& loggedIn) = 0;
  // card empty: no default.
  virtual HRESULT SetDefaultCard(const String& ownerKey, const String& card,
                                 bool allProfiles) = 0;
  // reserved: the add-on passes -1.
  virtual HRESULT AddSynonym(const String& profileField, const String& synonym,
                             int32_t reserved) = 0;
  virtual HRESULT GetCardNote(int32_t cardId, String& title, String& text) = 0;
  virtual HRESULT GetPageNote(const String& url, String& title, String& text) = 0;
  // forms: byte array of a transit form set. matches: string array of
  // "owner key=card name" entries; line: the entry to choose first.
  virtual HRESULT MatchPageForms(const String& url, const Variant& forms, Variant& matches,
                                 String& line, bool& hasMatch) = 0;
  // reserved: the add-on passes 0.
  virtual HRESULT AddFieldValue(int32_t reserved, const String& profileField, const String& value,
                                bool& passwordNeeded) = 0;
  virtual HRESULT NotifyNavigateComplete() = 0;
  virtual HRESULT GetBannerMode(int32_t& mode) = 0;
  virtual HRESULT GetBanner(const Variant& request, Variant& banner) = 0;
  // card: byte array of a transit form set holding that card's forms.
  virtual HRESULT LoadFormSet(const String& formSet, const String& card, Variant& cardStream,
                              bool& passwordNeeded) = 0;
  virtual HRESULT SaveFormSet(const String& url, const String& name, const String& title,
                              const Variant& forms, bool& saved, bool& passwordNeeded) = 0;
  virtual HRESULT FindFormSet(const String& url, const Variant& forms, String& name) = 0;
  virtual HRESULT FindCard(int32_t kind, const String& url, const Variant& data,
                           String& name) = 0;
  virtual HRESULT SaveCard(int32_t kind, const String& url, const String& name,
                           const String& title, const Variant& data, bool& saved,
                           bool& passwordNeeded) = 0;
  // list: string array of "flag=name" entries; selected: the default.
  virtual HRESULT ListCards(int32_t kind, const String& url, Variant& list, String& selected) = 0;
  virtual HRESULT LoadCard(int32_t kind, const String& url, const String& name, Variant& data,
                           bool& passwordNeeded) = 0;
  // lexicon: byte array of a version-10 lexicon stream, or empty.
  virtual HRESULT GetLexicon(Variant& lexicon) = 0;
  // Both byte arrays of a count and that many wide strings.
  virtual HRESULT TranslateStrings(const Variant& strings, Variant& translated) = 0;
  virtual HRESULT GetOptions(int32_t& options) = 0;
  virtual HRESULT SetOptions(int32_t options) = 0;
  // values: joined by CR LF.
  virtual HRESULT AddAllValues(const String& values) = 0;
};

}  // namespace qm
