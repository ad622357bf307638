// Between the store's lexicon records and the lexicon object that
// normalises texts and writes the version-10 stream.
//
// Building mirrors loading a stream: stop words, keys and words are taken
// as they stand (a repeated stop word is skipped rather than refused, as
// the store cannot hold a lexicon the stream reader would reject), and
// each item is then normalised with the separators and stop words. Words
// that normalise like an earlier word of the same item drop out.
//
// The lexicon belongs to the caller's thread.
#pragma once

#include <cstdint>
#include <vector>

#include "manager/store/StoreTypes.h"

namespace qm {
class TLexicon;
}

namespace qm::manager {

void BuildLexicon(const TLexiconData& data, TLexicon& lexicon);
TLexiconData LexiconDataOf(const TLexicon& lexicon);
// Makes word a synonym of the field named fieldName (its goal is made when
// missing) and of no other field: the user says the name means this
// field. Words are compared as the recogniser reads them, with
// normalizer's separators and stop words and the default recognition rules
// ("birth_day" and "birthday" are the same synonym). Answers whether the
// records changed; raises Exception for a word that reads as nothing.
bool AssignSynonym(TLexiconData& data, const TLexicon& normalizer, const String& fieldName,
                   const String& word);

// The version-10 stream of the records.
Bytes LexiconStream(const TLexiconData& data);

}  // namespace qm::manager
