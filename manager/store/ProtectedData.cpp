// TManagerStore: protected profiles. Keys, unlocking, sealing what a
// profile holds and sealing it anew when its password changes.
#include "manager/store/ProtectedData.h"

#include <sodium.h>
#include <sqlite3.h>

#include "core/Common/TextUtils.h"
#include "manager/store/ManagerStore.h"
#include "manager/store/PasswordHash.h"
#include "manager/store/SqliteError.h"
#include "platform/rtl/Utf.h"

namespace qm::manager {
namespace {

using Kind = EStoreError::Kind;

// Plain texts of a protected profile are wiped before their memory goes.
struct TWiped {
  Bytes& Plain;
  ~TWiped() { sodium_memzero(Plain.data(), Plain.size()); }
};

void WipeText(String& text) {
  sodium_memzero(text.data(), text.size() * sizeof(char16_t));
}

}  // namespace

String ValuePlace(const String& fieldName) {
  return u"value\x1f" + LowerCase(fieldName);
}

String CardPlace(int32_t kind, const String& ownerKey, const String& name) {
  return u"card\x1f" + IntToText(kind) + u"\x1f" + ownerKey + u"\x1f" + LowerCase(name);
}

// [value's length in UTF-16 units, 32 bits little-endian][value][candidates]
Bytes PackValue(const String& value, const String& candidates) {
  Bytes plain(4 + (value.size() + candidates.size()) * 2);
  const auto count = static_cast<uint32_t>(value.size());
  for (int i = 0; i < 4; ++i)
    plain[static_cast<size_t>(i)] = static_cast<uint8_t>(count >> (8 * i));
  size_t at = 4;
  for (const String* text : {&value, &candidates}) {
    for (char16_t unit : *text) {
      plain[at++] = static_cast<uint8_t>(unit);
      plain[at++] = static_cast<uint8_t>(unit >> 8);
    }
  }
  return plain;
}

std::optional<std::pair<String, String>> UnpackValue(const Bytes& plain) {
  if (plain.size() < 4 || plain.size() % 2 != 0) return std::nullopt;
  uint32_t count = 0;
  for (int i = 0; i < 4; ++i)
    count |= uint32_t{plain[static_cast<size_t>(i)]} << (8 * i);
  if (count > (plain.size() - 4) / 2) return std::nullopt;
  std::pair<String, String> texts;
  texts.first.reserve(count);
  texts.second.reserve((plain.size() - 4) / 2 - count);
  for (size_t at = 4; at < plain.size(); at += 2) {
    const auto unit = static_cast<char16_t>(plain[at] | (plain[at + 1] << 8));
    ((at - 4) / 2 < count ? texts.first : texts.second).push_back(unit);
  }
  return texts;
}

bool TManagerStore::CanRead(const TProfile& profile) const {
  return !profile.Protected() || HasKey(profile.Id);
}

bool TManagerStore::CanReadCard(const TCardRecord& card) {
  if (card.ProtectedBy == 0) return true;
  return CanRead(ProfileById(card.ProtectedBy));
}

void TManagerStore::Lock(int64_t profileId) {
  keys_.erase(profileId);  // the key's own memory is wiped as it goes
}

void TManagerStore::LockAll() {
  keys_.clear();
}

bool TManagerStore::ForgetStaleKeys() {
  bool forgot = false;
  for (auto it = keys_.begin(); it != keys_.end();) {
    const std::optional<TProfile> profile = [&]() -> std::optional<TProfile> {
      try {
        return ProfileById(it->first);
      } catch (const EStoreError& e) {
        if (e.ErrorKind() == Kind::NotFound) return std::nullopt;
        throw;
      }
    }();
    const bool stale = !profile || profile->PasswordHash != it->second.PasswordHash ||
                       profile->Key != it->second.Params;
    it = stale ? keys_.erase(it) : std::next(it);
    forgot = forgot || stale;
  }
  return forgot;
}

const TProfileKey* TManagerStore::CurrentKey(const TProfile& profile) {
  const auto found = keys_.find(profile.Id);
  if (found == keys_.end()) return nullptr;
  // A key from before another program changed the password opens nothing
  // and would seal what nobody can open again: it goes, and the password
  // is asked for anew.
  if (found->second.PasswordHash != profile.PasswordHash || found->second.Params != profile.Key) {
    keys_.erase(found);
    return nullptr;
  }
  return found->second.Key.get();
}

const TProfileKey* TManagerStore::SealingKey(int64_t profileId) {
  const TProfile profile = ProfileById(profileId);
  if (!profile.Protected()) return nullptr;
  const TProfileKey* key = CurrentKey(profile);
  if (key == nullptr) {
    RaiseStoreError(u"Profile '" + profile.Name + u"' is protected: its password is needed",
                    Kind::Locked);
  }
  return key;
}

TFieldValue TManagerStore::OpenValue(const TProfile& owner, TFieldValue value) {
  const TProfileKey* key = owner.Protected() ? CurrentKey(owner) : nullptr;
  // Without its key nothing of a protected profile is read, not even what
  // is still in clear (a store from before encryption).
  if (owner.Protected() && key == nullptr) {
    value.Locked = !value.Sealed.empty() || !value.Value.empty() || !value.Candidates.empty();
    value.Value.clear();
    value.Candidates.clear();
    return value;
  }
  if (value.Sealed.empty()) return value;
  if (key == nullptr) {
    RaiseStoreError(u"The value of '" + value.Field.Caption + u"' of profile '" + owner.Name +
                        u"' is encrypted, but the profile has no password",
                    Kind::Corrupt);
  }
  std::optional<Bytes> plain = key->Open(value.Sealed, ValuePlace(value.Field.FieldName));
  std::optional<std::pair<String, String>> texts;
  if (plain) {
    TWiped wipe{*plain};
    texts = UnpackValue(*plain);
  }
  if (!texts) {
    RaiseStoreError(u"The encrypted value of '" + value.Field.Caption + u"' of profile '" +
                        owner.Name + u"' is damaged: it cannot be decrypted",
                    Kind::Corrupt);
  }
  value.Value = std::move(texts->first);
  value.Candidates = std::move(texts->second);
  return value;
}

void TManagerStore::WriteValue(int64_t profileId, const TFieldDef& field, const String& value,
                               const String& candidates, const TProfileKey* key) {
  Bytes sealed;
  if (key != nullptr) {
    Bytes plain = PackValue(value, candidates);
    TWiped wipe{plain};
    sealed = key->Seal(plain, ValuePlace(field.FieldName));
  }
  TStatement statement = db_.Prepare(
      "INSERT INTO field_values (profile_id, field_id, value, candidates, sealed) "
      "VALUES (?1, ?2, ?3, ?4, ?5) ON CONFLICT (profile_id, field_id) DO UPDATE SET "
      "value = excluded.value, candidates = excluded.candidates, sealed = excluded.sealed");
  statement.Bind(1, profileId).Bind(2, field.Id);
  if (key != nullptr) {
    statement.Bind(3, u"").Bind(4, u"").BindBlob(5, sealed);
  } else {
    statement.Bind(3, value).Bind(4, candidates).BindNull(5);
  }
  statement.Run();
}

void TManagerStore::PutSealedValue(int64_t profileId, int64_t fieldId, const Bytes& sealed) {
  if (sealed.size() < MinSealedSize) {
    RaiseStoreError(u"An encrypted value is too short to be one", Kind::Invalid);
  }
  Write(ChangeData, [&] {
    db_.Prepare(
           "INSERT INTO field_values (profile_id, field_id, value, candidates, sealed) "
           "VALUES (?1, ?2, '', '', ?3) ON CONFLICT (profile_id, field_id) DO UPDATE SET "
           "value = '', candidates = '', sealed = excluded.sealed")
        .Bind(1, profileId)
        .Bind(2, fieldId)
        .BindBlob(3, sealed)
        .Run();
  });
}

void TManagerStore::SetProtection(int64_t profileId, const String& hash, const TKeyParams& key) {
  if (!key.Empty()) {
    const std::string problem = KeyParamsProblem(key);
    if (!problem.empty()) RaiseStoreError(platform::Utf8ToUtf16(problem), Kind::Invalid);
  }
  Write(ChangeData, [&] {
    TStatement statement = db_.Prepare(
        "UPDATE profiles SET password_hash = ?2, key_salt = ?3, key_ops = ?4, key_mem = ?5 "
        "WHERE id = ?1");
    statement.Bind(1, profileId).Bind(2, hash);
    if (key.Empty()) {
      statement.BindNull(3);
    } else {
      statement.BindBlob(3, key.Salt);
    }
    statement.Bind(4, static_cast<int64_t>(key.Ops)).Bind(5, static_cast<int64_t>(key.Mem)).Run();
    if (db_.Changes() == 0) RaiseStoreError(u"Unknown profile", Kind::NotFound);
  });
  Lock(profileId);
}

bool TManagerStore::HasClearData(int64_t profileId) {
  TStatement query = db_.Prepare(
      "SELECT EXISTS (SELECT 1 FROM field_values WHERE profile_id = ?1 AND sealed IS NULL) "
      "OR EXISTS (SELECT 1 FROM cards WHERE protected_by = ?1 AND sealed = 0)");
  query.Bind(1, profileId);
  return query.Step() && query.Int(0) != 0;
}

std::vector<TProfile> TManagerStore::ProfilesAwaitingEncryption() {
  std::vector<TProfile> waiting;
  for (const TProfile& profile : Profiles()) {
    if (profile.Protected() && HasClearData(profile.Id)) waiting.push_back(profile);
  }
  return waiting;
}

void TManagerStore::SealClearData(const TProfile& profile, const TProfileKey& key) {
  struct TClearValue {
    TFieldDef Field;
    String Value, Candidates;
  };
  std::vector<TClearValue> values;
  {
    TStatement query = db_.Prepare(
        "SELECT f.id, f.field_name, v.value, v.candidates FROM field_values v "
        "JOIN fields f ON f.id = v.field_id WHERE v.profile_id = ?1 AND v.sealed IS NULL");
    query.Bind(1, profile.Id);
    while (query.Step()) {
      TClearValue value;
      value.Field.Id = query.Int(0);
      value.Field.FieldName = query.Text(1);
      value.Value = query.Text(2);
      value.Candidates = query.Text(3);
      values.push_back(std::move(value));
    }
  }
  for (TClearValue& value : values) {
    WriteValue(profile.Id, value.Field, value.Value, value.Candidates, &key);
    WipeText(value.Value);
    WipeText(value.Candidates);
  }
  std::vector<TCardRecord> cards;
  for (TCardRecord& card : AllCards(-1)) {
    if (card.ProtectedBy == profile.Id && !card.Sealed) cards.push_back(std::move(card));
  }
  for (TCardRecord& card : cards) {
    db_.Prepare("UPDATE cards SET data = ?2, sealed = 1 WHERE id = ?1")
        .Bind(1, card.Id)
        .BindBlob(2, key.Seal(card.Data, CardPlace(card.Kind, card.OwnerKey, card.Name)))
        .Run();
    TWiped wipe{card.Data};
  }
}

void TManagerStore::Reseal(const TProfile& profile, const TProfileKey* to,
                           const TProgress& progress) {
  // Open everything with the old key first: a damaged value stops the
  // change before anything was written.
  struct TPlain {
    TFieldDef Field;
    String Value, Candidates;
  };
  std::vector<TPlain> values;
  for (TFieldValue& value : ProfileValues(profile.Id)) {
    if (value.Locked) {
      RaiseStoreError(u"Profile '" + profile.Name + u"' is protected: its password is needed",
                      Kind::Locked);
    }
    values.push_back({value.Field, std::move(value.Value), std::move(value.Candidates)});
  }
  std::vector<std::pair<TCardRecord, Bytes>> cards;
  for (TCardRecord& card : AllCards(-1)) {
    if (card.ProtectedBy != profile.Id) continue;
    Bytes plain = CardData(card);
    cards.emplace_back(std::move(card), std::move(plain));
  }
  // Then write everything under the new key (or in clear).
  for (TPlain& value : values) {
    db_.Prepare("DELETE FROM field_values WHERE profile_id = ?1 AND field_id = ?2")
        .Bind(1, profile.Id)
        .Bind(2, value.Field.Id)
        .Run();
    if (value.Value.empty() && value.Candidates.empty()) continue;
    Bytes sealed;
    if (to != nullptr) {
      Bytes plain = PackValue(value.Value, value.Candidates);
      TWiped wipe{plain};
      sealed = to->Seal(plain, ValuePlace(value.Field.FieldName));
    }
    TStatement insert = db_.Prepare(
        "INSERT INTO field_values (profile_id, field_id, value, candidates, sealed) "
        "VALUES (?1, ?2, ?3, ?4, ?5)");
    insert.Bind(1, profile.Id).Bind(2, value.Field.Id);
    if (to != nullptr) {
      insert.Bind(3, u"").Bind(4, u"").BindBlob(5, sealed);
    } else {
      insert.Bind(3, value.Value).Bind(4, value.Candidates).BindNull(5);
    }
    insert.Run();
    WipeText(value.Value);
    WipeText(value.Candidates);
  }
  const size_t step = cards.size() / 100 + 1;
  size_t done = 0;
  for (auto& [card, plain] : cards) {
    TWiped wipe{plain};
    const bool seal = to != nullptr;
    db_.Prepare("UPDATE cards SET data = ?2, sealed = ?3 WHERE id = ?1")
        .Bind(1, card.Id)
        .BindBlob(2, seal ? to->Seal(plain, CardPlace(card.Kind, card.OwnerKey, card.Name)) : plain)
        .Bind(3, seal ? 1 : 0)
        .Run();
    ++done;
    if (progress && (done % step == 0 || done == cards.size())) progress(done, cards.size());
  }
}

bool TManagerStore::Unlock(int64_t profileId, const String& password) {
  TProfile profile = ProfileById(profileId);
  if (!profile.Protected()) return true;
  if (!VerifyPassword(profile.PasswordHash, password)) return false;
  TUnlocked unlocked;
  if (!profile.Key.Empty()) {
    unlocked = {TProfileKey::Derive(password, profile.Key), profile.PasswordHash, profile.Key};
  }
  if (profile.Key.Empty() || HasClearData(profileId)) {
    // Encrypt what is still in clear, with the write lock held, so that two
    // programs unlocking it at once agree on one salt.
    bool right = true;
    Write(ChangeData, [&] {
      const String verifiedHash = profile.PasswordHash;
      profile = ProfileById(profileId);
      if (profile.PasswordHash != verifiedHash) {
        right = VerifyPassword(profile.PasswordHash, password);  // changed meanwhile
        if (!right) return;
      }
      if (profile.Key.Empty()) {
        const TKeyParams params = NewKeyParams();
        SetProtection(profileId, profile.PasswordHash, params);
        profile.Key = params;
      }
      if (unlocked.Key == nullptr || unlocked.Params != profile.Key) {
        unlocked = {TProfileKey::Derive(password, profile.Key), profile.PasswordHash, profile.Key};
      }
      unlocked.PasswordHash = profile.PasswordHash;
      SealClearData(profile, *unlocked.Key);
    });
    if (!right) return false;
    Checkpoint();
  }
  keys_[profileId] = std::move(unlocked);
  return true;
}

void TManagerStore::SetPassword(int64_t profileId, const String& password,
                                const TProgress& progress) {
  TUnlocked next;
  Write(ChangeData, [&] {
    const TProfile profile = ProfileById(profileId);
    if (profile.Protected() && !HasKey(profileId)) {
      RaiseStoreError(u"Profile '" + profile.Name + u"' is protected: its password is needed",
                      Kind::Locked);
    }
    if (!password.empty()) {
      next.Params = NewKeyParams();
      next.Key = TProfileKey::Derive(password, next.Params);
      next.PasswordHash = HashPassword(password);
    }
    Reseal(profile, next.Key.get(), progress);
    SetProtection(profileId, next.PasswordHash, next.Params);
  });
  if (next.Key) keys_[profileId] = std::move(next);
  Checkpoint();
}

void TManagerStore::Checkpoint() {
  // Best effort: with a reader still on an old snapshot the journal stays
  // until a later checkpoint, which SQLite runs by itself.
  if (writeDepth_ == 0) {
    sqlite3_wal_checkpoint_v2(db_.Handle(), nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
  }
}

}  // namespace qm::manager
