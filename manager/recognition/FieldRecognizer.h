// Field recognition: which profile field a page control is, from its tag,
// input type and name.
//
// The knowledge is the lexicon's goals (a goal's key is a field name, its
// words the field's synonyms), each field's own name and caption (which
// give way to a synonym that reads the same), and the recognition rules
// (RecognitionRules.h). Names and synonyms are read alike into words by
// TNameReader, so "billingFirstName", "billing_first_name" and
// "ctl00$Main$txtBillingFirstName" all hold the synonym "first name".
//
// The choice, in order:
//  1. Every synonym found in the name as whole words is a candidate: inside
//     one part of the path, or across parts ("company[name]", passing by a
//     number that ends a part: "fullName3[first]").
//  2. A candidate stands only when nothing after it says something else:
//     what may follow are context words ("email_billing"), control kinds
//     ("email_input"), numbers ("phone2"), trailing words ("phone_number",
//     "country_id"), words of the same field, confirm words for an e-mail
//     address or a password ("email_confirm"), and date parts, which make
//     the part's field ("dob_day" is the day of birth). A number after a
//     word that numbered synonyms use ("address3") stands for no field of
//     those. Before it may stand anything ("debit_card_number"), except
//     for a weak synonym ("name", "title"), before which in its part and
//     in the part that holds it stand only context words, control kinds,
//     containers, numbers and words of the same field ("user[name]" is a
//     name, "product[name]" is not).
//  3. A block word anywhere in the name not covered by the synonym
//     ("coupon", "friend", "opt") means the control holds no profile field.
//  4. Of the standing candidates the one that ends last wins, as the last
//     word of a compound name is its head ("address[city]" is the city);
//     then one inside a part over one across parts ("user[name]" is the
//     full name, not the user name); then the longer. A synonym that
//     reaches past another only by trailing words does not outrank it:
//     "work_phone_number" is the work phone, not "phone number". Phrases the rules
//     know as no field ("phone country code") take part and win as none.
//     Two fields still tied leave the control unrecognised: a wrong field
//     is worse than none.
//  5. The input type: a password input takes password fields only and a
//     password field fills password inputs only; an e-mail input takes
//     e-mail fields only; a telephone input prefers telephone fields in a
//     tie (sites use it for any number, card numbers too); a check box or
//     radio button takes a field only as a weak synonym would ("gender",
//     not "is_company"). An e-mail or
//     telephone input whose name names nothing (no synonym, no block word,
//     no unknown word in its last part) takes the first field of its kind;
//     so does a password input named by a confirmation alone ("confirm").
// Only the last 64 words of a name are read: the head is at its end.
//
// Ownership: the recogniser copies what it needs of the lexicon, the
// fields and the rules. Immutable after construction, so thread safe.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "manager/recognition/NameReader.h"
#include "manager/recognition/RecognitionRules.h"
#include "manager/store/StoreTypes.h"

namespace qm {
class TLexicon;
}

namespace qm::manager {

struct TRecognition {
  enum class TVia { Words, InputType };
  TFieldDef Field;
  TVia Via = TVia::Words;
  String Synonym;   // the synonym that matched, as read ("first name"); empty for InputType
  String Matched;   // the characters of the name it came from ("FirstName")
  String DatePart;  // the word that chose a date part's field ("dd"); empty for none
  String Words;     // the whole name as read, its parts joined by " | "
};

// A recognition with its reasons, for people (quillora-manager resolve).
struct TRecognitionReport {
  std::optional<TRecognition> Found;
  String Words;     // the name as read, as in TRecognition
  std::string Why;  // why this field, or why none
};

class TFieldRecognizer {
public:
  TFieldRecognizer(const TLexicon& lexicon, std::vector<TFieldDef> fields,
                   const TRecognitionRules& rules = DefaultRecognitionRules());

  // tag and inputType in any letter case. nullopt when nothing fits.
  std::optional<TRecognition> Recognize(const String& tag, const String& inputType,
                                        const String& name) const;
  TRecognitionReport Explain(const String& tag, const String& inputType,
                             const String& name) const;

  const std::vector<TFieldDef>& Fields() const noexcept { return fields_; }
  // The phrases that synonyms of more than one field read as: each makes
  // its names ambiguous. Empty for sound data.
  std::vector<String> SharedSynonyms() const;

  // The input kind of a check box or radio button, which no field has.
  static constexpr int32_t InputKindChoice = -2;

