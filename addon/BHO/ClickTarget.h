// Finding the element a recorded navigation step describes: the judge
// that weighs each candidate (a link, a button element, an input button)
// against the step's name and value, and the rule that turns what the
// walk found into the answer of FindClickTarget.
//
// A step names its element twice: by name (a link's text, a button's
// name) and by value (a link's address, a button's value). A page that
// changed since the recording may offer an element with only one of the
// two. The walk counts the elements that carry the step's value under
// another name, and those that carry its name with another value, and
// keeps the first element of either kind; an element with both ends the
// walk at once.
//
// The rule for a walk without an exact match (what the playback then
// does, with AskConfirm on / off):
//   - candidates by value only (any number), none by name:
//       ClickTargetByValue with the first; asks "has another Name" / clicks.
//   - exactly one candidate by name only, none by value:
//       ClickTargetByName with it; asks "has another Value" / clicks.
//   - several candidates by name only, none by value:
//       ClickTargetNotFound; the playback stops with "is not found".
//   - candidates by name only and by value only on the same page:
//       ClickTargetNotFound; the playback stops with "is not found".
//   - no candidate: ClickTargetNotFound.
// Why: a lone name-only candidate is the step's element with a changed
// address or value (a session number in a link, a relabelled value), the
// same situation as a lone value-only one, and is treated alike. When
// several elements share the name, or one element has the name and
// another the value, the step no longer points at one element: the
// question could not say which one would be clicked, and with AskConfirm
// off the first in page order would be clicked unasked. The user is told
// that the element is not there as recorded, rather than surprised by a
// click on the wrong one.
//
// Texts are compared with the user's locale, letter case counting
// (LocaleEqual). Everything here belongs to the page's user-interface
// thread.
#pragma once

#include <cstdint>
#include <string>

#include "addon/BHO/Enumerators.h"

namespace qm {

enum TClickTargetCode : int32_t {
  ClickTargetNotFound = 0,
  ClickTargetByName = 1,   // the name matched; the value differs
  ClickTargetByValue = 2,  // the value matched; the name differs
  ClickTargetExact = 3,
};

// The answer for a walk without an exact match (see the rule above).
TClickTargetCode PartialMatchCode(int32_t valueMatches, int32_t nameMatches);

// The judge of one walk over the candidates.
class TEnumReceiver {
public:
  TEnumReceiver(std::u16string name, std::u16string value)
      : Value(std::move(value)), Name(std::move(name)) {}

  std::u16string Value;  // the step's value
  std::u16string Name;   // the step's name
  // The exact match, or else the first partial match.
  ComPtr<PageElement> Found;
  int32_t ValueMatches = 0;  // elements with the value under another name
  int32_t NameMatches = 0;   // elements with the name and another value
  bool Exact = false;

  // Weighs one candidate; true on an exact match, which ends the walk
  // (Found is then that element and both counts 0).
  bool MatchButton(const std::u16string& elementName, const std::u16string& elementValue,
                   const ComPtr<PageElement>& element);
  // The callbacks of TElemEnumerator over button elements and over inputs
  // (only inputs of type "button" are candidates): they answer whether to
  // go on. An element that can't be read is no candidate.
  bool OnButton(TWBEnumerator& walker, const ComPtr<PageElement>& element);
  bool OnInputButton(TWBEnumerator& walker, const ComPtr<PageElement>& element);

  // After the walk: ClickTargetExact, or the rule's answer.
  TClickTargetCode Code() const {
    return Exact ? ClickTargetExact : PartialMatchCode(ValueMatches, NameMatches);
  }
};

}  // namespace qm
