#include "manager/store/SqliteDb.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

#include "manager/store/SqliteError.h"
#include "platform/rtl/OsError.h"

namespace qm::manager {

using platform::RaiseOSError;

TStatement::TStatement(TStatement&& other) noexcept
    : db_(other.db_), statement_(std::exchange(other.statement_, nullptr)) {}

TStatement::~TStatement() {
  if (statement_ == nullptr) return;
  sqlite3_reset(statement_);
  sqlite3_clear_bindings(statement_);
}

TStatement& TStatement::Bind(int index, std::u16string_view text) {
  // An empty view may have no data pointer; SQLite takes null as NULL, so
  // give it a real empty text.
  static const char16_t empty[1] = {0};
  const void* data = text.empty() ? empty : text.data();
  db_->Check(sqlite3_bind_text16(statement_, index, data, static_cast<int>(text.size() * 2),
                                 SQLITE_TRANSIENT),
             "Cannot bind a text");
  return *this;
}

TStatement& TStatement::Bind(int index, int64_t value) {
  db_->Check(sqlite3_bind_int64(statement_, index, value), "Cannot bind a number");
  return *this;
}

TStatement& TStatement::BindBlob(int index, std::span<const uint8_t> bytes) {
  static const uint8_t empty[1] = {0};
  db_->Check(sqlite3_bind_blob64(statement_, index, bytes.empty() ? empty : bytes.data(),
                                 bytes.size(), SQLITE_TRANSIENT),
             "Cannot bind data");
  return *this;
}

TStatement& TStatement::BindNull(int index) {
  db_->Check(sqlite3_bind_null(statement_, index), "Cannot bind a null");
  return *this;
}

bool TStatement::Step() {
  const int rc = sqlite3_step(statement_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  db_->Check(rc, "The store failed");
  return false;
}

void TStatement::Run() {
  while (Step()) {
  }
}

bool TStatement::IsNull(int column) const {
  return sqlite3_column_type(statement_, column) == SQLITE_NULL;
}

int64_t TStatement::Int(int column) const {
  return sqlite3_column_int64(statement_, column);
}

std::u16string TStatement::Text(int column) const {
  const auto* text = static_cast<const char16_t*>(sqlite3_column_text16(statement_, column));
  if (text == nullptr) return {};
  const int bytes = sqlite3_column_bytes16(statement_, column);
  return std::u16string(text, static_cast<size_t>(bytes) / 2);
}

std::vector<uint8_t> TStatement::Blob(int column) const {
  const auto* data = static_cast<const uint8_t*>(sqlite3_column_blob(statement_, column));
  const int size = sqlite3_column_bytes(statement_, column);
  if (data == nullptr || size <= 0) return {};
  return std::vector<uint8_t>(data, data + size);
}

void MakePrivateDirectories(const std::string& directory) {
  if (directory.empty()) return;
  struct stat info {};
  if (stat(directory.c_str(), &info) == 0) {
    if (!S_ISDIR(info.st_mode)) RaiseOSError("Not a directory: " + directory, ENOTDIR);
    return;
  }
  const size_t slash = directory.find_last_of('/');
  if (slash != std::string::npos && slash > 0) MakePrivateDirectories(directory.substr(0, slash));
  if (mkdir(directory.c_str(), 0700) != 0 && errno != EEXIST) {
    RaiseOSError("Cannot create the directory " + directory);
  }
}

namespace {

// SQLite creates a new file with the process's umask applied to 0644; the
// store holds personal data, so make the file ourselves, readable by the
// user only. The journal files SQLite adds take the same mode.
void CreatePrivateFile(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash != std::string::npos && slash > 0) MakePrivateDirectories(path.substr(0, slash));
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd >= 0) {
    close(fd);
    return;
  }
  if (errno != EEXIST) RaiseOSError("Cannot create the store " + path);
}

}  // namespace

TSqliteDb::TSqliteDb(const std::string& path, const TOpenOptions& options) : path_(path) {
  // ":memory:" is SQLite's name for a store without a file (fuzzing, tests).
  if (options.Create && path != ":memory:" && access(path.c_str(), F_OK) != 0) {
    CreatePrivateFile(path);
  }
  const int rc = sqlite3_open_v2(
      path.c_str(), &db_,
      SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (path == ":memory:" ? SQLITE_OPEN_MEMORY : 0),
      nullptr);
  if (rc != SQLITE_OK) {
    // Even a failed open may hand out a connection, which carries the text.
    std::string what = "Cannot open the store " + path;
    try {
      CheckSqlite(db_, rc, what.c_str());
    } catch (...) {
      sqlite3_close(db_);
      db_ = nullptr;
      throw;
    }
  }
  sqlite3_extended_result_codes(db_, 1);
  Check(sqlite3_busy_timeout(db_, options.BusyTimeoutMs), "Cannot set the busy timeout");
}

TSqliteDb::~TSqliteDb() {
  for (auto& [sql, statement] : statements_)
    sqlite3_finalize(statement);
  sqlite3_close(db_);
}

void TSqliteDb::Check(int resultCode, const char* what) const {
  CheckSqlite(db_, resultCode, what);
}

void TSqliteDb::Exec(const char* sql) {
  Check(sqlite3_exec(db_, sql, nullptr, nullptr, nullptr), "The store failed");
}

TStatement TSqliteDb::Prepare(std::string_view sql) {
  auto found = statements_.find(std::string(sql));
  if (found == statements_.end()) {
    sqlite3_stmt* statement = nullptr;
    Check(sqlite3_prepare_v3(db_, sql.data(), static_cast<int>(sql.size()),
                             SQLITE_PREPARE_PERSISTENT, &statement, nullptr),
          "Cannot prepare a query");
    found = statements_.emplace(std::string(sql), statement).first;
  }
  return TStatement(*this, found->second);
}

int64_t TSqliteDb::QueryInt(std::string_view sql) {
  TStatement statement = Prepare(sql);
  return statement.Step() ? statement.Int(0) : 0;
}

int64_t TSqliteDb::LastInsertId() const {
  return sqlite3_last_insert_rowid(db_);
}
int TSqliteDb::Changes() const {
  return sqlite3_changes(db_);
}
bool TSqliteDb::InTransaction() const {
  return sqlite3_get_autocommit(db_) == 0;
}

TTransaction::TTransaction(TSqliteDb& db, Mode mode) : db_(db) {
  db_.Exec(mode == Mode::Immediate ? "BEGIN IMMEDIATE" : "BEGIN DEFERRED");
  open_ = true;
}

void TTransaction::Commit() {
  db_.Exec("COMMIT");
  open_ = false;
}

TTransaction::~TTransaction() {
  // SQLite rolls back by itself after some errors (a full disk among
  // them); a second ROLLBACK would only fail.
  if (open_ && db_.InTransaction())
    sqlite3_exec(db_.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

}  // namespace qm::manager
