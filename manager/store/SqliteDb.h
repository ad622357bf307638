// A thin layer over one SQLite connection: prepared statements kept for
// reuse, typed binding and reading of UTF-16 texts, integers and blobs,
// and transactions.
//
// TSqliteDb owns the connection and its statement cache. A TStatement is a
// short-lived use of a cached statement: it is reset and its bindings
// cleared when the TStatement goes away, so a statement is never left
// holding a read lock. TTransaction begins on construction (BEGIN
// IMMEDIATE takes the write lock at once, so a writer waits in the busy
// handler instead of failing when it upgrades) and rolls back on
// destruction unless committed.
//
// Not synchronised: one connection belongs to one thread at a time (the
// manager holds its own lock around every use).
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace qm::manager {

class TSqliteDb;

class TStatement {
public:
  TStatement(TSqliteDb& db, sqlite3_stmt* statement) : db_(&db), statement_(statement) {}
  TStatement(const TStatement&) = delete;
  TStatement& operator=(const TStatement&) = delete;
  TStatement(TStatement&& other) noexcept;
  ~TStatement();

  // Parameters count from 1.
  TStatement& Bind(int index, std::u16string_view text);
  TStatement& Bind(int index, int64_t value);
  TStatement& Bind(int index, int value) { return Bind(index, static_cast<int64_t>(value)); }
  TStatement& BindBlob(int index, std::span<const uint8_t> bytes);
  TStatement& BindNull(int index);

  // Steps once: true when a row is there to read, false when done.
  bool Step();
  // Steps to the end (for statements that answer no rows).
  void Run();

  // Columns count from 0.
  bool IsNull(int column) const;
  int64_t Int(int column) const;
  std::u16string Text(int column) const;
  std::vector<uint8_t> Blob(int column) const;

private:
  TSqliteDb* db_;
  sqlite3_stmt* statement_;
};

struct TOpenOptions {
  bool Create = true;  // create the file (0600, in a 0700 directory) if missing
  int BusyTimeoutMs = 5000;
};

class TSqliteDb {
public:
  // Opens (and with Create makes) the database file; raises EStoreError or
  // EOSError.
  TSqliteDb(const std::string& path, const TOpenOptions& options);
  ~TSqliteDb();
  TSqliteDb(const TSqliteDb&) = delete;
  TSqliteDb& operator=(const TSqliteDb&) = delete;

  const std::string& Path() const noexcept { return path_; }
  sqlite3* Handle() const noexcept { return db_; }

  // Runs SQL without parameters (several statements allowed).
  void Exec(const char* sql);
  // A cached prepared statement for sql (which must stay the same text for
  // the same statement; string literals are the usual source).
  TStatement Prepare(std::string_view sql);
  // The single integer a query such as "PRAGMA user_version" answers.
  int64_t QueryInt(std::string_view sql);

  int64_t LastInsertId() const;
  int Changes() const;
  bool InTransaction() const;

  // Raises EStoreError for resultCode unless it is a success code.
  void Check(int resultCode, const char* what) const;

private:
  std::string path_;
  sqlite3* db_ = nullptr;
  std::unordered_map<std::string, sqlite3_stmt*> statements_;
};

class TTransaction {
public:
  enum class Mode { Deferred, Immediate };
  explicit TTransaction(TSqliteDb& db, Mode mode = Mode::Immediate);
  ~TTransaction();
  TTransaction(const TTransaction&) = delete;
  TTransaction& operator=(const TTransaction&) = delete;

  void Commit();

private:
  TSqliteDb& db_;
  bool open_ = false;
};

// Creates the directory (and missing parents) with mode 0700; raises
// EOSError.
void MakePrivateDirectories(const std::string& directory);

}  // namespace qm::manager