  // How a decision came about; the words' roles in the name.
  enum class TRole : uint8_t {
    Unknown, Context, Control, Container, Trailing, Confirm, Block, Day, Month, Year
  };
  enum class TOutcome : uint8_t {
    Found, Empty, NoSynonym, Blocked, Unexplained, Weak, Ambiguous, NotField, InputKind,
    Numbered, Confirm
  };
  struct TDecision {
    TOutcome Outcome = TOutcome::NoSynonym;
    int Field = -1;         // Found: index into Fields(); Ambiguous: one of the two
    int Other = -1;         // Ambiguous: the other field
    size_t First = 0;       // the synonym's words [First, End)
    size_t End = 0;
    int PartWord = -1;      // the date part's word, -1 for none
    size_t Word = 0;        // the word a failure is about
    bool ByInputType = false;
  };

private:
  static constexpr int NotField = -1;

  struct TTerm {
    std::vector<int> Fields;  // in field order
    bool NotField = false;
    bool FromSynonym = false;  // a goal's word, not a caption or field name
  };
  struct TCandidate {
    int Field;  // NotField for a phrase known to be no field
    size_t First, End;
    bool Spanning;  // across parts of the path
    size_t Chars;
  };
  struct TCheck {
    TOutcome Outcome = TOutcome::Found;
    size_t Word = 0;
    int Field = -1;  // the field it makes (a date part's, or its own)
    int PartWord = -1;
  };
  // What a candidate's check carries from word to word.
  struct TScope {
    const TCandidate& Candidate;
    bool Weak = false;
    bool Confirmable = false;  // a field an e-mail or password
    uint32_t Part = 0;          // the part its synonym starts in
    int64_t Holder = -1;        // the nearest part before that one
    int Parts[3] = {-1, -1, -1};  // the words naming a day, month, year after it
  };
  struct TChoice {
    const TCandidate* Best = nullptr;
    TCheck BestCheck;
    std::vector<int> Tied;  // fields of the candidates ranked as best
    const TCandidate* Closest = nullptr;  // the failed one nearest to best, for the reason
    TCheck ClosestCheck;
  };
  struct TWordInfo {
    TRole Role = TRole::Unknown;
    bool Known = false;                   // a word of some synonym
    const std::vector<int>* Alone = nullptr;  // fields it is a whole synonym of
  };

  void AddTerm(const String& text, int field, bool fromSynonym);
  void LearnRules(const TRecognitionRules& rules);
  void LearnWords();
  int FieldIndex(const String& fieldName) const;
  bool Eligible(int field, int32_t inputKind) const;
  TDecision Decide(const std::vector<TNameWord>& words, const std::vector<TWordInfo>& info,
                   int32_t inputKind) const;
  std::vector<TCandidate> Candidates(const std::vector<TNameWord>& words, int32_t inputKind,
                                     bool& ineligible) const;
  TCheck Check(const TCandidate& candidate, const std::vector<TNameWord>& words,
               const std::vector<TWordInfo>& info, int32_t inputKind) const;
  // Whether word k, outside the candidate, lets it stand; nullopt when it does.
  std::optional<TOutcome> Judge(TScope& scope, const std::vector<TNameWord>& words,
                                const std::vector<TWordInfo>& info, size_t k) const;
  TChoice Choose(const std::vector<TCandidate>& candidates, const std::vector<TNameWord>& words,
                 const std::vector<TWordInfo>& info, int32_t inputKind) const;
  TDecision Settle(TChoice choice, int32_t inputKind) const;
  // Whether another standing candidate starts before this one and ends
  // inside it, this one going on past it by trailing words only.
  bool Shadowed(const TCandidate& candidate, const std::vector<TCandidate>& candidates,
                const std::vector<TCheck>& checks, const std::vector<TWordInfo>& info) const;
  bool TakesByInputType(const std::vector<TNameWord>& words, const std::vector<TWordInfo>& info,
                        int32_t inputKind, TDecision& decision) const;
  std::vector<TWordInfo> WordInfo(const std::vector<TNameWord>& words) const;
  std::string Why(const TDecision& decision, const std::vector<TNameWord>& words,
                  const std::vector<TWordInfo>& info, const String& name,
                  int32_t inputKind) const;
  std::string WhyFound(const TDecision& decision, const std::vector<TNameWord>& words,
                       const std::vector<TWordInfo>& info, const String& name) const;
  TRecognition Result(const TDecision& decision, const std::vector<TNameWord>& words,
                      const String& name) const;

  std::vector<TFieldDef> fields_;
  TNameReader reader_;
  std::unordered_map<String, TTerm> terms_;
  size_t longestTerm_ = 1;  // in words
  std::unordered_map<String, TRole> roles_;
  std::unordered_set<String> known_;     // every word of every synonym
  // Every word that has a role or is a synonym's word, with what it is:
  // one look-up per word of a name.
  std::unordered_map<String, TWordInfo> about_;
  std::unordered_set<String> weak_;
  std::unordered_set<String> numbered_;  // words a synonym follows with a number
  // Per field: the fields of its day, month and year (-1: none).
  std::vector<std::array<int, 3>> dateParts_;
};

}  // namespace qm::manager
