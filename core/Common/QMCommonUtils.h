// Small shared routines that cut texts into words and turn the manager's
// list results into string lists.
//
// TWideWords / TWords: a list (unsorted, duplicates and empty entries kept,
// insertion order) that Split fills with the pieces of a text cut at any of
// the Separators characters. Consecutive separators give empty pieces; an
// empty tail piece is not added.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/Common/WideStrings.h"
#include "platform/com/Variant.h"

namespace qm {

class TWideWords : public TWideStringList {
public:
  TWideWords() = default;
  explicit TWideWords(std::u16string separators) : separators_(std::move(separators)) {}

  const std::u16string& Separators() const noexcept { return separators_; }
  void SetSeparators(std::u16string separators) { separators_ = std::move(separators); }
  // Replaces the content by the pieces of text.
  void Split(std::u16string_view text);

private:
  std::u16string separators_;
};

// The single-byte twin, on Windows-1252 byte strings.
class TWords {
public:
  TWords() = default;
  explicit TWords(std::string separators) : separators_(std::move(separators)) {}

  const std::string& Separators() const noexcept { return separators_; }
  void SetSeparators(std::string separators) { separators_ = std::move(separators); }
  void Split(std::string_view text);

  int Count() const noexcept { return static_cast<int>(items_.size()); }
  const std::string& operator[](int index) const;
  const std::vector<std::string>& Items() const noexcept { return items_; }
  void Clear() noexcept { items_.clear(); }

private:
  std::string separators_;
  std::vector<std::string> items_;
};

// Empties list; unless the variant is empty or null, adds the wide-string
// form of each element of its array from the low bound to the high bound.
// Raises "Invalid variant type conversion" for a variant that is neither
// empty, null nor an array.
void VariantToList(const platform::Variant& value, TWideStringList& list);

// (name, value): the text before and after the first sep; without sep the
// whole text and the empty text.
std::pair<std::u16string, std::u16string> SplitNameValue(std::u16string_view text,
                                                          char16_t sep = u'=');

}  // namespace qm
