// Reading live page forms into transit cards, and writing values back into
// their controls.
//
// Extraction (FillFormExtract.cpp) turns the controls of a form into the
// fields of a TTransitFormCard: a control is known by its name, tag and type
// alone, and its value as the page holds it now. Filling (FillFormUtils.cpp
// for inputs, textareas and whole forms, FillFormSelect.cpp for selects and
// their option matching) writes values into controls, from a stored card by
// position, from a set of cards by name, or one control at a time. A filled
// control that belongs to a profile field is marked on the page (light blue,
// a tooltip, the "Profile field" attribute) and watched by the form's
// TElementChangingTracker, which takes the mark away once the user edits it.
//
// Failure handling differs per operation, on purpose: the small readers
// (GetElementInfo, GetSelectInfo, GetTypeAttribute, GetSelectedOptionTexts,
// GetAttributeText, SetAttributeText), SetOptionSelected, NormalizeOptionText
// and MarkBoundElement never raise: a failure is annotated with their
// location code and dropped, and they answer what they had reached. The fill
// operations report their code and raise again, so that the form item above
// learns of it. Every element parameter may be of any engine; an element
// without the view an operation needs raises "Interface not supported".
//
// Plain functions without state of their own; they belong to the page's
// user-interface thread, like the elements they touch.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/Common/QMLexicon.h"
#include "core/Common/QMTransitUtils.h"
#include "platform/dom/PageDocument.h"

