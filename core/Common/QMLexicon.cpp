#include "core/Common/QMLexicon.h"

#include <string>
#include <type_traits>
#include <utility>

#include "core/Common/LocationCodes.h"
#include "core/Common/TextUtils.h"
#include "core/Common/VxSystem.h"

namespace qm {
namespace {

// The standard separators, in the order the manager has always used.
constexpr char16_t StandardSeparators[] = u" ~`!@#$%^&*()_-+=|\\}]{[:;\"'?/.,><";

void SetUpSortedList(TWideStringList& list, TDuplicates duplicates) {
  list.SetSorted(true);
  list.SetDuplicates(duplicates);
}

}  // namespace

// ---------------------------------------------------------------------------
// The stream layout, written once for both directions. A record is the key,
// a count and that many words; the lexicon is the separators, the stop
// words, the substitutions and (format B) the goals, each list a count and
// its items. Counts below 1 read no items; a count larger than the bytes
// left could hold fails at once.

struct TLexiconLayout {
  template <class IO>
  static constexpr bool Reading = std::is_same_v<IO, TStreamReader>;

  static bool Text(TStreamWriter& io, std::u16string& text) {
    io.WideString(text);
    return true;
  }
  static bool Text(TStreamReader& io, std::u16string& text) { return io.WideString(text); }

  static bool Count(TStreamWriter& io, int32_t& count, int64_t) {
    io.Count(count);
    return true;
  }
  static bool Count(TStreamReader& io, int32_t& count, int64_t minItemBytes) {
    return io.Count(count, minItemBytes);
  }

  // The smallest record: an empty key and no words.
  static constexpr int64_t MinRecordBytes = 8;

  template <class IO, class List>
  static bool Record(IO& io, List& list) {
    std::u16string key;
    if constexpr (!Reading<IO>) key = list.key_;
    if (!Text(io, key)) return false;
    if constexpr (Reading<IO>) list.key_ = std::move(key);

    int32_t count = 0;
    if constexpr (!Reading<IO>) count = list.words_.Count();
    if (!Count(io, count, 4)) return false;
    for (int32_t i = 0; i < count; ++i) {
      std::u16string word;
      if constexpr (!Reading<IO>) word = list.words_[i];
      if (!Text(io, word)) return false;
      if constexpr (Reading<IO>) list.LoadWord(std::move(word));
    }
    return true;
  }

  static bool ReadRecord(TStreamReader& io, TBaseList& list) {
    const bool ok = Record(io, list);
    // Also after a failure: what was read stays, and stays consistent.
    list.Renormalize();
    return ok;
  }

  template <class IO, class Lexicon, class Items, class Item>
  static bool Records(IO& io, Lexicon& lexicon, Items& items, Item& (TLexicon::*append)()) {
    int32_t count = 0;
    if constexpr (!Reading<IO>) count = items.Count();
    if (!Count(io, count, MinRecordBytes)) return false;
    for (int32_t i = 0; i < count; ++i) {
      if constexpr (Reading<IO>) {
        if (!ReadRecord(io, (lexicon.*append)())) return false;
      } else {
        Record(io, items[i]);
      }
    }
    return true;
  }

  static void AddStopWord(TStreamReader& io, TLexicon& lexicon, std::u16string word,
                          int64_t start) {
    try {
      lexicon.LoadStopWord(std::move(word));
    } catch (const Exception&) {
      // Callers that show where a stream went wrong find the word's offset.
      io.Stream().SetPosition(start);
      io.Fail(u"repeated stop word");
      throw;
    }
  }

