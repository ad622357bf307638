#include "manager/store/StoreJson.h"

#include <map>

#include "manager/store/Base64.h"
#include "manager/store/FormSignature.h"
#include "manager/store/ManagerStore.h"
#include "platform/rtl/Utf.h"

namespace qm::manager {
namespace {

constexpr const char* CardKindNames[] = {"formSet", "navigation", "mail"};

int32_t CardKindFromJson(const Json& value, const std::string& where) {
  const std::string name = platform::Utf16ToUtf8(TextOf(value, where));
  for (int32_t kind = StoredFormSet; kind <= StoredMail; ++kind) {
    if (name == CardKindNames[kind]) return kind;
  }
  RaiseJsonError(where, "unknown card kind '" + name + "'");
}

Json WordListsJson(const std::vector<TWordList>& lists) {
  Json items = Json::array();
  for (const TWordList& list : lists) {
    Json words = Json::array();
    for (const String& word : list.Words)
      words.push_back(TextJson(word));
    items.push_back({{"key", TextJson(list.Key)}, {"words", words}});
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
  return {{"separators", TextJson(lexicon.Separators)},
          {"stopWords", TextsJson(lexicon.StopWords)},
          {"substitutions", WordListsJson(lexicon.Substitutions)},
          {"goals", WordListsJson(lexicon.Goals)}};
}

Json ProfilesJson(TManagerStore& store) {
  Json profiles = Json::array();
  for (const TProfile& profile : store.Profiles()) {
    Json values = Json::array();
    for (const TFieldValue& value : store.ProfileValues(profile.Id)) {
      if (value.Value.empty() && value.Candidates.empty()) continue;
      values.push_back({{"field", TextJson(value.Field.Caption)},
                        {"value", TextJson(value.Value)},
                        {"candidates", TextJson(value.Candidates)}});
    }
    Json entry = {{"name", TextJson(profile.Name)}, {"active", profile.Active}};
    if (profile.Protected()) entry["passwordHash"] = TextJson(profile.PasswordHash);
    entry["values"] = values;
    profiles.push_back(entry);
  }
  return profiles;
}

Json FieldsJson(TManagerStore& store) {
  Json fields = Json::array();
  for (const TFieldDef& field : store.Fields()) {
    fields.push_back({{"caption", TextJson(field.Caption)},
                      {"name", TextJson(field.FieldName)},
                      {"group", TextJson(field.Group)},
                      {"input", InputKindName(field.InputKind)},
                      {"valueKind", field.ValueKind}});
  }
  return fields;
}

Json CardsJson(TManagerStore& store, const std::map<int64_t, String>& profileNames) {
  Json cards = Json::array();
  for (const TCardRecord& card : store.AllCards(-1)) {
    Json entry = {{"kind", CardKindNames[card.Kind]}, {"owner", TextJson(card.OwnerKey)},
                  {"name", TextJson(card.Name)},      {"title", TextJson(card.Title)},
                  {"created", card.Created},          {"updated", card.Updated}};
    if (card.ProtectedBy != 0) entry["protectedBy"] = TextJson(profileNames.at(card.ProtectedBy));
    Json forms;
    if (card.Kind == StoredFormSet && FormSetToJson(card.Data, forms)) {
      entry["forms"] = forms;
    } else {
      entry["data"] = EncodeBase64(card.Data);
    }
    cards.push_back(entry);
  }
  return cards;
}

Json DefaultsJson(TManagerStore& store, const std::map<int64_t, String>& profileNames) {
  Json defaults = Json::array();
  for (const TCardDefault& choice : store.Defaults()) {
    Json entry = {{"owner", TextJson(choice.OwnerKey)}, {"card", TextJson(choice.CardName)}};
    if (choice.ProfileId != 0) entry["profile"] = TextJson(profileNames.at(choice.ProfileId));
    defaults.push_back(entry);
  }
  return defaults;
}

Json NotesJson(TManagerStore& store) {
  Json notes = Json::array();
  for (const TPageNote& note : store.PageNotes()) {
    notes.push_back({{"url", TextJson(note.Url)},
                     {"title", TextJson(note.Title)},
                     {"text", TextJson(note.Text)}});
  }
  return notes;
}

Json TranslationsJson(TManagerStore& store) {
  Json translations = Json::array();
  for (const TTranslation& t : store.Translations(u"")) {
    translations.push_back({{"language", TextJson(t.Language)},
                            {"source", TextJson(t.Source)},
                            {"translated", TextJson(t.Translated)}});
  }
  return translations;
}

Json CollectedJson(TManagerStore& store) {
  Json values = Json::array();
  for (const TCollectedValue& value : store.CollectedValues()) {
    values.push_back({{"value", TextJson(value.Value)}, {"collected", value.Collected}});
  }
  return values;
}

}  // namespace

Json ExportStore(TManagerStore& store) {
  Json document;
  store.Read([&] {
    std::map<int64_t, String> profileNames;
    for (const TProfile& profile : store.Profiles())
      profileNames[profile.Id] = profile.Name;
    document = {{"format", StoreDocumentFormat},
                {"version", StoreDocumentVersion},
                {"settings",
                 {{"options", store.OptionsWord()},
                  {"bannerMode", store.BannerMode()},
                  {"language", TextJson(store.Language())}}},
                {"fields", FieldsJson(store)},
                {"profiles", ProfilesJson(store)},
                {"lexicon", LexiconJson(store.Lexicon())},
                {"cards", CardsJson(store, profileNames)},
                {"defaults", DefaultsJson(store, profileNames)},
                {"notes", NotesJson(store)},
                {"translations", TranslationsJson(store)},
                {"collectedValues", CollectedJson(store)}};
  });
  return document;
}

// --- Import -----------------------------------------------------------

namespace {

// Members that a document may leave out read as empty lists.
const Json& ListMember(const Json& object, const char* key, const std::string& where) {
  static const Json empty = Json::array();
  const auto found = object.find(key);
  return found == object.end() ? empty : ArrayOf(*found, MemberPath(where, key));
}

std::vector<TWordList> WordListsFrom(const Json& items, const std::string& where) {
  std::vector<TWordList> lists;
  for (size_t i = 0; i < items.size(); ++i) {
    const std::string at = IndexPath(where, i);
    lists.push_back({TextOf(Member(items[i], "key", at), MemberPath(at, "key")),
                     TextsOf(Member(items[i], "words", at), MemberPath(at, "words"))});
  }
  return lists;
}

TLexiconData LexiconFrom(const Json& object, const std::string& where) {
  TLexiconData lexicon;
  lexicon.Separators = OptionalText(object, "separators", u"", where);
  const auto stops = object.find("stopWords");
  if (stops != object.end()) lexicon.StopWords = TextsOf(*stops, MemberPath(where, "stopWords"));
  lexicon.Substitutions =
      WordListsFrom(ListMember(object, "substitutions", where), MemberPath(where, "substitutions"));
  lexicon.Goals = WordListsFrom(ListMember(object, "goals", where), MemberPath(where, "goals"));
  return lexicon;
}

void ImportFields(TManagerStore& store, const Json& fields) {
  for (size_t i = 0; i < fields.size(); ++i) {
    const std::string at = IndexPath("fields", i);
    TFieldDef field;
    field.Caption = TextOf(Member(fields[i], "caption", at), MemberPath(at, "caption"));
    field.FieldName = TextOf(Member(fields[i], "name", at), MemberPath(at, "name"));
    field.Group = OptionalText(fields[i], "group", u"", at);
    const std::string input = platform::Utf16ToUtf8(OptionalText(fields[i], "input", u"text", at));
    if (!InputKindFromName(input, field.InputKind)) {
      RaiseJsonError(MemberPath(at, "input"), "unknown input kind '" + input + "'");
    }
    field.ValueKind = static_cast<int32_t>(OptionalInt(fields[i], "valueKind", -1, at));
    store.AddField(field);
  }
}

// Answers the id of every profile by name.
std::map<String, int64_t> ImportProfiles(TManagerStore& store, const Json& profiles) {
  if (profiles.empty()) RaiseJsonError("profiles", "at least one profile is needed");
  std::map<String, int64_t> ids;
  int64_t active = 0;
  for (size_t i = 0; i < profiles.size(); ++i) {
    const std::string at = IndexPath("profiles", i);
    const String name = TextOf(Member(profiles[i], "name", at), MemberPath(at, "name"));
    const TProfile profile = store.AddProfile(name);
    ids[name] = profile.Id;
    const String hash = OptionalText(profiles[i], "passwordHash", u"", at);
    if (!hash.empty()) {
      if (hash.rfind(u"$argon2", 0) != 0) {
        RaiseJsonError(MemberPath(at, "passwordHash"), "not an Argon2 password hash");
      }
      store.SetPasswordHash(profile.Id, hash);
    }
    if (OptionalBool(profiles[i], "active", false, at)) {
      if (active != 0) RaiseJsonError(MemberPath(at, "active"), "only one profile can be active");
      active = profile.Id;
    }
    const Json& values = ListMember(profiles[i], "values", at);
    for (size_t k = 0; k < values.size(); ++k) {
      const std::string vat = IndexPath(MemberPath(at, "values"), k);
      const String caption = TextOf(Member(values[k], "field", vat), MemberPath(vat, "field"));
      const std::optional<TFieldDef> field = store.FindField(caption);
      if (!field) RaiseJsonError(MemberPath(vat, "field"), "no such field in 'fields'");
      store.SetFieldValue(profile.Id, field->Id, OptionalText(values[k], "value", u"", vat));
      store.SetFieldCandidates(profile.Id, field->Id,
                               OptionalText(values[k], "candidates", u"", vat));
    }
  }
  store.ActivateProfile(active != 0 ? active : ids.begin()->second);
  return ids;
}

int64_t ProfileIdFrom(const std::map<String, int64_t>& ids, const Json& value,
                      const std::string& where) {
  const String name = TextOf(value, where);
  const auto found = ids.find(name);
  if (found == ids.end()) RaiseJsonError(where, "no such profile in 'profiles'");
  return found->second;
}

TCardRecord CardFrom(const Json& entry, const std::string& at,
                     const std::map<String, int64_t>& profiles) {
  TCardRecord card;
  card.Kind = CardKindFromJson(Member(entry, "kind", at), MemberPath(at, "kind"));
  card.OwnerKey = TextOf(Member(entry, "owner", at), MemberPath(at, "owner"));
  card.Name = TextOf(Member(entry, "name", at), MemberPath(at, "name"));
  card.Title = OptionalText(entry, "title", u"", at);
  card.Created = OptionalInt(entry, "created", 0, at);
  card.Updated = OptionalInt(entry, "updated", 0, at);
  const auto protectedBy = entry.find("protectedBy");
  if (protectedBy != entry.end()) {
    card.ProtectedBy = ProfileIdFrom(profiles, *protectedBy, MemberPath(at, "protectedBy"));
  }
  if (entry.contains("forms")) {
    if (card.Kind != StoredFormSet)
      RaiseJsonError(MemberPath(at, "forms"), "only form sets hold forms");
    card.Data = FormSetFromJson(entry["forms"], MemberPath(at, "forms"));
  } else {
    const Json& data = Member(entry, "data", at);
    if (!data.is_string()) RaiseJsonError(MemberPath(at, "data"), "must be base64 text");
    std::optional<Bytes> bytes = DecodeBase64(data.get_ref<const std::string&>());
    if (!bytes) RaiseJsonError(MemberPath(at, "data"), "not valid base64");
    card.Data = std::move(*bytes);
  }
  return card;
}

void ImportCards(TManagerStore& store, const Json& cards, const std::map<String, int64_t>& profiles,
                 const TImportProgress& progress) {
  const size_t step = cards.size() / 100 + 1;
  for (size_t i = 0; i < cards.size(); ++i) {
    const std::string at = IndexPath("cards", i);
    const TCardRecord card = CardFrom(cards[i], at, profiles);
    if (store.FindCard(card.OwnerKey, card.Name)) {
      RaiseJsonError(at, "a card of that owner and name came before");
    }
    store.SaveCard(card, card.Kind == StoredFormSet ? FormSignaturesOf(card.Data)
                                                    : std::vector<TFormSignature>{});
    if (progress && ((i + 1) % step == 0 || i + 1 == cards.size())) progress(i + 1, cards.size());
  }
}

void ImportDefaults(TManagerStore& store, const Json& defaults,
                    const std::map<String, int64_t>& profiles) {
  for (size_t i = 0; i < defaults.size(); ++i) {
    const std::string at = IndexPath("defaults", i);
    TCardDefault choice;
    choice.OwnerKey = TextOf(Member(defaults[i], "owner", at), MemberPath(at, "owner"));
    choice.CardName = TextOf(Member(defaults[i], "card", at), MemberPath(at, "card"));
    const auto profile = defaults[i].find("profile");
    if (profile != defaults[i].end()) {
      choice.ProfileId = ProfileIdFrom(profiles, *profile, MemberPath(at, "profile"));
    }
    std::optional<TCardRecord> card = store.FindCard(choice.OwnerKey, choice.CardName);
    if (!card) RaiseJsonError(at, "no such card in 'cards'");
    store.SetDefaultCard(card->Id, choice.ProfileId);
  }
}

void ImportSmallLists(TManagerStore& store, const Json& document) {
  const Json& notes = ListMember(document, "notes", "");
  for (size_t i = 0; i < notes.size(); ++i) {
    const std::string at = IndexPath("notes", i);
    store.SetPageNote({TextOf(Member(notes[i], "url", at), MemberPath(at, "url")),
                       OptionalText(notes[i], "title", u"", at),
                       OptionalText(notes[i], "text", u"", at)});
  }
  const Json& translations = ListMember(document, "translations", "");
  for (size_t i = 0; i < translations.size(); ++i) {
    const std::string at = IndexPath("translations", i);
    const Json& t = translations[i];
    store.SetTranslation({TextOf(Member(t, "language", at), MemberPath(at, "language")),
                          TextOf(Member(t, "source", at), MemberPath(at, "source")),
                          TextOf(Member(t, "translated", at), MemberPath(at, "translated"))});
  }
  const Json& collected = ListMember(document, "collectedValues", "");
  for (size_t i = 0; i < collected.size(); ++i) {
    const std::string at = IndexPath("collectedValues", i);
    store.PutCollectedValue({TextOf(Member(collected[i], "value", at), MemberPath(at, "value")),
                             OptionalInt(collected[i], "collected", 0, at)});
  }
}

void ImportSettings(TManagerStore& store, const Json& document) {
  const auto settings = document.find("settings");
  if (settings == document.end()) return;
  const std::string at = "settings";
  const int64_t options = OptionalInt(*settings, "options", DefaultOptionsWord, at);
  if (options < INT32_MIN || options > INT32_MAX) RaiseJsonError(at + ".options", "out of range");
  store.SetOptionsWord(static_cast<int32_t>(options));
  const int64_t banner = OptionalInt(*settings, "bannerMode", 0, at);
  if (banner < 0 || banner > 1) RaiseJsonError(at + ".bannerMode", "must be 0 or 1");
  store.SetBannerMode(static_cast<int32_t>(banner));
  store.SetLanguage(OptionalText(*settings, "language", u"", at));
}

}  // namespace

void ImportStore(TManagerStore& store, const Json& document, const TImportProgress& progress) {
  if (!document.is_object()) RaiseJsonError("the document", "must be an object");
  const Json& format = Member(document, "format", "");
  if (!format.is_string() || format.get<std::string>() != StoreDocumentFormat) {
    RaiseJsonError("format", std::string("must be \"") + StoreDocumentFormat + "\"");
  }
  const int64_t version = IntOf(Member(document, "version", ""), "version");
  if (version < 1 || version > StoreDocumentVersion) {
    RaiseJsonError("version", "this program reads version " + std::to_string(StoreDocumentVersion) +
                                  " and older");
  }
  store.Write(ChangeData | ChangeLexicon | ChangeLanguage, [&] {
    store.ClearAll();
    ImportSettings(store, document);
    ImportFields(store, ListMember(document, "fields", ""));
    const std::map<String, int64_t> profiles =
        ImportProfiles(store, ArrayOf(Member(document, "profiles", ""), "profiles"));
    const auto lexicon = document.find("lexicon");
    store.ReplaceLexicon(lexicon == document.end() ? TLexiconData{}
                                                   : LexiconFrom(*lexicon, "lexicon"));
    ImportCards(store, ListMember(document, "cards", ""), profiles, progress);
    ImportDefaults(store, ListMember(document, "defaults", ""), profiles);
    ImportSmallLists(store, document);
  });
}

}  // namespace qm::manager
