// JSON form of the transit model, for people and tools: qmtool's encode and
// decode, the manager's import and export.
//
// A form set is {"Cards": [card, ...]}. A card is an object with the keys
// Url, Method, Charset, FormHtml (strings), CurrentForm (boolean),
// SubmitFieldIndex (integer), FormSysID (GUID text "{XXXXXXXX-...}") and
// Fields (array of fields). A field has ElementIndex, ValueKind (integers),
// and Name, TagName, InputType, ProfileField, Value, Values (strings).
// Writing gives every key, in that order. Reading takes a missing key as
// the item's initial value (a missing "Cards" as an empty set). Keys are
// capitalised, as in every JSON document of the project; reading also
// takes a key with a small first letter ("cards", which the first
// documents used), for one version.
//
// Bad input raises Exception (the common base) with a message that names
// the place: "cards[0].Fields[2].ElementIndex: expected an integer, found
// string". Unknown keys are refused rather than dropped, so a misspelt key
// never loses data silently; so are numbers outside int32, fractions, and
// malformed GUIDs. A text that holds an unpaired UTF-16 surrogate cannot be
// written as JSON and raises likewise.
//
// Stateless; thread safe.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "core/Common/QMTransitUtils.h"

namespace qm {

// Keys keep the order in which they were written.
using TJson = nlohmann::ordered_json;

TJson TransitFieldToJson(const TTransitField& field);
TJson TransitCardToJson(const TTransitFormCard& card);
TJson TransitSetToJson(const TTransitFormSet& set);

// path prefixes the place named in error messages ("cards[3]").
TTransitField TransitFieldFromJson(const TJson& json, const std::string& path = "field");
TTransitFormCard TransitCardFromJson(const TJson& json, const std::string& path = "card");
TTransitFormSet TransitSetFromJson(const TJson& json);

// Text forms (UTF-8). indent < 0 writes one line. Parsing raises Exception
// "Invalid JSON: ..." with the line and column of a syntax error.
std::string TransitSetToJsonText(const TTransitFormSet& set, int indent = 2);
TTransitFormSet TransitSetFromJsonText(std::string_view text);

}  // namespace qm
