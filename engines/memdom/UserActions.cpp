#include "engines/memdom/UserActions.h"

#include "engines/memdom/MemDocument.h"
#include "engines/memdom/MemElements.h"
#include "engines/memdom/MemEvents.h"

namespace qm::memdom {
namespace {

bool TakesFocus(MemElement& e) {
  if (e.IsFormListed()) {
    return !e.IsDisabled() && !e.Is(ElementKind::Fieldset) && !e.Is(ElementKind::Output) &&
           !(e.Is(ElementKind::Input) && static_cast<MemInputElement&>(e).type() == u"hidden");
  }
  if ((e.Is(ElementKind::Anchor) || e.Is(ElementKind::Area)) && e.HasAttribute(u"href")) {
    return true;
  }
  return e.HasAttribute(u"tabindex");
}

}  // namespace

void FocusElement(const ComPtr<PageElement>& element) {
  const ComPtr<MemElement> e = AsMemElement(element);
  if (!e || !e->IsLive()) return;
  e->OwnerDocument()->MoveFocus(e.Get());
}

void TypeText(const ComPtr<PageElement>& control, std::u16string_view text) {
  const ComPtr<MemElement> e = AsMemElement(control);
  if (!e || !e->IsLive() || e->IsDisabled()) return;
  e->OwnerDocument()->MoveFocus(e.Get());
  for (size_t i = 0; i < text.size(); ++i) {
    // A surrogate pair is one keystroke.
    size_t length = 1;
    if (text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      length = 2;
    }
    const std::u16string_view key = text.substr(i, length);
    i += length - 1;
    if (!e->IsLive()) return;
    if (e->Is(ElementKind::Input)) {
      auto& input = static_cast<MemInputElement&>(*e);
      if (!input.IsTextField() || key == u"\r" || key == u"\n") continue;
      std::u16string value = input.value();
      if (value.size() + key.size() > static_cast<size_t>(input.maxLength())) continue;
      input.SetValueByUser(value + std::u16string(key));
    } else if (e->Is(ElementKind::TextArea)) {
      auto& area = static_cast<MemTextAreaElement&>(*e);
      area.SetValueByUser(area.value() + std::u16string(key));
    }
  }
}

void ChooseOption(const ComPtr<PageElement>& select, int index, bool additive) {
  const ComPtr<MemElement> e = AsMemElement(select);
  if (!e || !e->IsLive() || !e->Is(ElementKind::Select) || e->IsDisabled()) return;
  e->OwnerDocument()->MoveFocus(e.Get());
  static_cast<MemSelectElement&>(*e).ChooseByUser(index, additive);
}

void PressMouse(const ComPtr<PageElement>& element) {
  const ComPtr<MemElement> e = AsMemElement(element);
  if (!e || !e->IsLive()) return;
  if (!FireMouseDown(*e) || !e->IsLive()) return;
  MemElement* focus = e.Get();
  while (focus != nullptr && !TakesFocus(*focus))
    focus = focus->Parent();
  e->OwnerDocument()->MoveFocus(focus);
}

void ReleaseMouse(const ComPtr<PageElement>& element) {
  const ComPtr<MemElement> e = AsMemElement(element);
  if (e && e->IsLive()) FireMouseUp(*e);
}

void ClickAsUser(const ComPtr<PageElement>& element) {
  const ComPtr<MemElement> e = AsMemElement(element);
  if (!e || !e->IsLive()) return;
  PressMouse(element);
  ReleaseMouse(element);
  e->click();
}

}  // namespace qm::memdom
