#include "core/Common/WideStrings.h"

#include <algorithm>

#include "core/Common/OwnedCollection.h"
#include "core/Common/TextUtils.h"
#include "platform/rtl/Exception.h"

namespace qm {
namespace {

[[noreturn]] void SortedError() {
  throw platform::Exception(u"Operation not allowed on sorted list");
}

bool NeedsQuotes(std::u16string_view item) {
  return std::any_of(item.begin(), item.end(),
                     [](char16_t c) { return c <= u' ' || c == u'"' || c == u','; });
}

bool IsBlank(char16_t c) { return c >= 0x0001 && c <= 0x0020; }

}  // namespace

TWideStringList::TWideStringList(std::initializer_list<std::u16string> items) {
  for (const auto& item : items) Add(item);
}

const TWideStringList::Entry& TWideStringList::At(int index) const {
  if (index < 0 || index >= Count()) RaiseListIndexError(index);
  return entries_[static_cast<size_t>(index)];
}

TWideStringList::Entry& TWideStringList::AtMut(int index) {
  if (index < 0 || index >= Count()) RaiseListIndexError(index);
  return entries_[static_cast<size_t>(index)];
}

std::u16string TWideStringList::KeyOf(std::u16string_view text) const {
  return caseSensitive_ ? std::u16string() : LowerCase(text);
}

TWideStringList::Entry TWideStringList::MakeEntry(std::u16string text, intptr_t object) const {
  Entry e;
  e.Key = KeyOf(text);
  e.Text = std::move(text);
  e.Object = object;
  return e;
}

int TWideStringList::CompareKeys(const Entry& a, std::u16string_view text,
                                 const std::u16string& key) const {
  const int r = caseSensitive_ ? std::u16string_view(a.Text).compare(text) : a.Key.compare(key);
  return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

bool TWideStringList::FindKey(std::u16string_view text, const std::u16string& key,
                              int& index) const {
  int lo = 0;
  int hi = Count() - 1;
  bool found = false;
  while (lo <= hi) {
    const int mid = lo + (hi - lo) / 2;
    const int c = CompareKeys(entries_[static_cast<size_t>(mid)], text, key);
    if (c < 0) {
      lo = mid + 1;
    } else {
      hi = mid - 1;
      if (c == 0) found = true;  // keep going left: the first equal entry
    }
  }
  index = lo;
  return found;
}

bool TWideStringList::Find(std::u16string_view text, int& index) const {
  if (!sorted_) throw platform::Exception(u"Find needs a sorted list");
  return FindKey(text, KeyOf(text), index);
}

int TWideStringList::IndexOf(std::u16string_view text) const {
  const std::u16string key = KeyOf(text);
  if (sorted_) {
    int index = 0;
    return FindKey(text, key, index) ? index : -1;
  }
  for (int i = 0; i < Count(); ++i) {
    if (CompareKeys(entries_[static_cast<size_t>(i)], text, key) == 0) return i;
  }
  return -1;
}

int TWideStringList::Add(std::u16string text, intptr_t object) {
  if (!sorted_) {
    entries_.push_back(MakeEntry(std::move(text), object));
    return Count() - 1;
  }
  Entry e = MakeEntry(std::move(text), object);
  int index = 0;
  if (FindKey(e.Text, e.Key, index)) {
    switch (duplicates_) {
      case TDuplicates::Ignore: return index;
      case TDuplicates::Error:
        throw platform::Exception(u"String list does not allow duplicates");
      case TDuplicates::Accept: break;
    }
  }
  entries_.insert(entries_.begin() + index, std::move(e));
  return index;
}

void TWideStringList::Insert(int index, std::u16string text, intptr_t object) {
  if (sorted_) SortedError();
  if (index < 0 || index > Count()) RaiseListIndexError(index);
  entries_.insert(entries_.begin() + index, MakeEntry(std::move(text), object));
}

void TWideStringList::Put(int index, std::u16string text) {
  if (sorted_) SortedError();
  Entry& e = AtMut(index);
  e.Key = KeyOf(text);
  e.Text = std::move(text);
}

void TWideStringList::Delete(int index) {
  At(index);
  entries_.erase(entries_.begin() + index);
}

void TWideStringList::AddStrings(const TWideStringList& other) {
  for (const Entry& e : other.entries_) Add(e.Text, e.Object);
}

void TWideStringList::AddStrings(const std::vector<std::u16string>& items) {
  for (const auto& item : items) Add(item);
}

void TWideStringList::Assign(const TWideStringList& other) {
  if (&other == this) return;
  Clear();
  AddStrings(other);
}

void TWideStringList::Sort() {
  std::stable_sort(entries_.begin(), entries_.end(), [this](const Entry& a, const Entry& b) {
    return CompareKeys(a, b.Text, b.Key) < 0;
  });
}

void TWideStringList::SetSorted(bool sorted) {
  if (sorted == sorted_) return;
  if (sorted) Sort();
  sorted_ = sorted;
}

void TWideStringList::SetCaseSensitive(bool caseSensitive) {
  if (caseSensitive == caseSensitive_) return;
  caseSensitive_ = caseSensitive;
  for (Entry& e : entries_) e.Key = KeyOf(e.Text);
  if (sorted_) Sort();
}

std::u16string TWideStringList::CommaText() const { return qm::CommaText(ToVector()); }

void TWideStringList::SetCommaText(std::u16string_view text) {
  Clear();
  for (auto& item : ParseCommaText(text)) Add(std::move(item));
}

std::u16string TWideStringList::Text() const {
  std::u16string out;
  for (const Entry& e : entries_) {
    out += e.Text;
    out += u"\r\n";
  }
  return out;
}

void TWideStringList::SetText(std::u16string_view text) {
  Clear();
  size_t start = 0;
  size_t i = 0;
  while (i < text.size()) {
    const char16_t c = text[i];
    if (c == u'\r' || c == u'\n') {
      Add(std::u16string(text.substr(start, i - start)));
      if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
      start = i + 1;
    }
    ++i;
  }
  if (start < text.size()) Add(std::u16string(text.substr(start)));
}

std::vector<std::u16string> TWideStringList::ToVector() const {
  std::vector<std::u16string> out;
  out.reserve(entries_.size());
  for (const Entry& e : entries_) out.push_back(e.Text);
  return out;
}

bool operator==(const TWideStringList& a, const TWideStringList& b) {
  if (a.Count() != b.Count()) return false;
  for (int i = 0; i < a.Count(); ++i) {
    if (a[i] != b[i] || a.Objects(i) != b.Objects(i)) return false;
  }
  return true;
}

std::u16string CommaText(const std::vector<std::u16string>& items) {
  if (items.empty()) return {};
  if (items.size() == 1 && items[0].empty()) return u"\"\"";
  std::u16string out;
  for (size_t i = 0; i < items.size(); ++i) {
    if (i > 0) out += u',';
    const std::u16string& item = items[i];
    if (!NeedsQuotes(item)) {
      out += item;
      continue;
    }
    out += u'"';
    for (char16_t c : item) {
      if (c == u'"') out += u'"';
      out += c;
    }
    out += u'"';
  }
  return out;
}

std::vector<std::u16string> ParseCommaText(std::u16string_view text) {
  // U+0000 ends the text, as it ends the platform's zero-terminated texts;
  // it would otherwise stop an item without being consumed.
  if (const size_t nul = text.find(u'\0'); nul != std::u16string_view::npos) {
    text = text.substr(0, nul);
  }
  std::vector<std::u16string> items;
  size_t p = 0;
  const size_t n = text.size();
  while (p < n && IsBlank(text[p])) ++p;
  while (p < n) {
    std::u16string item;
    if (text[p] == u'"') {
      ++p;
      while (p < n) {
        if (text[p] == u'"') {
          if (p + 1 < n && text[p + 1] == u'"') {
            item += u'"';
            p += 2;
            continue;
          }
          ++p;  // the closing quote
          break;
        }
        item += text[p++];
      }
    } else {
      const size_t start = p;
      while (p < n && text[p] > u' ' && text[p] != u',') ++p;
      item.assign(text.substr(start, p - start));
    }
    items.push_back(std::move(item));
    while (p < n && IsBlank(text[p])) ++p;
    if (p < n && text[p] == u',') {
      ++p;
      while (p < n && IsBlank(text[p])) ++p;
    }
  }
  return items;
}

}  // namespace qm
