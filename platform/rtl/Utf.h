// Conversions between UTF-8 (the outside world: arguments, files, D-Bus,
// HTML bytes) and UTF-16 (every text inside the program).
//
// The lenient conversions replace malformed input by U+FFFD and never fail;
// the strict ones raise Exception naming the byte or code-unit offset of the
// first malformed sequence. All functions are thread safe.
#pragma once

#include <string>
#include <string_view>

namespace qm::platform {

std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

// Raises Exception "Invalid UTF-8 at byte N" on malformed input.
std::u16string Utf8ToUtf16Strict(std::string_view text);

// Short forms for literals and tests: u8 text in, UTF-16 out.
inline std::u16string W(std::string_view text) { return Utf8ToUtf16(text); }
inline std::string U8(std::u16string_view text) { return Utf16ToUtf8(text); }

}  // namespace qm::platform
