#include "manager/store/SqliteError.h"

#include <sqlite3.h>

#include "platform/rtl/Utf.h"

namespace qm::manager {
namespace {

EStoreError::Kind KindOf(int primary) {
  switch (primary) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return EStoreError::Kind::Busy;
    case SQLITE_FULL:
      return EStoreError::Kind::Full;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
      return EStoreError::Kind::Corrupt;
    case SQLITE_CONSTRAINT:
      return EStoreError::Kind::Constraint;
    case SQLITE_CANTOPEN:
      return EStoreError::Kind::CannotOpen;
    case SQLITE_READONLY:
    case SQLITE_PERM:
      return EStoreError::Kind::ReadOnly;
    case SQLITE_TOOBIG:
    case SQLITE_RANGE:
    case SQLITE_MISMATCH:
      return EStoreError::Kind::Invalid;
    default:
      return EStoreError::Kind::Other;
  }
}

// Our own words for the codes people meet; SQLite's text follows them.
const char* Explanation(EStoreError::Kind kind) {
  switch (kind) {
    case EStoreError::Kind::Busy:
      return "the store is busy (another program holds it too long)";
    case EStoreError::Kind::Full:
      return "the disk is full";
    case EStoreError::Kind::Corrupt:
      return "the store file is damaged";
    case EStoreError::Kind::ReadOnly:
      return "the store cannot be written";
    default:
      return nullptr;
  }
}

}  // namespace

void CheckSqlite(sqlite3* db, int resultCode, const char* what) {
  if (resultCode == SQLITE_OK || resultCode == SQLITE_ROW || resultCode == SQLITE_DONE) return;
  const EStoreError::Kind kind = KindOf(resultCode & 0xff);
  std::string message = what;
  message += ": ";
  if (const char* ours = Explanation(kind)) {
    message += ours;
    message += " - ";
  }
  // sqlite3_errmsg describes the connection's last error, which is this
  // one only when the code came from a call on db.
  const char* detail = db != nullptr && sqlite3_errcode(db) == resultCode
                           ? sqlite3_errmsg(db)
                           : sqlite3_errstr(resultCode);
  message += detail;
  if (db != nullptr) {
    const char* file = sqlite3_db_filename(db, "main");
    if (file != nullptr && *file != '\0') {
      message += " (";
      message += file;
      message += ")";
    }
  }
  throw EStoreError(platform::Utf8ToUtf16(message), kind, resultCode);
}

void RaiseStoreError(std::u16string message, EStoreError::Kind kind) {
  throw EStoreError(std::move(message), kind);
}

}  // namespace qm::manager
