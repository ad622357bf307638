// TManagerStore: the manager's durable data in one SQLite file per user.
//
// Opening sets up the connection for several users at once (WAL journal,
// synchronous FULL, foreign keys, a busy timeout so that the service and
// the command line wait for each other), checks the file (quick_check),
// brings its schema up to date, and fills a new file with the seed.
//
// Every change is one transaction begun with BEGIN IMMEDIATE: it is all
// there or not at all, also after a kill -9 or a full disk (the error then
// reaches the caller as EStoreError and the store is as it was). Write()
// groups several changes into one transaction; the change methods below
// use it themselves, and nest inside an outer Write().
//
// Each committed change bumps one or more change serials (data, lexicon,
// language) kept in the file, so that another process holding the store
// open (the running service) can tell what changed: it polls DataVersion()
// and compares Serials().
//
// Texts that name things (profile names, captions, field names, card names
// within an owner key) are unique regardless of letter case.
//
// Not synchronised: one thread at a time (the service holds its own lock).
// Failures raise EStoreError (store trouble, unknown or duplicate names),
// EOSError (the file system).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "manager/store/SqliteDb.h"
#include "manager/store/StoreTypes.h"

namespace qm::manager {

// What a change touched; the serials that a commit bumps.
enum TChange : unsigned {
  ChangeNone = 0,
  ChangeData = 1,
  ChangeLexicon = 2,
  ChangeLanguage = 4,
};

struct TSerials {
  int64_t Data = 0;
  int64_t Lexicon = 0;
  int64_t Language = 0;
  friend bool operator==(const TSerials&, const TSerials&) = default;
};

inline constexpr int32_t DefaultOptionsWord = 0x59;

class TManagerStore {
public:
  // Opens path, creating it (mode 0600, directories 0700) when missing; a
  // new store gets seed's content (none when seed is null).
  TManagerStore(const std::string& path, const TStoreSeed* seed);

  // $XDG_DATA_HOME/quillora/manager.db, or ~/.local/share/quillora/...
  static std::string DefaultPath();

  const std::string& Path() const noexcept { return db_.Path(); }
  TSqliteDb& Db() noexcept { return db_; }

  // Runs body in one transaction (joining an outer one); changes are the
  // serials to bump on commit. An exception rolls everything back.
  void Write(unsigned changes, const std::function<void()>& body);
  // Runs body in one read transaction, for a consistent view over several
  // queries (joining an outer transaction).
  void Read(const std::function<void()>& body);

  // SQLite's counter of commits made by other connections.
  int64_t DataVersion();
  TSerials Serials();
  // PRAGMA integrity_check: "ok" or the problems found.
  std::u16string IntegrityCheck();

  // Settings.
  int32_t OptionsWord();
  void SetOptionsWord(int32_t word);
  int32_t BannerMode();
  void SetBannerMode(int32_t mode);
  String Language();
  void SetLanguage(const String& language);

  // Profiles, in their order. There is always at least one, and exactly
  // one is active.
  std::vector<TProfile> Profiles();
  std::optional<TProfile> FindProfile(const String& name);
  TProfile ActiveProfile();
  // name empty: the active profile; raises "Unknown profile" otherwise.
  TProfile ProfileNamed(const String& name);
  TProfile AddProfile(const String& name);
  // Removes the profile, its values, its defaults and the cards it
  // protects; the last profile cannot go.
  void RemoveProfile(int64_t profileId);
  void ActivateProfile(int64_t profileId);
  void SetPasswordHash(int64_t profileId, const String& hash);

  // Field definitions, in their order.
  std::vector<TFieldDef> Fields();
  std::optional<TFieldDef> FindField(const String& caption);
  std::optional<TFieldDef> FindFieldByName(const String& fieldName);
  TFieldDef FieldCaptioned(const String& caption);  // raises "Unknown profile field"
  TFieldDef AddField(const TFieldDef& field);
  void RemoveField(int64_t fieldId);

  // A profile's values: every field, empty where nothing was set.
  std::vector<TFieldValue> ProfileValues(int64_t profileId);
  TFieldValue FieldValue(int64_t profileId, const TFieldDef& field);
  void SetFieldValue(int64_t profileId, int64_t fieldId, const String& value);
  void SetFieldCandidates(int64_t profileId, int64_t fieldId, const String& candidates);

  // The lexicon.
  TLexiconData Lexicon();
  void ReplaceLexicon(const TLexiconData& lexicon);
  // Cards.
  std::optional<TCardRecord> FindCard(const String& ownerKey, const String& name);
  TCardRecord CardById(int64_t cardId);
  // kind < 0: every kind. Ordered by kind, then as saved.
  std::vector<TCardRecord> CardsOf(const String& ownerKey, int32_t kind);
  std::vector<TCardRecord> AllCards(int32_t kind);
  std::vector<String> CardNames(const String& ownerKey, int32_t kind);
  // Inserts or replaces (same owner key and name) the card and its form
  // signatures; answers its id. Created and Updated of 0 take the time now.
  int64_t SaveCard(const TCardRecord& card, const std::vector<TFormSignature>& signatures);
  bool DeleteCard(const String& ownerKey, const String& name);
  // Ids of form sets under other owner keys than excludeOwner that hold a
  // form with this signature.
  std::vector<int64_t> CardsWithSignature(const TFormSignature& signature,
                                          const String& excludeOwner);
  int64_t CardCount();

  // Defaults. profileId 0: for all profiles.
  void SetDefaultCard(int64_t cardId, int64_t profileId);
  // Drops the defaults of one scope under ownerKey (every kind).
  void ClearDefaults(const String& ownerKey, int64_t profileId);
  // The card name chosen for kind under ownerKey for the profile, else for
  // all profiles; empty when none.
  String DefaultCardName(int32_t kind, const String& ownerKey, int64_t profileId);
  bool IsDefaultForAll(int64_t cardId);
  std::vector<TCardDefault> Defaults();

  // Page notes.
  std::optional<TPageNote> PageNote(const String& url);
  std::vector<TPageNote> PageNotes();
  void SetPageNote(const TPageNote& note);  // empty title and text remove it

  // Translation tables.
  std::vector<TTranslation> Translations(const String& language);  // empty: all
  void SetTranslation(const TTranslation& translation);
  bool HasTranslations(const String& language);

  // Collected values (AddAllValues), oldest first.
  void AddCollectedValues(const std::vector<String>& values);
  std::vector<TCollectedValue> CollectedValues();
  void ClearCollectedValues();

  // Replaces everything with the given content (used by import); one
  // transaction with the caller's.
  void ClearAll();

  // Direct writes for import (everything as given, ids assigned here).
  void PutSetting(const char* key, int64_t value);
  void PutSetting(const char* key, const String& value);
  void PutCollectedValue(const TCollectedValue& value);
  void PutDefault(const TCardDefault& choice);

private:
  void Open(const TStoreSeed* seed);
  void Seed(const TStoreSeed& seed);
  void Bump(unsigned changes);
  int64_t SettingInt(const char* key, int64_t fallback);
  String SettingText(const char* key);
  int64_t NextPosition(const char* table);

  TSqliteDb db_;
  int writeDepth_ = 0;
  unsigned pendingChanges_ = 0;
};

// Now, as the store records times.
int64_t StoreNow();

}  // namespace qm::manager
