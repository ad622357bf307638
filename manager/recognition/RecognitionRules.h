// The recogniser's knowledge of how sites build control names, beside the
// synonyms: which words only say where the control sits or what kind it
// is, which say that it holds no profile field at all, which are too
// general to name a field alone, and which parts of a date a word names.
// It is data, the "recognition" member of DefaultContent.json, compiled in
// with the rest of the default content; unlike the synonyms it is not kept
// in the store.
//
// Words are written as sites write them; the recogniser reads them the way
// it reads names (lower case, accents dropped), so "Straße" and "strasse"
// are one word.
//
// Immutable after parsing; thread safe.
#pragma once

#include <string_view>
#include <vector>

#include "manager/store/StoreTypes.h"

namespace qm::manager {

// A date field and the fields of its parts (field names; empty: none).
struct TDateFields {
  String Field;
  String Day, Month, Year;
};

struct TRecognitionRules {
  // Characters that separate the parts of a path ("ctl00$Main$txtName",
  // "user[address][city]", "profile.email"); the last part that says
  // something decides.
  String PathSeparators;
  // Words read as nothing: "of" in "date_of_birth", "de" in "mot_de_passe".
  std::vector<String> FillerWords;
  // Spellings of one word, read as the first of each group: "no", "nr" and
  // "num" as "number", "addr" as "address".
  std::vector<std::vector<String>> SameWords;
  // Words never cut into the known words they are made of: "birthday" is
  // a date, not the day of "birth_day".
  std::vector<String> WholeWords;
  // Whose or which control it is, without changing the field: "billing",
  // "shipping", "customer", "your"...
  std::vector<String> ContextWords;
  // The kind of control: "txt", "ddl", "input", "field"...
  std::vector<String> ControlWords;
  // What frameworks wrap controls in: "ctl", "content", "placeholder"...
  std::vector<String> ContainerWords;
  // Words that may follow a field's synonym without changing it:
  // "number" in "phone_number", "id" in "country_id".
  std::vector<String> TrailingWords;
  // The second box of an e-mail address or a password: "confirm", "retype".
  std::vector<String> ConfirmWords;
  // Words that say the control holds no profile field of the user:
  // "search", "coupon", "friend", "opt"...
  std::vector<String> BlockWords;
  // Synonyms too general to name a field when the rest of the name says
  // something else: "name" in "product_name", "title" in "post_title".
  std::vector<String> WeakWords;
  // Phrases that are known to be no profile field, though they end in a
  // field's synonym: "phone country code".
  std::vector<String> NotFields;
  // Words for the parts of a date ("dd", "month", "jahr"), and the date
  // fields that have parts.
  std::vector<String> DayWords, MonthWords, YearWords;
  std::vector<TDateFields> DateFields;
};

// Parses the "recognition" member of a content document; raises
// EStoreError naming the place of the first problem.
TRecognitionRules ParseRecognitionRules(std::string_view json);

// The compiled-in rules, parsed once.
const TRecognitionRules& DefaultRecognitionRules();

}  // namespace qm::manager
