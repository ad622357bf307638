#include "manager/store/ManagerStore.h"

#include <cstdlib>
#include <ctime>

#include "core/Common/TextUtils.h"
#include "manager/store/SqliteError.h"
#include "manager/store/StoreSchema.h"
#include "platform/rtl/Utf.h"

namespace qm::manager {
namespace {

constexpr const char* KeyOptions = "options";
constexpr const char* KeyBannerMode = "banner_mode";
constexpr const char* KeyLanguage = "language";
constexpr const char* KeyActiveProfile = "active_profile";

using Kind = EStoreError::Kind;

}  // namespace

int64_t StoreNow() {
  return static_cast<int64_t>(std::time(nullptr));
}

std::string TManagerStore::DefaultPath() {
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  std::string base;
  if (dataHome != nullptr && dataHome[0] == '/') {
    base = dataHome;
  } else {
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] == '\0') {
      RaiseStoreError(u"Cannot find the store: neither XDG_DATA_HOME nor HOME is set",
                      Kind::CannotOpen);
    }
    base = std::string(home) + "/.local/share";
  }
  return base + "/quillora/manager.db";
}

TManagerStore::TManagerStore(const std::string& path, const TStoreSeed* seed, bool create)
    : db_(path, TOpenOptions{create}) {
  Open(seed);
}

TManagerStore::~TManagerStore() {
  LockAll();
}

void TManagerStore::Open(const TStoreSeed* seed) {
  // Texts are kept as UTF-16, as the program holds them: SQLite's own
  // conversion to UTF-8 would mangle unpaired surrogates. This takes effect
  // only while the file is still empty.
  db_.Exec("PRAGMA encoding = 'UTF-16le'");
  // WAL lets readers go on while one writer commits; FULL makes each commit
  // survive a power cut, not only a crash. Foreign keys are per connection.
  db_.Exec("PRAGMA journal_mode = WAL");
  db_.Exec("PRAGMA synchronous = FULL");
  db_.Exec("PRAGMA foreign_keys = ON");
  // Deleted and replaced content is overwritten, not left in free space:
  // a value encrypted in place must leave no clear copy in the file.
  db_.Exec("PRAGMA secure_delete = ON");
  {
    TStatement check = db_.Prepare("PRAGMA quick_check");
    if (check.Step() && check.Text(0) != u"ok") {
      RaiseStoreError(
          u"The store " + platform::Utf8ToUtf16(db_.Path()) + u" is damaged: " + check.Text(0),
          Kind::Corrupt);
    }
  }
  Write(ChangeNone, [&] {
    const int found = MigrateSchema(db_);
    if (found != 0) return;
    PutSetting(KeyOptions, DefaultOptionsWord);
    PutSetting(KeyBannerMode, 0);
    PutSetting(KeyLanguage, String());
    if (seed != nullptr) Seed(*seed);
    if (Profiles().empty()) AddProfile(u"Default");
  });
}

void TManagerStore::Seed(const TStoreSeed& seed) {
  TLexiconData lexicon = seed.Lexicon;
  for (const TSeedField& field : seed.Fields) {
    AddField(field.Field);
    lexicon.Goals.push_back({field.Field.FieldName, field.Synonyms});
  }
  ReplaceLexicon(lexicon);
  for (const String& name : seed.Profiles)
    AddProfile(name);
}

void TManagerStore::Write(unsigned changes, const std::function<void()>& body) {
  if (writeDepth_ > 0) {
    pendingChanges_ |= changes;
    body();
    return;
  }
  TTransaction transaction(db_, TTransaction::Mode::Immediate);
  struct TDepth {
    int& Depth;
    unsigned& Pending;
    ~TDepth() {
      Depth = 0;
      Pending = 0;
    }
  } depth{writeDepth_, pendingChanges_};
  writeDepth_ = 1;
  pendingChanges_ = changes;
  body();
  Bump(pendingChanges_);
  transaction.Commit();
}

