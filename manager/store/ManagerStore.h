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
// Protected profiles: the values of a profile with a password, and the
// cards saved under it, are kept sealed (ProfileCrypto.h). This object
// opens and seals them with the keys of the profiles unlocked on it
// (Unlock); the keys live only here, in locked memory, until Lock,
// LockAll, a password change or the object's end wipes them. Reading a
// sealed value without its key gives it Locked and empty; writing one
// raises EStoreError Locked; a sealed value that does not open raises
// EStoreError Corrupt naming it, and nothing is changed. Deleted content
// is overwritten in the file (secure_delete), so a value encrypted in
// place leaves no clear copy behind.
//
// Not synchronised: one thread at a time (the service holds its own lock).
// Failures raise EStoreError (store trouble, unknown or duplicate names),
// EOSError (the file system).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
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
  TManagerStore(const std::string& path, const TStoreSeed* seed, bool create = true);
  ~TManagerStore();

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
  // Writes a consistent copy of the whole store into path, which must not
  // exist or be empty (VACUUM INTO); outside any transaction.
  void BackUpTo(const std::string& path);
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

  // Log-in, for this object only (nothing of it is written). Unlock checks
  // the password against the profile's hash and on success keeps the
  // profile's key; it also encrypts whatever of the profile is still in
  // clear (a store from before encryption, an import). False for a wrong
  // password; true at once for a profile without one.
  bool Unlock(int64_t profileId, const String& password);
  void Lock(int64_t profileId);
  void LockAll();
  // Empties the journal into the file when no transaction is open (best
  // effort), so that what was encrypted in place has no older copy there.
  void Checkpoint();
  bool HasKey(int64_t profileId) const { return keys_.count(profileId) > 0; }
  bool AnyUnlocked() const { return !keys_.empty(); }
  // Whether the profile's values and cards may be read and written here.
  bool CanRead(const TProfile& profile) const;
  bool CanReadCard(const TCardRecord& card);
  // Drops the keys of profiles whose password another program changed or
  // cleared since they were unlocked; answers whether any went.
  bool ForgetStaleKeys();
  // Sets, changes or (empty) clears a profile's password and encrypts its
  // values and cards anew, in one transaction; a protected profile must
  // be unlocked. The profile stays unlocked under the new password.
  // progress is told now and then how many of the profile's cards are
  // done (not at all when it has none).
  using TProgress = std::function<void(size_t done, size_t total)>;
  void SetPassword(int64_t profileId, const String& password, const TProgress& progress = {});
  // For import: the profile's hash and key parameters as given, nothing
  // re-encrypted.
  void SetProtection(int64_t profileId, const String& hash, const TKeyParams& key);
  // The profiles whose password is set but whose data is still in clear.
  std::vector<TProfile> ProfilesAwaitingEncryption();

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
  // For import: a sealed value as export wrote it.
  void PutSealedValue(int64_t profileId, int64_t fieldId, const Bytes& sealed);

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
  // A card protected by a protected profile is sealed on the way in (its
  // key must be here); one that comes Sealed (an import) is kept as it is.
  int64_t SaveCard(const TCardRecord& card, const std::vector<TFormSignature>& signatures);
  // The card's bytes, opened when sealed; raises Locked without the key
  // and Corrupt when they do not open.
  Bytes CardData(const TCardRecord& card);
  // The form signatures stored for a card (export of sealed form sets).
  std::vector<TFormSignature> SignaturesOfCard(int64_t cardId);
  // Answers whether there was such a card. A replacement that must not
  // lose the old card when the save fails is this and SaveCard inside one
  // Write() (what TQoraManager does for DeleteCard followed by a save).
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
  struct TUnlocked {
    std::unique_ptr<TProfileKey> Key;
    String PasswordHash;  // what was unlocked: a change elsewhere makes the key stale
    TKeyParams Params;
  };

  void Open(const TStoreSeed* seed);
  TProfile ProfileById(int64_t profileId);
  TFieldDef FieldById(int64_t fieldId);
  // The key held for the profile, when it is still the profile's key (a
  // stale one is dropped); null otherwise.
  const TProfileKey* CurrentKey(const TProfile& profile);
  // The key that seals the profile's data; null when it isn't protected.
  // Raises Locked when it is and isn't unlocked here.
  const TProfileKey* SealingKey(int64_t profileId);
  bool HasClearData(int64_t profileId);
  // Seals what of the profile is still in clear with key.
  void SealClearData(const TProfile& profile, const TProfileKey& key);
  // Opens every value and card of the profile (with the key held for it)
  // and stores it anew, sealed with to, or in clear when to is null.
  void Reseal(const TProfile& profile, const TProfileKey* to, const TProgress& progress);
  // Writes a value row, sealed with key, or in clear when key is null.
  void WriteValue(int64_t profileId, const TFieldDef& field, const String& value,
                  const String& candidates, const TProfileKey* key);
  TFieldValue OpenValue(const TProfile& owner, TFieldValue value);
  void Seed(const TStoreSeed& seed);
  void Bump(unsigned changes);
  int64_t SettingInt(const char* key, int64_t fallback);
  String SettingText(const char* key);
  int64_t NextPosition(const char* table);

  TSqliteDb db_;
  std::map<int64_t, TUnlocked> keys_;
  int writeDepth_ = 0;
  unsigned pendingChanges_ = 0;
};

// Now, as the store records times.
int64_t StoreNow();

}  // namespace qm::manager
