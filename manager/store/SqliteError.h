// The one place where SQLite result codes become our exceptions.
//
// EStoreError is every failure of the manager's store; its Kind tells the
// failures that callers treat differently apart (a busy store, a full
// disk, a damaged file, a broken constraint). Messages are for people:
// "Cannot save: the disk is full (/home/u/.local/share/quillora/manager.db)".
#pragma once

#include <string>

#include "platform/rtl/Exception.h"

struct sqlite3;

namespace qm::manager {

class EStoreError : public platform::Exception {
public:
  // Invalid: a request the store refuses (a bad or oversized value, the
  // last profile); NotFound: an unknown name; Constraint: a name in use;
  // Locked: a protected profile's data without its password; Corrupt: a
  // damaged file or sealed value.
  enum class Kind {
    Other,
    Busy,
    Full,
    Corrupt,
    Constraint,
    CannotOpen,
    ReadOnly,
    Invalid,
    NotFound,
    Locked
  };

  EStoreError(std::u16string message, Kind kind, int resultCode = 0)
      : Exception(std::move(message)), kind_(kind), resultCode_(resultCode) {}
  Kind ErrorKind() const noexcept { return kind_; }
  int ResultCode() const noexcept { return resultCode_; }

private:
  Kind kind_;
  int resultCode_;
};

// Passes SQLITE_OK, SQLITE_ROW and SQLITE_DONE; raises EStoreError for any
// other code. what says what was being done ("Cannot open the store");
// db (may be null) gives SQLite's own message and the file name.
void CheckSqlite(sqlite3* db, int resultCode, const char* what);

// Raises EStoreError with our own message (no SQLite code behind it).
[[noreturn]] void RaiseStoreError(std::u16string message, EStoreError::Kind kind);

}  // namespace qm::manager
