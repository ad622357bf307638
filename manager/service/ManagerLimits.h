// The caps the manager puts on what a caller hands it. The session bus sets
// almost no limits of its own, and the store must not grow without bound
// from one call, so every operation checks its arguments against these
// before it touches anything; a call beyond a cap fails with a message
// naming the argument and the cap.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qm::manager {

// Names: profiles, captions, card names, synonyms, passwords, languages.
inline constexpr size_t MaxNameChars = 1024;
// Page keys, addresses, tags, input types, control names.
inline constexpr size_t MaxKeyChars = 8192;
// Values, titles, comma texts, the AddAllValues text.
inline constexpr size_t MaxValueChars = 1 << 20;
// A transit form set, a card's data, a translation request.
inline constexpr size_t MaxStreamBytes = 16u << 20;
// Forms in one stream, lines of AddAllValues, strings to translate.
inline constexpr size_t MaxListItems = 10000;
// ShowInManager requests kept for the log.
inline constexpr size_t MaxShowRequests = 100;

// Raises Exception "<argument> is too long: N characters, at most M".
void CheckLength(std::u16string_view text, size_t maxChars, const char* argument);
// Raises Exception "<argument> is too big: N bytes, at most M".
void CheckSize(size_t bytes, size_t maxBytes, const char* argument);
// Raises Exception "<argument> holds too many items: N, at most M".
void CheckCount(size_t count, size_t maxCount, const char* argument);

}  // namespace qm::manager
