#include "manager/store/StoreSchema.h"

#include <string>

#include "manager/store/SqliteDb.h"
#include "manager/store/SqliteError.h"
#include "platform/rtl/Utf.h"

namespace qm::manager {
namespace {

// Version 1: the first layout. Texts that must be unique regardless of
// letter case carry a lower-cased key column beside them, as SQLite's own
// NOCASE folds ASCII letters only.
constexpr const char* SchemaV1 = R"sql(
CREATE TABLE settings (
  key TEXT PRIMARY KEY,
  value NOT NULL
) WITHOUT ROWID;

CREATE TABLE profiles (
  id INTEGER PRIMARY KEY,
  name TEXT NOT NULL,
  name_key TEXT NOT NULL UNIQUE,
  password_hash TEXT NOT NULL DEFAULT '',
  position INTEGER NOT NULL
);

CREATE TABLE fields (
  id INTEGER PRIMARY KEY,
  caption TEXT NOT NULL,
  caption_key TEXT NOT NULL UNIQUE,
  field_name TEXT NOT NULL,
  field_key TEXT NOT NULL UNIQUE,
  group_name TEXT NOT NULL,
  input_kind INTEGER NOT NULL DEFAULT 0,
  value_kind INTEGER NOT NULL DEFAULT -1,
  position INTEGER NOT NULL
);

CREATE TABLE field_values (
  profile_id INTEGER NOT NULL REFERENCES profiles(id) ON DELETE CASCADE,
  field_id INTEGER NOT NULL REFERENCES fields(id) ON DELETE CASCADE,
  value TEXT NOT NULL DEFAULT '',
  candidates TEXT NOT NULL DEFAULT '',
  PRIMARY KEY (profile_id, field_id)
) WITHOUT ROWID;
CREATE INDEX field_values_by_field ON field_values(field_id);

CREATE TABLE stop_words (
  position INTEGER PRIMARY KEY,
  word TEXT NOT NULL
);

-- Substitutions (kind 0) and goals (kind 1) of the lexicon.
CREATE TABLE word_lists (
  id INTEGER PRIMARY KEY,
  kind INTEGER NOT NULL,
  key TEXT NOT NULL,
  position INTEGER NOT NULL
);
CREATE INDEX word_lists_by_key ON word_lists(kind, key);
CREATE TABLE list_words (
  list_id INTEGER NOT NULL REFERENCES word_lists(id) ON DELETE CASCADE,
  position INTEGER NOT NULL,
  word TEXT NOT NULL,
  PRIMARY KEY (list_id, position)
) WITHOUT ROWID;

CREATE TABLE cards (
  id INTEGER PRIMARY KEY,
  kind INTEGER NOT NULL,
  owner_key TEXT NOT NULL,
  name TEXT NOT NULL,
  name_key TEXT NOT NULL,
  title TEXT NOT NULL DEFAULT '',
  data BLOB NOT NULL,
  protected_by INTEGER REFERENCES profiles(id) ON DELETE CASCADE,
  created INTEGER NOT NULL,
  updated INTEGER NOT NULL,
  UNIQUE (owner_key, name_key)
);
CREATE INDEX cards_by_kind ON cards(kind, owner_key);
CREATE INDEX cards_by_protection ON cards(protected_by);

-- One row per form of a stored form set: what a score of 100 against a
-- page's form needs, so that matching across page keys is an index lookup.
CREATE TABLE form_signatures (
  card_id INTEGER NOT NULL REFERENCES cards(id) ON DELETE CASCADE,
  action_url TEXT NOT NULL,
  method TEXT NOT NULL,
  shape INTEGER NOT NULL
);
CREATE INDEX form_signatures_lookup ON form_signatures(action_url, method, shape);
CREATE INDEX form_signatures_by_card ON form_signatures(card_id);

CREATE TABLE card_defaults (
  card_id INTEGER NOT NULL REFERENCES cards(id) ON DELETE CASCADE,
  profile_id INTEGER REFERENCES profiles(id) ON DELETE CASCADE,
  kind INTEGER NOT NULL,
  owner_key TEXT NOT NULL
);
CREATE UNIQUE INDEX card_defaults_per_profile ON card_defaults(kind, owner_key, profile_id)
  WHERE profile_id IS NOT NULL;
CREATE UNIQUE INDEX card_defaults_for_all ON card_defaults(kind, owner_key)
  WHERE profile_id IS NULL;
CREATE INDEX card_defaults_by_card ON card_defaults(card_id);
CREATE INDEX card_defaults_by_profile ON card_defaults(profile_id);

CREATE TABLE page_notes (
  url TEXT PRIMARY KEY,
  title TEXT NOT NULL,
  text TEXT NOT NULL
) WITHOUT ROWID;

CREATE TABLE translations (
  language TEXT NOT NULL,
  source TEXT NOT NULL,
  translated TEXT NOT NULL,
  PRIMARY KEY (language, source)
) WITHOUT ROWID;

CREATE TABLE collected_values (
  id INTEGER PRIMARY KEY,
  value TEXT NOT NULL UNIQUE,
  collected INTEGER NOT NULL
);
)sql";

// Version 2: protected profiles are encrypted (ProfileCrypto.h). A
// profile's key comes from its password and its own salt; a value row or a
// card of a protected profile holds its content sealed. A protected
// profile that version 1 wrote has no salt yet: its data stays as it was
// until the first unlock with its password encrypts it (nothing can be
// encrypted without the password).
constexpr const char* SchemaV2 = R"sql(
ALTER TABLE profiles ADD COLUMN key_salt BLOB;
ALTER TABLE profiles ADD COLUMN key_ops INTEGER NOT NULL DEFAULT 0;
ALTER TABLE profiles ADD COLUMN key_mem INTEGER NOT NULL DEFAULT 0;
-- The value and candidates together, sealed; value and candidates are then empty.
ALTER TABLE field_values ADD COLUMN sealed BLOB;
-- 1: data holds the card's bytes sealed.
ALTER TABLE cards ADD COLUMN sealed INTEGER NOT NULL DEFAULT 0;
)sql";

struct TMigration {
  int To;
  const char* Sql;
};

constexpr TMigration Migrations[] = {
    {1, SchemaV1},
    {2, SchemaV2},
};

[[noreturn]] void Refuse(TSqliteDb& db, const std::string& why) {
  throw EStoreError(platform::Utf8ToUtf16("Cannot use " + db.Path() + ": " + why),
                    EStoreError::Kind::Invalid);
}

}  // namespace

int MigrateSchema(TSqliteDb& db) {
  const int64_t version = db.QueryInt("PRAGMA user_version");
  const int64_t applicationId = db.QueryInt("PRAGMA application_id");
  const int64_t tables = db.QueryInt("SELECT count(*) FROM sqlite_schema");
  if (version == 0 && tables > 0) Refuse(db, "it holds tables but isn't a Quillora store");
  if (version > 0 && applicationId != StoreApplicationId) Refuse(db, "it isn't a Quillora store");
  if (version > StoreSchemaVersion) {
    Refuse(db, "a newer version of the manager wrote it (schema " + std::to_string(version) +
                   ", this program knows up to " + std::to_string(StoreSchemaVersion) + ")");
  }
  for (const TMigration& migration : Migrations) {
    if (migration.To <= version) continue;
    db.Exec(migration.Sql);
    db.Exec(("PRAGMA user_version = " + std::to_string(migration.To)).c_str());
  }
  if (version == 0) {
    db.Exec(("PRAGMA application_id = " + std::to_string(StoreApplicationId)).c_str());
  }
  return static_cast<int>(version);
}

}  // namespace qm::manager
