// The lexicon: the user's vocabulary for recognising fields and option
// texts. It holds a set of separator characters, a list of stop words, the
// substitutions (a key word with its synonyms) and the goals (a profile
// field name with its synonyms). Normalize turns any label, option text or
// value into a canonical word sequence; ExpandSubstitutions puts every
// synonym of a substitution in place of a placeholder in value templates.
//
// The manager owns the content and hands it over as a byte stream (format
// B, LexiconStreamVersion); LoadFromStream replaces everything with it and
// SaveToStream writes it, from one layout shared by both.
//
// Ownership: a TLexicon owns its substitutions and goals (TBaseList items).
// Items are created only through AddSubstitutionItem and AddGoal, which
// hook them to the lexicon: an item normalises with the lexicon's
// Normalize and forwards its change notification to the lexicon's. An
// item reference lives until the item is deleted or the lexicon cleared,
// loaded or destroyed.
//
// All lookups in the sorted lists (stop words, words, normalised words)
// ignore letter case (TextUtils' rules); keys are compared exactly.
//
// Not synchronised: a lexicon and its items belong to one thread.
#pragma once

#include <bitset>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/Common/OwnedCollection.h"
#include "core/Common/StreamUtils.h"
#include "core/Common/WideStrings.h"

namespace qm {

// The stream version the manager writes: format B, with goals. Versions up
// to 9 are format A, without goals.
inline constexpr int32_t LexiconStreamVersion = 10;

// Marks a placeholder in a value template on both sides: prefix, mark, key,
// mark, suffix.
inline constexpr char16_t PlaceholderMark = u'\uFFFF';

struct TLexiconLayout;

// A key with its words, and their normalised forms. Invariant (kept by
// everything but the raw setters SetKey, SetNormalizedKey and LoadWord,
// after which the caller renormalises): NormalizedKey is the normalised
// Key, Words and NormalizedWords have the same count, and no two words
// normalise to the same text.
class TBaseList {
public:
  using TChangeEvent = std::function<void(TBaseList& sender)>;
  using TNormalizeEvent = std::function<std::u16string(std::u16string_view text)>;

  TBaseList();
  virtual ~TBaseList() = default;
  TBaseList(const TBaseList&) = delete;
  TBaseList& operator=(const TBaseList&) = delete;

  // Set by the lexicon that creates the item; an unset handler is skipped
  // (without OnNormalize a text is its own normalised form).
  TChangeEvent OnChange;
  TNormalizeEvent OnNormalize;

  const std::u16string& Key() const noexcept { return key_; }
  void SetKey(std::u16string key) { key_ = std::move(key); }
  const std::u16string& NormalizedKey() const noexcept { return normalizedKey_; }
  void SetNormalizedKey(std::u16string key) { normalizedKey_ = std::move(key); }
  // Sorted, case-insensitive, duplicates ignored.
  const TWideStringList& Words() const noexcept { return words_; }
  const TWideStringList& NormalizedWords() const noexcept { return normalizedWords_; }

  // Adds the word unless Words holds it already (ignoring case) or another
  // word has the same normalised form. No notification.
  void AddWord(const std::u16string& word);
  // AddWord for each, then OnChange once.
  void AddWords(const std::vector<std::u16string>& words);
  // Adds the word to Words as it stands (duplicates ignored), for loaders:
  // renormalise after the last one.
  void LoadWord(std::u16string word);

  // Recomputes NormalizedKey and NormalizedWords from Key and Words; a word
  // whose form another word already has is deleted. Reports with
  // BaseListRenormalize.
  void Renormalize();
  // Empties both keys and both lists.
  void Clear();

  // Replaces the content with one record (key, word count, words) and
  // renormalises, also after a failed read, so that what was read stays
  // consistent. False on a short read or a negative length.
  bool LoadFromStream(TMemoryStream& stream);
  bool LoadFromReader(TStreamReader& reader);
  void SaveToStream(TMemoryStream& stream) const;

  // Copies Key, NormalizedKey, Words and NormalizedWords as they stand,
  // then fires the destination's OnChange.
  void AssignTo(TBaseList& dest) const;

  // Same content (handlers are not compared).
  friend bool operator==(const TBaseList& a, const TBaseList& b);

private:
  friend struct TLexiconLayout;
  std::u16string NormalizeText(std::u16string_view text) const;
  void Changed();

  std::u16string key_;
  std::u16string normalizedKey_;
  TWideStringList words_;
  TWideStringList normalizedWords_;
};

// A substitution: a key word and its synonyms, for template expansion.
class TSubstitution : public TBaseList {};

// A goal: a profile field name and its synonyms. Loaded, normalised and
// copied with the lexicon; the manager's recognition consults them.
class TGoalList : public TBaseList {};

// An owned collection of lexicon items in insertion order. Items are
// appended only by the owning lexicon (which hooks them up).
template <class Item>
class TLexiconItems {
public:
  int Count() const noexcept { return static_cast<int>(items_.size()); }
  bool Empty() const noexcept { return items_.empty(); }
  // A bad index raises "List index out of bounds (N)".
  Item& operator[](int index) { return *items_[CheckIndex(index)]; }
  const Item& operator[](int index) const { return *items_[CheckIndex(index)]; }
  void Delete(int index) { items_.erase(items_.begin() + static_cast<long>(CheckIndex(index))); }
  void Clear() noexcept { items_.clear(); }

private:
  friend class TLexicon;
  size_t CheckIndex(int index) const;
  Item& Append() { return *items_.emplace_back(std::make_unique<Item>()); }

  std::vector<std::unique_ptr<Item>> items_;
};

using TSubstitutions = TLexiconItems<TSubstitution>;
using TGoals = TLexiconItems<TGoalList>;

class TLexicon {
public:
  using TChangeEvent = std::function<void(TLexicon& sender)>;

