// Field recognition: which profile field a page control is, from its tag,
// input type and name.
//
// The knowledge is the lexicon's goals (a goal's key is a field name, its
// words the field's synonyms) plus each field's own name and caption. All
// of them and the control's name are normalised by the lexicon (lower case,
// cut at the separators, stop words dropped), so "billing_First-Name" is
// the words "billing first name".
//
// The choice, in order:
//  1. an exact match: the normalised name is one of a field's synonyms;
//  2. else the longest synonym (in characters) found as whole words inside
//     the name ("first name" in "billing first name"); between equally
//     long ones the one further right wins, as the last word of a compound
//     name is its head ("login email" is an e-mail);
//  3. the input type has its say: a password input takes password fields
//     only, and a password field fills password inputs only; an e-mail
//     input takes e-mail fields only; a telephone input prefers telephone
//     fields among the candidates (sites use it for any number, card
//     numbers too). An e-mail or telephone input whose name gives no
//     candidate takes the first field of its kind.
// Ties left after that go to the field listed first.
//
// Ownership: the recogniser keeps a reference to the lexicon it was built
// with, which must outlive it, and copies of the fields. Not synchronised;
// the manager uses it under its lock. Immutable after construction.
#pragma once

#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "manager/store/StoreTypes.h"

namespace qm {
class TLexicon;
}

namespace qm::manager {

struct TRecognition {
  enum class TVia { Exact, Words, InputType };
  TFieldDef Field;
  TVia Via = TVia::Exact;
  String Synonym;         // the normalised synonym that matched (empty for InputType)
  String NormalizedName;  // the control's name, normalised
};

class TFieldRecognizer {
public:
  TFieldRecognizer(const TLexicon& lexicon, std::vector<TFieldDef> fields);

  // tag and inputType in any letter case. nullopt when nothing fits.
  std::optional<TRecognition> Recognize(const String& tag, const String& inputType,
                                        const String& name) const;

  const std::vector<TFieldDef>& Fields() const noexcept { return fields_; }

private:
  struct TCandidate {
    size_t Field;
    size_t Length;
    size_t End;  // word position after the synonym's last word
    String Synonym;
  };
  void AddSynonym(const String& synonym, size_t field);
  bool Eligible(const TFieldDef& field, int32_t inputKind) const;
  int Preference(const TFieldDef& field, int32_t inputKind) const;

  const TLexicon& lexicon_;
  std::vector<TFieldDef> fields_;
  // Normalised synonym -> the fields that have it, in field order.
  std::unordered_map<String, std::vector<size_t>> synonyms_;
  size_t longestSynonymWords_ = 1;
};

// How a recognition came about, in words, for people:
// "the synonym 'first name' inside 'billing first name'".
std::string DescribeRecognition(const TRecognition& recognition);

}  // namespace qm::manager
