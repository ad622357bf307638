#include "core/Common/QMTransitIndex.h"

#include <algorithm>
#include <cstdint>

#include "core/Common/LocationCodes.h"
#include "core/Common/TextUtils.h"
#include "core/Common/VxSystem.h"

namespace qm {
namespace {

// Appends a text with its length, so that no two lists of texts share a key.
void AddText(std::string& key, std::u16string_view text) {
  const auto length = static_cast<uint32_t>(text.size());
  key.append(reinterpret_cast<const char*>(&length), sizeof length);
  key.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(char16_t));
}

// What a field is matched by.
std::string FieldKey(const TTransitField& field) {
  std::string key;
  const int32_t index = field.ElementIndex;
  key.append(reinterpret_cast<const char*>(&index), sizeof index);
  AddText(key, field.TagName);
  AddText(key, field.InputType);
  AddText(key, field.Name);
  if (transit_detail::NeedsEqualValue(field)) {
    const std::string value = LocaleEqualKey(field.Value);
    key += 'V';
    const auto length = static_cast<uint32_t>(value.size());
    key.append(reinterpret_cast<const char*>(&length), sizeof length);
    key += value;
  }
  return key;
}

}  // namespace

std::string TTransitCardIndex::ExactKey(const TTransitFormCard& card) {
  std::string key;
  if (card.Method == u"click") {
    key = "C";
    AddText(key, card.Url);
    return key;
  }
  key = "F";
  AddText(key, card.Method);
  std::vector<std::string> unindexed;
  for (const TTransitField& field : card.Fields) {
    if (field.ElementIndex >= 0) {
      key += 'I';
      key += FieldKey(field);
    } else {
      unindexed.push_back(FieldKey(field));
    }
  }
  std::sort(unindexed.begin(), unindexed.end());
  for (const std::string& field : unindexed) {
    key += 'U';
    key += field;
  }
  return key;
}

TTransitCardIndex::TTransitCardIndex(const TTransitFormSet& set) : set_(set) {
  if (set.Count() <= WalkedCards) return;
  for (int i = 0; i < set.Count(); ++i)
    byKey_[ExactKey(set[i])].push_back(i);
}

int TTransitCardIndex::FindBestCard(TTransitFormCard& probe, int* bestIndex) const {
  int at = -1;
  const int score = BestCard(probe, at);
  if (bestIndex != nullptr) *bestIndex = at;
  if (score > 0) probe.Assign(set_[at]);
  return score;
}

int TTransitCardIndex::BestCard(const TTransitFormCard& probe, int& bestIndex) const {
  return Reported(loc::TransitFindBestCard, [&] {
    bestIndex = -1;
    if (!byKey_.empty()) {
      const auto found = byKey_.find(ExactKey(probe));
      if (found != byKey_.end()) {
        for (int i : found->second) {
          if (set_[i].Compare(probe) != 100) continue;
          bestIndex = i;
          return 100;
        }
      }
    }
    // The set's own walk: a later card wins only with a greater score.
    int best = 0;
    for (int i = 0; i < set_.Count() && best < 100; ++i) {
      const int score = set_[i].Compare(probe);
      if (score > best) {
        best = score;
        bestIndex = i;
      }
    }
    return best;
  });
}

}  // namespace qm
