// TWideStringList: the program's list of wide strings, each with an integer
// mark (the "object" the list keeps beside a string, used as a selection or
// flag mark).
//
// Unsorted lists keep insertion order and accept anything. Sorted lists keep
// the order of CompareTextIgnoreCase (or of code units when CaseSensitive)
// and apply Duplicates when an equal string is added: Ignore adds nothing
// and answers the existing index, Error raises "String list does not allow
// duplicates", Accept adds it. Lookups (IndexOf, Find, Contains) ignore
// letter case unless CaseSensitive is set, also on unsorted lists.
//
// Indices are ints from 0; a bad index raises "List index out of bounds
// (N)". Value type with deep copies; not synchronised.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

enum class TDuplicates { Ignore, Accept, Error };

class TWideStringList {
public:
  TWideStringList() = default;
  TWideStringList(std::initializer_list<std::u16string> items);
  virtual ~TWideStringList() = default;
  TWideStringList(const TWideStringList&) = default;
  TWideStringList& operator=(const TWideStringList&) = default;

  int Count() const noexcept { return static_cast<int>(entries_.size()); }
  bool Empty() const noexcept { return entries_.empty(); }
  const std::u16string& operator[](int index) const { return At(index).Text; }
  const std::u16string& Strings(int index) const { return At(index).Text; }
  // Replaces the string at index; raises on a sorted list.
  void Put(int index, std::u16string text);
  intptr_t Objects(int index) const { return At(index).Object; }
  void SetObject(int index, intptr_t object) { AtMut(index).Object = object; }

  // Appends (or, when sorted, inserts in order); answers the new index, or
  // the existing one when Duplicates is Ignore and the string is there.
  int Add(std::u16string text, intptr_t object = 0);
  // Raises on a sorted list.
  void Insert(int index, std::u16string text, intptr_t object = 0);
  void Delete(int index);
  void Clear() noexcept { entries_.clear(); }
  void AddStrings(const TWideStringList& other);
  void AddStrings(const std::vector<std::u16string>& items);
  // Copies the other list's strings and marks (not its sorting settings).
  void Assign(const TWideStringList& other);

  int IndexOf(std::u16string_view text) const;
  bool Contains(std::u16string_view text) const { return IndexOf(text) >= 0; }
  // Binary search of a sorted list: true and the index when found, else
  // false and the insertion point. Raises on an unsorted list.
  bool Find(std::u16string_view text, int& index) const;

  bool Sorted() const noexcept { return sorted_; }
  void SetSorted(bool sorted);
  TDuplicates Duplicates() const noexcept { return duplicates_; }
  void SetDuplicates(TDuplicates duplicates) noexcept { duplicates_ = duplicates; }
  bool CaseSensitive() const noexcept { return caseSensitive_; }
  void SetCaseSensitive(bool caseSensitive);
  void Sort();

  // The one-line list form: see CommaText below.
  std::u16string CommaText() const;
  void SetCommaText(std::u16string_view text);
  // Lines joined with CR LF (each line followed by it); SetText splits at
  // CR LF, LF or CR.
  std::u16string Text() const;
  void SetText(std::u16string_view text);

  std::vector<std::u16string> ToVector() const;

  friend bool operator==(const TWideStringList& a, const TWideStringList& b);

private:
  struct Entry {
    std::u16string Text;
    std::u16string Key;  // lower-cased Text when case is ignored, else empty
    intptr_t Object = 0;
  };
  const Entry& At(int index) const;
  Entry& AtMut(int index);
  Entry MakeEntry(std::u16string text, intptr_t object) const;
  int CompareKeys(const Entry& a, std::u16string_view text, const std::u16string& key) const;
  std::u16string KeyOf(std::u16string_view text) const;
  bool FindKey(std::u16string_view text, const std::u16string& key, int& index) const;

  std::vector<Entry> entries_;
  bool sorted_ = false;
  bool caseSensitive_ = false;
  TDuplicates duplicates_ = TDuplicates::Ignore;
};

// Comma text of a list of wide strings. An empty list gives the empty
// text and a list of one empty item two double quotes; otherwise the items
// are joined with "," and an item holding a character <= U+0020, a double
// quote or a comma is enclosed in double quotes with inner ones doubled.
std::u16string CommaText(const std::vector<std::u16string>& items);

// The reverse. Characters U+0001..U+0020 between items are skipped; a
// quoted item runs to its closing quote ("" is one quote), another item to
// the first character <= U+0020 or comma. An empty item between commas is
// kept, a trailing one is lost. U+0000 ends the text.
std::vector<std::u16string> ParseCommaText(std::u16string_view text);

}  // namespace qm
