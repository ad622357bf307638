#include "manager/store/StoreTypes.h"

namespace qm::manager {
namespace {

constexpr const char* InputKindNames[] = {"text", "password", "email", "tel"};
constexpr const char* CardKindNames[] = {"formset", "navigation", "mail"};

}  // namespace

const char* InputKindName(int32_t kind) {
  if (kind < InputKindText || kind > InputKindTelephone) return "text";
  return InputKindNames[kind];
}

bool InputKindFromName(std::string_view name, int32_t& kind) {
  for (int32_t i = InputKindText; i <= InputKindTelephone; ++i) {
    if (name == InputKindNames[i]) {
      kind = i;
      return true;
    }
  }
  return false;
}

const char* CardKindName(int32_t kind) {
  if (kind < StoredFormSet || kind > StoredMail) return "unknown";
  return CardKindNames[kind];
}

bool CardKindFromName(std::string_view name, int32_t& kind) {
  for (int32_t i = StoredFormSet; i <= StoredMail; ++i) {
    if (name == CardKindNames[i]) {
      kind = i;
      return true;
    }
  }
  // The manager's first version wrote form sets as "formSet".
  if (name == "formSet") {
    kind = StoredFormSet;
    return true;
  }
  return false;
}

}  // namespace qm::manager
