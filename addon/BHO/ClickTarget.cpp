#include "addon/BHO/ClickTarget.h"

#include "core/Common/TextUtils.h"
#include "core/Common/VxSystem.h"

namespace qm {

using platform::PageButtonElement;
using platform::PageInputElement;

TClickTargetCode PartialMatchCode(int32_t valueMatches, int32_t nameMatches) {
  if (nameMatches == 0) return valueMatches > 0 ? ClickTargetByValue : ClickTargetNotFound;
  if (nameMatches == 1 && valueMatches == 0) return ClickTargetByName;
  return ClickTargetNotFound;
}

bool TEnumReceiver::MatchButton(const std::u16string& elementName,
                                const std::u16string& elementValue,
                                const ComPtr<PageElement>& element) {
  if (LocaleEqual(elementValue, Value)) {
    if (LocaleEqual(elementName, Name)) {
      Found = element;
      ValueMatches = 0;
      NameMatches = 0;
      Exact = true;
      return true;
    }
    ++ValueMatches;
    if (!Found) Found = element;
  } else if (LocaleEqual(elementName, Name)) {
    ++NameMatches;
    if (!Found) Found = element;
  }
  return false;
}

bool TEnumReceiver::OnButton(TWBEnumerator&, const ComPtr<PageElement>& element) {
  bool exact = false;
  Swallowed([&] {
    const auto button = element.As<PageButtonElement>();
    if (button) exact = MatchButton(button->name(), button->value(), element);
  });
  return !exact;
}

bool TEnumReceiver::OnInputButton(TWBEnumerator&, const ComPtr<PageElement>& element) {
  bool exact = false;
  Swallowed([&] {
    const auto input = element.As<PageInputElement>();
    if (input && input->type() == u"button") {
      exact = MatchButton(input->name(), input->value(), element);
    }
  });
  return !exact;
}

}  // namespace qm
