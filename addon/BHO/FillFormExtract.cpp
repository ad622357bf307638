// Extraction: the readers of controls and of whole forms (see
// FillFormUtils.h).
#include <utility>

#include "addon/BHO/FillFormUtils.h"
#include "core/Common/LocationCodes.h"
#include "core/Common/TextUtils.h"
#include "core/Common/VxSystem.h"
#include "core/Common/WideStrings.h"

namespace qm {

using platform::PageFormElement;
using platform::PageInputElement;
using platform::PageOptionElement;
using platform::PageSelectElement;
using platform::PageTextAreaElement;
using platform::Variant;

namespace fill_detail {

void RaiseInterfaceNotSupported() {
  throw Exception(u"Interface not supported");
}

std::vector<ComPtr<PageElement>> CountedControls(const ComPtr<PageElement>& form) {
  const auto view = RequireView<PageFormElement>(form);
  std::vector<ComPtr<PageElement>> counted;
  const int32_t length = view->length();
  for (int32_t i = 0; i < length; ++i) {
    ComPtr<PageElement> control = view->item(i);
    if (!control) continue;
    const std::u16string tag = AsciiLowerCase(control->tagName());
    if (tag == u"select" || tag == u"textarea") {
      counted.push_back(std::move(control));
    } else if (tag == u"input") {
      const auto input = control.As<PageInputElement>();
      if (input && AsciiLowerCase(input->type()) != u"hidden")
        counted.push_back(std::move(control));
    }
  }
  return counted;
}

}  // namespace fill_detail

using fill_detail::RequireView;

namespace {

// whole: every value as GetElementInfo gives it; else only the values that
// matching looks at (submit and hidden inputs).
void ReadInputInfo(const ComPtr<PageElement>& element, TElementInfo& info, bool whole) {
  Swallowed([&] {
    Reported(loc::GetInputInfo, [&] {
      const auto input = RequireView<PageInputElement>(element);
      info.Type = AsciiLowerCase(input->type());
      info.Name = input->name();
      if (!whole && !transit_detail::NeedsEqualValue(info.Tag, info.Type)) return;
      if (info.Type == u"checkbox" || info.Type == u"radio") {
        info.Value = input->checked() ? u"true" : u"false";
      } else {
        info.Value = input->value();
      }
    });
  });
}

void ReadTextAreaInfo(const ComPtr<PageElement>& element, TElementInfo& info, bool whole) {
  Swallowed([&] {
    Reported(loc::GetTextAreaInfo, [&] {
      const auto textarea = RequireView<PageTextAreaElement>(element);
      info.Name = textarea->name();
      if (whole) info.Value = textarea->value();
    });
  });
}

// Field number counter of ReadFormFields' walk: appends control's field.
void AppendField(const ComPtr<PageElement>& control, TElementInfo&& info, bool whole,
                 int32_t submitterIndex, int32_t& counter, TTransitFormCard& card) {
  TTransitField& field = card.Fields.Add();
  if (info.Tag == u"input" && info.Type == u"hidden") {
    field.ElementIndex = -1;
  } else {
    field.ElementIndex = counter++;
    if (submitterIndex >= 0 && control->sourceIndex() == submitterIndex) {
      card.SubmitFieldIndex = card.Fields.Count() - 1;
    }
  }
  field.Name = std::move(info.Name);
  field.TagName = std::move(info.Tag);
  field.InputType = std::move(info.Type);
  field.Value = std::move(info.Value);
  if (whole) GetAttributeText(control, ProfileFieldAttribute, field.ProfileField);
  field.ValueKind = ValueKindLiteral;
  field.Values.clear();
}

TElementInfo ReadElement(const ComPtr<PageElement>& element, bool whole) {
  TElementInfo info;
  Swallowed([&] {
    Reported(loc::GetElementInfo, [&] {
      if (!element) fill_detail::RaiseInterfaceNotSupported();
      info.Tag = AsciiLowerCase(element->tagName());
      if (info.Tag == u"input") {
        ReadInputInfo(element, info, whole);
      } else if (info.Tag == u"select") {
        if (whole) {
          TSelectInfo select = GetSelectInfo(element);
          info.Name = std::move(select.Name);
          info.Type = std::move(select.Type);
          info.Value = std::move(select.Value);
        } else {
          Swallowed([&] {
            Reported(loc::GetSelectInfo, [&] {
              info.Name = RequireView<PageSelectElement>(element)->name();
              info.Type = GetTypeAttribute(element);
            });
          });
        }
      } else if (info.Tag == u"textarea") {
        ReadTextAreaInfo(element, info, whole);
      } else {
        info.Tag.clear();
      }
    });
  });
  return info;
}

void ReadFields(const ComPtr<PageElement>& form, const ComPtr<PageElement>& submitter,
                TTransitFormCard& card, bool whole) {
  Reported(loc::ReadFormFields, [&] {
    const int32_t submitterIndex = submitter ? submitter->sourceIndex() : -1;
    card.SubmitFieldIndex = -1;
    card.Fields.Clear();
    const auto view = RequireView<PageFormElement>(form);
    const bool walked = Swallowed([&] {
      int32_t counter = 0;
      const int32_t length = view->length();
      for (int32_t i = 0; i < length; ++i) {
        const ComPtr<PageElement> control = view->item(i);
        TElementInfo info = ReadElement(control, whole);
        if (info.Tag.empty()) continue;
        AppendField(control, std::move(info), whole, submitterIndex, counter, card);
      }
    });
    // Half a form would be matched as if it were the whole one; and an
    // index into fields that are gone would point at nothing.
    if (!walked) {
      card.Fields.Clear();
      card.SubmitFieldIndex = -1;
    }
  });
}

}  // namespace

TElementInfo GetElementInfo(const ComPtr<PageElement>& element) {
  return ReadElement(element, true);
}

TElementInfo fill_detail::GetElementShape(const ComPtr<PageElement>& element) {
  return ReadElement(element, false);
}

TSelectInfo GetSelectInfo(const ComPtr<PageElement>& element) {
  TSelectInfo info;
  Swallowed([&] {
    Reported(loc::GetSelectInfo, [&] {
      const auto select = RequireView<PageSelectElement>(element);
      info.Name = select->name();
      info.Type = GetTypeAttribute(element);
      if (select->selectedIndex() < 0) {
        info.Value = select->value();
        return;
      }
      std::vector<std::u16string> chosen;
      const int32_t length = select->length();
      for (int32_t i = 0; i < length; ++i) {
        const auto option = select->item(i).As<PageOptionElement>();
        if (!option || !option->selected()) continue;
        std::u16string text = option->value();
        if (text.empty()) text = Trim(option->text());
        if (text.empty()) continue;
        chosen.push_back(std::move(text));
        info.DefaultSelected = option->defaultSelected();
      }
      info.Value = CommaText(chosen);
    });
  });
  return info;
}

void ReadFormFields(const ComPtr<PageElement>& form, const ComPtr<PageElement>& submitter,
                    TTransitFormCard& card) {
  ReadFields(form, submitter, card, true);
}

void ReadFormShape(const ComPtr<PageElement>& form, const ComPtr<PageElement>& submitter,
                   TTransitFormCard& card) {
  ReadFields(form, submitter, card, false);
}

std::u16string GetTypeAttribute(const ComPtr<PageElement>& element) {
  std::u16string type;
  Swallowed([&] {
    Reported(loc::GetTypeAttribute, [&] {
      std::u16string text;
      GetAttributeText(element, u"type", text);
      type = LowerCase(text);
    });
  });
  return type;
}

std::u16string GetSelectedOptionTexts(const ComPtr<PageElement>& element) {
  std::u16string texts;
  Swallowed([&] {
    Reported(loc::GetSelectedOptionTexts, [&] {
      const auto select = RequireView<PageSelectElement>(element);
      if (select->selectedIndex() < 0) return;
      std::vector<std::u16string> chosen;
      const int32_t length = select->length();
      for (int32_t i = 0; i < length; ++i) {
        const auto option = select->item(i).As<PageOptionElement>();
        if (option && option->selected()) chosen.push_back(option->text());
      }
      texts = CommaText(chosen);
    });
  });
  return texts;
}

bool GetAttributeText(const ComPtr<PageElement>& element, std::u16string_view name,
                      std::u16string& text) {
  text.clear();
  bool found = false;
  Swallowed([&] {
    Reported(loc::GetAttributeText, [&] {
      if (!element) fill_detail::RaiseInterfaceNotSupported();
      const Variant value = element->getAttribute(name);
      if (value.IsEmptyOrNull()) return;
      text = value.ToText();
      found = true;
    });
  });
  return found;
}

void SetAttributeText(const ComPtr<PageElement>& element, std::u16string_view name,
                      std::u16string_view text) {
  Swallowed([&] {
    Reported(loc::SetAttributeText, [&] {
      if (!element) fill_detail::RaiseInterfaceNotSupported();
      element->setAttribute(name, Variant::FromString(std::u16string(text)));
    });
  });
}

}  // namespace qm
