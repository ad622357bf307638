// TTransitCardIndex: the best card of a form set for many probes, without
// comparing each probe with every card.
//
// A page of thousands of forms, filled from a stored set of as many cards,
// would otherwise score every form against every card. But a card scores
// 100 against a probe exactly when their exact keys are equal: the same
// method and, field for field, the same indexed fields in order and the
// same unindexed fields in any order, each taken by ElementIndex, TagName,
// InputType and Name, and for submit and hidden inputs also by the
// collation key of Value (LocaleEqualKey: equal keys are exactly the
// locale-equal values); a click card by its address alone. So the index
// keeps the cards by key and answers a probe from the cards of its key,
// each confirmed with Compare; only a probe that no card scores 100
// against is scored against every card, as TTransitFormSet::FindBestCard
// does. The answer is always FindBestCard's: the first card of the best
// score.
//
// A set of few cards is simply walked: keys cost more than a walk there,
// where most comparisons end at the first field.
//
// The index refers to the set: the set must outlive it and stay unchanged.
// Not synchronised; one thread at a time (collation keys are per thread).
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "core/Common/QMTransitUtils.h"

namespace qm {

class TTransitCardIndex {
public:
  explicit TTransitCardIndex(const TTransitFormSet& set);

  // As set.FindBestCard(probe, bestIndex).
  int FindBestCard(TTransitFormCard& probe, int* bestIndex = nullptr) const;
  // The same answer without copying the card into probe: the score, and
  // bestIndex (-1 when the score is 0).
  int BestCard(const TTransitFormCard& probe, int& bestIndex) const;

  // The exact key of a card (see the header comment).
  static std::string ExactKey(const TTransitFormCard& card);

  // Sets of more cards than this are indexed.
  static constexpr int WalkedCards = 32;

private:
  const TTransitFormSet& set_;
  std::unordered_map<std::string, std::vector<int>> byKey_;
};

}  // namespace qm