  template <class IO, class Lexicon>
  static bool Content(IO& io, Lexicon& lexicon, bool withGoals) {
    std::u16string separators;
    if constexpr (!Reading<IO>) separators = lexicon.separators_;
    if (!Text(io, separators)) return false;
    if constexpr (Reading<IO>) lexicon.SetSeparators(std::move(separators));

    int32_t count = 0;
    if constexpr (!Reading<IO>) count = lexicon.stopWords_.Count();
    if (!Count(io, count, 4)) return false;
    for (int32_t i = 0; i < count; ++i) {
      const int64_t start = io.Stream().Position();
      std::u16string word;
      if constexpr (!Reading<IO>) word = lexicon.stopWords_[i];
      if (!Text(io, word)) return false;
      if constexpr (Reading<IO>) AddStopWord(io, lexicon, std::move(word), start);
    }

    if (!Records(io, lexicon, lexicon.substitutions_, &TLexicon::AddSubstitutionItem)) return false;
    if (!withGoals) return true;
    return Records(io, lexicon, lexicon.goals_, &TLexicon::AddGoal);
  }
};

// ---------------------------------------------------------------------------
// TBaseList

TBaseList::TBaseList() {
  SetUpSortedList(words_, TDuplicates::Ignore);
  SetUpSortedList(normalizedWords_, TDuplicates::Ignore);
}

std::u16string TBaseList::NormalizeText(std::u16string_view text) const {
  return OnNormalize ? OnNormalize(text) : std::u16string(text);
}

void TBaseList::Changed() {
  if (OnChange) OnChange(*this);
}

void TBaseList::AddWord(const std::u16string& word) {
  if (words_.Contains(word)) return;
  std::u16string form = NormalizeText(word);
  if (normalizedWords_.Contains(form)) return;  // the same word in meaning
  words_.Add(word);
  normalizedWords_.Add(std::move(form));
}

void TBaseList::AddWords(const std::vector<std::u16string>& words) {
  for (const std::u16string& word : words)
    AddWord(word);
  Changed();
}

void TBaseList::LoadWord(std::u16string word) {
  words_.Add(std::move(word));
}

void TBaseList::Renormalize() {
  Reported(loc::BaseListRenormalize, [&] {
    normalizedKey_ = NormalizeText(key_);
    normalizedWords_.Clear();
    int i = 0;
    while (i < words_.Count()) {
      std::u16string form = NormalizeText(words_[i]);
      if (normalizedWords_.Contains(form)) {
        words_.Delete(i);  // the same index now holds the next word
      } else {
        normalizedWords_.Add(std::move(form));
        ++i;
      }
    }
  });
}

void TBaseList::Clear() {
  key_.clear();
  normalizedKey_.clear();
  words_.Clear();
  normalizedWords_.Clear();
}

bool TBaseList::LoadFromStream(TMemoryStream& stream) {
  TStreamReader reader(stream);
  return LoadFromReader(reader);
}

bool TBaseList::LoadFromReader(TStreamReader& reader) {
  Clear();
  return TLexiconLayout::ReadRecord(reader, *this);
}

void TBaseList::SaveToStream(TMemoryStream& stream) const {
  TStreamWriter writer(stream);
  TLexiconLayout::Record(writer, *this);
}

void TBaseList::AssignTo(TBaseList& dest) const {
  if (&dest != this) {
    dest.key_ = key_;
    dest.normalizedKey_ = normalizedKey_;
    dest.words_.Assign(words_);
    dest.normalizedWords_.Assign(normalizedWords_);
  }
  dest.Changed();
}

bool operator==(const TBaseList& a, const TBaseList& b) {
  return a.key_ == b.key_ && a.normalizedKey_ == b.normalizedKey_ && a.words_ == b.words_ &&
         a.normalizedWords_ == b.normalizedWords_;
}

// ---------------------------------------------------------------------------
// TLexicon

TLexicon::TLexicon() {
  SetUpSortedList(stopWords_, TDuplicates::Error);
  SetSeparators(StandardSeparators);
  SetStopWords({u"or", u"and"});
  AddSubstitution(u"plugins", {u"plug-ins", u"plug-in's"});
  AddSubstitution(u"addons", {u"add-ons", u"add-on's"});
}

void TLexicon::EndUpdate() {
  if (updateCount_ > 0 && --updateCount_ == 0) Changed();
}

void TLexicon::Changed() {
  if (updateCount_ == 0 && OnChange) OnChange(*this);
}

void TLexicon::SetSeparators(std::u16string separators) {
  separators_ = std::move(separators);
  separatorTable_.reset();
  for (char16_t c : separators_)
    separatorTable_[c] = true;
}

void TLexicon::LoadStopWord(std::u16string word) {
  stopWords_.Add(std::move(word));
}

template <class Item>
void TLexicon::Hook(Item& item) {
  item.OnChange = [this](TBaseList&) { Changed(); };
  item.OnNormalize = [this](std::u16string_view text) { return Normalize(text); };
}

TSubstitution& TLexicon::AddSubstitutionItem() {
  TSubstitution& item = substitutions_.Append();
  Hook(item);
  return item;
}

TGoalList& TLexicon::AddGoal() {
  TGoalList& item = goals_.Append();
  Hook(item);
  return item;
}

bool TLexicon::IsStopWord(std::u16string_view piece) const {
  return !stopWords_.Empty() && stopWords_.Contains(piece);
}

std::u16string TLexicon::Normalize(std::u16string_view text) const {
  return Reported(loc::LexiconNormalize, [&] { return NormalizeText(text); });
}

std::u16string TLexicon::NormalizeText(std::u16string_view text) const {
  size_t first = 0;
  size_t end = text.size();
  while (first < end && text[first] <= u' ')
    ++first;
  while (end > first && text[end - 1] <= u' ')
    --end;
  // The pieces that survive are gathered at the front of the lower-cased
  // text itself: a piece and the space before it never reach past where
  // the piece stood, so nothing is overwritten before it is read and no
  // piece needs a string of its own.
  std::u16string buffer = LowerCase(text.substr(first, end - first));
  char16_t* const data = buffer.data();
  const size_t size = buffer.size();
  size_t out = 0;
  size_t start = 0;
  for (size_t p = 0; p <= size; ++p) {
    if (p < size && !separatorTable_[data[p]]) continue;
    if (p > start && !IsStopWord(std::u16string_view(data + start, p - start))) {
      if (out > 0) data[out++] = u' ';
      std::char_traits<char16_t>::move(data + out, data + start, p - start);
      out += p - start;
    }
    start = p + 1;
  }
  buffer.resize(out);
  return buffer;
}

void TLexicon::SetStopWords(const std::vector<std::u16string>& words) {
  Reported(loc::LexiconSetStopWords, [&] {
    stopWords_.Clear();
    for (const std::u16string& word : words) {
      // Normalised with the stop words gathered so far, so that a repeated
      // entry comes out empty. An empty text is no word: it is not kept.
      std::u16string form = Normalize(word);
      if (form.empty() || form.find(u' ') != std::u16string::npos) continue;
      if (!stopWords_.Contains(form)) stopWords_.Add(std::move(form));
    }
    Renormalize();
    Changed();
  });
}

int TLexicon::SubstitutionIndex(std::u16string_view key) const noexcept {
  for (int i = 0; i < substitutions_.Count(); ++i) {
    if (substitutions_.items_[static_cast<size_t>(i)]->NormalizedKey() == key) return i;
  }
  return -1;
}

const TSubstitution* TLexicon::FindSubstitution(std::u16string_view key) const noexcept {
  const int index = SubstitutionIndex(key);
  return index < 0 ? nullptr : substitutions_.items_[static_cast<size_t>(index)].get();
}

void TLexicon::AddSubstitution(std::u16string_view key, const std::vector<std::u16string>& words) {
  Reported(loc::LexiconAddSubstitution, [&] {
    try {
      std::u16string normalizedKey = Normalize(key);
      const int index = SubstitutionIndex(normalizedKey);
      TSubstitution* item = index >= 0 ? &substitutions_[index] : nullptr;
      if (item == nullptr) {
        item = &AddSubstitutionItem();
        item->SetKey(std::u16string(key));
        item->SetNormalizedKey(std::move(normalizedKey));
      }
      item->AddWords(words);
    } catch (...) {
      Changed();
      throw;
    }
    Changed();
  });
}

namespace {

// A template cut at its placeholders: Literals[0] Items[0] Literals[1] ...
// Items[n-1] Literals[n]. A placeholder's own text is never searched for
// marks again, so this cut decides every expansion of the template.
struct TTemplateParts {
  std::vector<std::u16string_view> Literals;
  std::vector<const TSubstitution*> Items;
};

}  // namespace

std::vector<std::u16string> TLexicon::ExpandSubstitutions(
    const std::vector<std::u16string>& templates) const {
  return Reported(loc::LexiconExpandSubstitutions, [&] {
    // false for a template that gives nothing: an unmatched mark or an
    // unknown key.
    auto split = [this](std::u16string_view text, TTemplateParts& parts) {
      parts.Literals.clear();
      parts.Items.clear();
      size_t from = 0;
      for (;;) {
        const size_t open = text.find(PlaceholderMark, from);
        if (open == std::u16string_view::npos) break;
        const size_t close = text.find(PlaceholderMark, open + 1);
        if (close == std::u16string_view::npos) return false;
        const TSubstitution* item = FindSubstitution(text.substr(open + 1, close - open - 1));
        if (item == nullptr) return false;
        parts.Literals.push_back(text.substr(from, open - from));
        parts.Items.push_back(item);
        from = close + 1;
      }
      parts.Literals.push_back(text.substr(from));
      return true;
    };
    std::vector<std::u16string> texts;
    TTemplateParts parts;
    // choice[k] is -1 for the key of placeholder k, else the index of its word.
    std::vector<int> choice;
    for (const std::u16string& t : templates) {
      if (texts.size() >= MaxExpansions) break;
      if (!split(t, parts)) continue;
      const size_t n = parts.Items.size();
      choice.assign(n, -1);
      for (;;) {
        std::u16string text(parts.Literals[0]);
        for (size_t k = 0; k < n; ++k) {
          const TSubstitution& item = *parts.Items[k];
          text += choice[k] < 0 ? item.NormalizedKey() : item.NormalizedWords()[choice[k]];
          text += parts.Literals[k + 1];
        }
        texts.push_back(std::move(text));
        if (texts.size() >= MaxExpansions) break;
        // The last placeholder turns fastest, as in replacing the first
        // placeholder of every text, then the next, in order.
        bool advanced = false;
        for (size_t k = n; k-- > 0;) {
          if (++choice[k] < parts.Items[k]->NormalizedWords().Count()) {
            advanced = true;
            break;
          }
          choice[k] = -1;
        }
        if (!advanced) break;
      }
    }
    return texts;
  });
}

void TLexicon::ExpandSubstitutions(const TWideStringList& templates,
                                   TWideStringList& result) const {
  std::vector<std::u16string> texts = ExpandSubstitutions(templates.ToVector());
  result.Clear();
  for (std::u16string& t : texts)
    result.Add(std::move(t));
}

void TLexicon::Renormalize() {
  for (const auto& item : substitutions_.items_)
    item->Renormalize();
  for (const auto& item : goals_.items_)
    item->Renormalize();
}

void TLexicon::Clear() {
  SetSeparators({});
  stopWords_.Clear();
  substitutions_.Clear();
  goals_.Clear();
}

bool TLexicon::LoadFromStream(TMemoryStream& stream, int32_t version) {
  TStreamReader reader(stream);
  return LoadFromReader(reader, version);
}

bool TLexicon::LoadFromReader(TStreamReader& reader, int32_t version) {
  Clear();
  return TLexiconLayout::Content(reader, *this, version > 9);
}

void TLexicon::SaveToStream(TMemoryStream& stream) const {
  TStreamWriter writer(stream);
  TLexiconLayout::Content(writer, *this, true);
}

void TLexicon::AssignTo(TLexicon& dest) {
  if (&dest == this) return;
  dest.Clear();
  dest.SetSeparators(separators_);
  dest.stopWords_.Assign(stopWords_);
  for (const auto& item : substitutions_.items_)
    item->AssignTo(dest.AddSubstitutionItem());
  for (const auto& item : goals_.items_)
    item->AssignTo(dest.AddGoal());
  Changed();
}

namespace {

template <class Items>
bool SameItems(const Items& a, const Items& b) {
  if (a.Count() != b.Count()) return false;
  for (int i = 0; i < a.Count(); ++i) {
    if (!(a[i] == b[i])) return false;
  }
  return true;
}

}  // namespace

bool operator==(const TLexicon& a, const TLexicon& b) {
  return a.separators_ == b.separators_ && a.stopWords_ == b.stopWords_ &&
         SameItems(a.substitutions_, b.substitutions_) && SameItems(a.goals_, b.goals_);
}

}  // namespace qm
