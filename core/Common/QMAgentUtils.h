// The agent's listing of the form cards that fit the current page: one
// TFormSet per form set the manager named, each with the names of its
// cards, one of which may carry the mark of the chosen card.
//
// TFormCards owns its TFormSets (TOwnedCollection); a TFormSet owns its
// CardNames. Sets keep the order in which the manager first named them,
// cards within a set likewise. Set names compare exactly; card names
// ignoring letter case (CardNames is a case-insensitive, unsorted list).
//
// Not synchronised; the agent uses it on its window's thread.
#pragma once

#include <string>
#include <string_view>

#include "core/Common/OwnedCollection.h"
#include "core/Common/WideStrings.h"

namespace qm {

// The object value of a marked (chosen) card name.
inline constexpr intptr_t ChosenCardMark = 1;

class TFormSet {
public:
  const TWideStringList& CardNames() const noexcept { return cardNames_; }
  TWideStringList& CardNames() noexcept { return cardNames_; }
  const std::u16string& FormSetName() const noexcept { return formSetName_; }
  void SetFormSetName(std::u16string name) { formSetName_ = std::move(name); }

  // The first marked card name, empty when none is marked.
  std::u16string ChosenCard() const;

  void Assign(const TFormSet& source) { *this = source; }
  friend bool operator==(const TFormSet&, const TFormSet&) = default;

private:
  TWideStringList cardNames_;
  std::u16string formSetName_;
};

class TFormCards : public TOwnedCollection<TFormSet> {
public:
  // Appends a new set with that name; the reference lives as long as the
  // set stays in the collection.
  TFormSet& AddFormSet(std::u16string name);
  // The first set named exactly name, or nullptr.
  TFormSet* FindFormSet(std::u16string_view name);

  // Adds the manager's "set=card" entries in order: each entry is trimmed
  // and split at its first "=" (no "=": the whole entry names the set and
  // the card name is empty); the set is found by exact name or appended;
  // the card name is appended unless the set already holds it (ignoring
  // case). In the set named chosenSet, the card named chosenCard (ignoring
  // case) is marked with ChosenCardMark once it is there. The listing is
  // not cleared first.
  void AddEntries(const TWideStringList& entries, std::u16string_view chosenSet,
                  std::u16string_view chosenCard);
};

}  // namespace qm