namespace qm {

using platform::ComPtr;
using platform::PageElement;

class TElementChangingTracker;

// The attribute that binds a control to a profile field.
inline constexpr char16_t ProfileFieldAttribute[] = u"Profile field";
// The marking of a bound control.
inline constexpr char16_t BoundBackgroundColor[] = u"lightblue";

// --- extraction ---

// What GetElementInfo reads of a control. Tag is empty for an element that
// is not a field (anything but input, select and textarea).
struct TElementInfo {
  std::u16string Name;
  std::u16string Tag;  // lower case
  std::u16string Value;
  std::u16string Type;  // lower case; empty for a textarea
};

// GetSelectInfo's answer. DefaultSelected tells whether the last selected
// option that made it into Value is the page's own default choice, so that
// a select still showing what the page chose can count as unfilled.
struct TSelectInfo {
  std::u16string Name;
  std::u16string Type;
  std::u16string Value;
  bool DefaultSelected = false;
};

// Checkboxes and radios read "true" or "false"; a select reads the comma
// text of its selected options (value, else trimmed text). Never raises.
TElementInfo GetElementInfo(const ComPtr<PageElement>& element);
TSelectInfo GetSelectInfo(const ComPtr<PageElement>& select);

// Replaces card's Fields and SubmitFieldIndex with the controls of form.
// submitter (none allowed) is the control that submits the form; its field
// becomes SubmitFieldIndex. Hidden inputs get ElementIndex -1, other fields
// count from 0. A failure while walking the controls leaves no fields and
// is dropped; any other failure is reported (ReadFormFields) and raised.
void ReadFormFields(const ComPtr<PageElement>& form, const ComPtr<PageElement>& submitter,
                    TTransitFormCard& card);

// As ReadFormFields, for a card that is only matched against stored cards
// (Compare, FindBestCard): each field's Value is read only where matching
// looks at it (submit and hidden inputs), and no ProfileField. Scores
// against such a card are those against the whole one.
void ReadFormShape(const ComPtr<PageElement>& form, const ComPtr<PageElement>& submitter,
                   TTransitFormCard& card);

// The "type" attribute in lower case (empty when absent). Never raises.
std::u16string GetTypeAttribute(const ComPtr<PageElement>& element);
// Comma text of the (untrimmed) texts of the selected options, empty when
// none is selected. Never raises.
std::u16string GetSelectedOptionTexts(const ComPtr<PageElement>& select);

// found is false (and text empty) when the attribute is absent or null.
// Never raises.
bool GetAttributeText(const ComPtr<PageElement>& element, std::u16string_view name,
                      std::u16string& text);
// Stores text (also an empty one) as the attribute's value. Never raises.
void SetAttributeText(const ComPtr<PageElement>& element, std::u16string_view name,
                      std::u16string_view text);

// --- filling ---

using TValueList = std::vector<std::u16string>;

// By the control's tag: FillInput, FillSelect or FillTextArea; false for
// any other element. kind is a ValueKind; values the parsed Values.
bool FillElement(const ComPtr<PageElement>& element, int32_t kind, const std::u16string& value,
                 const TLexicon& lexicon, const TValueList& values);
// A checkbox is clicked when its state differs from (value == "true"), a
// radio when it is unchecked and value is "true"; text-taking inputs get
// value (else the first of values) cut to their maxLength. false for types
// that take no value (hidden, submit, file, ...).
bool FillInput(const ComPtr<PageElement>& input, int32_t kind, const std::u16string& value,
               const TValueList& values);
bool FillTextArea(const ComPtr<PageElement>& textarea, int32_t kind, const std::u16string& value,
                  const TValueList& values);
// Clears the selection, then selects by option text or value (literally),
// by words inside option texts (ValueKindWords) or through the lexicon
// (ValueKindLexicon). true when the wanted options were found.
bool FillSelect(const ComPtr<PageElement>& select, int32_t kind, const std::u16string& value,
                const TLexicon& lexicon, const TValueList& values);

// Sets option's selectedness. With fire, newly selecting it also runs the
// select's change script the way a user's choice would (by a click). Never
// raises.
void SetOptionSelected(const ComPtr<PageElement>& select, const ComPtr<PageElement>& option,
                       bool selected, bool fire);
// Deselects every option (running no script) and empties the value.
void ClearSelection(const ComPtr<PageElement>& select);

// 1-based position of the first occurrence of word in text when the
// characters around it (if any) are separators; 0 otherwise, or for an
// empty word. Later occurrences are not tried. Case significant.
int FindDelimitedWord(std::u16string_view word, std::u16string_view text,
                      std::u16string_view separators);
// Trimmed, lower-cased, inner runs of spaces collapsed to one. Never raises.
std::u16string NormalizeOptionText(std::u16string_view text);

// Removes element's binding mark (and its tracking), then, for a non-empty
// profileField, marks and tracks it again. Nothing for no element. Never
// raises.
void MarkBoundElement(const ComPtr<PageElement>& element, const std::u16string& profileField,
                      TElementChangingTracker& tracker);

// FillFormFromCard's answer: whether every indexed field of the card found
// its control (and every select its options), and the control the card
// records as the one that submitted the stored form.
struct TCardFillResult {
  bool Complete = true;
  ComPtr<PageElement> SubmitControl;
};

// Fills form from card by position (ElementIndex among the counted
// controls); hidden fields are not filled. Marks or unmarks every filled
// control after the card's ProfileField. A field's control is found in the
// form as it stands when the field comes up, so controls that a script of
// an earlier fill added are found where the card expects them. Reports
// (FillFormFromCard) and raises.
TCardFillResult FillFormFromCard(const ComPtr<PageElement>& form, const TTransitFormCard& card,
                                 TElementChangingTracker& tracker, const TLexicon& lexicon);

// Fills each control of form that some card of set knows by name, tag and
// type (FindField), and marks those that belong to a profile field. With
// onlyEmpty, controls that hold a value are left alone (which leaves every
// checkbox and radio, and every select with a selection). A failure on a
// control ends the walk silently; other failures are reported with the
// form item's code (FormItemFillFromSet) and raised.
void FillFormFromSet(const ComPtr<PageElement>& form, const TTransitFormSet& set,
                     const TLexicon& lexicon, TElementChangingTracker& tracker, bool onlyEmpty);

// --- shared by the units above ---
namespace fill_detail {

[[noreturn]] void RaiseInterfaceNotSupported();

// The view of element, or raises "Interface not supported".
template <class View>
ComPtr<View> RequireView(const ComPtr<PageElement>& element) {
  ComPtr<View> view = element.template As<View>();
  if (!view) RaiseInterfaceNotSupported();
  return view;
}

// The counted controls of a form (fields except hidden inputs), in order:
// the ElementIndex of each is its position here.
std::vector<ComPtr<PageElement>> CountedControls(const ComPtr<PageElement>& form);

// GetElementInfo without the values matching does not look at (only submit
// and hidden inputs keep theirs). Never raises.
TElementInfo GetElementShape(const ComPtr<PageElement>& element);

// Whether an input of this (lower-case) type takes typed text: text,
// password and the newer text-entry types (email, tel, number, date, ...).
bool TakesText(const std::u16string& type);

}  // namespace fill_detail

}  // namespace qm
