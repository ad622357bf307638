#include "platform/dom/ControlText.h"

namespace qm::platform {

std::u16string StripNewlines(std::u16string_view value) {
  std::u16string out;
  out.reserve(value.size());
  for (char16_t c : value) {
    if (c != u'\r' && c != u'\n') out.push_back(c);
  }
  return out;
}

std::u16string NormalizeNewlines(std::u16string_view value) {
  std::u16string out;
  out.reserve(value.size());
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] == u'\r') {
      out.push_back(u'\n');
      if (i + 1 < value.size() && value[i + 1] == u'\n') ++i;
    } else {
      out.push_back(value[i]);
    }
  }
  return out;
}

}  // namespace qm::platform
