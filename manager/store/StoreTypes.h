// The records the manager's store reads and writes: plain values, copied
// freely, usable on any thread.
//
// The data model (manager/README.md has the whole story):
// - profiles, one of them active; each may carry an Argon2id password hash,
//   and then its values and the cards saved under it are sealed with a key
//   derived from the password (ProfileCrypto.h);
// - field definitions shared by all profiles (caption, field name, group,
//   the kind of input they fill, the value kind), and per profile a value
//   and candidate values (comma text) for each;
// - the lexicon: separators, stop words, substitutions and goals; a goal's
//   key is a field name and its words are that field's synonyms;
// - cards: form sets (kind 0, a transit form set stream), navigation cards
//   (kind 1) and mail cards (kind 2), named uniquely (ignoring case) per
//   owner key, the page key they were saved for; defaults per profile or
//   for all profiles;
// - options word, banner mode, current language and translation tables,
//   page notes and the collected values.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "manager/store/ProfileCrypto.h"

namespace qm::manager {

using String = std::u16string;
using Bytes = std::vector<uint8_t>;

// What kind of page input a field may fill; recognition uses it.
enum TInputKind : int32_t {
  InputKindText = 0,
  InputKindPassword = 1,
  InputKindEmail = 2,
  InputKindTelephone = 3,
};

// "text", "password", "email", "tel"; the reverse answers false for any
// other name.
const char* InputKindName(int32_t kind);
bool InputKindFromName(std::string_view name, int32_t& kind);

// Card kinds as stored: the two of the manager's interface and form sets.
enum TStoredCardKind : int32_t {
  StoredFormSet = 0,
  StoredNavigation = 1,
  StoredMail = 2,
};

// The one spelling of each kind, on the command line, in JSON documents
// and in messages: "formset", "navigation", "mail". The reverse answers
// false for any other name (and also takes "formSet", the spelling of the
// first version's documents).
inline constexpr const char* CardKindList = "formset, navigation or mail";
const char* CardKindName(int32_t kind);
bool CardKindFromName(std::string_view name, int32_t& kind);

struct TProfile {
  int64_t Id = 0;
  String Name;
  String PasswordHash;  // empty: not protected
  // How the key of a protected profile is derived; empty while its data is
  // still in clear (a store from before encryption, an import in clear),
  // which its next unlock encrypts.
  TKeyParams Key;
  bool Active = false;
  bool Protected() const { return !PasswordHash.empty(); }
};

struct TFieldDef {
  int64_t Id = 0;
  String Caption;
  String FieldName;
  String Group;
  int32_t InputKind = InputKindText;
  int32_t ValueKind = -1;
};

// One field of one profile. A protected profile's value is sealed in the
// store: with its key at hand the store opens it (Sealed keeps the sealed
// bytes all the same, for export); without, Value and Candidates are
// empty and Locked is set.
struct TFieldValue {
  TFieldDef Field;
  String Value;
  String Candidates;  // comma text
  Bytes Sealed;       // the value and candidates as stored, when sealed
  bool Locked = false;
};

struct TWordList {
  String Key;
  std::vector<String> Words;
  friend bool operator==(const TWordList&, const TWordList&) = default;
};

struct TLexiconData {
  String Separators;
  std::vector<String> StopWords;
  std::vector<TWordList> Substitutions;
  std::vector<TWordList> Goals;
  friend bool operator==(const TLexiconData&, const TLexiconData&) = default;
};

// What MatchPageForms looks a stored form up by: the action address, the
// method and a hash of the field layout that a score of 100 needs.
struct TFormSignature {
  String ActionUrl;
  String Method;
  int64_t Shape = 0;
};

struct TCardRecord {
  int64_t Id = 0;
  int32_t Kind = StoredFormSet;
  String OwnerKey;
  String Name;
  String Title;
  Bytes Data;               // sealed when Sealed: TManagerStore::CardData opens it
  int64_t ProtectedBy = 0;  // profile id; 0: readable by everybody
  bool Sealed = false;
  int64_t Created = 0;      // seconds since the epoch
  int64_t Updated = 0;
};

// A default card choice: for one profile or (ProfileId 0) for all.
struct TCardDefault {
  int32_t Kind = StoredFormSet;
  String OwnerKey;
  String CardName;
  int64_t ProfileId = 0;
};

struct TPageNote {
  String Url;
  String Title;
  String Text;
};

struct TTranslation {
  String Language;
  String Source;
  String Translated;
};

struct TCollectedValue {
  String Value;
  int64_t Collected = 0;
};

// The content a new store starts with.
struct TSeedField {
  TFieldDef Field;
  std::vector<String> Synonyms;
};
struct TStoreSeed {
  TLexiconData Lexicon;  // its goals come from the fields' synonyms
  std::vector<TSeedField> Fields;
  std::vector<String> Profiles;  // the first becomes active
};

}  // namespace qm::manager