void TManagerStore::Read(const std::function<void()>& body) {
  if (db_.InTransaction()) {
    body();
    return;
  }
  TTransaction transaction(db_, TTransaction::Mode::Deferred);
  body();
  transaction.Commit();
}

void TManagerStore::Bump(unsigned changes) {
  static constexpr struct {
    unsigned Change;
    const char* Key;
  } serials[] = {{ChangeData, "serial.data"},
                 {ChangeLexicon, "serial.lexicon"},
                 {ChangeLanguage, "serial.language"}};
  for (const auto& serial : serials) {
    if ((changes & serial.Change) == 0) continue;
    db_.Prepare(
           "INSERT INTO settings (key, value) VALUES (?1, 1) "
           "ON CONFLICT (key) DO UPDATE SET value = value + 1")
        .Bind(1, platform::Utf8ToUtf16(serial.Key))
        .Run();
  }
}

int64_t TManagerStore::DataVersion() {
  return db_.QueryInt("PRAGMA data_version");
}

TSerials TManagerStore::Serials() {
  TSerials serials;
  Read([&] {
    serials.Data = SettingInt("serial.data", 0);
    serials.Lexicon = SettingInt("serial.lexicon", 0);
    serials.Language = SettingInt("serial.language", 0);
  });
  return serials;
}

void TManagerStore::BackUpTo(const std::string& path) {
  db_.Prepare("VACUUM INTO ?1").Bind(1, platform::Utf8ToUtf16(path)).Run();
}

std::u16string TManagerStore::IntegrityCheck() {
  TStatement check = db_.Prepare("PRAGMA integrity_check");
  std::u16string result;
  while (check.Step()) {
    if (!result.empty()) result += u"\n";
    result += check.Text(0);
  }
  return result;
}

int64_t TManagerStore::SettingInt(const char* key, int64_t fallback) {
  TStatement query = db_.Prepare("SELECT value FROM settings WHERE key = ?1");
  query.Bind(1, platform::Utf8ToUtf16(key));
  return query.Step() ? query.Int(0) : fallback;
}

String TManagerStore::SettingText(const char* key) {
  TStatement query = db_.Prepare("SELECT value FROM settings WHERE key = ?1");
  query.Bind(1, platform::Utf8ToUtf16(key));
  return query.Step() ? query.Text(0) : String();
}

void TManagerStore::PutSetting(const char* key, int64_t value) {
  Write(ChangeNone, [&] {
    db_.Prepare("INSERT OR REPLACE INTO settings (key, value) VALUES (?1, ?2)")
        .Bind(1, platform::Utf8ToUtf16(key))
        .Bind(2, value)
        .Run();
  });
}

void TManagerStore::PutSetting(const char* key, const String& value) {
  Write(ChangeNone, [&] {
    db_.Prepare("INSERT OR REPLACE INTO settings (key, value) VALUES (?1, ?2)")
        .Bind(1, platform::Utf8ToUtf16(key))
        .Bind(2, value)
        .Run();
  });
}

int32_t TManagerStore::OptionsWord() {
  return static_cast<int32_t>(SettingInt(KeyOptions, DefaultOptionsWord));
}
void TManagerStore::SetOptionsWord(int32_t word) {
  Write(ChangeData, [&] { PutSetting(KeyOptions, word); });
}
int32_t TManagerStore::BannerMode() {
  return static_cast<int32_t>(SettingInt(KeyBannerMode, 0));
}
void TManagerStore::SetBannerMode(int32_t mode) {
  Write(ChangeData, [&] { PutSetting(KeyBannerMode, mode); });
}
String TManagerStore::Language() {
  return SettingText(KeyLanguage);
}
void TManagerStore::SetLanguage(const String& language) {
  Write(ChangeLanguage, [&] { PutSetting(KeyLanguage, language); });
}

int64_t TManagerStore::NextPosition(const char* table) {
  return db_.QueryInt(std::string("SELECT coalesce(max(position), 0) + 1 FROM ") + table);
}

