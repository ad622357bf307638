// The store's schema: its tables, its version and the migrations that bring
// an older file up to date.
//
// The version lives in SQLite's user_version; a file is recognised as ours
// by its application_id. Each migration runs inside the caller's
// transaction, so a file is either at the old version or the new one.
#pragma once

#include <cstdint>

namespace qm::manager {

class TSqliteDb;

inline constexpr int32_t StoreApplicationId = 0x51514d47;  // "QQMG"
inline constexpr int StoreSchemaVersion = 2;

// Brings the schema from its current version to StoreSchemaVersion; must
// run inside a write transaction. Answers the version found (0 for a new,
// empty file). Raises EStoreError for a file that isn't a store or that a
// newer program wrote.
int MigrateSchema(TSqliteDb& db);

}  // namespace qm::manager
