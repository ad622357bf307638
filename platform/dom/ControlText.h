// The value rules of text controls, shared by the engines so that both
// store the same text for the same write. Plain functions; any thread.
#pragma once

#include <string>
#include <string_view>

namespace qm::platform {

// A one-line control's value has no line breaks: they are dropped.
std::u16string StripNewlines(std::u16string_view value);
// A textarea's value: every CR LF and lone CR becomes LF.
std::u16string NormalizeNewlines(std::u16string_view value);

}  // namespace qm::platform
