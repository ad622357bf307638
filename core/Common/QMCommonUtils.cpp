#include "core/Common/QMCommonUtils.h"

#include "core/Common/OwnedCollection.h"
#include "core/Common/TextUtils.h"
#include "platform/rtl/Exception.h"

namespace qm {
namespace {

// The one splitting rule for both word lists.
template <class Char, class Add>
void SplitAt(std::basic_string_view<Char> text, std::basic_string_view<Char> separators, Add add) {
  size_t start = 0;
  for (size_t p = 0; p < text.size(); ++p) {
    if (separators.find(text[p]) != std::basic_string_view<Char>::npos) {
      add(text.substr(start, p - start));
      start = p + 1;
    }
  }
  if (start < text.size()) add(text.substr(start));
}

}  // namespace

void TWideWords::Split(std::u16string_view text) {
  Clear();
  SplitAt<char16_t>(text, separators_, [this](std::u16string_view piece) {
    Add(std::u16string(piece));
  });
}

void TWords::Split(std::string_view text) {
  items_.clear();
  SplitAt<char>(text, separators_, [this](std::string_view piece) {
    items_.emplace_back(piece);
  });
}

const std::string& TWords::operator[](int index) const {
  if (index < 0 || index >= Count()) RaiseListIndexError(index);
  return items_[static_cast<size_t>(index)];
}

void VariantToList(const platform::Variant& value, TWideStringList& list) {
  list.Clear();
  if (value.IsEmptyOrNull()) return;
  const int32_t count = value.ArrayCount();
  for (int32_t i = 0; i < count; ++i) list.Add(value.ArrayElement(i).ToText());
}

std::pair<std::u16string, std::u16string> SplitNameValue(std::u16string_view text, char16_t sep) {
  const size_t at = text.find(sep);
  if (at == std::u16string_view::npos) return {std::u16string(text), std::u16string()};
  return {std::u16string(text.substr(0, at)), std::u16string(text.substr(at + 1))};
}

}  // namespace qm
