// The content a new store starts with, kept as data: DefaultContent.json in
// this folder (one entry per profile field, with its group, caption, field
// name, input kind and synonyms, plus the lexicon's separators, stop words
// and substitutions, and the profiles). The build compiles the file in, so
// the program needs nothing installed beside it.
//
// Thread safe.
#pragma once

#include <string_view>

#include "manager/store/StoreTypes.h"

namespace qm::manager {

// The compiled-in content, parsed once.
const TStoreSeed& DefaultContent();

// Parses a content document; raises EStoreError naming the place of the
// first problem ("fields[3].synonyms[1]: must be a text").
TStoreSeed ParseDefaultContent(std::string_view json);

// The compiled-in document's text.
std::string_view DefaultContentText();

// A seed's lexicon with one goal per field, its synonyms, as a new store
// holds it; and the seed's fields.
TLexiconData SeedLexicon(const TStoreSeed& seed);
std::vector<TFieldDef> SeedFields(const TStoreSeed& seed);

}  // namespace qm::manager
