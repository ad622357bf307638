// TQoraManager: serving calls, events, change notification, log-in, and
// the operations on profiles, fields, the lexicon and the settings.
#include "manager/service/QoraManager.h"

#include "core/Common/BannerStream.h"
#include "core/Common/QMCommonUtils.h"
#include "core/Common/QMLexicon.h"
#include "core/Common/StreamUtils.h"
#include "core/Common/TextUtils.h"
#include "core/Common/VxSystem.h"
#include "core/Common/WideStrings.h"
#include "manager/recognition/FieldRecognizer.h"
#include "manager/recognition/LexiconBuilder.h"
#include "manager/service/ManagerLimits.h"
#include "manager/store/PasswordHash.h"
#include "manager/store/SqliteError.h"
#include "platform/rtl/Utf.h"

namespace qm::manager {

using platform::ComPtr;
using platform::DISPID;
using platform::DispParams;
using platform::Exception;

struct TQoraManager::TKnowledge {
  TLexicon Lexicon;
  Bytes Stream;
  std::unique_ptr<TFieldRecognizer> Recognizer;
};

TQoraManager::TQoraManager(std::unique_ptr<TManagerStore> store, TLog log)
    : store_(std::move(store)), log_(std::move(log)), events_(points_.Add(DIID_IQoraServerEvents)) {
  dataVersion_ = store_->DataVersion();
  serials_ = store_->Serials();
}

TQoraManager::~TQoraManager() {
  // A DeleteCard no save followed still happens.
  std::lock_guard lock(mutex_);
  try {
    SettlePendingDelete();
  } catch (...) {  // NOLINT(bugprone-empty-catch): nothing is left to tell
  }
}

HRESULT TQoraManager::Serve(const std::function<void()>& body, bool settlePending) {
  std::vector<TEvent> raised;
  const HRESULT status = SafeCallEdge([&] {
    std::lock_guard lock(mutex_);
    // The events raised so far leave with the lock, also on failure: a
    // change that was committed before the failure still happened.
    struct TTake {
      std::vector<TEvent>& From;
      std::vector<TEvent>& To;
      ~TTake() { To.swap(From); }
    } take{raised_, raised};
    CatchUp();
    if (settlePending) SettlePendingDelete();
    body();
  });
  for (TEvent& event : raised)
    events_.Post(event.Id, std::move(event.Params));
  return status;
}

void TQoraManager::Raise(DISPID id, DispParams params) {
  for (const TEvent& event : raised_) {
    if (event.Id == id && event.Params.Args == params.Args) return;  // once per call is enough
  }
  raised_.push_back({id, std::move(params)});
}

void TQoraManager::CatchUp() {
  const int64_t version = store_->DataVersion();
  if (version == dataVersion_) return;
  dataVersion_ = version;
  NoteChanges(ChangeNone);
}

void TQoraManager::NoteChanges(unsigned changes) {
  const TSerials now = store_->Serials();
  if (now.Data != serials_.Data) changes |= ChangeData;
  if (now.Lexicon != serials_.Lexicon) changes |= ChangeLexicon;
  if (now.Language != serials_.Language) changes |= ChangeLanguage;
  serials_ = now;
  if (changes & (ChangeData | ChangeLexicon)) knowledge_.reset();
  if (changes & ChangeData) {
    // A password changed or cleared elsewhere locks its profile again (its
    // key is wiped: the data is sealed under another one now).
    const bool wasLoggedIn = store_->AnyUnlocked();
    store_->ForgetStaleKeys();
    if (wasLoggedIn && !store_->AnyUnlocked()) {
      Raise(DISPID_OnLogin, {{Variant::FromBool(false)}, {}});
    }
    Raise(DISPID_OnDatabaseChange);
  }
  if (changes & ChangeLexicon) Raise(DISPID_OnLexiconChange);
  if (changes & ChangeLanguage) Raise(DISPID_OnLanguageChange);
}

void TQoraManager::SettlePendingDelete() {
  if (!pendingDelete_) return;
  const TPendingDelete pending = std::move(*pendingDelete_);
  pendingDelete_.reset();
  try {
    if (store_->DeleteCard(pending.OwnerKey, pending.Name)) NoteChanges(ChangeData);
  } catch (const EStoreError& e) {
    // The card stays; the operation that settles it is not to blame.
    if (log_) {
      log_("DeleteCard '" + platform::U8(pending.Name) + "' of '" + platform::U8(pending.OwnerKey) +
           "': " + platform::U8(e.Message()));
    }
  }
}

bool TQoraManager::TakePendingDelete(const String& ownerKey, const String& name) {
  if (pendingDelete_ && pendingDelete_->OwnerKey == ownerKey &&
      SameTextIgnoreCase(pendingDelete_->Name, name)) {
    pendingDelete_.reset();
    return true;
  }
  SettlePendingDelete();
  return false;
}

bool TQoraManager::CheckForChanges() {
  bool changed = false;
  // The timer must not settle a DeleteCard between it and its save.
  Serve([&] { changed = !raised_.empty(); }, false);
  return changed;
}

void TQoraManager::AnnounceQuit() {
  std::vector<TEvent> raised;
  {
    std::lock_guard lock(mutex_);
    SettlePendingDelete();
    raised.swap(raised_);  // the change it made is told before the quit
    store_->LockAll();     // the keys go before the service does
  }
  for (TEvent& event : raised)
    events_.Post(event.Id, std::move(event.Params));
  events_.Post(DISPID_OnQuit, {});
}

std::vector<TShowRequest> TQoraManager::ShowRequests() const {
  std::lock_guard lock(mutex_);
  return showRequests_;
}

const TQoraManager::TKnowledge& TQoraManager::Knowledge() {
  if (!knowledge_) {
    auto knowledge = std::make_unique<TKnowledge>();
    BuildLexicon(store_->Lexicon(), knowledge->Lexicon);
    TMemoryStream stream;
    knowledge->Lexicon.SaveToStream(stream);
    knowledge->Stream = stream.Bytes();
    knowledge->Recognizer =
        std::make_unique<TFieldRecognizer>(knowledge->Lexicon, store_->Fields());
    knowledge_ = std::move(knowledge);
  }
  return *knowledge_;
}

bool TQoraManager::Unlocked(const TProfile& profile) const {
  return store_->CanRead(profile);
}

bool TQoraManager::CardReadable(const TCardRecord& card) {
  return store_->CanReadCard(card);
}

// --- IDispatch and events ---------------------------------------------

HRESULT TQoraManager::GetTypeInfoCount(uint32_t& count) {
  count = 0;
  return platform::S_OK;
}

HRESULT TQoraManager::GetIDsOfNames(const std::vector<String>&, std::vector<DISPID>&) {
  return platform::E_NOTIMPL;
}

HRESULT TQoraManager::Invoke(DISPID, uint16_t, const DispParams&, Variant*) {
  return platform::E_NOTIMPL;
}

HRESULT TQoraManager::FindConnectionPoint(const platform::IID& iid,
                                          ComPtr<platform::IConnectionPoint>& point) {
  return points_.FindConnectionPoint(iid, point);
}

// --- Profiles and fields -----------------------------------------------

HRESULT TQoraManager::ResolveField(const String& profile, const String& tag,
                                   const String& inputType, const String& name,
                                   String& profileField, int32_t& valueKind, String& value,
                                   String& values, bool& found, bool& passwordNeeded) {
  return Serve([&] {
    CheckLength(profile, MaxNameChars, "profile");
    CheckLength(tag, MaxKeyChars, "tag");
    CheckLength(inputType, MaxKeyChars, "inputType");
    CheckLength(name, MaxKeyChars, "name");
    CheckLength(profileField, MaxNameChars, "profileField");
    valueKind = -1;
    value.clear();
    values.clear();
    found = false;
    passwordNeeded = false;
    const TProfile owner = store_->ProfileNamed(profile);
    if (!Unlocked(owner)) {
      passwordNeeded = true;
      return;
    }
    std::optional<TFieldDef> field;
    const bool asked = !profileField.empty();
    if (asked) {
      field = store_->FieldCaptioned(profileField);
    } else if (tag.empty() && inputType.empty() && name.empty()) {
      return;  // the log-in probe
    } else if (std::optional<TRecognition> recognized =
                   Knowledge().Recognizer->Recognize(tag, inputType, name)) {
      field = recognized->Field;
    }
    if (!field) return;
    const TFieldValue stored = store_->FieldValue(owner.Id, *field);
    profileField = field->Caption;
    valueKind = field->ValueKind;
    value = stored.Value;
    values = stored.Candidates;
    // A field the manager chose answers only when it has something to fill
    // in, or the fill would blank what the page holds; a field asked for
    // by caption answers as it is.
    found = asked || !value.empty() || !values.empty();
  });
}

HRESULT TQoraManager::GetProfiles(Variant& profiles, String& activeProfile) {
  return Serve([&] {
    std::vector<String> names;
    for (const TProfile& profile : store_->Profiles()) {
      names.push_back(profile.Name);
      if (profile.Active) activeProfile = profile.Name;
    }
    profiles = Variant::FromStrings(std::move(names));
  });
}

HRESULT TQoraManager::GetProfileFields(Variant& fields, bool& passwordNeeded) {
  return Serve([&] {
    fields = Variant();
    passwordNeeded = !Unlocked(store_->ActiveProfile());
    if (passwordNeeded) return;
    std::vector<String> triples;
    for (const TFieldDef& field : store_->Fields()) {
      triples.push_back(field.Caption);
      triples.push_back(field.FieldName);
      triples.push_back(field.Group);
    }
    if (!triples.empty()) fields = Variant::FromStrings(std::move(triples));
  });
}

HRESULT TQoraManager::SetActiveProfile(const String& profile) {
  return Serve([&] {
    CheckLength(profile, MaxNameChars, "profile");
    if (profile.empty()) throw Exception(u"No profile given");
    const TProfile chosen = store_->ProfileNamed(profile);
    if (chosen.Active) return;
    store_->ActivateProfile(chosen.Id);
    NoteChanges(ChangeData);
  });
}

HRESULT TQoraManager::ShowInManager(int32_t kind, const String& url, const String& name,
                                    bool& shown) {
  return Serve([&] {
    CheckLength(url, MaxKeyChars, "url");
    CheckLength(name, MaxNameChars, "name");
    if (showRequests_.size() >= MaxShowRequests) showRequests_.erase(showRequests_.begin());
    showRequests_.push_back({kind, url, name});
    if (log_) {
      log_("ShowInManager: kind " + std::to_string(kind) + ", url '" + platform::U8(url) +
           "', name '" + platform::U8(name) + "'");
    }
    shown = true;
  });
}

HRESULT TQoraManager::Login(const String& password) {
  return Serve(
      [&] {
        CheckLength(password, MaxNameChars, "password");
        std::vector<TProfile> profiles = store_->Profiles();
        // The active profile is tried first: it is the one the user means.
        std::stable_partition(profiles.begin(), profiles.end(),
                              [](const TProfile& p) { return p.Active; });
        bool anyProtected = false;
        bool accepted = false;
        for (const TProfile& profile : profiles) {
          if (!profile.Protected()) continue;
          anyProtected = true;
          // Unlocking keeps the profile's key in the store's locked memory (and
          // encrypts what of it is still in clear).
          if (store_->Unlock(profile.Id, password)) accepted = true;
        }
        if (!anyProtected) throw Exception(u"No profile is protected by a password");
        if (!accepted) throw Exception(u"The password is wrong");
        Raise(DISPID_OnLogin, {{Variant::FromBool(true)}, {}});
      },
      // A DeleteCard waiting for its save, which asked for this
      // log-in, stays pending.
      false);
}

HRESULT TQoraManager::Logout() {
  return Serve([&] {
    if (!store_->AnyUnlocked()) return;
    store_->LockAll();
    Raise(DISPID_OnLogin, {{Variant::FromBool(false)}, {}});
  });
}

HRESULT TQoraManager::GetLoggedIn(bool& loggedIn) {
  return Serve([&] { loggedIn = store_->AnyUnlocked(); });
}

HRESULT TQoraManager::AddSynonym(const String& profileField, const String& synonym, int32_t) {
  return Serve([&] {
    CheckLength(profileField, MaxNameChars, "profileField");
    CheckLength(synonym, MaxNameChars, "synonym");
    const String word = Trim(synonym);
    if (word.empty()) throw Exception(u"The synonym is empty");
    const TFieldDef field = store_->FieldCaptioned(profileField);
    TLexiconData lexicon = store_->Lexicon();
    if (!AssignSynonym(lexicon, Knowledge().Lexicon, field.FieldName, word)) return;
    store_->ReplaceLexicon(lexicon);
    NoteChanges(ChangeLexicon);
  });
}

HRESULT TQoraManager::AddFieldValue(int32_t, const String& profileField, const String& value,
                                    bool& passwordNeeded) {
  return Serve([&] {
    CheckLength(profileField, MaxNameChars, "profileField");
    CheckLength(value, MaxValueChars, "value");
    passwordNeeded = false;
    const TFieldDef field = store_->FieldCaptioned(profileField);
    const TProfile active = store_->ActiveProfile();
    if (!Unlocked(active)) {
      passwordNeeded = true;
      return;
    }
    // The value is a comma text (a list's selected options); each entry
    // becomes a candidate value of its own, once.
    TWideStringList candidates;
    candidates.SetCommaText(store_->FieldValue(active.Id, field).Candidates);
    bool added = false;
    for (const String& entry : ParseCommaText(value)) {
      if (entry.empty()) continue;
      bool known = false;
      for (int i = 0; i < candidates.Count(); ++i)
        known = known || candidates[i] == entry;
      if (known) continue;
      candidates.Add(entry);
      added = true;
    }
    if (!added) return;
    CheckLength(candidates.CommaText(), MaxValueChars, "the field's candidate values");
    store_->SetFieldCandidates(active.Id, field.Id, candidates.CommaText());
    NoteChanges(ChangeData);
  });
}

HRESULT TQoraManager::AddAllValues(const String& values) {
  return Serve([&] {
    CheckLength(values, MaxValueChars, "values");
    TWideStringList lines;
    lines.SetText(values);
    std::vector<String> kept;
    for (int i = 0; i < lines.Count(); ++i) {
      if (!Trim(lines[i]).empty()) kept.push_back(lines[i]);
    }
    CheckCount(kept.size(), MaxListItems, "values");
    if (kept.empty()) return;
    store_->AddCollectedValues(kept);
    NoteChanges(ChangeData);
  });
}

// --- Lexicon, translations, settings, notes ----------------------------

HRESULT TQoraManager::GetLexicon(Variant& lexicon) {
  return Serve([&] { lexicon = Variant::FromBytes(Knowledge().Stream); });
}

HRESULT TQoraManager::TranslateStrings(const Variant& strings, Variant& translated) {
  return Serve([&] {
    TMemoryStream stream(BytesArgument(strings, "strings"));
    TStreamReader reader(stream);
    int32_t count = 0;
    reader.Count(count, 4);
    if (reader.Ok()) CheckCount(static_cast<size_t>(count), MaxListItems, "strings");
    std::vector<String> texts(reader.Ok() ? static_cast<size_t>(count) : 0);
    for (String& text : texts)
      reader.WideString(text);
    if (!reader.Ok()) {
      throw Exception(u"strings: corrupt string list at byte " + IntToText(reader.FailOffset()) +
                      u": " + reader.FailReason());
    }
    translated = Variant();
    const String language = store_->Language();
    if (!store_->HasTranslations(language)) return;
    std::map<String, String> table;
    for (const TTranslation& t : store_->Translations(language))
      table[t.Source] = t.Translated;
    TMemoryStream out;
    TStreamWriter writer(out);
    writer.Count(count);
    for (const String& text : texts) {
      const auto found = table.find(text);
      writer.WideString(found == table.end() ? text : found->second);
    }
    translated = Variant::FromBytes(out.Bytes());
  });
}

HRESULT TQoraManager::GetOptions(int32_t& options) {
  return Serve([&] { options = store_->OptionsWord(); });
}

HRESULT TQoraManager::SetOptions(int32_t options) {
  return Serve([&] {
    if (store_->OptionsWord() == options) return;
    store_->SetOptionsWord(options);
    NoteChanges(ChangeData);
  });
}

HRESULT TQoraManager::GetBannerMode(int32_t& mode) {
  return Serve([&] { mode = store_->BannerMode(); });
}

HRESULT TQoraManager::GetBanner(const Variant& request, Variant& banner) {
  return Serve([&] {
    BytesArgument(request, "request");
    if (!ReadBannerRequest(request)) {
      throw Exception(u"request must be the banner strip's width and height");
    }
    // This manager keeps no banners to show: the answer is always none.
    banner = Variant();
  });
}

HRESULT TQoraManager::GetCardNote(int32_t, String& title, String& text) {
  return Serve([&] {
    title.clear();
    text.clear();
  });
}

HRESULT TQoraManager::GetPageNote(const String& url, String& title, String& text) {
  return Serve([&] {
    CheckLength(url, MaxKeyChars, "url");
    const std::optional<TPageNote> note = store_->PageNote(url);
    title = note ? note->Title : String();
    text = note ? note->Text : String();
  });
}

HRESULT TQoraManager::NotifyNavigateComplete() {
  return Serve([] {});
}

Bytes BytesArgument(const Variant& value, const char* argument) {
  if (value.IsEmptyOrNull()) return {};
  if (value.GetKind() != Variant::Kind::ByteArray) {
    throw Exception(platform::Utf8ToUtf16(std::string(argument) + " must be a byte array"));
  }
  const platform::ByteArray& array = value.AsByteArray();
  CheckSize(array.Items.size(), MaxStreamBytes, argument);
  return array.Items;
}

}  // namespace qm::manager
