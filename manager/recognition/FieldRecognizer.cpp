#include "manager/recognition/FieldRecognizer.h"

#include <algorithm>
#include <tuple>

#include "core/Common/QMLexicon.h"
#include "core/Common/TextUtils.h"
#include "platform/rtl/Utf.h"

namespace qm::manager {
namespace {

std::vector<std::u16string_view> SplitWords(const String& normalized) {
  std::vector<std::u16string_view> words;
  size_t start = 0;
  while (start <= normalized.size()) {
    const size_t space = normalized.find(u' ', start);
    const size_t end = space == String::npos ? normalized.size() : space;
    if (end > start) words.emplace_back(normalized.data() + start, end - start);
    if (space == String::npos) break;
    start = space + 1;
  }
  return words;
}

size_t WordCount(const String& normalized) {
  return SplitWords(normalized).size();
}

}  // namespace

TFieldRecognizer::TFieldRecognizer(const TLexicon& lexicon, std::vector<TFieldDef> fields)
    : lexicon_(lexicon), fields_(std::move(fields)) {
  for (size_t i = 0; i < fields_.size(); ++i) {
    AddSynonym(lexicon_.Normalize(fields_[i].FieldName), i);
    AddSynonym(lexicon_.Normalize(fields_[i].Caption), i);
  }
  const TGoals& goals = lexicon_.Goals();
  for (int g = 0; g < goals.Count(); ++g) {
    const TGoalList& goal = goals[g];
    for (size_t i = 0; i < fields_.size(); ++i) {
      if (!SameTextIgnoreCase(goal.Key(), fields_[i].FieldName)) continue;
      const TWideStringList& words = goal.NormalizedWords();
      for (int w = 0; w < words.Count(); ++w)
        AddSynonym(words[w], i);
      break;
    }
  }
}

void TFieldRecognizer::AddSynonym(const String& synonym, size_t field) {
  if (synonym.empty()) return;
  std::vector<size_t>& owners = synonyms_[synonym];
  if (std::find(owners.begin(), owners.end(), field) != owners.end()) return;
  owners.push_back(field);
  std::sort(owners.begin(), owners.end());
  longestSynonymWords_ = std::max(longestSynonymWords_, WordCount(synonym));
}

bool TFieldRecognizer::Eligible(const TFieldDef& field, int32_t inputKind) const {
  // A secret never lands in a visible input, and a password input takes
  // nothing but a secret; an e-mail input takes nothing but an address.
  if ((field.InputKind == InputKindPassword) != (inputKind == InputKindPassword)) return false;
  return inputKind != InputKindEmail || field.InputKind == InputKindEmail;
}

int TFieldRecognizer::Preference(const TFieldDef& field, int32_t inputKind) const {
  return inputKind == InputKindTelephone && field.InputKind == inputKind ? 1 : 0;
}

std::optional<TRecognition> TFieldRecognizer::Recognize(const String& tag, const String& inputType,
                                                        const String& name) const {
  const String type = AsciiLowerCase(Trim(inputType));
  const bool input = AsciiLowerCase(Trim(tag)) == u"input";
  int32_t inputKind = InputKindText;
  if (input && type == u"password") inputKind = InputKindPassword;
  if (input && type == u"email") inputKind = InputKindEmail;
  if (input && type == u"tel") inputKind = InputKindTelephone;

  TRecognition result;
  result.NormalizedName = lexicon_.Normalize(name);
  const std::vector<std::u16string_view> words = SplitWords(result.NormalizedName);

  std::optional<TCandidate> best;
  int bestPreference = -1;
  bool bestExact = false;
  auto consider = [&](const String& synonym, size_t end, bool exact) {
    const auto found = synonyms_.find(synonym);
    if (found == synonyms_.end()) return;
    for (size_t field : found->second) {
      if (!Eligible(fields_[field], inputKind)) continue;
      const TCandidate candidate{field, synonym.size(), end, synonym};
      const int preference = Preference(fields_[field], inputKind);
      // Preferred kind first, then an exact match, then length, then the
      // rightmost end; the first field listed keeps a full tie.
      const auto rank = [](int p, bool e, const TCandidate& c) {
        return std::make_tuple(p, e, c.Length, c.End);
      };
      if (!best || rank(preference, exact, candidate) > rank(bestPreference, bestExact, *best) ||
          (rank(preference, exact, candidate) == rank(bestPreference, bestExact, *best) &&
           candidate.Field < best->Field)) {
        best = candidate;
        bestPreference = preference;
        bestExact = exact;
      }
    }
  };

  if (!result.NormalizedName.empty()) {
    consider(result.NormalizedName, words.size(), true);
    for (size_t first = 0; first < words.size(); ++first) {
      String phrase;
      for (size_t last = first; last < words.size() && last - first < longestSynonymWords_;
           ++last) {
        if (last > first) phrase += u' ';
        phrase.append(words[last]);
        if (first == 0 && last + 1 == words.size()) continue;  // the whole name: done above
        consider(phrase, last + 1, false);
      }
    }
  }

  if (best) {
    result.Field = fields_[best->Field];
    result.Via = bestExact ? TRecognition::TVia::Exact : TRecognition::TVia::Words;
    result.Synonym = best->Synonym;
    return result;
  }
  // An e-mail or telephone input whose name matches nothing: the first
  // field of its kind.
  for (const TFieldDef& field : fields_) {
    if (inputKind != InputKindEmail && inputKind != InputKindTelephone) break;
    if (field.InputKind != inputKind) continue;
    result.Field = field;
    result.Via = TRecognition::TVia::InputType;
    return result;
  }
  return std::nullopt;
}

std::string DescribeRecognition(const TRecognition& recognition) {
  const std::string name = platform::Utf16ToUtf8(recognition.NormalizedName);
  const std::string synonym = platform::Utf16ToUtf8(recognition.Synonym);
  switch (recognition.Via) {
    case TRecognition::TVia::Exact:
      return "the name '" + name + "' is a synonym of the field";
    case TRecognition::TVia::Words:
      return "the synonym '" + synonym + "' inside '" + name + "'";
    case TRecognition::TVia::InputType:
      return "the input type, as the name '" + name + "' matches nothing";
  }
  return {};
}

}  // namespace qm::manager