// --- Profiles ---------------------------------------------------------

namespace {

String Quoted(const String& name) {
  return u"'" + name + u"'";
}

constexpr const char* ProfileColumns =
    "id, name, password_hash, key_salt, key_ops, key_mem, "
    "id = (SELECT value FROM settings WHERE key = 'active_profile') FROM profiles ";

TProfile ReadProfile(const TStatement& row) {
  TProfile profile;
  profile.Id = row.Int(0);
  profile.Name = row.Text(1);
  profile.PasswordHash = row.Text(2);
  profile.Key.Salt = row.Blob(3);
  profile.Key.Ops = static_cast<uint64_t>(row.Int(4));
  profile.Key.Mem = static_cast<uint64_t>(row.Int(5));
  profile.Active = row.Int(6) != 0;
  return profile;
}

void CheckName(const String& name, const char16_t* what) {
  if (Trim(name).empty()) RaiseStoreError(String(what) + u" cannot be empty", Kind::Invalid);
  if (Trim(name) != name) {
    RaiseStoreError(String(what) + u" cannot begin or end with a space: " + Quoted(name),
                    Kind::Invalid);
  }
}

}  // namespace

std::vector<TProfile> TManagerStore::Profiles() {
  TStatement query = db_.Prepare(std::string("SELECT ") + ProfileColumns + "ORDER BY position");
  std::vector<TProfile> profiles;
  while (query.Step())
    profiles.push_back(ReadProfile(query));
  return profiles;
}

std::optional<TProfile> TManagerStore::FindProfile(const String& name) {
  TStatement query = db_.Prepare(std::string("SELECT ") + ProfileColumns + "WHERE name_key = ?1");
  query.Bind(1, LowerCase(name));
  if (!query.Step()) return std::nullopt;
  return ReadProfile(query);
}

TProfile TManagerStore::ActiveProfile() {
  TStatement query = db_.Prepare(
      std::string("SELECT ") + ProfileColumns +
      "WHERE id = (SELECT value FROM settings WHERE key = 'active_profile')");
  if (query.Step()) return ReadProfile(query);
  // Only a store edited by hand lacks its active profile: take the first.
  std::vector<TProfile> all = Profiles();
  if (all.empty()) RaiseStoreError(u"The store holds no profile", Kind::Corrupt);
  all.front().Active = true;
  return all.front();
}

TProfile TManagerStore::ProfileById(int64_t profileId) {
  TStatement query = db_.Prepare(std::string("SELECT ") + ProfileColumns + "WHERE id = ?1");
  query.Bind(1, profileId);
  if (!query.Step()) RaiseStoreError(u"Unknown profile", Kind::NotFound);
  return ReadProfile(query);
}

TProfile TManagerStore::ProfileNamed(const String& name) {
  if (name.empty()) return ActiveProfile();
  std::optional<TProfile> found = FindProfile(name);
  if (!found) RaiseStoreError(u"Unknown profile " + Quoted(name), Kind::NotFound);
  return *found;
}

TProfile TManagerStore::AddProfile(const String& name) {
  CheckName(name, u"A profile name");
  TProfile profile;
  Write(ChangeData, [&] {
    if (FindProfile(name)) {
      RaiseStoreError(u"A profile named " + Quoted(name) + u" exists already", Kind::Constraint);
    }
    db_.Prepare("INSERT INTO profiles (name, name_key, position) VALUES (?1, ?2, ?3)")
        .Bind(1, name)
        .Bind(2, LowerCase(name))
        .Bind(3, NextPosition("profiles"))
        .Run();
    profile.Id = db_.LastInsertId();
    profile.Name = name;
    if (SettingInt(KeyActiveProfile, 0) == 0) PutSetting(KeyActiveProfile, profile.Id);
    profile.Active = SettingInt(KeyActiveProfile, 0) == profile.Id;
  });
  return profile;
}

