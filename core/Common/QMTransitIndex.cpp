#include "core/Common/QMTransitIndex.h"

#include <algorithm>
#include <cstdint>

#include "core/Common/TextUtils.h"

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
  for (int i = 0; i < set.Count(); ++i)
    byKey_[ExactKey(set[i])].push_back(i);
}

int TTransitCardIndex::FindBestCard(TTransitFormCard& probe, int* bestIndex) const {
  const auto found = byKey_.find(ExactKey(probe));
  if (found != byKey_.end()) {
    for (int i : found->second) {
      if (set_[i].Compare(probe) != 100) continue;
      if (bestIndex != nullptr) *bestIndex = i;
      probe.Assign(set_[i]);
      return 100;
    }
  }
  return set_.FindBestCard(probe, bestIndex);
}

}  // namespace qm
