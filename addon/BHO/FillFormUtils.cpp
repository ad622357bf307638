// Filling inputs and textareas, the binding mark, and whole forms from a
// card or a set of cards (see FillFormUtils.h). Selects are filled in
// FillFormSelect.cpp.
#include "addon/BHO/FillFormUtils.h"

#include <algorithm>
#include <iterator>

#include "addon/BHO/ElementTracker.h"
#include "core/Common/LocationCodes.h"
#include "core/Common/TextUtils.h"
#include "core/Common/VxSystem.h"
#include "core/Common/WideStrings.h"

namespace qm {

using fill_detail::RequireView;
using fill_detail::TakesText;
using platform::PageInputElement;
using platform::PageTextAreaElement;

namespace {

// At most maxLength UTF-16 units, never ending in half a surrogate pair.
std::u16string CutToMaxLength(std::u16string text, int32_t maxLength) {
  if (maxLength < 0 || text.size() <= static_cast<size_t>(maxLength)) return text;
  size_t length = static_cast<size_t>(maxLength);
  if (length > 0 && text[length - 1] >= 0xD800 && text[length - 1] <= 0xDBFF) --length;
  text.resize(length);
  return text;
}

// The types FillFormFromSet never fills.
bool IsUnfilledInputType(const std::u16string& type) {
  return type == u"hidden" || type == u"submit" || type == u"reset" || type == u"file" ||
         type == u"button";
}

}  // namespace

// Input types that take typed text. Browsers that predate the newer
// text-entry types showed them as "text", and forms were filled there; an
// engine that reports them as they are must fill them too, or a sign-up
// page would be left half empty while its card fill reports success.
bool fill_detail::TakesText(const std::u16string& type) {
  static constexpr std::u16string_view types[] = {
      u"text",   u"password", u"email", u"tel",  u"url",  u"search",
      u"number", u"date",     u"month", u"week", u"time", u"datetime-local"};
  return std::find(std::begin(types), std::end(types), type) != std::end(types);
}

bool FillElement(const ComPtr<PageElement>& element, int32_t kind, const std::u16string& value,
                 const TLexicon& lexicon, const TValueList& values) {
  return Reported(loc::FillElement, [&] {
    if (!element) fill_detail::RaiseInterfaceNotSupported();
    const std::u16string tag = AsciiLowerCase(element->tagName());
    if (tag == u"input") return FillInput(element, kind, value, values);
    if (tag == u"select") return FillSelect(element, kind, value, lexicon, values);
    if (tag == u"textarea") return FillTextArea(element, kind, value, values);
    return false;
  });
}

bool FillInput(const ComPtr<PageElement>& element, int32_t, const std::u16string& value,
               const TValueList& values) {
  return Reported(loc::FillInput, [&] {
    const auto input = RequireView<PageInputElement>(element);
    const std::u16string type = AsciiLowerCase(input->type());
    if (type == u"checkbox") {
      if (input->checked() != (value == u"true")) element->click();
      return true;
    }
    if (type == u"radio") {
      if (!input->checked() && value == u"true") element->click();
      return true;
    }
    if (!TakesText(type)) return false;
    std::u16string text = !value.empty() ? value : values.empty() ? std::u16string() : values[0];
    input->setValue(CutToMaxLength(std::move(text), input->maxLength()));
    return true;
  });
}

bool FillTextArea(const ComPtr<PageElement>& element, int32_t kind, const std::u16string& value,
                  const TValueList& values) {
  return Reported(loc::FillTextArea, [&] {
    const auto textarea = RequireView<PageTextAreaElement>(element);
    if (kind == ValueKindWords || kind == ValueKindLexicon) {
      textarea->setValue(values.empty() ? std::u16string() : values[0]);
    } else {
      textarea->setValue(value);
    }
    return true;
  });
}

void MarkBoundElement(const ComPtr<PageElement>& element, const std::u16string& profileField,
                      TElementChangingTracker& tracker) {
  if (!element) return;
  Swallowed([&] {
    tracker.Untrack(element);
    const ComPtr<platform::PageStyle> style = element->style();
    // Only what is there is emptied: most controls a fill touches carry no
    // mark, and a write that changes nothing still raises its events.
    std::u16string bound;
    if (GetAttributeText(element, ProfileFieldAttribute, bound) && !bound.empty()) {
      SetAttributeText(element, ProfileFieldAttribute, u"");
    }
    if (style && !style->backgroundColor().empty()) style->setBackgroundColor(u"");
    if (!element->title().empty()) element->setTitle(u"");
    if (profileField.empty()) return;
    if (style) style->setBackgroundColor(BoundBackgroundColor);
    SetAttributeText(element, ProfileFieldAttribute, profileField);
    element->setTitle(u"bind with <" + profileField + u">");
    tracker.Track(element);
  });
}

TCardFillResult FillFormFromCard(const ComPtr<PageElement>& form, const TTransitFormCard& card,
                                 TElementChangingTracker& tracker, const TLexicon& lexicon) {
  return Reported(loc::FillFormFromCard, [&] {
    TCardFillResult result;
    // An index past the fields (a damaged card) names no submit field either.
    const TTransitField* storedSubmit =
        card.SubmitFieldIndex >= 0 && card.SubmitFieldIndex < card.Fields.Count()
            ? &card.Fields[card.SubmitFieldIndex]
            : nullptr;
    // Positions are looked up in the form as it stands when each field comes
    // up: a ticked box or a chosen option may run a script that adds or
    // drops controls, and the card's later positions count those. The
    // controls are only listed again when their number changed.
    const auto view = RequireView<platform::PageFormElement>(form);
    int32_t listedLength = view->length();
    std::vector<ComPtr<PageElement>> counted = fill_detail::CountedControls(form);
    for (const TTransitField& field : card.Fields) {
      if (field.ElementIndex == -1) continue;
      if (const int32_t length = view->length(); length != listedLength) {
        listedLength = length;
        counted = fill_detail::CountedControls(form);
      }
      if (field.ElementIndex < 0 || static_cast<size_t>(field.ElementIndex) >= counted.size()) {
        result.Complete = false;
        continue;
      }
      const ComPtr<PageElement>& control = counted[static_cast<size_t>(field.ElementIndex)];
      // Tag, type and name are what a field is checked against; a value
      // only where the submit field's match looks at it.
      const TElementInfo info = fill_detail::GetElementShape(control);
      if (!result.SubmitControl && storedSubmit != nullptr) {
        TTransitField probe;
        probe.ElementIndex = field.ElementIndex;
        probe.Name = info.Name;
        probe.TagName = info.Tag;
        probe.InputType = info.Type;
        probe.Value = info.Value;
        if (storedSubmit->Matches(probe, true)) result.SubmitControl = control;
      }
      if (info.Tag != field.TagName) {
        result.Complete = false;
        continue;
      }
      const TValueList values = ParseCommaText(field.Values);
      if (info.Tag == u"select" || info.Tag == u"textarea") {
        if (info.Name != field.Name) {
          result.Complete = false;
          continue;
        }
        if (info.Tag == u"select") {
          if (!FillSelect(control, field.ValueKind, field.Value, lexicon, values)) {
            result.Complete = false;
          }
        } else {
          FillTextArea(control, field.ValueKind, field.Value, values);
        }
        MarkBoundElement(control, field.ProfileField, tracker);
      } else if (info.Tag == u"input") {
        if (info.Type != field.InputType || info.Name != field.Name) {
          result.Complete = false;
          continue;
        }
        FillInput(control, field.ValueKind, field.Value, values);
        MarkBoundElement(control, field.ProfileField, tracker);
      }
    }
    return result;
  });
}

void FillFormFromSet(const ComPtr<PageElement>& form, const TTransitFormSet& set,
                     const TLexicon& lexicon, TElementChangingTracker& tracker, bool onlyEmpty) {
  Reported(loc::FormItemFillFromSet, [&] {
    const auto view = RequireView<platform::PageFormElement>(form);
    Swallowed([&] {
      const int32_t length = view->length();
      for (int32_t i = 0; i < length; ++i) {
        const ComPtr<PageElement> control = view->item(i);
        const TElementInfo info = GetElementInfo(control);
        if (info.Tag.empty()) continue;
        if (info.Tag == u"input" && IsUnfilledInputType(info.Type)) continue;
        if (onlyEmpty && !Trim(info.Value).empty()) continue;
        TTransitField probe;
        probe.Name = info.Name;
        probe.TagName = info.Tag;
        probe.InputType = info.Type;
        if (!set.FindField(probe)) continue;
        const bool filled = FillElement(control, probe.ValueKind, probe.Value, lexicon,
                                        ParseCommaText(probe.Values));
        if (filled && !probe.ProfileField.empty()) {
          MarkBoundElement(control, probe.ProfileField, tracker);
        }
      }
    });
  });
}

}  // namespace qm
