#include "core/Common/QMAgentUtils.h"

#include "core/Common/QMCommonUtils.h"
#include "core/Common/TextUtils.h"

namespace qm {

std::u16string TFormSet::ChosenCard() const {
  for (int i = 0; i < cardNames_.Count(); ++i) {
    if (cardNames_.Objects(i) != 0) return cardNames_[i];
  }
  return {};
}

TFormSet& TFormCards::AddFormSet(std::u16string name) {
  TFormSet& set = Add();
  set.SetFormSetName(std::move(name));
  return set;
}

TFormSet* TFormCards::FindFormSet(std::u16string_view name) {
  for (TFormSet& set : *this) {
    if (set.FormSetName() == name) return &set;
  }
  return nullptr;
}

void TFormCards::AddEntries(const TWideStringList& entries, std::u16string_view chosenSet,
                            std::u16string_view chosenCard) {
  for (int i = 0; i < entries.Count(); ++i) {
    auto [setName, cardName] = SplitNameValue(Trim(entries[i]));
    TFormSet* set = FindFormSet(setName);
    if (set == nullptr) set = &AddFormSet(std::move(setName));
    TWideStringList& names = set->CardNames();
    if (!names.Contains(cardName)) names.Add(std::move(cardName));
    if (set->FormSetName() == chosenSet) {
      const int chosen = names.IndexOf(chosenCard);
      if (chosen >= 0) names.SetObject(chosen, ChosenCardMark);
    }
  }
}

}  // namespace qm
