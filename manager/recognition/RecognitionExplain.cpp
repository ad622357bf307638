// What a recognition answers, and why, in words for people.
#include "manager/recognition/FieldRecognizer.h"

#include "platform/rtl/Utf.h"

namespace qm::manager {
namespace {

using TRole = TFieldRecognizer::TRole;
using TOutcome = TFieldRecognizer::TOutcome;

std::string Quoted(const String& text) {
  return "'" + platform::Utf16ToUtf8(text) + "'";
}

const char* RoleName(TRole role) {
  switch (role) {
    case TRole::Context:
      return "context";
    case TRole::Control:
      return "control kind";
    case TRole::Container:
      return "container";
    case TRole::Trailing:
      return "trailing word";
    case TRole::Confirm:
      return "confirmation";
    case TRole::Day:
    case TRole::Month:
    case TRole::Year:
      return "date part";
    case TRole::Block:
    case TRole::Unknown:
      break;
  }
  return nullptr;
}

const char* InputDescription(int32_t kind) {
  switch (kind) {
    case InputKindPassword:
      return "a password input";
    case InputKindEmail:
      return "an e-mail input";
    case InputKindTelephone:
      return "a telephone input";
  }
  return "this control";
}

}  // namespace

TRecognition TFieldRecognizer::Result(const TDecision& decision,
                                      const std::vector<TNameWord>& words,
                                      const String& name) const {
  TRecognition result;
  result.Field = fields_[decision.Field];
  result.Words = ReadAs(words);
  if (decision.ByInputType) {
    result.Via = TRecognition::TVia::InputType;
    return result;
  }
  result.Synonym = JoinWords(words, decision.First, decision.End);
  const uint32_t from = words[decision.First].From;
  result.Matched = name.substr(from, words[decision.End - 1].To - from);
  if (decision.PartWord >= 0) result.DatePart = words[decision.PartWord].Text;
  return result;
}

std::string TFieldRecognizer::WhyFound(const TDecision& decision,
                                       const std::vector<TNameWord>& words,
                                       const std::vector<TWordInfo>& info,
                                       const String& name) const {
  const uint32_t from = words[decision.First].From;
  const String matched = name.substr(from, words[decision.End - 1].To - from);
  std::string why = Quoted(JoinWords(words, decision.First, decision.End)) + " (from " +
                    Quoted(matched) + ") is a synonym of ";
  if (decision.PartWord >= 0) {
    why += "a date, and " + Quoted(words[decision.PartWord].Text) + " names its part";
  } else {
    why += platform::Utf16ToUtf8(fields_[decision.Field].Caption);
  }
  // What the other words are, so that nothing looks overlooked.
  std::string others;
  for (size_t k = 0; k < words.size(); ++k) {
    if (k >= decision.First && k < decision.End) continue;
    if (static_cast<int>(k) == decision.PartWord) continue;
    const char* role = words[k].Digits ? "number" : RoleName(info[k].Role);
    if (!role && info[k].Alone) {
      for (int field : *info[k].Alone) {
        if (field == decision.Field) role = "same field";
      }
    }
    if (!role) role = words[k].Text.size() == 1 ? "letter" : "before it";
    others += (others.empty() ? "" : ", ") + Quoted(words[k].Text) + " (" + role + ")";
  }
  return others.empty() ? why : why + "; other words: " + others;
}

std::string TFieldRecognizer::Why(const TDecision& decision, const std::vector<TNameWord>& words,
                                  const std::vector<TWordInfo>& info, const String& name,
                                  int32_t inputKind) const {
  const auto caption = [&](int field) { return platform::Utf16ToUtf8(fields_[field].Caption); };
  const String synonym = decision.End > decision.First
                             ? JoinWords(words, decision.First, decision.End)
                             : String();
  const String word = decision.Word < words.size() ? words[decision.Word].Text : String();
  switch (decision.Outcome) {
    case TOutcome::Found:
      return decision.ByInputType
                 ? std::string(InputDescription(inputKind)) +
                       " whose name names no field takes the first field of its kind"
                 : WhyFound(decision, words, info, name);
    case TOutcome::Empty:
      return "the name holds no word";
    case TOutcome::NoSynonym:
      return "no field has a synonym in " + Quoted(JoinWords(words, 0, words.size()));
    case TOutcome::Blocked:
      return Quoted(word) + " says this is no profile field";
    case TOutcome::NotField:
      return Quoted(synonym) + " is no profile field";
    case TOutcome::Unexplained:
      return Quoted(synonym) + " is followed by " + Quoted(word) +
             ", which says something else";
    case TOutcome::Weak:
      if (inputKind == InputKindChoice) {
        return "a check box or radio button takes a field only when its name says nothing "
               "else, and " + Quoted(word) + " does";
      }
      return Quoted(synonym) + " alone is too general, and " + Quoted(word) +
             " says what it belongs to";
    case TOutcome::Ambiguous:
      return Quoted(synonym) + " means both " + caption(decision.Field) + " and " +
             caption(decision.Other);
    case TOutcome::Numbered:
      return Quoted(synonym) + " is followed by the number " + Quoted(word) +
             ", and no synonym has that number";
    case TOutcome::Confirm:
      return Quoted(word) + " confirms e-mail addresses and passwords only";
    case TOutcome::InputKind:
      return inputKind != InputKindPassword && inputKind != InputKindEmail
                 ? "the name names only password fields, which fill password inputs only"
                 : std::string(InputDescription(inputKind)) + " takes " +
                       (inputKind == InputKindPassword ? "password" : "e-mail") +
                       " fields only";
  }
  return {};
}

}  // namespace qm::manager
