// What the store keeps beside a form set's transit stream: the signature of
// each of its forms, by which MatchPageForms finds the stored forms that
// can score 100 against a page's form without reading every stored stream;
// and the readable JSON form of a stream for export.
//
// A score of 100 (TTransitFormCard::Compare) needs equal methods and, for
// a card that isn't a click card, the same indexed fields in the same
// order and the same unindexed fields, each compared on ElementIndex,
// TagName, InputType and Name (and, for submit and hidden inputs, a
// locale-equal Value). The shape hash covers everything but those values,
// so equal shapes are necessary, not sufficient: a lookup is confirmed
// with Compare itself. Click cards score on method and address alone and
// all share one shape.
//
// Thread safe (no state).
#pragma once

#include <vector>

#include "manager/store/JsonUtils.h"
#include "manager/store/StoreTypes.h"

namespace qm {
class TTransitFormCard;
class TTransitFormSet;
}  // namespace qm

namespace qm::manager {

TFormSignature SignatureOf(const TTransitFormCard& card);
// One signature per form of the set.
std::vector<TFormSignature> SignaturesOf(const TTransitFormSet& set);
// The same from a stream; none when the stream doesn't read whole.
std::vector<TFormSignature> FormSignaturesOf(const Bytes& stream);

// The stream as the transit JSON form; false (forms untouched) unless the
// stream reads whole and writes back to the very same bytes, so that the
// JSON form loses nothing.
bool FormSetToJson(const Bytes& stream, Json& forms);
// The stream of a transit JSON form; raises EStoreError naming where.
Bytes FormSetFromJson(const Json& forms, const std::string& where);

}  // namespace qm::manager
