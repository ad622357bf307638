// The program's text rules, in one place so that every part agrees:
//
// - LowerCase: full Unicode lower-casing (ICU, root rules, so the result
//   doesn't depend on the user's language: "I" always becomes "i").
// - CompareTextIgnoreCase / SameTextIgnoreCase: compare the LowerCase forms
//   code unit by code unit. Sorted case-insensitive lists use this order, so
//   two texts are "the same letters" exactly when their LowerCase forms are
//   equal.
// - LocaleEqual: equal under the user's locale with case significant (an ICU
//   collator for the default locale at tertiary strength; equal means it
//   compares equal). Used where stored values meet page texts.
// - Trim helpers: white space and control characters are the characters up
//   to U+0020.
//
// All functions are thread safe.
#pragma once

#include <string>
#include <string_view>

namespace qm {

std::u16string LowerCase(std::u16string_view text);
// ASCII letters only; for tag names, input types and methods.
std::u16string AsciiLowerCase(std::u16string_view text);

int CompareTextIgnoreCase(std::u16string_view a, std::u16string_view b);
bool SameTextIgnoreCase(std::u16string_view a, std::u16string_view b);

bool LocaleEqual(std::u16string_view a, std::u16string_view b);
// The collation key behind LocaleEqual: two texts are LocaleEqual exactly
// when their keys are equal. For grouping many texts by that rule at once
// instead of comparing them pair by pair. Same thread rules as LocaleEqual.
std::string LocaleEqualKey(std::u16string_view text);

// Removes every character <= U+0020 from both ends (or one end).
std::u16string Trim(std::u16string_view text);
std::u16string TrimLeft(std::u16string_view text);
std::u16string TrimRight(std::u16string_view text);

// Decimal text of an integer, and the strict reverse: an optional sign and
// digits only, within int32; raises Exception "'x' is not a valid integer
// value" otherwise. Leading/trailing characters <= U+0020 are not allowed.
std::u16string IntToText(long long value);
int32_t TextToInt(std::u16string_view text);
bool TryTextToInt(std::u16string_view text, int32_t& value);

}  // namespace qm