void TManagerStore::RemoveProfile(int64_t profileId) {
  Write(ChangeData, [&] {
    if (db_.QueryInt("SELECT count(*) FROM profiles") <= 1) {
      RaiseStoreError(u"The last profile cannot be removed", Kind::Invalid);
    }
    db_.Prepare("DELETE FROM profiles WHERE id = ?1").Bind(1, profileId).Run();
    if (db_.Changes() == 0) RaiseStoreError(u"Unknown profile", Kind::NotFound);
    if (SettingInt(KeyActiveProfile, 0) == profileId) {
      PutSetting(KeyActiveProfile,
                 db_.QueryInt("SELECT id FROM profiles ORDER BY position LIMIT 1"));
    }
  });
  Lock(profileId);
}

void TManagerStore::ActivateProfile(int64_t profileId) {
  Write(ChangeData, [&] {
    TStatement query = db_.Prepare("SELECT 1 FROM profiles WHERE id = ?1");
    query.Bind(1, profileId);
    if (!query.Step()) RaiseStoreError(u"Unknown profile", Kind::NotFound);
    PutSetting(KeyActiveProfile, profileId);
  });
}

// --- Fields -----------------------------------------------------------

namespace {

constexpr const char* FieldColumns =
    "id, caption, field_name, group_name, input_kind, value_kind FROM fields ";

TFieldDef ReadField(const TStatement& row, int first = 0) {
  TFieldDef field;
  field.Id = row.Int(first);
  field.Caption = row.Text(first + 1);
  field.FieldName = row.Text(first + 2);
  field.Group = row.Text(first + 3);
  field.InputKind = static_cast<int32_t>(row.Int(first + 4));
  field.ValueKind = static_cast<int32_t>(row.Int(first + 5));
  return field;
}

}  // namespace

std::vector<TFieldDef> TManagerStore::Fields() {
  TStatement query = db_.Prepare(std::string("SELECT ") + FieldColumns + "ORDER BY position");
  std::vector<TFieldDef> fields;
  while (query.Step())
    fields.push_back(ReadField(query));
  return fields;
}

std::optional<TFieldDef> TManagerStore::FindField(const String& caption) {
  TStatement query = db_.Prepare(std::string("SELECT ") + FieldColumns + "WHERE caption_key = ?1");
  query.Bind(1, LowerCase(caption));
  if (!query.Step()) return std::nullopt;
  return ReadField(query);
}

std::optional<TFieldDef> TManagerStore::FindFieldByName(const String& fieldName) {
  TStatement query = db_.Prepare(std::string("SELECT ") + FieldColumns + "WHERE field_key = ?1");
  query.Bind(1, LowerCase(fieldName));
  if (!query.Step()) return std::nullopt;
  return ReadField(query);
}

TFieldDef TManagerStore::FieldById(int64_t fieldId) {
  TStatement query = db_.Prepare(std::string("SELECT ") + FieldColumns + "WHERE id = ?1");
  query.Bind(1, fieldId);
  if (!query.Step()) RaiseStoreError(u"Unknown profile field", Kind::NotFound);
  return ReadField(query);
}

TFieldDef TManagerStore::FieldCaptioned(const String& caption) {
  std::optional<TFieldDef> found = FindField(caption);
  if (!found) RaiseStoreError(u"Unknown profile field " + Quoted(caption), Kind::NotFound);
  return *found;
}

