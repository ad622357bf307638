// How the store lays out a protected profile's sealed data: the place each
// sealed value is bound to, and the plain form of a field's value and
// candidates. Shared by the store's units; stateless.
#pragma once

#include <optional>
#include <utility>

#include "manager/store/StoreTypes.h"

namespace qm::manager {

// The place a field's sealed value is bound to: the field's name.
String ValuePlace(const String& fieldName);
// The place a card's sealed bytes are bound to: its kind, owner key and
// name (ignoring case, as names are).
String CardPlace(int32_t kind, const String& ownerKey, const String& name);

// A field's value and candidates as one plain text to seal, and back;
// nullopt when the bytes are not one.
Bytes PackValue(const String& value, const String& candidates);
std::optional<std::pair<String, String>> UnpackValue(const Bytes& plain);

}  // namespace qm::manager
