// A lexicon as JSON, for people (qmtool) and for the manager's import and
// export:
//
//   {"Separators": " -/",
//    "StopWords": ["or", "and"],
//    "Substitutions": [{"Key": "addons", "Words": ["add-ons", "add-on's"]}],
//    "Goals": [{"Key": "First name", "Words": ["given name"]}]}
//
// Reading mirrors the lexicon stream: stop words, keys and words are taken
// as they stand, and each item is then normalised with the separators and
// stop words of the document. A missing key means empty (an item's "Key"
// is required). An unknown key, a value of the wrong type or a repeated
// stop word raises Exception "Lexicon JSON: <where>: <what>", naming the
// place, e.g. "Goals[1].Words[0]". The lexicon is replaced only when the
// whole document was read, with one change notification.
//
// Writing raises for a text holding an unpaired surrogate, which JSON text
// cannot carry, rather than altering it.
//
// Thread safe as far as the lexicon handed in is used by this thread only.
#pragma once

#include <nlohmann/json_fwd.hpp>
#include <string>
#include <string_view>

#include "core/Common/QMLexicon.h"

namespace qm {

nlohmann::ordered_json LexiconToJson(const TLexicon& lexicon);
void LexiconFromJson(const nlohmann::ordered_json& json, TLexicon& lexicon);

// The same as text: indented by two spaces, with a final line end; parse
// errors raise "Lexicon JSON: <the parser's message>".
std::string LexiconToJsonText(const TLexicon& lexicon);
void LexiconFromJsonText(std::string_view text, TLexicon& lexicon);

}  // namespace qm
