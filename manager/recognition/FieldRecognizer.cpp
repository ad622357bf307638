#include "manager/recognition/FieldRecognizer.h"

#include <algorithm>
#include <tuple>

#include "core/Common/QMLexicon.h"
#include "core/Common/TextUtils.h"

namespace qm::manager {
namespace {

using TRole = TFieldRecognizer::TRole;
using TOutcome = TFieldRecognizer::TOutcome;
constexpr int32_t InputKindChoice = TFieldRecognizer::InputKindChoice;

int32_t InputKindOf(const String& tag, const String& inputType) {
  if (AsciiLowerCase(Trim(tag)) != u"input") return InputKindText;
  const String type = AsciiLowerCase(Trim(inputType));
  if (type == u"password") return InputKindPassword;
  if (type == u"email") return InputKindEmail;
  if (type == u"tel") return InputKindTelephone;
  if (type == u"checkbox" || type == u"radio") return InputKindChoice;
  return InputKindText;
}

// Real names hold a dozen words; a name of thousands is no name, and only
// its end, where the head is, is read.
constexpr size_t MostWords = 64;

std::vector<TNameWord> LastWords(std::vector<TNameWord> words) {
  if (words.size() > MostWords) words.erase(words.begin(), words.end() - MostWords);
  return words;
}

}  // namespace

TFieldRecognizer::TFieldRecognizer(const TLexicon& lexicon, std::vector<TFieldDef> fields,
                                   const TRecognitionRules& rules)
    : fields_(std::move(fields)), reader_(lexicon, rules) {
  // Every synonym with its field: the goals' words, then the fields' own
  // names and captions, which give way to a synonym that reads the same.
  std::vector<std::pair<String, int>> synonyms;
  const TGoals& goals = lexicon.Goals();
  for (int g = 0; g < goals.Count(); ++g) {
    const int field = FieldIndex(goals[g].Key());
    if (field < 0) continue;
    for (const String& word : goals[g].Words().ToVector())
      synonyms.emplace_back(word, field);
  }
  // The words glued names are cut into: those of all synonyms and rules.
  std::vector<String> texts;
  for (const auto& [synonym, field] : synonyms)
    texts.push_back(synonym);
  for (const TFieldDef& field : fields_) {
    texts.push_back(field.FieldName);
    texts.push_back(field.Caption);
  }
  reader_.LearnVocabulary(texts, rules);

  for (const auto& [synonym, field] : synonyms)
    AddTerm(synonym, field, true);
  for (size_t i = 0; i < fields_.size(); ++i) {
    AddTerm(fields_[i].FieldName, static_cast<int>(i), false);
    AddTerm(fields_[i].Caption, static_cast<int>(i), false);
  }
  for (const String& phrase : rules.NotFields)
    AddTerm(phrase, NotField, true);
  LearnRules(rules);
  LearnWords();
}

void TFieldRecognizer::LearnWords() {
  for (const String& word : known_)
    about_[word].Known = true;
  for (const auto& [word, role] : roles_)
    about_[word].Role = role;
  for (auto& [word, about] : about_) {
    if (const auto term = terms_.find(word); term != terms_.end()) about.Alone = &term->second.Fields;
  }
}

int TFieldRecognizer::FieldIndex(const String& fieldName) const {
  for (size_t i = 0; i < fields_.size(); ++i) {
    if (SameTextIgnoreCase(fields_[i].FieldName, fieldName)) return static_cast<int>(i);
  }
  return -1;
}

void TFieldRecognizer::AddTerm(const String& text, int field, bool fromSynonym) {
  const std::vector<TNameWord> words = reader_.Read(text);
  if (words.empty()) return;
  const String phrase = JoinWords(words, 0, words.size());  // as Phrase(text)
  TTerm& term = terms_[phrase];
  for (const TNameWord& word : words)
    known_.insert(word.Text);
  longestTerm_ = std::max(longestTerm_, words.size());
  if (words.size() >= 2 && words.back().Digits) numbered_.insert(words[words.size() - 2].Text);
  if (field == NotField) {
    term.NotField = true;
    return;
  }
  if (!fromSynonym && term.FromSynonym) return;  // a synonym says what this reads as
  if (fromSynonym && !term.FromSynonym) {
    term.Fields.clear();
    term.FromSynonym = true;
  }
  if (std::find(term.Fields.begin(), term.Fields.end(), field) != term.Fields.end()) return;
  term.Fields.push_back(field);
  std::sort(term.Fields.begin(), term.Fields.end());
}

void TFieldRecognizer::LearnRules(const TRecognitionRules& rules) {
  // A word listed twice keeps its first role, in this order.
  const std::pair<const std::vector<String>*, TRole> lists[] = {
      {&rules.BlockWords, TRole::Block},         {&rules.ConfirmWords, TRole::Confirm},
      {&rules.TrailingWords, TRole::Trailing},   {&rules.DayWords, TRole::Day},
      {&rules.MonthWords, TRole::Month},         {&rules.YearWords, TRole::Year},
      {&rules.ControlWords, TRole::Control},     {&rules.ContainerWords, TRole::Container},
      {&rules.ContextWords, TRole::Context}};
  for (const auto& [list, role] : lists) {
    for (const String& entry : *list) {
      // An entry that reads as several known words is those words, which
      // have their own roles.
      const std::vector<TNameWord> words = reader_.Read(entry);
      if (words.size() == 1) roles_.emplace(words[0].Text, role);
    }
  }
  for (const String& entry : rules.WeakWords) {
    const std::vector<TNameWord> words = reader_.Read(entry);
    if (words.size() == 1) weak_.insert(words[0].Text);
  }
  dateParts_.assign(fields_.size(), {-1, -1, -1});
  for (const TDateFields& date : rules.DateFields) {
    const int field = FieldIndex(date.Field);
    if (field < 0) continue;
    dateParts_[field] = {date.Day.empty() ? -1 : FieldIndex(date.Day),
                         date.Month.empty() ? -1 : FieldIndex(date.Month),
                         date.Year.empty() ? -1 : FieldIndex(date.Year)};
  }
}

std::vector<String> TFieldRecognizer::SharedSynonyms() const {
  std::vector<String> shared;
  for (const auto& [phrase, term] : terms_) {
    if (term.Fields.size() + (term.NotField ? 1 : 0) > 1) shared.push_back(phrase);
  }
  std::sort(shared.begin(), shared.end());
  return shared;
}

bool TFieldRecognizer::Eligible(int field, int32_t inputKind) const {
  // A secret never lands in a visible input, and a password input takes
  // nothing but a secret; an e-mail input takes nothing but an address.
  const int32_t kind = fields_[field].InputKind;
  if ((kind == InputKindPassword) != (inputKind == InputKindPassword)) return false;
  return inputKind != InputKindEmail || kind == InputKindEmail;
}

std::vector<TFieldRecognizer::TCandidate> TFieldRecognizer::Candidates(
    const std::vector<TNameWord>& words, int32_t inputKind, bool& ineligible) const {
  std::vector<TCandidate> candidates;
  for (size_t first = 0; first < words.size(); ++first) {
    if (words[first].Digits) continue;  // no synonym starts with a number
    String phrase;
    size_t chars = 0;
    for (size_t last = first; last < words.size() && last - first < longestTerm_; ++last) {
      // A number that ends a part before another is its generated id
      // ("fullName3[first]"); a phrase across the parts passes it by.
      if (last > first && words[last].Digits && last + 1 < words.size() &&
          words[last + 1].Part != words[last].Part) {
        continue;
      }
      if (last > first) phrase += u' ';
      phrase += words[last].Text;
      chars += words[last].Text.size();
      const bool spanning = words[first].Part != words[last].Part;
      auto found = terms_.find(phrase);
      if (found == terms_.end() && last > first && !spanning) {
        // Words a site wrote apart that a synonym glues ("home_page" and
        // "homepage").
        String glued;
        for (size_t k = first; k <= last; ++k)
          glued += words[k].Text;
        found = terms_.find(glued);
      }
      if (found == terms_.end()) continue;
      const TCandidate candidate{0, first, last + 1, spanning, chars};
      // A phrase known to be no field outranks a field's synonym inside it
      // wherever the parts fall ("phone[country]").
      if (found->second.NotField) {
        TCandidate notField = candidate;
        notField.Field = NotField;
        notField.Spanning = false;
        candidates.push_back(notField);
      }
      for (int field : found->second.Fields) {
        if (!Eligible(field, inputKind)) {
          ineligible = true;
          continue;
        }
        candidates.push_back(candidate);
        candidates.back().Field = field;
      }
    }
  }
  return candidates;
}

TFieldRecognizer::TCheck TFieldRecognizer::Check(const TCandidate& candidate,
                                                 const std::vector<TNameWord>& words,
                                                 const std::vector<TWordInfo>& info,
                                                 int32_t inputKind) const {
  TScope scope{candidate};
  const bool field = candidate.Field != NotField;
  // A check box or radio button is ticked, not typed into: a field's value
  // belongs to it only when its name says nothing else ("gender", not
  // "ship_to_different_address"), as for a weak synonym.
  scope.Weak = field && (inputKind == InputKindChoice ||
                         (candidate.End - candidate.First == 1 &&
                          weak_.contains(words[candidate.First].Text)));
  scope.Part = words[candidate.First].Part;
  for (size_t k = 0; k < candidate.First; ++k) {
    if (words[k].Part < scope.Part) scope.Holder = words[k].Part;
  }
  scope.Confirmable = field && (fields_[candidate.Field].InputKind == InputKindEmail ||
                                fields_[candidate.Field].InputKind == InputKindPassword);
  TCheck check;
  check.Field = candidate.Field;
  for (size_t k = 0; k < words.size(); ++k) {
    if (k >= candidate.First && k < candidate.End) continue;
    if (const std::optional<TOutcome> failed = Judge(scope, words, info, k)) {
      check.Outcome = *failed;
      check.Word = k;
      return check;
    }
  }
  // One part named: that part's field; several ("mm_yy"): the whole date.
  const int named = (scope.Parts[0] >= 0) + (scope.Parts[1] >= 0) + (scope.Parts[2] >= 0);
  if (named == 1) {
    for (int which = 0; which < 3; ++which) {
      if (scope.Parts[which] < 0) continue;
      check.Field = dateParts_[candidate.Field][which];
      check.PartWord = scope.Parts[which];
    }
  }
  return check;
}

std::optional<TFieldRecognizer::TOutcome> TFieldRecognizer::Judge(
    TScope& scope, const std::vector<TNameWord>& words, const std::vector<TWordInfo>& info,
    size_t k) const {
  const TCandidate& candidate = scope.Candidate;
  const TNameWord& word = words[k];
  const TWordInfo& about = info[k];
  if (word.Digits) {
    if (k == candidate.End && numbered_.contains(words[k - 1].Text)) return TOutcome::Numbered;
    return std::nullopt;
  }
  if (word.Text.size() == 1) return std::nullopt;
  if (about.Role == TRole::Block) return TOutcome::Blocked;
  if (candidate.Field != NotField && about.Alone &&
      std::find(about.Alone->begin(), about.Alone->end(), candidate.Field) !=
          about.Alone->end()) {
    return std::nullopt;  // a word of the same field
  }
  if (about.Role == TRole::Context || about.Role == TRole::Control ||
      about.Role == TRole::Container) {
    return std::nullopt;
  }
  if (about.Role == TRole::Confirm) {
    return scope.Confirmable ? std::nullopt : std::optional(TOutcome::Confirm);
  }
  if (k >= candidate.End) {
    if (about.Role == TRole::Trailing) return std::nullopt;
    if (candidate.Field != NotField && (about.Role == TRole::Day || about.Role == TRole::Month ||
                                        about.Role == TRole::Year)) {
      const int which = static_cast<int>(about.Role) - static_cast<int>(TRole::Day);
      if (dateParts_[candidate.Field][which] >= 0) {
        if (scope.Parts[which] < 0) scope.Parts[which] = static_cast<int>(k);
        return std::nullopt;
      }
    }
    return TOutcome::Unexplained;
  }
  const bool near = word.Part == scope.Part || static_cast<int64_t>(word.Part) == scope.Holder;
  return scope.Weak && near ? std::optional(TOutcome::Weak) : std::nullopt;
}

bool TFieldRecognizer::TakesByInputType(const std::vector<TNameWord>& words,
                                        const std::vector<TWordInfo>& info, int32_t inputKind,
                                        TDecision& decision) const {
  if (inputKind == InputKindPassword) {
    // The second box of a password may be named by the confirmation alone
    // ("confirm", "repeat"); anything more might be a card's code.
    bool confirms = false;
    for (size_t k = 0; k < words.size(); ++k) {
      if (words[k].Part != words.back().Part || words[k].Digits) continue;
      const TRole role = info[k].Role;
      if (role == TRole::Confirm) {
        confirms = true;
      } else if (role != TRole::Context && role != TRole::Control && role != TRole::Container) {
        return false;
      }
    }
    if (!confirms) return false;
  } else if (inputKind == InputKindEmail || inputKind == InputKindTelephone) {
    for (size_t k = 0; k < words.size(); ++k) {
      if (info[k].Role == TRole::Block) return false;
      // A word of its own in the name's last part says what the control
      // is, even when no synonym knows it ("otp", "ext").
      const bool unknown = info[k].Role == TRole::Unknown && !info[k].Known &&
                           !words[k].Digits && words[k].Text.size() >= 3;
      if (unknown && words[k].Part == words.back().Part) return false;
    }
  } else {
    return false;
  }
  for (size_t i = 0; i < fields_.size(); ++i) {
    if (fields_[i].InputKind != inputKind) continue;
    decision.Outcome = TOutcome::Found;
    decision.Field = static_cast<int>(i);
    decision.ByInputType = true;
    return true;
  }
  return false;
}

std::vector<TFieldRecognizer::TWordInfo> TFieldRecognizer::WordInfo(
    const std::vector<TNameWord>& words) const {
  std::vector<TWordInfo> info(words.size());
  for (size_t k = 0; k < words.size(); ++k) {
    if (const auto about = about_.find(words[k].Text); about != about_.end()) {
      info[k] = about->second;
    }
  }
  return info;
}

TFieldRecognizer::TChoice TFieldRecognizer::Choose(const std::vector<TCandidate>& candidates,
                                                   const std::vector<TNameWord>& words,
                                                   const std::vector<TWordInfo>& info,
                                                   int32_t inputKind) const {
  // The standing candidate that ends last, inside a part, longest; and the
  // failed one that came closest, for the reason.
  const auto rank = [](const TCandidate& c) {
    return std::make_tuple(c.End, !c.Spanning, c.End - c.First, c.Chars);
  };
  std::vector<TCheck> checks;
  checks.reserve(candidates.size());
  for (const TCandidate& candidate : candidates)
    checks.push_back(Check(candidate, words, info, inputKind));
  TChoice choice;
  for (size_t i = 0; i < candidates.size(); ++i) {
    const TCandidate& candidate = candidates[i];
    const TCheck& check = checks[i];
    if (check.Outcome != TOutcome::Found) {
      if (!choice.Closest || rank(candidate) > rank(*choice.Closest)) {
        choice.Closest = &candidate;
        choice.ClosestCheck = check;
      }
      continue;
    }
    if (Shadowed(candidate, candidates, checks, info)) continue;
    if (choice.Best && rank(candidate) < rank(*choice.Best)) continue;
    if (!choice.Best || rank(candidate) > rank(*choice.Best)) {
      choice.Best = &candidate;
      choice.BestCheck = check;
      choice.Tied.clear();
    }
    if (std::find(choice.Tied.begin(), choice.Tied.end(), check.Field) == choice.Tied.end()) {
      choice.Tied.push_back(check.Field);
    }
  }
  return choice;
}

bool TFieldRecognizer::Shadowed(const TCandidate& candidate,
                                const std::vector<TCandidate>& candidates,
                                const std::vector<TCheck>& checks,
                                const std::vector<TWordInfo>& info) const {
  for (size_t i = 0; i < candidates.size(); ++i) {
    const TCandidate& other = candidates[i];
    if (checks[i].Outcome != TOutcome::Found) continue;
    // Other starts before and ends inside this one...
    if (other.First >= candidate.First || other.End <= candidate.First) continue;
    if (other.End >= candidate.End) continue;
    // ...and this one goes on past it by trailing words only.
    bool trailing = true;
    for (size_t k = other.End; k < candidate.End; ++k)
      trailing = trailing && info[k].Role == TRole::Trailing;
    if (trailing) return true;
  }
  return false;
}

TFieldRecognizer::TDecision TFieldRecognizer::Settle(TChoice choice, int32_t inputKind) const {
  TDecision decision;
  decision.First = choice.Best->First;
  decision.End = choice.Best->End;
  decision.PartWord = choice.BestCheck.PartWord;
  std::vector<int>& tied = choice.Tied;
  if (std::find(tied.begin(), tied.end(), NotField) != tied.end()) {
    decision.Outcome = TOutcome::NotField;
    return decision;
  }
  if (tied.size() > 1 && inputKind == InputKindTelephone) {
    // A telephone input settles a tie for its own kind.
    std::vector<int> phones;
    for (int field : tied) {
      if (fields_[field].InputKind == InputKindTelephone) phones.push_back(field);
    }
    if (phones.size() == 1) tied = phones;
  }
  decision.Outcome = tied.size() > 1 ? TOutcome::Ambiguous : TOutcome::Found;
  decision.Field = tied[0];
  if (tied.size() > 1) decision.Other = tied[1];
  return decision;
}

TFieldRecognizer::TDecision TFieldRecognizer::Decide(const std::vector<TNameWord>& words,
                                                     const std::vector<TWordInfo>& info,
                                                     int32_t inputKind) const {
  TDecision decision;
  if (words.empty()) {
    decision.Outcome = TOutcome::Empty;
    return decision;
  }
  bool ineligible = false;
  const std::vector<TCandidate> candidates = Candidates(words, inputKind, ineligible);
  const TChoice choice = Choose(candidates, words, info, inputKind);
  if (choice.Best) return Settle(choice, inputKind);
  if (TakesByInputType(words, info, inputKind, decision)) return decision;
  for (size_t k = 0; k < words.size(); ++k) {
    if (info[k].Role != TRole::Block) continue;
    decision.Outcome = TOutcome::Blocked;
    decision.Word = k;
    return decision;
  }
  if (choice.Closest) {
    decision.Outcome = choice.ClosestCheck.Outcome;
    decision.Field = choice.Closest->Field;
    decision.First = choice.Closest->First;
    decision.End = choice.Closest->End;
    decision.Word = choice.ClosestCheck.Word;
    return decision;
  }
  decision.Outcome = ineligible ? TOutcome::InputKind : TOutcome::NoSynonym;
  return decision;
}

std::optional<TRecognition> TFieldRecognizer::Recognize(const String& tag, const String& inputType,
                                                        const String& name) const {
  const std::vector<TNameWord> words = LastWords(reader_.Read(name));
  const TDecision decision = Decide(words, WordInfo(words), InputKindOf(tag, inputType));
  if (decision.Outcome != TOutcome::Found) return std::nullopt;
  return Result(decision, words, name);
}

TRecognitionReport TFieldRecognizer::Explain(const String& tag, const String& inputType,
                                             const String& name) const {
  const std::vector<TNameWord> words = LastWords(reader_.Read(name));
  const std::vector<TWordInfo> info = WordInfo(words);
  const int32_t inputKind = InputKindOf(tag, inputType);
  const TDecision decision = Decide(words, info, inputKind);
  TRecognitionReport report;
  if (decision.Outcome == TOutcome::Found) report.Found = Result(decision, words, name);
  report.Words = ReadAs(words);
  report.Why = Why(decision, words, info, name, inputKind);
  return report;
}

}  // namespace qm::manager