TFieldDef TManagerStore::AddField(const TFieldDef& field) {
  CheckName(field.Caption, u"A field caption");
  CheckName(field.FieldName, u"A field name");
  if (field.InputKind < InputKindText || field.InputKind > InputKindTelephone) {
    RaiseStoreError(u"Unknown input kind of field " + Quoted(field.Caption), Kind::Invalid);
  }
  TFieldDef added = field;
  Write(ChangeData, [&] {
    if (FindField(field.Caption)) {
      RaiseStoreError(u"A profile field captioned " + Quoted(field.Caption) + u" exists already",
                      Kind::Constraint);
    }
    if (FindFieldByName(field.FieldName)) {
      RaiseStoreError(u"A profile field named " + Quoted(field.FieldName) + u" exists already",
                      Kind::Constraint);
    }
    db_.Prepare(
           "INSERT INTO fields (caption, caption_key, field_name, field_key, group_name, "
           "input_kind, value_kind, position) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)")
        .Bind(1, field.Caption)
        .Bind(2, LowerCase(field.Caption))
        .Bind(3, field.FieldName)
        .Bind(4, LowerCase(field.FieldName))
        .Bind(5, field.Group)
        .Bind(6, field.InputKind)
        .Bind(7, field.ValueKind)
        .Bind(8, NextPosition("fields"))
        .Run();
    added.Id = db_.LastInsertId();
  });
  return added;
}

void TManagerStore::RemoveField(int64_t fieldId) {
  Write(ChangeData, [&] {
    db_.Prepare("DELETE FROM fields WHERE id = ?1").Bind(1, fieldId).Run();
    if (db_.Changes() == 0) RaiseStoreError(u"Unknown profile field", Kind::NotFound);
  });
}

std::vector<TFieldValue> TManagerStore::ProfileValues(int64_t profileId) {
  const TProfile owner = ProfileById(profileId);
  TStatement query = db_.Prepare(
      "SELECT f.id, f.caption, f.field_name, f.group_name, f.input_kind, f.value_kind, "
      "coalesce(v.value, ''), coalesce(v.candidates, ''), v.sealed FROM fields f "
      "LEFT JOIN field_values v ON v.field_id = f.id AND v.profile_id = ?1 "
      "ORDER BY f.position");
  query.Bind(1, profileId);
  std::vector<TFieldValue> values;
  while (query.Step())
    values.push_back({ReadField(query), query.Text(6), query.Text(7), query.Blob(8)});
  for (TFieldValue& value : values)
    value = OpenValue(owner, std::move(value));
  return values;
}

TFieldValue TManagerStore::FieldValue(int64_t profileId, const TFieldDef& field) {
  TFieldValue value{field, {}, {}, {}};
  {
    TStatement query = db_.Prepare(
        "SELECT value, candidates, sealed FROM field_values "
        "WHERE profile_id = ?1 AND field_id = ?2");
    query.Bind(1, profileId).Bind(2, field.Id);
    if (!query.Step()) return value;
    value.Value = query.Text(0);
    value.Candidates = query.Text(1);
    value.Sealed = query.Blob(2);
  }
  return OpenValue(ProfileById(profileId), std::move(value));
}

void TManagerStore::SetFieldValue(int64_t profileId, int64_t fieldId, const String& value) {
  Write(ChangeData, [&] {
    const TFieldDef field = FieldById(fieldId);
    const TProfileKey* key = SealingKey(profileId);  // a locked profile fails here
    WriteValue(profileId, field, value, FieldValue(profileId, field).Candidates, key);
  });
}

void TManagerStore::SetFieldCandidates(int64_t profileId, int64_t fieldId,
                                       const String& candidates) {
  Write(ChangeData, [&] {
    const TFieldDef field = FieldById(fieldId);
    const TProfileKey* key = SealingKey(profileId);
    WriteValue(profileId, field, FieldValue(profileId, field).Value, candidates, key);
  });
}

void TManagerStore::ClearAll() {
  Write(ChangeData | ChangeLexicon | ChangeLanguage, [&] {
    // Order matters only for readability: cascades would do the rest.
    db_.Exec(
        "DELETE FROM card_defaults; DELETE FROM form_signatures; DELETE FROM cards;"
        "DELETE FROM field_values; DELETE FROM fields; DELETE FROM profiles;"
        "DELETE FROM list_words; DELETE FROM word_lists; DELETE FROM stop_words;"
        "DELETE FROM page_notes; DELETE FROM translations; DELETE FROM collected_values;"
        "DELETE FROM settings WHERE key NOT LIKE 'serial.%';");
  });
}

}  // namespace qm::manager
