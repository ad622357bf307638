// The transit model: the one representation of web forms that the add-on
// and the manager exchange.
//
// A TTransitFormSet owns TTransitFormCards; a card describes one HTML form
// of one page and owns its TTransitFields, one per control in document
// order. All three are plain values with deep copies (Assign is the same
// copy and is safe on itself). Cards and sets compare for equality field by
// field.
//
// Matching: a stored field matches a probe field (Matches), a stored card
// scores a probe card 0..100 (Compare, CompareFields), and a set finds the
// best-scoring card or the first matching field for a probe, overwriting
// the probe with what it found. Failures carry the location codes
// TransitMatches .. TransitFindBestCard (LocationCodes.h).
//
// Stream format (little-endian, wide strings as in StreamUtils), written by
// one layout shared by reader and writer:
//   set:   int32 card count, then the cards
//   card:  Url, Method, Charset, FormHtml (wide strings), CurrentForm
//          (1 byte, 0 or 1), SubmitFieldIndex (int32), FormSysID (16 bytes,
//          GUID byte form), int32 field count, then the fields
//   field: ElementIndex (int32), Name, TagName, InputType, ProfileField,
//          Value (wide strings), ValueKind (int32), Values (wide string)
// No header, version or checksum. A count below 1 reads as no items.
//
// Bad input. The format carries no lengths for cards or fields, so a
// reader cannot step over a damaged item: reading stops at the first item
// that does not read whole, and nothing after it is trusted.
//   - A short or negative-length string, a short integer or GUID, and a
//     CurrentForm byte other than 0 or 1 fail the read at that item's first
//     byte. Failure is sticky: nothing is read after it.
//   - A card or field count larger than the bytes left could hold (a card
//     takes at least 41 bytes, a field 32) fails at the count at once, so
//     nothing is allocated from a count the data cannot back, and a
//     truncated stream never loops.
//   - The set (or card) keeps the items read whole before the failure; the
//     item that failed is dropped. The caller learns the failure from the
//     TTransitReadResult: the byte offset in the stream where reading went
//     wrong and why, ready for an error message.
//   - Bytes after the last card are left unread (the stream's position is
//     just past the set); whether they are an error is the caller's call.
//
// Not synchronised; objects belong to one thread at a time (LocaleEqual
// keeps a collator per thread).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/Common/OwnedCollection.h"
#include "core/Common/StreamUtils.h"
#include "platform/com/Guid.h"

namespace qm {

// How Value and Values are applied when a page is filled.
inline constexpr int32_t ValueKindLiteral = -1;
inline constexpr int32_t ValueKindWords = 4;
inline constexpr int32_t ValueKindLexicon = 5;

// Smallest stream size of one item: every string empty.
inline constexpr int64_t TransitFieldMinBytes = 4 + 5 * 4 + 4 + 4;
inline constexpr int64_t TransitCardMinBytes = 4 * 4 + 1 + 4 + 16 + 4;

// How a stream read ended. Ok() unless an item did not read whole;
// FailOffset is then the byte (from the start of the stream) where the
// failing item began, and FailReason says what was wrong with it.
struct [[nodiscard]] TTransitReadResult {
  int64_t FailOffset = -1;
  std::u16string FailReason;

  bool Ok() const noexcept { return FailOffset < 0; }
  explicit operator bool() const noexcept { return Ok(); }
  // "Corrupt transit stream at byte 12: short string"; empty when Ok.
  std::u16string Message() const;
};

// One control of a form.
class TTransitField {
public:
  int32_t ElementIndex = -1;  // among the form's counted controls; -1 hidden
  std::u16string Name;
  std::u16string TagName;    // lower case: input, select, textarea
  std::u16string InputType;  // lower case; empty for a textarea
  std::u16string ProfileField;
  std::u16string Value;
  int32_t ValueKind = ValueKindLiteral;
  std::u16string Values;  // comma text of candidate values

  void Assign(const TTransitField& source) { *this = source; }

  // Called on a stored field with a probe. useIndex also requires equal
  // ElementIndex. TagName, InputType and Name must be equal; a submit or
  // hidden input must also have a locale-equal Value.
  bool Matches(const TTransitField& probe, bool useIndex) const;

  void WriteToStream(TMemoryStream& stream) const;
  // Whether the field's last string (Values) was read whole, which is
  // whether the whole field was: see the header comment for what a failed
  // read leaves.
  bool ReadFromStream(TMemoryStream& stream);
  void WriteToStream(TStreamWriter& writer) const;
  bool ReadFromStream(TStreamReader& reader);

