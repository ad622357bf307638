#include "manager/recognition/NameReader.h"

#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <limits>
#include <string>

#include "core/Common/QMLexicon.h"
#include "platform/rtl/IcuError.h"

namespace qm::manager {
namespace {

// Glued words are cut only this long; longer ones are no names people type.
constexpr size_t LongestCutWord = 64;
// A piece of a cut word has at least two letters: single letters would cut
// almost anything.
constexpr size_t ShortestPiece = 2;

bool IsDigit(char16_t c) {
  return c >= u'0' && c <= u'9';
}
bool IsUpper(char16_t c) {
  if (c < 0x80) return c >= u'A' && c <= u'Z';
  return u_isupper(c) != 0;
}
bool IsLower(char16_t c) {
  if (c < 0x80) return c >= u'a' && c <= u'z';
  return u_islower(c) != 0;
}

bool AllDigits(std::u16string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), IsDigit);
}

// "0" gives "1": the ordinal of an index counted from 0. Indexes too long
// to count stay as they are.
String Ordinal(std::u16string_view index) {
  if (index.size() > 9) return String(index);
  long value = 0;
  for (char16_t c : index)
    value = value * 10 + (c - u'0');
  String text;
  for (const char c : std::to_string(value + 1))
    text.push_back(static_cast<char16_t>(c));
  return text;
}

}  // namespace

String FoldWord(std::u16string_view word) {
  String out(word);
  bool ascii = true;
  for (char16_t& c : out) {
    if (c >= 0x80) {
      ascii = false;
      break;
    }
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
  }
  if (ascii) return out;
  // Full case folding ("ß" becomes "ss"), then the canonical decomposition,
  // whose combining marks are the accents.
  UErrorCode status = U_ZERO_ERROR;
  icu::UnicodeString text(word.data(), static_cast<int32_t>(word.size()));
  text.foldCase();
  const icu::Normalizer2* nfd = icu::Normalizer2::getNFDInstance(status);
  platform::CheckIcu(status, "Loading the decomposition");
  const icu::UnicodeString decomposed = nfd->normalize(text, status);
  platform::CheckIcu(status, "Decomposing a word");
  out.clear();
  for (int32_t i = 0; i < decomposed.length(); ++i) {
    const char16_t c = decomposed.charAt(i);
    if (u_getCombiningClass(c) == 0 && u_charType(c) != U_NON_SPACING_MARK) out.push_back(c);
  }
  return out;
}

TNameReader::TNameReader(const TLexicon& lexicon, const TRecognitionRules& rules)
    : separators_(lexicon.Separators()), pathSeparators_(rules.PathSeparators) {
  for (char16_t c : separators_) {
    if (c < 128) asciiSeparators_.set(c);
  }
  for (char16_t c : pathSeparators_) {
    if (c < 128) asciiPathSeparators_.set(c);
  }
  for (const String& word : lexicon.StopWords().ToVector())
    stopWords_.insert(FoldWord(word));
  for (const String& filler : rules.FillerWords) {
    for (const TNameWord& word : Split(filler))
      fillers_.insert(word.Text);
  }
  for (const std::vector<String>& group : rules.SameWords) {
    for (size_t i = 1; i < group.size(); ++i)
      sameAs_.emplace(FoldWord(group[i]), FoldWord(group[0]));
  }
}

bool TNameReader::IsSeparator(char16_t c) const {
  return c < 128 ? asciiSeparators_.test(c) : separators_.find(c) != String::npos;
}

bool TNameReader::IsPathSeparator(char16_t c) const {
  return c < 128 ? asciiPathSeparators_.test(c) : pathSeparators_.find(c) != String::npos;
}

std::vector<TNameWord> TNameReader::Split(std::u16string_view name) const {
  // Characters up to the space at the ends are no part of a name.
  size_t begin = 0, end = name.size();
  while (begin < end && name[begin] <= u' ') ++begin;
  while (end > begin && name[end - 1] <= u' ') --end;
  std::vector<TNameWord> words;
  uint32_t part = 0;
  size_t start = begin;
  for (size_t i = begin; i <= end; ++i) {
    if (i < end && !IsPathSeparator(name[i])) continue;
    if (i > start) {
      const std::u16string_view text = name.substr(start, i - start);
      if (AllDigits(text) && !words.empty()) {
        // An index into the part before: its ordinal, as a word of that part.
        words.push_back({Ordinal(text), words.back().Part, static_cast<uint32_t>(start),
                         static_cast<uint32_t>(i), true});
      } else {
        const size_t before = words.size();
        SplitPart(name, start, i, part, words);
        if (words.size() > before) ++part;
      }
    }
    start = i + 1;
  }
  return words;
}

void TNameReader::SplitPart(std::u16string_view name, size_t from, size_t to, uint32_t part,
                            std::vector<TNameWord>& words) const {
  size_t start = from;
  for (size_t i = from; i < to; ++i) {
    const char16_t c = name[i];
    if (IsSeparator(c)) {
      AddWord(name, start, i, part, words);
      start = i + 1;
      continue;
    }
    if (i == start) continue;
    const char16_t before = name[i - 1];
    const bool next_lower = i + 1 < to && IsLower(name[i + 1]);
    const bool boundary = IsDigit(c) != IsDigit(before) ||
                          (IsUpper(c) && IsLower(before)) ||
                          (IsUpper(c) && IsUpper(before) && next_lower);
    if (boundary) {
      AddWord(name, start, i, part, words);
      start = i;
    }
  }
  AddWord(name, start, to, part, words);
}

