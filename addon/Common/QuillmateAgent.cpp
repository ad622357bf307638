// The agent's connection to the manager, its lists and its relays. The
// parts that open dialogs are in QuillmateAgentDialogs.cpp.
#include "addon/Common/QuillmateAgent.h"

#include "addon/Common/PageKey.h"
#include "addon/dialogs/QMDialogUnit.h"
#include "core/Common/LocationCodes.h"
#include "core/Common/QMCommonUtils.h"
#include "core/Common/StreamUtils.h"
#include "core/Common/TextUtils.h"
#include "core/Common/VxSystem.h"
#include "platform/com/ErrorInfo.h"
#include "platform/com/RunningObjects.h"

namespace qm {

const TWideStringList& TQuillmateAgent::CommandCaptions() {
  static const TWideStringList captions{
      u"Activate",    u"Login",       u"Quillora Manager", u"Save forms",
      u"Fill form",   u"Bind field",  u"Unbind field",     u"Add to profile field",
      u"Clear forms", u"Record",      u"Auto fill form",   u"Auto submit form",
      u"Options",     u"Add synonim", u"Add value",        u"Add all values"};
  return captions;
}

TQuillmateAgent::TQuillmateAgent()
    : eventSink_(platform::MakeCom<TQuillmateLibIQoraServerEvents>()) {
  captions_.Assign(CommandCaptions());
  eventSink_->OnQuit = [this](TQuillmateLibIQoraServerEvents&) {
    Raise(onManagerQuit_, *this);
    Drop();
  };
  eventSink_->OnLogin = [](TQuillmateLibIQoraServerEvents&, platform::VARIANT_BOOL) {};
  eventSink_->OnLexiconChange = [this](TQuillmateLibIQoraServerEvents&) { RefreshLexicon(); };
  eventSink_->OnLanguageChange = [this](TQuillmateLibIQoraServerEvents&) { RefreshTranslations(); };
}

TQuillmateAgent::~TQuillmateAgent() {
  Drop();
  // The sink may outlive the agent (a server that still holds it); it
  // must not call back into what is gone.
  eventSink_->OnQuit = nullptr;
  eventSink_->OnLogin = nullptr;
  eventSink_->OnLexiconChange = nullptr;
  eventSink_->OnLanguageChange = nullptr;
  fillDialog_.reset();
}

// --- connection ---

void TQuillmateAgent::Connect() {
  if (server_) return;
  platform::ComPtr<IQoraServer> server;
  Swallowed([&] {
    platform::ComPtr<platform::IUnknown> object;
    if (platform::Succeeded(platform::GetActiveObject(CLASS_QoraServer, object))) {
      server = object.As<IQoraServer>();
    }
  });
  platform::ClearErrorInfo();
  if (!server) return;
  server_ = server;
  const bool connected = Swallowed([&] {
    eventSink_->Connect(platform::ComPtr<platform::IUnknown>(server_.Get()));
    Raise(onConnect_, *this);
    int32_t word = 0;
    if (!ManagerCall([&](IQoraServer& s) { return s.GetOptions(word); })) return;
    options_ = TQMOptions::FromWord(word);
    int32_t mode = 0;
    if (!ManagerCall([&](IQoraServer& s) { return s.GetBannerMode(mode); })) return;
    bannerMode_ = mode;
    RefreshLexicon();
    RefreshTranslations();
  });
  // A connection that failed half-way is dropped at once, sink and all, so
  // no event of that server reaches the agent any more.
  if (!connected) Drop();
}

void TQuillmateAgent::Drop() noexcept {
  eventSink_->Disconnect();
  server_ = nullptr;
}

bool TQuillmateAgent::ManagerCall(const std::function<HRESULT(IQoraServer&)>& call) {
  const platform::ComPtr<IQoraServer> server = server_;  // a call may drop it
  if (!server) return false;
  HRESULT status = platform::E_FAIL;
  const bool ran = Swallowed([&] { status = call(*server); });
  if (ran && platform::Succeeded(status)) return true;
  platform::ClearErrorInfo();
  Drop();
  return false;
}

platform::ComPtr<IQoraServer> TQuillmateAgent::GetServer() {
  Connect();
  return server_;
}

bool TQuillmateAgent::IsConnected() {
  Connect();
  return static_cast<bool>(server_);
}

bool TQuillmateAgent::IsLoggedIn() {
  Connect();
  bool loggedIn = false;
  if (!ManagerCall([&](IQoraServer& s) { return s.GetLoggedIn(loggedIn); })) return false;
  return loggedIn;
}

void TQuillmateAgent::SetLoggedIn(bool login) {
  if (login) {
    Login();
  } else {
    Logout();
  }
}

void TQuillmateAgent::Logout() {
  if (!GetServer()) return;
  ManagerCall([](IQoraServer& s) { return s.Logout(); });
}

void TQuillmateAgent::RefreshLexicon() {
  lexicon_.Clear();
  Variant reply;
  if (!ManagerCall([&](IQoraServer& s) { return s.GetLexicon(reply); })) return;
  if (reply.IsEmptyOrNull()) return;
  // A reply that is not a lexicon stream leaves the lexicon empty.
  const bool loaded = Swallowed([&] {
    TMemoryStream stream;
    VariantToStream(reply, stream);
    stream.SetPosition(0);
    if (!lexicon_.LoadFromStream(stream, LexiconStreamVersion)) lexicon_.Clear();
  });
  if (!loaded) lexicon_.Clear();
}

void TQuillmateAgent::RefreshTranslations() {
  translatedCaptions_.Clear();
  TMemoryStream request;
  WriteInt32(request, captions_.Count());
  for (int i = 0; i < captions_.Count(); ++i)
    WriteWideString(request, captions_[i]);
  const Variant strings = StreamToVariant(request);
  Variant reply;
  if (!ManagerCall([&](IQoraServer& s) { return s.TranslateStrings(strings, reply); })) return;
  if (reply.IsEmptyOrNull()) return;
  Swallowed([&] {
    TMemoryStream stream;
    VariantToStream(reply, stream);
    stream.SetPosition(0);
    TStreamReader reader(stream);
    int32_t count = 0;
    // A reply for another list of captions is no translation of ours.
    if (!reader.Int32(count) || count != captions_.Count()) return;
    for (int32_t i = 0; i < count; ++i) {
      std::u16string text;
      if (!reader.WideString(text)) {
        translatedCaptions_.Clear();
        return;
      }
      translatedCaptions_.Add(std::move(text));
    }
  });
  if (translatedCaptions_.Count() != captions_.Count()) translatedCaptions_.Clear();
}

String TQuillmateAgent::Translate(const String& text) {
  const int at = captions_.IndexOf(text);
  if (at < 0 || translatedCaptions_.Count() < captions_.Count()) return text;
  return translatedCaptions_[at];
}

// --- lists ---

void TQuillmateAgent::SetFormCards(const Variant& list, const String& formSet, const String& card) {
  TWideStringList entries;
  VariantToList(list, entries);
  formCards_.AddEntries(entries, formSet, card);
}

void TQuillmateAgent::SetProfiles(const Variant& list, const String& activeProfile) {
  profiles_.Clear();
  VariantToList(list, profiles_);
  const int at = profiles_.IndexOf(activeProfile);
  if (at >= 0) profiles_.SetObject(at, 1);
}

void TQuillmateAgent::ClearFormCards() {
  formCards_.Clear();
  if (fillDialog_) fillDialog_->Clear();
}

String TQuillmateAgent::ActiveProfile() {
  return Reported(loc::AgentActiveProfile, [&] {
    for (int i = 0; i < profiles_.Count(); ++i) {
      if (profiles_.Objects(i) != 0) return profiles_[i];
    }
    return String();
  });
}

void TQuillmateAgent::FillNameList(const Variant& list, const String& selected,
                                   TWideStringList& names) {
  names.Clear();
  TWideStringList entries;
  VariantToList(list, entries);
  for (int i = 0; i < entries.Count(); ++i) {
    names.Add(SplitNameValue(Trim(entries[i])).second);
  }
  const int at = names.IndexOf(selected);
  if (at >= 0) names.SetObject(at, 1);
}

void TQuillmateAgent::SetNavigationCards(const Variant& list, const String& selected) {
  FillNameList(list, selected, navigationCards_);
}

void TQuillmateAgent::SetMailCards(const Variant& list, const String& selected) {
  FillNameList(list, selected, mailCards_);
}

namespace {

String FirstMarked(const TWideStringList& names) {
  for (int i = 0; i < names.Count(); ++i) {
    if (names.Objects(i) != 0) return names[i];
  }
  return String();
}

}  // namespace

String TQuillmateAgent::SelectedNavigationCard() const {
  return FirstMarked(navigationCards_);
}
String TQuillmateAgent::SelectedMailCard() const {
  return FirstMarked(mailCards_);
}

void TQuillmateAgent::SetUrl(const String& url) {
  if (url == pageUrl_) return;
  pageUrl_ = url;
  pageKey_ = StripWwwPrefix(url);
  navigationCards_.Clear();
  mailCards_.Clear();
  Raise(onUrlChange_, *this);
}

// --- relays ---

void TQuillmateAgent::SaveForms() {
  Raise(onSaveForms_, *this);
}
void TQuillmateAgent::BindField() {
  Raise(onBindField_, *this);
}
void TQuillmateAgent::UnbindField() {
  Raise(onUnbindField_, *this);
}
void TQuillmateAgent::ClearForms() {
  Raise(onClearForms_, *this);
}
void TQuillmateAgent::AddSynonym() {
  Raise(onAddSynonym_, *this);
}
void TQuillmateAgent::AddValue() {
  Raise(onAddValue_, *this);
}
void TQuillmateAgent::AddAllValues() {
  Raise(onAddAllValues_, *this);
}

void TQuillmateAgent::ShowManager(const Variant& a, const Variant& b, const Variant& c) {
  if (onShowManager_) onShowManager_(*this, a, b, c);
}

void TQuillmateAgent::SetRecording(bool record) {
  if (record == IsRecording()) return;
  if (record) {
    recorder_.StartRecording();
    return;
  }
  recorder_.Stop();
  if (!onRecordingStopped_) return;
  const Variant recording = recorder_.SaveToVariant();
  onRecordingStopped_(*this, recorder_.FirstUrl(), recording);
}

}  // namespace qm
