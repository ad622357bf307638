// Reading the whole-store JSON document back into a store (StoreJson.h).
#include <map>

#include "manager/store/Base64.h"
#include "manager/store/FormSignature.h"
#include "manager/store/ManagerStore.h"
#include "manager/store/SqliteError.h"
#include "manager/store/StoreJson.h"
#include "platform/rtl/Utf.h"

namespace qm::manager {
namespace {

// Thrown inside the import's transaction to roll a dry run back.
struct TDryRunDone {};

Bytes Base64Of(const Json& value, const std::string& where) {
  if (!value.is_string()) RaiseJsonError(where, "must be base64 text");
  std::optional<Bytes> bytes = DecodeBase64(value.get_ref<const std::string&>());
  if (!bytes) RaiseJsonError(where, "not valid base64");
  return std::move(*bytes);
}

Bytes SealedOf(const Json& value, const std::string& where) {
  Bytes sealed = Base64Of(value, where);
  if (sealed.size() < MinSealedSize) RaiseJsonError(where, "too short to be encrypted data");
  return sealed;
}

std::vector<TWordList> WordListsFrom(const Json& items, const std::string& where) {
  std::vector<TWordList> lists;
  for (size_t i = 0; i < items.size(); ++i) {
    const TJsonObject item(items[i], IndexPath(where, i), {"Key", "Words"});
    lists.push_back({item.Text("Key"), TextsOf(item.List("Words"), item.Path("Words"))});
  }
  return lists;
}

TLexiconData LexiconFrom(const Json& value) {
  const TJsonObject object(value, "Lexicon", {"Separators", "StopWords", "Substitutions", "Goals"});
  TLexiconData lexicon;
  lexicon.Separators = object.Text("Separators", u"");
  lexicon.StopWords = TextsOf(object.List("StopWords"), object.Path("StopWords"));
  lexicon.Substitutions = WordListsFrom(object.List("Substitutions"), object.Path("Substitutions"));
  lexicon.Goals = WordListsFrom(object.List("Goals"), object.Path("Goals"));
  return lexicon;
}

void ImportFields(TManagerStore& store, const Json& fields) {
  for (size_t i = 0; i < fields.size(); ++i) {
    const TJsonObject item(fields[i], IndexPath("Fields", i),
                           {"Caption", "Name", "Group", "Input", "ValueKind"});
    TFieldDef field;
    field.Caption = item.Text("Caption");
    field.FieldName = item.Text("Name");
    field.Group = item.Text("Group", u"");
    const std::string input = platform::Utf16ToUtf8(item.Text("Input", u"text"));
    if (!InputKindFromName(input, field.InputKind)) {
      RaiseJsonError(item.Path("Input"), "unknown input kind '" + input +
                                             "'; the kinds are text, password, email or tel");
    }
    const int64_t valueKind = item.Int("ValueKind", -1);
    if (valueKind < INT32_MIN || valueKind > INT32_MAX) {
      RaiseJsonError(item.Path("ValueKind"), "outside the 32-bit range");
    }
    field.ValueKind = static_cast<int32_t>(valueKind);
    store.AddField(field);
  }
}

// A profile's protection, applied once everything of the profile is in:
// until then the profile is open, so that its data goes in as it came.
struct TProtection {
  int64_t ProfileId = 0;
  String Name;
  String Hash;
  TKeyParams Key;
  bool ClearData = false;  // values or cards came in clear
};

TKeyParams KeyFrom(const Json& value, const std::string& where) {
  const TJsonObject object(value, where, {"Salt", "Passes", "Memory"});
  TKeyParams key;
  key.Salt = Base64Of(object.Required("Salt"), object.Path("Salt"));
  const int64_t passes = IntOf(object.Required("Passes"), object.Path("Passes"));
  const int64_t memory = IntOf(object.Required("Memory"), object.Path("Memory"));
  key.Ops = passes < 0 ? 0 : static_cast<uint64_t>(passes);
  key.Mem = memory < 0 ? 0 : static_cast<uint64_t>(memory);
  const std::string problem = KeyParamsProblem(key);
  if (!problem.empty()) RaiseJsonError(where, problem);
  return key;
}

void ImportValues(TManagerStore& store, const TJsonObject& profile, int64_t profileId,
                  TProtection& protection) {
  const Json& values = profile.List("Values");
  for (size_t k = 0; k < values.size(); ++k) {
    const TJsonObject value(values[k], IndexPath(profile.Path("Values"), k),
                            {"Field", "Value", "Candidates", "Sealed"});
    const String caption = value.Text("Field");
    const std::optional<TFieldDef> field = store.FindField(caption);
    if (!field) RaiseJsonError(value.Path("Field"), "no such field in 'Fields'");
    if (const Json* sealed = value.Find("Sealed")) {
      if (value.Find("Value") != nullptr || value.Find("Candidates") != nullptr) {
        RaiseJsonError(value.Where(), "an encrypted value has no Value or Candidates in clear");
      }
      if (protection.Key.Empty()) {
        RaiseJsonError(value.Path("Sealed"), "encrypted, but its profile has no Key");
      }
      store.PutSealedValue(profileId, field->Id, SealedOf(*sealed, value.Path("Sealed")));
      continue;
    }
    protection.ClearData = protection.ClearData || !protection.Hash.empty();
    store.SetFieldValue(profileId, field->Id, value.Text("Value", u""));
    store.SetFieldCandidates(profileId, field->Id, value.Text("Candidates", u""));
  }
}

// Answers every profile's protection, by name.
std::map<String, TProtection> ImportProfiles(TManagerStore& store, const Json& profiles) {
  if (profiles.empty()) RaiseJsonError("Profiles", "at least one profile is needed");
  std::map<String, TProtection> found;
  int64_t active = 0;
  for (size_t i = 0; i < profiles.size(); ++i) {
    const TJsonObject item(profiles[i], IndexPath("Profiles", i),
                           {"Name", "Active", "PasswordHash", "Key", "Values"});
    const TProfile profile = store.AddProfile(item.Text("Name"));
    TProtection& protection = found[profile.Name];
    protection.ProfileId = profile.Id;
    protection.Name = profile.Name;
    protection.Hash = item.Text("PasswordHash", u"");
    if (!protection.Hash.empty() && protection.Hash.rfind(u"$argon2id$", 0) != 0) {
      RaiseJsonError(item.Path("PasswordHash"), "not an Argon2id password hash");
    }
    if (const Json* key = item.Find("Key")) {
      if (protection.Hash.empty()) RaiseJsonError(item.Path("Key"), "a Key needs a PasswordHash");
      protection.Key = KeyFrom(*key, item.Path("Key"));
    }
    if (item.Bool("Active", false)) {
      if (active != 0) RaiseJsonError(item.Path("Active"), "only one profile can be active");
      active = profile.Id;
    }
    ImportValues(store, item, profile.Id, protection);
  }
  if (active == 0) RaiseJsonError("Profiles", "no profile is marked active (\"Active\": true)");
  store.ActivateProfile(active);
  return found;
}

const TProtection& ProtectionFrom(const std::map<String, TProtection>& profiles, const Json& value,
                                  const std::string& where) {
  const auto found = profiles.find(TextOf(value, where));
  if (found == profiles.end()) RaiseJsonError(where, "no such profile in 'Profiles'");
  return found->second;
}

std::vector<TFormSignature> SignaturesFrom(const Json& value, const std::string& where) {
  const Json& items = ArrayOf(value, where);
  std::vector<TFormSignature> signatures;
  for (size_t i = 0; i < items.size(); ++i) {
    const TJsonObject item(items[i], IndexPath(where, i), {"Action", "Method", "Shape"});
    signatures.push_back({item.Text("Action"), item.Text("Method"),
                          IntOf(item.Required("Shape"), item.Path("Shape"))});
  }
  return signatures;
}

void ImportCard(TManagerStore& store, const TJsonObject& entry,
                std::map<String, TProtection>& profiles) {
  TCardRecord card;
  const std::string kind = platform::Utf16ToUtf8(entry.Text("Kind"));
  if (!CardKindFromName(kind, card.Kind)) {
    RaiseJsonError(entry.Path("Kind"),
                   "unknown card kind '" + kind + "'; the kinds are " + CardKindList);
  }
  card.OwnerKey = entry.Text("Owner");
  card.Name = entry.Text("Name");
  card.Title = entry.Text("Title", u"");
  card.Created = entry.Int("Created", 0);
  card.Updated = entry.Int("Updated", 0);
  TProtection* protection = nullptr;
  if (const Json* by = entry.Find("ProtectedBy")) {
    protection = &profiles.at(ProtectionFrom(profiles, *by, entry.Path("ProtectedBy")).Name);
    card.ProtectedBy = protection->ProfileId;
  }
  const Json* sealed = entry.Find("Sealed");
  const Json* forms = entry.Find("Forms");
  const Json* data = entry.Find("Data");
  if ((sealed != nullptr) + (forms != nullptr) + (data != nullptr) != 1) {
    RaiseJsonError(entry.Where(), "a card has exactly one of Forms, Data and Sealed");
  }
  if (entry.Find("Signatures") != nullptr && sealed == nullptr) {
    RaiseJsonError(entry.Path("Signatures"), "only an encrypted form set has Signatures");
  }
  std::vector<TFormSignature> signatures;
  if (sealed != nullptr) {
    if (protection == nullptr || protection->Key.Empty()) {
      RaiseJsonError(entry.Path("Sealed"), "encrypted, but not by a profile with a Key");
    }
    card.Data = SealedOf(*sealed, entry.Path("Sealed"));
    card.Sealed = true;
    if (const Json* given = entry.Find("Signatures")) {
      if (card.Kind != StoredFormSet) {
        RaiseJsonError(entry.Path("Signatures"), "only form sets have Signatures");
      }
      signatures = SignaturesFrom(*given, entry.Path("Signatures"));
    }
  } else {
    if (forms != nullptr) {
      if (card.Kind != StoredFormSet)
        RaiseJsonError(entry.Path("Forms"), "only form sets hold forms");
      card.Data = FormSetFromJson(*forms, entry.Path("Forms"));
    } else {
      card.Data = Base64Of(*data, entry.Path("Data"));
    }
    if (card.Kind == StoredFormSet) signatures = FormSignaturesOf(card.Data);
    if (protection != nullptr && !protection->Hash.empty()) protection->ClearData = true;
  }
  if (store.FindCard(card.OwnerKey, card.Name)) {
    RaiseJsonError(entry.Where(), "a card of that owner and name came before");
  }
  store.SaveCard(card, signatures);
}

void ImportCards(TManagerStore& store, const Json& cards, std::map<String, TProtection>& profiles,
                 const TImportProgress& progress) {
  const size_t step = cards.size() / 100 + 1;
  for (size_t i = 0; i < cards.size(); ++i) {
    const TJsonObject entry(cards[i], IndexPath("Cards", i),
                            {"Kind", "Owner", "Name", "Title", "Created", "Updated", "ProtectedBy",
                             "Forms", "Data", "Sealed", "Signatures"});
    ImportCard(store, entry, profiles);
    if (progress && ((i + 1) % step == 0 || i + 1 == cards.size())) progress(i + 1, cards.size());
  }
}

void ImportDefaults(TManagerStore& store, const Json& defaults,
                    const std::map<String, TProtection>& profiles) {
  for (size_t i = 0; i < defaults.size(); ++i) {
    const TJsonObject item(defaults[i], IndexPath("Defaults", i), {"Owner", "Card", "Profile"});
    TCardDefault choice;
    choice.OwnerKey = item.Text("Owner");
    choice.CardName = item.Text("Card");
    if (const Json* profile = item.Find("Profile")) {
      choice.ProfileId = ProtectionFrom(profiles, *profile, item.Path("Profile")).ProfileId;
    }
    std::optional<TCardRecord> card = store.FindCard(choice.OwnerKey, choice.CardName);
    if (!card) RaiseJsonError(item.Where(), "no such card in 'Cards'");
    store.SetDefaultCard(card->Id, choice.ProfileId);
  }
}

void ImportSmallLists(TManagerStore& store, const TJsonObject& document) {
  const Json& notes = document.List("Notes");
  for (size_t i = 0; i < notes.size(); ++i) {
    const TJsonObject note(notes[i], IndexPath("Notes", i), {"Url", "Title", "Text"});
    store.SetPageNote({note.Text("Url"), note.Text("Title", u""), note.Text("Text", u"")});
  }
  const Json& translations = document.List("Translations");
  for (size_t i = 0; i < translations.size(); ++i) {
    const TJsonObject t(translations[i], IndexPath("Translations", i),
                        {"Language", "Source", "Translated"});
    store.SetTranslation({t.Text("Language"), t.Text("Source"), t.Text("Translated")});
  }
  const Json& collected = document.List("CollectedValues");
  for (size_t i = 0; i < collected.size(); ++i) {
    const TJsonObject value(collected[i], IndexPath("CollectedValues", i), {"Value", "Collected"});
    store.PutCollectedValue({value.Text("Value"), value.Int("Collected", 0)});
  }
}

void ImportSettings(TManagerStore& store, const TJsonObject& document) {
  const Json* found = document.Find("Settings");
  if (found == nullptr) return;
  const TJsonObject settings(*found, "Settings", {"Options", "BannerMode", "Language"});
  const int64_t options = settings.Int("Options", DefaultOptionsWord);
  if (options < INT32_MIN || options > UINT32_MAX) {
    RaiseJsonError(settings.Path("Options"), "outside 32 bits");
  }
  store.SetOptionsWord(static_cast<int32_t>(static_cast<uint32_t>(options)));
  const int64_t banner = settings.Int("BannerMode", 0);
  if (banner < 0 || banner > 1) RaiseJsonError(settings.Path("BannerMode"), "must be 0 or 1");
  store.SetBannerMode(static_cast<int32_t>(banner));
  store.SetLanguage(settings.Text("Language", u""));
}

}  // namespace

TImportResult ImportStore(TManagerStore& store, const Json& document,
                          const TImportProgress& progress, bool dryRun, const String* password) {
  const TJsonObject top(document, "",
                        {"Format", "Version", "Settings", "Fields", "Profiles", "Lexicon", "Cards",
                         "Defaults", "Notes", "Translations", "CollectedValues"});
  const Json& format = top.Required("Format");
  if (!format.is_string() || format.get<std::string>() != StoreDocumentFormat) {
    RaiseJsonError("Format", std::string("must be \"") + StoreDocumentFormat + "\"");
  }
  const int64_t version = IntOf(top.Required("Version"), "Version");
  if (version < 1 || version > StoreDocumentVersion) {
    RaiseJsonError("Version",
                   "this program reads versions 1 to " + std::to_string(StoreDocumentVersion));
  }
  TImportResult result;
  result.Before = CountStore(store);
  try {
    store.Write(ChangeData | ChangeLexicon | ChangeLanguage, [&] {
      store.ClearAll();
      ImportSettings(store, top);
      ImportFields(store, top.List("Fields"));
      std::map<String, TProtection> profiles =
          ImportProfiles(store, ArrayOf(top.Required("Profiles"), "Profiles"));
      const Json* lexicon = top.Find("Lexicon");
      store.ReplaceLexicon(lexicon == nullptr ? TLexiconData{} : LexiconFrom(*lexicon));
      ImportCards(store, top.List("Cards"), profiles, progress);
      ImportDefaults(store, top.List("Defaults"), profiles);
      ImportSmallLists(store, top);
      for (const auto& [name, protection] : profiles) {
        if (protection.Hash.empty()) continue;
        store.SetProtection(protection.ProfileId, protection.Hash, protection.Key);
        if (!protection.ClearData) continue;
        if (password == nullptr) {
          result.InClear.push_back(name);
          continue;
        }
        // Unlocking a profile with data in clear encrypts it.
        if (!store.Unlock(protection.ProfileId, *password)) {
          RaiseStoreError(u"The password is wrong for profile '" + name + u"'",
                          EStoreError::Kind::Other);
        }
        result.Encrypted.push_back(name);
      }
      result.After = CountStore(store);
      if (dryRun) throw TDryRunDone{};
    });
  } catch (const TDryRunDone&) {
    store.LockAll();
    return result;
  } catch (...) {
    store.LockAll();
    throw;
  }
  // The profiles are new: keys held for the old ones name other data now.
  store.LockAll();
  // The clear pages the encryption replaced leave the journal.
  if (!result.Encrypted.empty()) store.Checkpoint();
  return result;
}

}  // namespace qm::manager
