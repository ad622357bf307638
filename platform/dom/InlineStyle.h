// An element's inline style text ("color: red; background-color: blue"),
// read and rewritten one property at a time, the way the add-on marks
// controls. Shared by the engines so that every engine reads and writes the
// same text for the same page. Plain functions; any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qm::platform {

// The value of property (lower case) in style: the last declaration wins;
// empty when none.
std::u16string InlineStyleProperty(std::u16string_view style, std::u16string_view property);

// style with property set to value (trimmed), or removed for an empty
// value; the other declarations keep their order. None when value would end
// the declaration (";", "{", "}"): browsers ignore such a value.
std::optional<std::u16string> WithInlineStyleProperty(std::u16string_view style,
                                                      std::u16string_view property,
                                                      std::u16string_view value);

}  // namespace qm::platform
