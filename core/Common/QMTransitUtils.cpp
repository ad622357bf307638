#include "core/Common/QMTransitUtils.h"

#include <algorithm>
#include <functional>
#include <string_view>
#include <unordered_map>

#include "core/Common/LocationCodes.h"
#include "core/Common/TextUtils.h"
#include "core/Common/VxSystem.h"
#include "core/Common/WideStrings.h"

namespace qm {
namespace {

using transit_detail::FieldRefs;
using transit_detail::NeedsEqualValue;

// Answers of a text rule remembered per thread. The rules below depend
// only on the text and on this thread's collator, which is made once, so
// a remembered answer is the answer; the table starts over when it grows
// large, so that a stream of ever new texts cannot make it grow for good.
struct TextHash {
  using is_transparent = void;
  size_t operator()(std::u16string_view text) const noexcept {
    return std::hash<std::u16string_view>()(text);
  }
};
using RuleMemo = std::unordered_map<std::u16string, bool, TextHash, std::equal_to<>>;

template <class Rule>
bool Remembered(RuleMemo& memo, std::u16string_view text, Rule rule) {
  if (const auto at = memo.find(text); at != memo.end()) return at->second;
  const bool answer = rule(text);
  if (memo.size() >= 256) memo.clear();
  memo.emplace(text, answer);
  return answer;
}

bool IsInputTag(std::u16string_view tag) {
  if (tag == u"input") return true;
  thread_local RuleMemo memo;
  return Remembered(memo, tag, [](std::u16string_view t) { return LocaleEqual(t, u"input"); });
}

bool IsValueType(std::u16string_view type) {
  if (type == u"submit" || type == u"hidden") return true;
  thread_local RuleMemo memo;
  return Remembered(memo, type, [](std::u16string_view t) {
    return LocaleEqual(t, u"submit") || LocaleEqual(t, u"hidden");
  });
}


// ---- Stream layout: one description for both directions ----------------

void Flag(TStreamWriter& writer, const bool& value) { writer.Bool8(value); }

// The format knows only 0 and 1; any other byte means the stream is not
// what it claims to be, and reading on would only produce garbage.
void Flag(TStreamReader& reader, bool& value) {
  const int64_t at = reader.Stream().Position();
  uint8_t byte = 0;
  if (!reader.Byte(byte)) return;
  if (byte > 1) {
    reader.Stream().SetPosition(at);
    reader.Fail(u"boolean byte is neither 0 nor 1");
    return;
  }
  value = byte == 1;
}

template <class Item, class Layout>
void Items(TStreamWriter& writer, const TOwnedCollection<Item>& items, int64_t /*minItemBytes*/,
           Layout layout) {
  writer.Count(items.Count());
  for (const Item& item : items) layout(writer, item);
}

// Clears items, then appends the items that read whole; the first item
// that does not is dropped and ends the read (the reader's failure is
// sticky). The count is checked against the bytes left before anything is
// allocated from it.
template <class Item, class Layout>
void Items(TStreamReader& reader, TOwnedCollection<Item>& items, int64_t minItemBytes,
           Layout layout) {
  items.Clear();
  int32_t count = 0;
  if (!reader.Count(count, minItemBytes)) return;
  for (int32_t i = 0; i < count; ++i) {
    Item item;
    layout(reader, item);
    if (!reader.Ok()) return;
    items.Add(std::move(item));
  }
}

template <class IO, class Field>
void FieldLayout(IO& io, Field& field) {
  io.Int32(field.ElementIndex);
  io.WideString(field.Name);
  io.WideString(field.TagName);
  io.WideString(field.InputType);
  io.WideString(field.ProfileField);
  io.WideString(field.Value);
  io.Int32(field.ValueKind);
  io.WideString(field.Values);
}

template <class IO, class Card>
void CardLayout(IO& io, Card& card) {
  io.WideString(card.Url);
  io.WideString(card.Method);
  io.WideString(card.Charset);
  io.WideString(card.FormHtml);
  Flag(io, card.CurrentForm);
  io.Int32(card.SubmitFieldIndex);
  io.Guid(card.FormSysID);
  Items(io, card.Fields, TransitFieldMinBytes,
        [](auto& inner, auto& field) { FieldLayout(inner, field); });
}

template <class IO, class Set>
void SetLayout(IO& io, Set& set) {
  Items(io, set, TransitCardMinBytes, [](auto& inner, auto& card) { CardLayout(inner, card); });
}

// The memory-stream forms of the card and set readers and writers.
template <class Item>
void WriteWhole(const Item& item, TMemoryStream& stream) {
  TStreamWriter writer(stream);
  item.WriteToStream(writer);
}

template <class Item>
TTransitReadResult ReadWhole(Item& item, TMemoryStream& stream) {
  TStreamReader reader(stream);
  (void)item.ReadFromStream(reader);
  return {reader.FailOffset(), reader.Ok() ? std::u16string() : reader.FailReason()};
}

// ---- Bucketed matching of unindexed fields -------------------------------

struct FieldKey {
  int32_t ElementIndex;
  std::u16string_view TagName;
  std::u16string_view InputType;
  std::u16string_view Name;
  friend bool operator==(const FieldKey&, const FieldKey&) = default;
};

FieldKey KeyOf(const TTransitField& f) { return {f.ElementIndex, f.TagName, f.InputType, f.Name}; }

struct FieldKeyHash {
  size_t operator()(const FieldKey& k) const noexcept {
    const std::hash<std::u16string_view> h;
    size_t seed = std::hash<int32_t>()(k.ElementIndex);
    for (const auto part : {k.TagName, k.InputType, k.Name}) {
      seed ^= h(part) + 0x9E3779B97F4A7C15ull + (seed << 6) + (seed >> 2);
    }
    return seed;
  }
};

// The probe fields of one key. Without a value rule, every one of them
// matches every stored field of the key alike, so which one a stored field
// takes does not change the count: only how many are left matters. With
// the value rule, a small group is searched value by value; a large one is
// counted per collation key of Value (equal keys are exactly the
// locale-equal values), made the first time a stored field asks.
class FieldGroup {
public:
  explicit FieldGroup(bool valueMatters) : valueMatters_(valueMatters) {}
  void AddProbe(const TTransitField* field) {
    probe_.push_back(field);
    used_.push_back(false);
  }
  // Takes a free probe field that stored matches; false when none is left.
  bool Take(const TTransitField& stored) {
    if (!valueMatters_) return taken_ < probe_.size() ? (++taken_, true) : false;
    if (probe_.size() <= SmallGroup) {
      for (size_t j = 0; j < probe_.size(); ++j) {
        if (!used_[j] && LocaleEqual(stored.Value, probe_[j]->Value)) {
          used_[j] = true;
          return true;
        }
      }
      return false;
    }
    if (!keyed_) {
      for (const TTransitField* p : probe_) ++freeByKey_[LocaleEqualKey(p->Value)];
      keyed_ = true;
    }
    const auto at = freeByKey_.find(LocaleEqualKey(stored.Value));
    if (at == freeByKey_.end() || at->second == 0) return false;
    --at->second;
    return true;
  }

private:
  static constexpr size_t SmallGroup = 8;
  bool valueMatters_;
  std::vector<const TTransitField*> probe_;
  std::vector<bool> used_;
  size_t taken_ = 0;
  bool keyed_ = false;
  std::unordered_map<std::string, size_t> freeByKey_;
};

}  // namespace

// Submit buttons and hidden inputs carry their meaning in the value alone.
bool transit_detail::NeedsEqualValue(std::u16string_view tagName, std::u16string_view inputType) {
  return IsInputTag(tagName) && IsValueType(inputType);
}

bool transit_detail::NeedsEqualValue(const TTransitField& field) {
  return NeedsEqualValue(field.TagName, field.InputType);
}

std::u16string TTransitReadResult::Message() const {
  if (Ok()) return {};
  return u"Corrupt transit stream at byte " + IntToText(FailOffset) + u": " + FailReason;
}

// ---- TTransitField ---------------------------------------------------------

bool TTransitField::Matches(const TTransitField& probe, bool useIndex) const {
  return Reported(loc::TransitMatches, [&] {
    if (useIndex && ElementIndex != probe.ElementIndex) return false;
    // Name first: it is the one that tells fields of a form apart.
    if (Name != probe.Name || TagName != probe.TagName || InputType != probe.InputType) {
      return false;
    }
    if (!NeedsEqualValue(*this)) return true;
    return LocaleEqual(Value, probe.Value);
  });
}

void TTransitField::WriteToStream(TMemoryStream& stream) const {
  TStreamWriter writer(stream);
  WriteToStream(writer);
}

bool TTransitField::ReadFromStream(TMemoryStream& stream) {
  TStreamReader reader(stream);
  return ReadFromStream(reader);
}

void TTransitField::WriteToStream(TStreamWriter& writer) const { FieldLayout(writer, *this); }

bool TTransitField::ReadFromStream(TStreamReader& reader) {
  FieldLayout(reader, *this);
  return reader.Ok();
}

// ---- TTransitFormCard ------------------------------------------------------

bool TTransitFormCard::FindMatchingField(TTransitField& probe) const {
  return Reported(loc::TransitFindMatchingField, [&] {
    for (const TTransitField& field : Fields) {
      if (field.Matches(probe, false)) {
        probe.Assign(field);
        return true;
      }
    }
    return false;
  });
}

int TTransitFormCard::Compare(const TTransitFormCard& probe) const {
  return Reported(loc::TransitCompare, [&] {
    if (Method == u"click") return Method == probe.Method && Url == probe.Url ? 100 : 0;
    if (Method != probe.Method) return 0;
    return CompareFields(probe);
  });
}

int TTransitFormCard::CompareFields(const TTransitFormCard& probe) const {
  return Reported(loc::TransitCompareFields, [&] {
    // The indexed fields pair up in order, walked in step: most cards
    // that don't fit fail at their first pair, before anything is gathered.
    auto stored = Fields.begin();
    auto other = probe.Fields.begin();
    for (;;) {
      while (stored != Fields.end() && stored->ElementIndex < 0) ++stored;
      while (other != probe.Fields.end() && other->ElementIndex < 0) ++other;
      const bool storedDone = stored == Fields.end();
      if (storedDone || other == probe.Fields.end()) {
        if (storedDone != (other == probe.Fields.end())) return 0;  // counts differ
        break;
      }
      if (!stored->Matches(*other, true)) return 0;
      ++stored;
      ++other;
    }
    FieldRefs storedOther, probeOther;
    for (const TTransitField& f : Fields) {
      if (f.ElementIndex < 0) storedOther.push_back(&f);
    }
    for (const TTransitField& f : probe.Fields) {
      if (f.ElementIndex < 0) probeOther.push_back(&f);
    }
    const bool large = storedOther.size() * probeOther.size() > transit_detail::BucketThreshold;
    const int64_t count = large ? transit_detail::CountBucketed(storedOther, probeOther)
                                : transit_detail::CountPairwise(storedOther, probeOther);
    const auto larger = static_cast<int64_t>(std::max(storedOther.size(), probeOther.size()));
    return static_cast<int>((count + 1) * 100 / (larger + 1));
  });
}

std::u16string TTransitFormCard::FieldsText() const {
  return Reported(loc::TransitFieldsText, [&] {
    std::vector<std::u16string> entries;
    entries.reserve(static_cast<size_t>(Fields.Count()) * 6);
    for (const TTransitField& f : Fields) {
      entries.push_back(IntToText(f.ElementIndex));
      entries.push_back(f.Name);
      entries.push_back(f.TagName);
      entries.push_back(f.InputType);
      entries.push_back(f.ProfileField);
      entries.push_back(f.Value);
    }
    return CommaText(entries);
  });
}

void TTransitFormCard::WriteToStream(TMemoryStream& stream) const { WriteWhole(*this, stream); }

TTransitReadResult TTransitFormCard::ReadFromStream(TMemoryStream& stream) {
  return ReadWhole(*this, stream);
}

void TTransitFormCard::WriteToStream(TStreamWriter& writer) const { CardLayout(writer, *this); }

bool TTransitFormCard::ReadFromStream(TStreamReader& reader) {
  CardLayout(reader, *this);
  return reader.Ok();
}

// ---- TTransitFormSet -------------------------------------------------------

int TTransitFormSet::FindBestCard(TTransitFormCard& probe, int* bestIndex) const {
  return Reported(loc::TransitFindBestCard, [&] {
    int best = 0;
    int bestAt = -1;
    for (int i = 0; i < Count(); ++i) {
      const int score = (*this)[i].Compare(probe);
      if (score > best) {
        best = score;
        bestAt = i;
      }
      if (score == 100) break;
    }
    if (bestIndex != nullptr) *bestIndex = bestAt;
    if (best > 0) probe.Assign((*this)[bestAt]);
    return best;
  });
}

bool TTransitFormSet::FindField(TTransitField& probe) const {
  return Reported(loc::TransitFindField, [&] {
    for (const TTransitFormCard& card : *this) {
      if (card.FindMatchingField(probe)) return true;
    }
    return false;
  });
}

void TTransitFormSet::WriteToStream(TMemoryStream& stream) const { WriteWhole(*this, stream); }

TTransitReadResult TTransitFormSet::ReadFromStream(TMemoryStream& stream) {
  return ReadWhole(*this, stream);
}

void TTransitFormSet::WriteToStream(TStreamWriter& writer) const { SetLayout(writer, *this); }

bool TTransitFormSet::ReadFromStream(TStreamReader& reader) {
  SetLayout(reader, *this);
  return reader.Ok();
}

// ---- Unindexed matching ----------------------------------------------------

namespace transit_detail {

int CountPairwise(const FieldRefs& stored, const FieldRefs& probe) {
  std::vector<bool> used(probe.size(), false);
  int count = 0;
  for (const TTransitField* s : stored) {
    for (size_t j = 0; j < probe.size(); ++j) {
      if (!used[j] && s->Matches(*probe[j], true)) {
        used[j] = true;
        ++count;
        break;
      }
    }
  }
  return count;
}

int CountBucketed(const FieldRefs& stored, const FieldRefs& probe) {
  std::unordered_map<FieldKey, FieldGroup, FieldKeyHash> groups;
  groups.reserve(probe.size());
  for (const TTransitField* p : probe) {
    auto at = groups.find(KeyOf(*p));
    // The key fixes TagName and InputType, and with them whether Value
    // matters; stored fields of the same key decide it the same way.
    if (at == groups.end()) at = groups.emplace(KeyOf(*p), FieldGroup(NeedsEqualValue(*p))).first;
    at->second.AddProbe(p);
  }
  int count = 0;
  for (const TTransitField* s : stored) {
    const auto at = groups.find(KeyOf(*s));
    if (at != groups.end() && at->second.Take(*s)) ++count;
  }
  return count;
}

}  // namespace transit_detail

}  // namespace qm