  friend bool operator==(const TTransitField&, const TTransitField&) = default;
};

class TTransitFields : public TOwnedCollection<TTransitField> {};

// One form of one page.
class TTransitFormCard {
public:
  std::u16string Url;
  std::u16string Method;  // lower case; "get" by default; "click" for a click card
  std::u16string Charset;
  std::u16string FormHtml;
  bool CurrentForm = false;
  int32_t SubmitFieldIndex = -1;  // index in Fields; -1 none
  platform::GUID FormSysID;
  TTransitFields Fields;

  void Assign(const TTransitFormCard& source) { *this = source; }

  // The first field that matches probe (without the index flag) is copied
  // into probe; false and probe unchanged when none does.
  bool FindMatchingField(TTransitField& probe) const;

  // Similarity of this stored card to probe, 0..100. A click card scores
  // 100 when Method and Url are equal, else 0; other cards 0 when the
  // methods differ, else CompareFields.
  int Compare(const TTransitFormCard& probe) const;
  // Indexed fields (ElementIndex >= 0) must pair up one by one; then
  // (matched unindexed + 1) * 100 / (larger unindexed count + 1).
  int CompareFields(const TTransitFormCard& probe) const;

  // Comma text of six entries per field: ElementIndex, Name, TagName,
  // InputType, ProfileField, Value.
  std::u16string FieldsText() const;

  void WriteToStream(TMemoryStream& stream) const;
  TTransitReadResult ReadFromStream(TMemoryStream& stream);
  void WriteToStream(TStreamWriter& writer) const;
  // false when the card did not read whole (details in the reader).
  bool ReadFromStream(TStreamReader& reader);

  friend bool operator==(const TTransitFormCard&, const TTransitFormCard&) = default;
};

class TTransitFormSet : public TOwnedCollection<TTransitFormCard> {
public:
  // Scores every card against probe in order; a later card wins only with
  // a strictly greater score, and 100 ends the walk. On a positive score
  // the best card is copied into probe (and its index into bestIndex when
  // given); on 0, probe is unchanged and bestIndex is -1.
  int FindBestCard(TTransitFormCard& probe, int* bestIndex = nullptr) const;
  // The first card whose FindMatchingField succeeds overwrites probe.
  bool FindField(TTransitField& probe) const;

  void WriteToStream(TMemoryStream& stream) const;
  // Clears the set, then reads it from the stream's position.
  TTransitReadResult ReadFromStream(TMemoryStream& stream);
  void WriteToStream(TStreamWriter& writer) const;
  bool ReadFromStream(TStreamReader& reader);

  friend bool operator==(const TTransitFormSet& a, const TTransitFormSet& b) {
    return static_cast<const TOwnedCollection<TTransitFormCard>&>(a) ==
           static_cast<const TOwnedCollection<TTransitFormCard>&>(b);
  }
};

namespace transit_detail {

// The count of matched unindexed fields in CompareFields: each stored
// field, in order, takes the first probe field not yet taken that it
// matches with the index flag.
//
// CountPairwise walks that rule literally, in time stored x probe.
// CountBucketed answers the same count in about linear time: a match needs
// equal ElementIndex, TagName, InputType and Name, so probe fields are
// grouped by those; within a group of submit or hidden inputs, by the
// collation key of Value (equal keys are exactly the locale-equal values).
// Matching is then "same group", so every stored field of a group matches
// every probe field of it alike, and the count is, per group, the smaller
// of its stored and probe sizes, whichever free field each one takes.
// CompareFields uses the pairwise walk for small cards, where
// it is cheaper, and the bucketed one above that.
using FieldRefs = std::vector<const TTransitField*>;
int CountPairwise(const FieldRefs& stored, const FieldRefs& probe);
int CountBucketed(const FieldRefs& stored, const FieldRefs& probe);

// Whether a match of this field (stored or probe: their tag and type are
// equal when they match) also needs a locale-equal Value.
bool NeedsEqualValue(const TTransitField& field);
bool NeedsEqualValue(std::u16string_view tagName, std::u16string_view inputType);

// stored x probe above which CompareFields buckets.
inline constexpr size_t BucketThreshold = 4096;

}  // namespace transit_detail

}  // namespace qm
