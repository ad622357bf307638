#include "platform/dom/InlineStyle.h"

#include <vector>

namespace qm::platform {
namespace {

bool IsStyleSpace(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\n' || c == u'\f' || c == u'\r';
}

std::u16string TrimSpaces(std::u16string_view text) {
  size_t first = 0;
  size_t last = text.size();
  while (first < last && IsStyleSpace(text[first]))
    ++first;
  while (last > first && IsStyleSpace(text[last - 1]))
    --last;
  return std::u16string(text.substr(first, last - first));
}

std::u16string AsciiLowerText(std::u16string text) {
  for (char16_t& c : text) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
  }
  return text;
}

struct Declaration {
  std::u16string Name;  // lower case
  std::u16string Value;
};

// Declarations split at ";" outside quotes and brackets.
std::vector<Declaration> ParseDeclarations(std::u16string_view style) {
  std::vector<Declaration> out;
  size_t start = 0;
  int depth = 0;
  char16_t quote = 0;
  for (size_t i = 0; i <= style.size(); ++i) {
    const char16_t c = i < style.size() ? style[i] : u';';
    if (quote != 0) {
      if (c == quote) quote = 0;
      if (i < style.size()) continue;
    } else if (c == u'"' || c == u'\'') {
      quote = c;
      continue;
    } else if (c == u'(') {
      ++depth;
      continue;
    } else if (c == u')') {
      if (depth > 0) --depth;
      continue;
    }
    if (c != u';' || (depth > 0 && i < style.size())) continue;
    const std::u16string_view piece = style.substr(start, i - start);
    start = i + 1;
    const size_t colon = piece.find(u':');
    if (colon == std::u16string_view::npos) continue;
    std::u16string name = AsciiLowerText(TrimSpaces(piece.substr(0, colon)));
    if (name.empty()) continue;
    out.push_back({std::move(name), TrimSpaces(piece.substr(colon + 1))});
  }
  return out;
}

}  // namespace

std::u16string InlineStyleProperty(std::u16string_view style, std::u16string_view property) {
  std::u16string value;
  for (const Declaration& d : ParseDeclarations(style)) {
    if (d.Name == property) value = d.Value;
  }
  return value;
}

std::optional<std::u16string> WithInlineStyleProperty(std::u16string_view style,
                                                      std::u16string_view property,
                                                      std::u16string_view value) {
  const std::u16string trimmed = TrimSpaces(value);
  if (trimmed.find_first_of(u";{}") != std::u16string::npos) return std::nullopt;
  std::u16string text;
  for (const Declaration& d : ParseDeclarations(style)) {
    if (d.Name == property) continue;
    if (!text.empty()) text += u' ';
    text += d.Name + u": " + d.Value + u";";
  }
  if (!trimmed.empty()) {
    if (!text.empty()) text += u' ';
    text += std::u16string(property) + u": " + trimmed + u";";
  }
  return text;
}

}  // namespace qm::platform
