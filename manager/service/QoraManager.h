// TQoraManager: the manager itself, the IQoraServer implementation over the
// store. Registered in process with RegisterActiveObject it is the embedded
// manager; served on the session bus (ManagerService.h) it is the manager
// the add-on finds there.
//
// Every operation checks its arguments (ManagerLimits.h), runs under the
// object's lock on the caller's thread, does its store work in one
// transaction, and answers a failure status with a clear message as error
// information; nothing escapes. Operations and their answers are described
// in manager/README.md.
//
// Events (DIID_IQoraServerEvents): OnDatabaseChange after any change of
// stored data, OnLexiconChange after a change of the lexicon (synonyms
// included), OnLanguageChange after a change of the language or its
// translations, OnLogin(flag) after a log-in or log-out, OnQuit from
// AnnounceQuit. They are posted to the thread that connected each sink
// (platform/com/PendingEvents.h) after the lock is released. Changes that
// other programs make to the store (the command line) are noticed through
// SQLite's data_version at the start of every operation and by
// CheckForChanges, which the service runs on a timer, and raise the same
// events.
//
// Log-in: Login unlocks every protected profile whose password it is;
// protected profiles and the cards saved under them then answer until
// Logout. The state lives in this object's store object (the profiles'
// keys, in locked memory), not in the store file: Logout, AnnounceQuit, a
// password changed elsewhere and the object's end wipe the keys.
//
// Replacing a card: the add-on replaces a stored card by calling DeleteCard
// and then saving a card of the same name. So that a save that fails in
// the store (a full disk, an I/O error) does not leave the old card gone,
// DeleteCard answers as always but keeps the removal pending: the save of
// that owner key and name (name ignoring case) that comes next removes the
// old card and stores the new one in one transaction, and a failed save
// leaves the old card as it was and the removal dropped. Any other
// operation first carries out the pending removal in a transaction of its
// own, except Login (the add-on logs in between the two when the save asks
// for the password) and CheckForChanges; AnnounceQuit and the object's end
// carry it out too. Until then other programs still see the card.
//
// Ownership: the object owns its store. Thread safe: calls may come from
// several threads at once; they are served one at a time.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/Common/QuilloraLib.h"
#include "manager/store/ManagerStore.h"
#include "platform/com/ConnectionPoints.h"

namespace qm {
class TLexicon;
class TTransitFormCard;
class TTransitFormSet;
}  // namespace qm

