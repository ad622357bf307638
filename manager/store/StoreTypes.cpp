#include "manager/store/StoreTypes.h"

namespace qm::manager {
namespace {

constexpr const char* InputKindNames[] = {"text", "password", "email", "tel"};

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

}  // namespace qm::manager
