#include "manager/store/FormSignature.h"

#include <algorithm>

#include "core/Common/QMTransitUtils.h"
#include "core/Common/TransitJson.h"
#include "platform/rtl/Exception.h"
#include "platform/rtl/Utf.h"

namespace qm::manager {
namespace {

// FNV-1a over the code units, with each text's length first so that
// ("ab", "c") and ("a", "bc") differ.
class THash {
public:
  void Add(int64_t value) {
    for (int i = 0; i < 8; ++i)
      AddByte(static_cast<uint8_t>(value >> (8 * i)));
  }
  void Add(const std::u16string& text) {
    Add(static_cast<int64_t>(text.size()));
    for (char16_t c : text) {
      AddByte(static_cast<uint8_t>(c));
      AddByte(static_cast<uint8_t>(c >> 8));
    }
  }
  int64_t Value() const { return static_cast<int64_t>(hash_); }

private:
  void AddByte(uint8_t byte) {
    hash_ ^= byte;
    hash_ *= 0x100000001b3ull;
  }
  uint64_t hash_ = 0xcbf29ce484222325ull;
};

struct TFieldKey {
  int32_t ElementIndex;
  const std::u16string* TagName;
  const std::u16string* InputType;
  const std::u16string* Name;

  friend bool operator<(const TFieldKey& a, const TFieldKey& b) {
    if (a.ElementIndex != b.ElementIndex) return a.ElementIndex < b.ElementIndex;
    if (*a.TagName != *b.TagName) return *a.TagName < *b.TagName;
    if (*a.InputType != *b.InputType) return *a.InputType < *b.InputType;
    return *a.Name < *b.Name;
  }
};

void AddKey(THash& hash, const TFieldKey& key) {
  hash.Add(key.ElementIndex);
  hash.Add(*key.TagName);
  hash.Add(*key.InputType);
  hash.Add(*key.Name);
}

}  // namespace

TFormSignature SignatureOf(const TTransitFormCard& card) {
  TFormSignature signature{card.Url, card.Method, 0};
  if (card.Method == u"click") return signature;
  THash hash;
  std::vector<TFieldKey> unindexed;
  int64_t indexed = 0;
  for (const TTransitField& field : card.Fields) {
    const TFieldKey key{field.ElementIndex, &field.TagName, &field.InputType, &field.Name};
    if (field.ElementIndex >= 0) {
      AddKey(hash, key);
      ++indexed;
    } else {
      unindexed.push_back(key);
    }
  }
  // Indexed fields pair up by position; unindexed ones in any order.
  hash.Add(indexed);
  std::sort(unindexed.begin(), unindexed.end());
  for (const TFieldKey& key : unindexed)
    AddKey(hash, key);
  hash.Add(static_cast<int64_t>(unindexed.size()));
  signature.Shape = hash.Value();
  return signature;
}

std::vector<TFormSignature> SignaturesOf(const TTransitFormSet& set) {
  std::vector<TFormSignature> signatures;
  signatures.reserve(set.Count());
  for (const TTransitFormCard& card : set)
    signatures.push_back(SignatureOf(card));
  return signatures;
}

std::vector<TFormSignature> FormSignaturesOf(const Bytes& stream) {
  TMemoryStream memory(stream);
  TTransitFormSet set;
  if (!set.ReadFromStream(memory)) return {};
  return SignaturesOf(set);
}

bool FormSetToJson(const Bytes& stream, Json& forms) {
  TMemoryStream memory(stream);
  TTransitFormSet set;
  if (!set.ReadFromStream(memory) || memory.Remaining() != 0) return false;
  TMemoryStream again;
  set.WriteToStream(again);
  if (again.Bytes() != stream) return false;
  try {
    forms = TransitSetToJson(set);
  } catch (const platform::Exception&) {
    return false;  // a text JSON cannot carry (an unpaired surrogate)
  }
  return true;
}

Bytes FormSetFromJson(const Json& forms, const std::string& where) {
  TTransitFormSet set;
  try {
    set = TransitSetFromJson(forms);
  } catch (const platform::Exception& e) {
    RaiseJsonError(where, platform::Utf16ToUtf8(e.Message()));
  }
  TMemoryStream memory;
  set.WriteToStream(memory);
  return memory.Bytes();
}

}  // namespace qm::manager