void TNameReader::AddWord(std::u16string_view name, size_t from, size_t to, uint32_t part,
                          std::vector<TNameWord>& words) const {
  if (to <= from) return;
  String text = FoldWord(name.substr(from, to - from));
  if (text.empty() || stopWords_.contains(text)) return;
  const bool digits = AllDigits(text);
  words.push_back({std::move(text), part, static_cast<uint32_t>(from), static_cast<uint32_t>(to),
                   digits});
}

std::vector<String> TNameReader::Cut(std::u16string_view word, const TWordSet& known) const {
  const size_t n = word.size();
  if (n < 2 * ShortestPiece || n > LongestCutWord) return {};
  // fewest[i]: the fewest known pieces that make word[0, i); from[i]: where
  // the last of them starts.
  constexpr size_t None = std::numeric_limits<size_t>::max();
  std::vector<size_t> fewest(n + 1, None), from(n + 1, 0);
  fewest[0] = 0;
  for (size_t i = ShortestPiece; i <= n; ++i) {
    const size_t shortestStart = i >= longestAtom_ ? i - longestAtom_ : 0;
    for (size_t start = shortestStart; start + ShortestPiece <= i; ++start) {
      if (fewest[start] == None || fewest[start] + 1 >= fewest[i]) continue;
      const std::u16string_view piece = word.substr(start, i - start);
      if (!known.contains(piece)) continue;
      if ((start == 0 || i == n) && fillers_.contains(piece)) continue;
      fewest[i] = fewest[start] + 1;
      from[i] = start;
    }
  }
  if (fewest[n] == None || fewest[n] < 2) return {};
  std::vector<String> pieces(fewest[n]);
  for (size_t end = n, k = pieces.size(); end > 0; end = from[end])
    pieces[--k] = String(word.substr(from[end], end - from[end]));
  return pieces;
}

void TNameReader::LearnWords(const std::vector<String>& words,
                             const std::vector<String>& wordsOfTheirOwn) {
  const TWordSet own(wordsOfTheirOwn.begin(), wordsOfTheirOwn.end());
  // Shortest first: whether a word is made of others depends only on the
  // shorter words, which are settled by then.
  std::vector<String> sorted = words;
  sorted.insert(sorted.end(), wordsOfTheirOwn.begin(), wordsOfTheirOwn.end());
  std::sort(sorted.begin(), sorted.end(), [](const String& a, const String& b) {
    return a.size() != b.size() ? a.size() < b.size() : a < b;
  });
  sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
  atoms_.clear();
  longestAtom_ = 0;
  for (const String& word : sorted) {
    if (word.size() < ShortestPiece || AllDigits(word)) continue;
    if (!own.contains(word) && !Cut(word, atoms_).empty()) continue;
    atoms_.insert(word);
    longestAtom_ = std::max(longestAtom_, word.size());
  }
}

void TNameReader::LearnVocabulary(const std::vector<String>& texts,
                                  const TRecognitionRules& rules) {
  std::vector<String> words, own;
  for (const String& text : texts) {
    for (const TNameWord& word : Split(text))
      words.push_back(word.Text);
  }
  for (const std::vector<String>& group : rules.SameWords)
    words.insert(words.end(), group.begin(), group.end());
  for (const std::vector<String>* list :
       {&rules.FillerWords, &rules.WholeWords, &rules.ContextWords, &rules.ControlWords,
        &rules.ContainerWords, &rules.TrailingWords, &rules.ConfirmWords, &rules.BlockWords,
        &rules.WeakWords, &rules.NotFields, &rules.DayWords, &rules.MonthWords,
        &rules.YearWords}) {
    for (const String& entry : *list) {
      for (const TNameWord& word : Split(entry))
        own.push_back(word.Text);
    }
  }
  LearnWords(words, own);
}

String TNameReader::Phrase(std::u16string_view text) const {
  const std::vector<TNameWord> words = Read(text);
  return JoinWords(words, 0, words.size());
}

std::vector<TNameWord> TNameReader::Read(std::u16string_view name) const {
  std::vector<TNameWord> read;
  const auto add = [&](TNameWord word) {
    if (fillers_.contains(word.Text)) return;
    if (const auto same = sameAs_.find(word.Text); same != sameAs_.end()) word.Text = same->second;
    read.push_back(std::move(word));
  };
  for (TNameWord& word : Split(name)) {
    if (!word.Digits && !atoms_.contains(word.Text)) {
      std::vector<String> pieces = Cut(word.Text, atoms_);
      if (!pieces.empty()) {
        for (String& piece : pieces)
          add({std::move(piece), word.Part, word.From, word.To, false});
        continue;
      }
    }
    add(std::move(word));
  }
  return read;
}

String JoinWords(const std::vector<TNameWord>& words, size_t first, size_t end) {
  String text;
  for (size_t i = first; i < end; ++i) {
    if (i > first) text += u' ';
    text += words[i].Text;
  }
  return text;
}

String ReadAs(const std::vector<TNameWord>& words) {
  String text;
  for (size_t i = 0; i < words.size(); ++i) {
    if (i > 0) text += words[i].Part == words[i - 1].Part ? u" " : u" | ";
    text += words[i].Text;
  }
  return text;
}

}  // namespace qm::manager