namespace qm::manager {

class TFieldRecognizer;

struct TShowRequest {
  int32_t Kind = 0;
  String Url;
  String Name;
};

class TQoraManager final
    : public platform::ComObject<IQoraServer, platform::IConnectionPointContainer> {
public:
  // Where the manager writes its log lines (ShowInManager requests,
  // noticed changes); unset: nowhere.
  using TLog = std::function<void(const std::string& line)>;

  explicit TQoraManager(std::unique_ptr<TManagerStore> store, TLog log = {});
  ~TQoraManager() override;

  // Looks for changes that other programs committed to the store and
  // raises their events; answers whether there were any.
  bool CheckForChanges();
  // Raises OnQuit (the service, just before it goes).
  void AnnounceQuit();
  // The ShowInManager requests received, oldest first (the last 100).
  std::vector<TShowRequest> ShowRequests() const;

  // IDispatch: the manager is called early-bound only.
  HRESULT GetTypeInfoCount(uint32_t& count) override;
  HRESULT GetIDsOfNames(const std::vector<String>& names,
                        std::vector<platform::DISPID>& ids) override;
  HRESULT Invoke(platform::DISPID id, uint16_t flags, const platform::DispParams& params,
                 Variant* result) override;

  HRESULT FindConnectionPoint(const platform::IID& iid,
                              platform::ComPtr<platform::IConnectionPoint>& point) override;

  HRESULT ResolveField(const String& profile, const String& tag, const String& inputType,
                       const String& name, String& profileField, int32_t& valueKind, String& value,
                       String& values, bool& found, bool& passwordNeeded) override;
  HRESULT GetProfiles(Variant& profiles, String& activeProfile) override;
  HRESULT GetProfileFields(Variant& fields, bool& passwordNeeded) override;
  HRESULT SetActiveProfile(const String& profile) override;
  HRESULT ShowInManager(int32_t kind, const String& url, const String& name, bool& shown) override;
  HRESULT GetDefaultCardNames(const String& pageKey, String& existingNames,
                              String& proposedName) override;
  HRESULT DeleteCard(const String& ownerKey, const String& card, bool& passwordNeeded) override;
  HRESULT Login(const String& password) override;
  HRESULT Logout() override;
  HRESULT GetLoggedIn(bool& loggedIn) override;
  HRESULT SetDefaultCard(const String& ownerKey, const String& card, bool allProfiles) override;
  HRESULT AddSynonym(const String& profileField, const String& synonym, int32_t reserved) override;
  HRESULT GetCardNote(int32_t cardId, String& title, String& text) override;
  HRESULT GetPageNote(const String& url, String& title, String& text) override;
  HRESULT MatchPageForms(const String& url, const Variant& forms, Variant& matches, String& line,
                         bool& hasMatch) override;
  HRESULT AddFieldValue(int32_t reserved, const String& profileField, const String& value,
                        bool& passwordNeeded) override;
  HRESULT NotifyNavigateComplete() override;
  HRESULT GetBannerMode(int32_t& mode) override;
  HRESULT GetBanner(const Variant& request, Variant& banner) override;
  HRESULT LoadFormSet(const String& formSet, const String& card, Variant& cardStream,
                      bool& passwordNeeded) override;
  HRESULT SaveFormSet(const String& url, const String& name, const String& title,
                      const Variant& forms, bool& saved, bool& passwordNeeded) override;
  HRESULT FindFormSet(const String& url, const Variant& forms, String& name) override;
  HRESULT FindCard(int32_t kind, const String& url, const Variant& data, String& name) override;
  HRESULT SaveCard(int32_t kind, const String& url, const String& name, const String& title,
                   const Variant& data, bool& saved, bool& passwordNeeded) override;
  HRESULT ListCards(int32_t kind, const String& url, Variant& list, String& selected) override;
  HRESULT LoadCard(int32_t kind, const String& url, const String& name, Variant& data,
                   bool& passwordNeeded) override;
  HRESULT GetLexicon(Variant& lexicon) override;
  HRESULT TranslateStrings(const Variant& strings, Variant& translated) override;
  HRESULT GetOptions(int32_t& options) override;
  HRESULT SetOptions(int32_t options) override;
  HRESULT AddAllValues(const String& values) override;

private:
  struct TEvent {
    platform::DISPID Id;
    platform::DispParams Params;
  };
  struct TKnowledge;  // lexicon, its stream and the recogniser, built on demand

  // Runs an operation's body under the lock after catching up with the
  // store; posts the events it raised once the lock is released.
  // settlePending false: the body deals with a pending DeleteCard itself.
  HRESULT Serve(const std::function<void()>& body, bool settlePending = true);
  void CatchUp();
  void NoteChanges(unsigned changes);
  void Raise(platform::DISPID id, platform::DispParams params = {});
  const TKnowledge& Knowledge();

  bool Unlocked(const TProfile& profile) const;
  bool CardReadable(const TCardRecord& card);
  // The profile new cards are saved under: its id when protected and
  // unlocked, 0 when not protected; nullopt when protected and locked.
  std::optional<int64_t> SaveProtection();
  // Saves the card (a proposed name when it has none); false when a card of
  // that name exists and is protected by a locked profile.
  // replacing: a card of that name is removed first, in the same
  // transaction (the pending DeleteCard of it).
  bool WriteCard(TCardRecord card, const std::vector<TFormSignature>& signatures, bool replacing);
  // The common end of SaveFormSet and SaveCard: card is complete but for its
  // protection. Asks for the password (passwordNeeded, the pending removal
  // kept for the save that follows the log-in) or writes it.
  void SaveNewCard(TCardRecord card, const std::vector<TFormSignature>& signatures, bool replacing,
                   bool& saved, bool& passwordNeeded);
  // The DeleteCard kept back for the save that replaces the card.
  struct TPendingDelete {
    String OwnerKey;
    String Name;
  };
  // Carries out a pending DeleteCard in its own transaction (a failure is
  // logged: the card stays).
  void SettlePendingDelete();
  // For a save of ownerKey and name: takes the pending DeleteCard when it
  // is of that card and settles any other; answers whether it took one.
  bool TakePendingDelete(const String& ownerKey, const String& name);
  String ProposedName(const String& pageKey);
  // A stored form set that may hold one of a page's forms, read once per
  // MatchPageForms and kept by its forms' exact keys; a damaged one holds
  // none (and is logged), a sealed one is not read.
  struct TCandidateSet;
  std::unique_ptr<TCandidateSet> ReadCandidate(TCardRecord card);

  std::unique_ptr<TManagerStore> store_;
  TLog log_;
  mutable std::mutex mutex_;
  platform::TConnectionPointList points_;
  platform::TConnectionPoint& events_;
  std::vector<TEvent> raised_;
  int64_t dataVersion_ = 0;
  TSerials serials_;
  std::unique_ptr<TKnowledge> knowledge_;
  std::vector<TShowRequest> showRequests_;
  std::optional<TPendingDelete> pendingDelete_;
};

// Reads a transit form set from a byte-array variant, whole; raises
// Exception "<argument>: Corrupt transit stream at byte N: ..." otherwise.
void ReadFormsArgument(const Variant& forms, const char* argument, TTransitFormSet& set,
                       Bytes& bytes);
// The bytes of a byte-array variant (empty for an empty or null one);
// raises for any other kind and beyond MaxStreamBytes.
Bytes BytesArgument(const Variant& value, const char* argument);

}  // namespace qm::manager
