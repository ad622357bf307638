// Reads a control name as the words sites build it from:
//
//  - the path separators cut it into parts ("ctl00$Main$txtTown" is
//    ctl00, Main, txtTown; "user[address][street2]" is user, address,
//    street2); a part of digits only is an index into the part before it
//    and reads as its ordinal, counted from 1 ("street[0]": street 1);
//  - inside a part, the lexicon's separators, a change of letter case
//    ("billingFirstName", "EMailAddress": E Mail Address) and a change
//    between letters and digits ("address1") end a word;
//  - words are case-folded and lose their accents ("Straße": strasse,
//    "prénom": prenom); the lexicon's stop words and the filler words go;
//    spellings of one word read as one ("nr" as "number");
//  - a word that is no known word but is made of known words is cut into
//    them, fewest pieces first ("billingfirstname": billing first name); a
//    filler word is a piece only between others ("nameoncard").
//    The known words are taught with LearnWords; a known word that is
//    itself made of others ("firstname") is cut too, so that "firstname",
//    "first_name" and "FirstName" read alike.
//
// Immutable after LearnWords; Read and Split are thread safe.
#pragma once

#include <bitset>
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "manager/recognition/RecognitionRules.h"

namespace qm {
class TLexicon;
}

namespace qm::manager {

struct TNameWord {
  String Text;            // folded
  uint32_t Part = 0;      // which part of the path, from 0
  uint32_t From = 0;      // where the word stands in the name, in UTF-16
  uint32_t To = 0;        // units (To exclusive); pieces of a cut word share them
  bool Digits = false;    // digits only
};

class TNameReader {
public:
  // Copies the lexicon's separators and stop words.
  TNameReader(const TLexicon& lexicon, const TRecognitionRules& rules);

  // The words of a name with glued words left whole.
  std::vector<TNameWord> Split(std::u16string_view name) const;
  // Teaches the words of texts (synonyms, field names) and of the rules'
  // lists, the rules' words as words of their own; replaces earlier ones.
  void LearnVocabulary(const std::vector<String>& texts, const TRecognitionRules& rules);
  // Teaches the known words (as Split gives them); replaces earlier ones.
  // Words of their own are never cut, even when made of known words
  // ("domain" is no "do main").
  void LearnWords(const std::vector<String>& words, const std::vector<String>& wordsOfTheirOwn);
  // The words of a name, glued words cut and filler words dropped.
  std::vector<TNameWord> Read(std::u16string_view name) const;
  // Read's words joined by spaces: two texts that give the same phrase are
  // the same synonym ("FirstName", "first_name", "firstname").
  String Phrase(std::u16string_view text) const;

  bool Known(std::u16string_view word) const { return atoms_.contains(word); }

private:
  struct THash {
    using is_transparent = void;
    size_t operator()(std::u16string_view text) const noexcept {
      return std::hash<std::u16string_view>{}(text);
    }
  };
  using TWordSet = std::unordered_set<String, THash, std::equal_to<>>;

  bool IsSeparator(char16_t c) const;
  bool IsPathSeparator(char16_t c) const;
  void SplitPart(std::u16string_view name, size_t from, size_t to, uint32_t part,
                 std::vector<TNameWord>& words) const;
  void AddWord(std::u16string_view name, size_t from, size_t to, uint32_t part,
               std::vector<TNameWord>& words) const;
  // The pieces a glued word is made of; empty when it is not.
  std::vector<String> Cut(std::u16string_view word, const TWordSet& known) const;

  String separators_;
  String pathSeparators_;
  std::bitset<128> asciiSeparators_, asciiPathSeparators_;  // the common case, at once
  TWordSet stopWords_;
  TWordSet fillers_;
  std::unordered_map<String, String, THash, std::equal_to<>> sameAs_;
  TWordSet atoms_;
  size_t longestAtom_ = 0;
};

// Case-folds a word and drops its accents: "Straße" gives "strasse".
String FoldWord(std::u16string_view word);

// Words [first, end) joined by spaces: "first name".
String JoinWords(const std::vector<TNameWord>& words, size_t first, size_t end);
// All words, the parts of the path joined by " | ": "user | address | street 2".
String ReadAs(const std::vector<TNameWord>& words);

}  // namespace qm::manager
