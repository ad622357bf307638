#include "manager/store/StoreJson.h"

#include <algorithm>
#include <map>

#include "manager/store/Base64.h"
#include "manager/store/FormSignature.h"
#include "manager/store/ManagerStore.h"
#include "manager/store/SqliteError.h"
#include "platform/rtl/Utf.h"

namespace qm::manager {
namespace {

Json WordListsJson(const std::vector<TWordList>& lists) {
  Json items = Json::array();
  for (const TWordList& list : lists) {
    Json words = Json::array();
    for (const String& word : list.Words)
      words.push_back(TextJson(word));
    items.push_back({{"Key", TextJson(list.Key)}, {"Words", words}});
  }
  return items;
}

Json TextsJson(const std::vector<String>& texts) {
  Json items = Json::array();
  for (const String& text : texts)
    items.push_back(TextJson(text));
  return items;
}

Json LexiconJson(const TLexiconData& lexicon) {
  return {{"Separators", TextJson(lexicon.Separators)},
          {"StopWords", TextsJson(lexicon.StopWords)},
          {"Substitutions", WordListsJson(lexicon.Substitutions)},
          {"Goals", WordListsJson(lexicon.Goals)}};
}

[[noreturn]] void RaiseNotYetEncrypted(const TProfile& profile) {
  RaiseStoreError(u"Profile '" + profile.Name +
                      u"' is protected but not yet encrypted (its data comes from before "
                      u"encryption): give its password once to encrypt it, or to export it",
                  EStoreError::Kind::Locked);
}

Json KeyJson(const TKeyParams& key) {
  return {{"Salt", EncodeBase64(key.Salt)},
          {"Passes", key.Ops},
          {"Memory", key.Mem}};
}

Json ProfilesJson(TManagerStore& store) {
  std::vector<int64_t> waiting;
  for (const TProfile& profile : store.ProfilesAwaitingEncryption()) waiting.push_back(profile.Id);
  Json profiles = Json::array();
  for (const TProfile& profile : store.Profiles()) {
    // Without its key a protected profile goes out sealed, as it is stored.
    const bool sealed = profile.Protected() && !store.HasKey(profile.Id);
    if (sealed && std::find(waiting.begin(), waiting.end(), profile.Id) != waiting.end()) {
      RaiseNotYetEncrypted(profile);
    }
    Json values = Json::array();
    for (const TFieldValue& value : store.ProfileValues(profile.Id)) {
      if (sealed) {
        if (!value.Sealed.empty()) {
          values.push_back({{"Field", TextJson(value.Field.Caption)},
                            {"Sealed", EncodeBase64(value.Sealed)}});
        }
        continue;
      }
      if (value.Value.empty() && value.Candidates.empty()) continue;
      values.push_back({{"Field", TextJson(value.Field.Caption)},
                        {"Value", TextJson(value.Value)},
                        {"Candidates", TextJson(value.Candidates)}});
    }
    Json entry = {{"Name", TextJson(profile.Name)}, {"Active", profile.Active}};
    if (profile.Protected()) entry["PasswordHash"] = TextJson(profile.PasswordHash);
    if (sealed) entry["Key"] = KeyJson(profile.Key);
    entry["Values"] = values;
    profiles.push_back(entry);
  }
  return profiles;
}

Json FieldsJson(TManagerStore& store) {
  Json fields = Json::array();
  for (const TFieldDef& field : store.Fields()) {
    fields.push_back({{"Caption", TextJson(field.Caption)},
                      {"Name", TextJson(field.FieldName)},
                      {"Group", TextJson(field.Group)},
                      {"Input", InputKindName(field.InputKind)},
                      {"ValueKind", field.ValueKind}});
  }
  return fields;
}

Json SignaturesJson(const std::vector<TFormSignature>& signatures) {
  Json items = Json::array();
  for (const TFormSignature& signature : signatures) {
    items.push_back({{"Action", TextJson(signature.ActionUrl)},
                     {"Method", TextJson(signature.Method)},
                     {"Shape", signature.Shape}});
  }
  return items;
}

Json CardsJson(TManagerStore& store, const std::map<int64_t, TProfile>& profiles) {
  Json cards = Json::array();
  for (const TCardRecord& card : store.AllCards(-1)) {
    Json entry = {{"Kind", CardKindName(card.Kind)}, {"Owner", TextJson(card.OwnerKey)},
                  {"Name", TextJson(card.Name)},     {"Title", TextJson(card.Title)},
                  {"Created", card.Created},         {"Updated", card.Updated}};
    if (card.ProtectedBy != 0) {
      const TProfile& owner = profiles.at(card.ProtectedBy);
      entry["ProtectedBy"] = TextJson(owner.Name);
      if (owner.Protected() && !store.HasKey(owner.Id)) {
        if (!card.Sealed) RaiseNotYetEncrypted(owner);
        entry["Sealed"] = EncodeBase64(card.Data);
        if (card.Kind == StoredFormSet) {
          entry["Signatures"] = SignaturesJson(store.SignaturesOfCard(card.Id));
        }
        cards.push_back(entry);
        continue;
      }
    }
    const Bytes data = store.CardData(card);
    Json forms;
    if (card.Kind == StoredFormSet && FormSetToJson(data, forms)) {
      entry["Forms"] = forms;
    } else {
      entry["Data"] = EncodeBase64(data);
    }
    cards.push_back(entry);
  }
  return cards;
}

Json DefaultsJson(TManagerStore& store, const std::map<int64_t, TProfile>& profiles) {
  Json defaults = Json::array();
  for (const TCardDefault& choice : store.Defaults()) {
    Json entry = {{"Owner", TextJson(choice.OwnerKey)}, {"Card", TextJson(choice.CardName)}};
    if (choice.ProfileId != 0) entry["Profile"] = TextJson(profiles.at(choice.ProfileId).Name);
    defaults.push_back(entry);
  }
  return defaults;
}

Json NotesJson(TManagerStore& store) {
  Json notes = Json::array();
  for (const TPageNote& note : store.PageNotes()) {
    notes.push_back({{"Url", TextJson(note.Url)},
                     {"Title", TextJson(note.Title)},
                     {"Text", TextJson(note.Text)}});
  }
  return notes;
}

Json TranslationsJson(TManagerStore& store) {
  Json translations = Json::array();
  for (const TTranslation& t : store.Translations(u"")) {
    translations.push_back({{"Language", TextJson(t.Language)},
                            {"Source", TextJson(t.Source)},
                            {"Translated", TextJson(t.Translated)}});
  }
  return translations;
}

Json CollectedJson(TManagerStore& store) {
  Json values = Json::array();
  for (const TCollectedValue& value : store.CollectedValues()) {
    values.push_back({{"Value", TextJson(value.Value)}, {"Collected", value.Collected}});
  }
  return values;
}

}  // namespace

Json ExportStore(TManagerStore& store) {
  Json document;
  store.Read([&] {
    std::map<int64_t, TProfile> profiles;
    for (const TProfile& profile : store.Profiles()) profiles[profile.Id] = profile;
    document = {{"Format", StoreDocumentFormat},
                {"Version", StoreDocumentVersion},
                {"Settings",
                 {{"Options", store.OptionsWord()},
                  {"BannerMode", store.BannerMode()},
                  {"Language", TextJson(store.Language())}}},
                {"Fields", FieldsJson(store)},
                {"Profiles", ProfilesJson(store)},
                {"Lexicon", LexiconJson(store.Lexicon())},
                {"Cards", CardsJson(store, profiles)},
                {"Defaults", DefaultsJson(store, profiles)},
                {"Notes", NotesJson(store)},
                {"Translations", TranslationsJson(store)},
                {"CollectedValues", CollectedJson(store)}};
  });
  return document;
}

TStoreCounts CountStore(TManagerStore& store) {
  TStoreCounts counts;
  store.Read([&] {
    TSqliteDb& db = store.Db();
    counts.Profiles = db.QueryInt("SELECT count(*) FROM profiles");
    counts.Fields = db.QueryInt("SELECT count(*) FROM fields");
    counts.Synonyms = db.QueryInt(
        "SELECT count(*) FROM list_words w JOIN word_lists l ON l.id = w.list_id WHERE l.kind = 1");
    counts.Cards = db.QueryInt("SELECT count(*) FROM cards");
    counts.Defaults = db.QueryInt("SELECT count(*) FROM card_defaults");
    counts.Notes = db.QueryInt("SELECT count(*) FROM page_notes");
    counts.Translations = db.QueryInt("SELECT count(*) FROM translations");
    counts.CollectedValues = db.QueryInt("SELECT count(*) FROM collected_values");
  });
  return counts;
}

}  // namespace qm::manager