  // The initial content: the 33 standard separators, the stop words "or"
  // and "and", and the substitutions "plugins" and "addons".
  TLexicon();
  virtual ~TLexicon() = default;
  TLexicon(const TLexicon&) = delete;
  TLexicon& operator=(const TLexicon&) = delete;

  // Fired by Changed while UpdateCount is 0; an unset handler is skipped.
  TChangeEvent OnChange;
  int32_t UpdateCount() const noexcept { return updateCount_; }
  // Holds notifications back; the EndUpdate that brings the count back to
  // 0 fires one.
  void BeginUpdate() noexcept { ++updateCount_; }
  void EndUpdate();
  // The lexicon's change notification.
  void Changed();

  // Every character of it splits words. Setting it doesn't renormalise the
  // items: call Renormalize when they are to follow.
  const std::u16string& Separators() const noexcept { return separators_; }
  void SetSeparators(std::u16string separators);
  bool IsSeparator(char16_t c) const noexcept { return separatorTable_[c]; }

  // Sorted, case-insensitive; a repeated stop word is an error.
  const TWideStringList& StopWords() const noexcept { return stopWords_; }
  // Adds a stop word as it stands (not normalised), for loaders; raises
  // "String list does not allow duplicates" for one already there.
  void LoadStopWord(std::u16string word);

  TSubstitutions& Substitutions() noexcept { return substitutions_; }
  const TSubstitutions& Substitutions() const noexcept { return substitutions_; }
  TGoals& Goals() noexcept { return goals_; }
  const TGoals& Goals() const noexcept { return goals_; }

  // The canonical form: trimmed of characters up to U+0020 at both ends,
  // lower-cased, cut at the separators, empty pieces and stop words
  // dropped, the rest joined by single spaces. Reports with
  // LexiconNormalize.
  std::u16string Normalize(std::u16string_view text) const;

  // Replaces the stop words by the normalised entries that are single
  // words, renormalises every item and notifies. Reports with
  // LexiconSetStopWords.
  void SetStopWords(const std::vector<std::u16string>& words);

  // Adds words to the substitution whose normalised key equals the
  // normalised key, or to a new one; notifies, also on failure. Reports
  // with LexiconAddSubstitution.
  void AddSubstitution(std::u16string_view key, const std::vector<std::u16string>& words);

  // Append an empty item hooked to this lexicon. The reference lives as
  // long as the item.
  TSubstitution& AddSubstitutionItem();
  TGoalList& AddGoal();

  // The first substitution whose NormalizedKey equals key exactly: its
  // index (-1 for none), or the item (null for none).
  int SubstitutionIndex(std::u16string_view key) const noexcept;
  const TSubstitution* FindSubstitution(std::u16string_view key) const noexcept;

  // Every expansion of the templates: each placeholder is replaced by the
  // substitution's normalised key and then by each of its normalised words
  // (in their sorted order), placeholder after placeholder, so several
  // placeholders give the product. A template with an unmatched mark or an
  // unknown key is dropped; one without marks is copied; duplicates stay.
  // At most MaxExpansions texts come back, the first ones of that order:
  // a few placeholders with many words would otherwise ask for more memory
  // than there is, and no list offers that many options to match.
  // Reports with LexiconExpandSubstitutions.
  static constexpr size_t MaxExpansions = 10000;
  std::vector<std::u16string> ExpandSubstitutions(
      const std::vector<std::u16string>& templates) const;
  // The same into a list, which is emptied first (give an unsorted one to
  // keep the order and the duplicates).
  void ExpandSubstitutions(const TWideStringList& templates, TWideStringList& result) const;

  // Renormalises every substitution, then every goal.
  void Renormalize();
  // Empties Separators, StopWords, Substitutions and Goals.
  void Clear();

  // Clears, then reads format B for a version above 9 and format A
  // otherwise. False on a short read or a negative length, with what was
  // read so far kept (each item renormalised); LoadFromReader leaves the
  // failing byte offset in the reader. A repeated stop word raises
  // "String list does not allow duplicates" (the reader then fails at the
  // start of that word).
  bool LoadFromStream(TMemoryStream& stream, int32_t version);
  bool LoadFromReader(TStreamReader& reader, int32_t version);
  // Writes format B (LexiconStreamVersion) at the stream's position. The
  // normalised forms are not written: a load computes them again, so an
  // item whose forms were set by hand or have not followed a change of the
  // separators comes back renormalised.
  void SaveToStream(TMemoryStream& stream) const;

  // Clears dest, copies the separators and stop words, appends a copy of
  // every substitution and goal as they stand, then fires this lexicon's
  // notification. Assigning a lexicon to itself changes nothing.
  void AssignTo(TLexicon& dest);

  // Same separators, stop words and items (handlers are not compared).
  friend bool operator==(const TLexicon& a, const TLexicon& b);

protected:
  // Whether a lower-cased piece of a text is a stop word.
  virtual bool IsStopWord(std::u16string_view piece) const;

private:
  friend struct TLexiconLayout;
  std::u16string NormalizeText(std::u16string_view text) const;
  template <class Item>
  void Hook(Item& item);

  int32_t updateCount_ = 0;
  std::u16string separators_;
  std::bitset<65536> separatorTable_;  // indexed by code unit: one lookup per character
  TWideStringList stopWords_;
  TSubstitutions substitutions_;
  TGoals goals_;
};

template <class Item>
size_t TLexiconItems<Item>::CheckIndex(int index) const {
  if (index < 0 || index >= Count()) RaiseListIndexError(index);
  return static_cast<size_t>(index);
}

}  // namespace qm
