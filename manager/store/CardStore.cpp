// TManagerStore: cards, their form signatures and the default choices.
#include "core/Common/TextUtils.h"
#include "manager/store/ManagerStore.h"
#include "manager/store/ProtectedData.h"
#include "manager/store/SqliteError.h"

namespace qm::manager {
namespace {

using Kind = EStoreError::Kind;

constexpr const char* CardColumns =
    "id, kind, owner_key, name, title, data, coalesce(protected_by, 0), created, updated, sealed "
    "FROM cards ";

TCardRecord ReadCard(const TStatement& row) {
  TCardRecord card;
  card.Id = row.Int(0);
  card.Kind = static_cast<int32_t>(row.Int(1));
  card.OwnerKey = row.Text(2);
  card.Name = row.Text(3);
  card.Title = row.Text(4);
  card.Data = row.Blob(5);
  card.ProtectedBy = row.Int(6);
  card.Created = row.Int(7);
  card.Updated = row.Int(8);
  card.Sealed = row.Int(9) != 0;
  return card;
}

}  // namespace

std::optional<TCardRecord> TManagerStore::FindCard(const String& ownerKey, const String& name) {
  TStatement query =
      db_.Prepare(std::string("SELECT ") + CardColumns + "WHERE owner_key = ?1 AND name_key = ?2");
  query.Bind(1, ownerKey).Bind(2, LowerCase(name));
  if (!query.Step()) return std::nullopt;
  return ReadCard(query);
}

TCardRecord TManagerStore::CardById(int64_t cardId) {
  TStatement query = db_.Prepare(std::string("SELECT ") + CardColumns + "WHERE id = ?1");
  query.Bind(1, cardId);
  if (!query.Step()) RaiseStoreError(u"Unknown card", Kind::NotFound);
  return ReadCard(query);
}

std::vector<TCardRecord> TManagerStore::CardsOf(const String& ownerKey, int32_t kind) {
  TStatement query = db_.Prepare(std::string("SELECT ") + CardColumns +
                                 "WHERE owner_key = ?1 AND (?2 < 0 OR kind = ?2) "
                                 "ORDER BY kind, id");
  query.Bind(1, ownerKey).Bind(2, kind);
  std::vector<TCardRecord> cards;
  while (query.Step())
    cards.push_back(ReadCard(query));
  return cards;
}

std::vector<TCardRecord> TManagerStore::AllCards(int32_t kind) {
  TStatement query = db_.Prepare(std::string("SELECT ") + CardColumns +
                                 "WHERE ?1 < 0 OR kind = ?1 ORDER BY owner_key, kind, id");
  query.Bind(1, kind);
  std::vector<TCardRecord> cards;
  while (query.Step())
    cards.push_back(ReadCard(query));
  return cards;
}

std::vector<String> TManagerStore::CardNames(const String& ownerKey, int32_t kind) {
  TStatement query = db_.Prepare(
      "SELECT name FROM cards WHERE owner_key = ?1 AND (?2 < 0 OR kind = ?2) ORDER BY kind, id");
  query.Bind(1, ownerKey).Bind(2, kind);
  std::vector<String> names;
  while (query.Step())
    names.push_back(query.Text(0));
  return names;
}

int64_t TManagerStore::SaveCard(const TCardRecord& card,
                                const std::vector<TFormSignature>& signatures) {
  if (card.Kind < StoredFormSet || card.Kind > StoredMail) {
    RaiseStoreError(u"Unknown card kind " + IntToText(card.Kind), Kind::Invalid);
  }
  if (card.Sealed && card.ProtectedBy == 0) {
    RaiseStoreError(u"An encrypted card must name the profile that protects it", Kind::Invalid);
  }
  int64_t id = 0;
  Write(ChangeData, [&] {
    // A card of a protected profile goes in sealed; an imported one that
    // comes sealed stays as it is.
    Bytes data = card.Data;
    bool sealed = card.Sealed;
    if (!sealed && card.ProtectedBy != 0) {
      if (const TProfileKey* key = SealingKey(card.ProtectedBy)) {
        data = key->Seal(card.Data, CardPlace(card.Kind, card.OwnerKey, card.Name));
        sealed = true;
      }
    }
    const int64_t now = StoreNow();
    std::optional<TCardRecord> existing = FindCard(card.OwnerKey, card.Name);
    if (existing) {
      // Same owner key and name: the new content replaces the old; the
      // defaults that chose this card stay with it.
      id = existing->Id;
      db_.Prepare(
             "UPDATE cards SET kind = ?2, name = ?3, name_key = ?8, title = ?4, data = ?5, "
             "protected_by = nullif(?6, 0), updated = ?7, sealed = ?9 WHERE id = ?1")
          .Bind(1, id)
          .Bind(2, card.Kind)
          .Bind(3, card.Name)
          .Bind(4, card.Title)
          .BindBlob(5, data)
          .Bind(6, card.ProtectedBy)
          .Bind(7, card.Updated != 0 ? card.Updated : now)
          .Bind(8, LowerCase(card.Name))
          .Bind(9, sealed ? 1 : 0)
          .Run();
      db_.Prepare("UPDATE card_defaults SET kind = ?2 WHERE card_id = ?1")
          .Bind(1, id)
          .Bind(2, card.Kind)
          .Run();
      db_.Prepare("DELETE FROM form_signatures WHERE card_id = ?1").Bind(1, id).Run();
    } else {
      db_.Prepare(
             "INSERT INTO cards (kind, owner_key, name, name_key, title, data, protected_by, "
             "created, updated, sealed) VALUES (?1, ?2, ?3, ?4, ?5, ?6, nullif(?7, 0), ?8, ?9, ?10)")
          .Bind(1, card.Kind)
          .Bind(2, card.OwnerKey)
          .Bind(3, card.Name)
          .Bind(4, LowerCase(card.Name))
          .Bind(5, card.Title)
          .BindBlob(6, data)
          .Bind(7, card.ProtectedBy)
          .Bind(8, card.Created != 0 ? card.Created : now)
          .Bind(9, card.Updated != 0 ? card.Updated : now)
          .Bind(10, sealed ? 1 : 0)
          .Run();
      id = db_.LastInsertId();
    }
    for (const TFormSignature& signature : signatures) {
      db_.Prepare(
             "INSERT INTO form_signatures (card_id, action_url, method, shape) "
             "VALUES (?1, ?2, ?3, ?4)")
          .Bind(1, id)
          .Bind(2, signature.ActionUrl)
          .Bind(3, signature.Method)
          .Bind(4, signature.Shape)
          .Run();
    }
  });
  return id;
}

Bytes TManagerStore::CardData(const TCardRecord& card) {
  if (card.ProtectedBy == 0) return card.Data;
  const TProfile owner = ProfileById(card.ProtectedBy);
  const TProfileKey* key = owner.Protected() ? CurrentKey(owner) : nullptr;
  // Without its key nothing of a protected profile is read, not even what
  // is still in clear (a store from before encryption).
  if (owner.Protected() && key == nullptr) {
    RaiseStoreError(u"The card '" + card.Name + u"' of '" + card.OwnerKey +
                        u"' is protected: its profile's password is needed",
                    Kind::Locked);
  }
  if (!card.Sealed) return card.Data;
  std::optional<Bytes> data =
      key == nullptr ? std::nullopt
                     : key->Open(card.Data, CardPlace(card.Kind, card.OwnerKey, card.Name));
  if (!data) {
    RaiseStoreError(u"The encrypted card '" + card.Name + u"' of '" + card.OwnerKey +
                        u"' is damaged: it cannot be decrypted",
                    Kind::Corrupt);
  }
  return std::move(*data);
}

std::vector<TFormSignature> TManagerStore::SignaturesOfCard(int64_t cardId) {
  TStatement query = db_.Prepare(
      "SELECT action_url, method, shape FROM form_signatures WHERE card_id = ?1 ORDER BY rowid");
  query.Bind(1, cardId);
  std::vector<TFormSignature> signatures;
  while (query.Step())
    signatures.push_back({query.Text(0), query.Text(1), query.Int(2)});
  return signatures;
}

bool TManagerStore::DeleteCard(const String& ownerKey, const String& name) {
  bool deleted = false;
  Write(ChangeData, [&] {
    db_.Prepare("DELETE FROM cards WHERE owner_key = ?1 AND name_key = ?2")
        .Bind(1, ownerKey)
        .Bind(2, LowerCase(name))
        .Run();
    deleted = db_.Changes() > 0;
  });
  return deleted;
}

std::vector<int64_t> TManagerStore::CardsWithSignature(const TFormSignature& signature,
                                                       const String& excludeOwner) {
  TStatement query = db_.Prepare(
      "SELECT DISTINCT s.card_id FROM form_signatures s JOIN cards c ON c.id = s.card_id "
      "WHERE s.action_url = ?1 AND s.method = ?2 AND s.shape = ?3 AND c.owner_key <> ?4 "
      "ORDER BY s.card_id");
  query.Bind(1, signature.ActionUrl)
      .Bind(2, signature.Method)
      .Bind(3, signature.Shape)
      .Bind(4, excludeOwner);
  std::vector<int64_t> ids;
  while (query.Step())
    ids.push_back(query.Int(0));
  return ids;
}

int64_t TManagerStore::CardCount() {
  return db_.QueryInt("SELECT count(*) FROM cards");
}

void TManagerStore::SetDefaultCard(int64_t cardId, int64_t profileId) {
  Write(ChangeData, [&] {
    const TCardRecord card = CardById(cardId);
    db_.Prepare(
           "DELETE FROM card_defaults WHERE kind = ?1 AND owner_key = ?2 "
           "AND profile_id IS nullif(?3, 0)")
        .Bind(1, card.Kind)
        .Bind(2, card.OwnerKey)
        .Bind(3, profileId)
        .Run();
    db_.Prepare(
           "INSERT INTO card_defaults (card_id, profile_id, kind, owner_key) "
           "VALUES (?1, nullif(?2, 0), ?3, ?4)")
        .Bind(1, cardId)
        .Bind(2, profileId)
        .Bind(3, card.Kind)
        .Bind(4, card.OwnerKey)
        .Run();
  });
}

void TManagerStore::ClearDefaults(const String& ownerKey, int64_t profileId) {
  Write(ChangeData, [&] {
    db_.Prepare("DELETE FROM card_defaults WHERE owner_key = ?1 AND profile_id IS nullif(?2, 0)")
        .Bind(1, ownerKey)
        .Bind(2, profileId)
        .Run();
  });
}

String TManagerStore::DefaultCardName(int32_t kind, const String& ownerKey, int64_t profileId) {
  // The profile's own choice first, then the one for all profiles.
  TStatement query = db_.Prepare(
      "SELECT c.name FROM card_defaults d JOIN cards c ON c.id = d.card_id "
      "WHERE d.kind = ?1 AND d.owner_key = ?2 AND (d.profile_id = ?3 OR d.profile_id IS NULL) "
      "ORDER BY d.profile_id IS NULL LIMIT 1");
  query.Bind(1, kind).Bind(2, ownerKey).Bind(3, profileId);
  return query.Step() ? query.Text(0) : String();
}

bool TManagerStore::IsDefaultForAll(int64_t cardId) {
  TStatement query =
      db_.Prepare("SELECT 1 FROM card_defaults WHERE card_id = ?1 AND profile_id IS NULL");
  query.Bind(1, cardId);
  return query.Step();
}

std::vector<TCardDefault> TManagerStore::Defaults() {
  TStatement query = db_.Prepare(
      "SELECT d.kind, d.owner_key, c.name, coalesce(d.profile_id, 0) FROM card_defaults d "
      "JOIN cards c ON c.id = d.card_id ORDER BY d.owner_key, d.kind, d.profile_id");
  std::vector<TCardDefault> defaults;
  while (query.Step()) {
    defaults.push_back(
        {static_cast<int32_t>(query.Int(0)), query.Text(1), query.Text(2), query.Int(3)});
  }
  return defaults;
}

void TManagerStore::PutDefault(const TCardDefault& choice) {
  Write(ChangeData, [&] {
    std::optional<TCardRecord> card = FindCard(choice.OwnerKey, choice.CardName);
    if (!card) {
      RaiseStoreError(u"A default names the unknown card '" + choice.CardName + u"' of '" +
                          choice.OwnerKey + u"'",
                      Kind::NotFound);
    }
    SetDefaultCard(card->Id, choice.ProfileId);
  });
}

}  // namespace qm::manager
