// The automation variant: the value type that crosses COM interfaces.
//
// A Variant is empty, null, a 16-bit automation boolean (true is -1), a
// 32-bit integer, a UTF-16 string, a one-dimensional array with an explicit
// lower bound (of bytes, of strings or of variants), or an interface
// reference. Byte arrays carry binary streams and string arrays carry lists
// between the add-on and the manager.
//
// Plain value type with deep copies (an interface reference is shared).
// Reading a variant as a kind it isn't raises Exception "Invalid variant
// type conversion". Not synchronised.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "platform/com/Unknown.h"

namespace qm::platform {

using VARIANT_BOOL = int16_t;
inline constexpr VARIANT_BOOL VARIANT_TRUE = -1;
inline constexpr VARIANT_BOOL VARIANT_FALSE = 0;

// A one-dimensional array: Items[0] has index LowerBound.
template <class T>
struct SafeArray {
  int32_t LowerBound = 0;
  std::vector<T> Items;

  int32_t UpperBound() const { return LowerBound + static_cast<int32_t>(Items.size()) - 1; }
  int32_t Count() const { return static_cast<int32_t>(Items.size()); }
  friend bool operator==(const SafeArray&, const SafeArray&) = default;
};

class Variant;
using ByteArray = SafeArray<uint8_t>;
using StringArray = SafeArray<std::u16string>;
using VariantArray = SafeArray<Variant>;

class Variant {
public:
  enum class Kind : uint8_t {
    Empty,
    Null,
    Bool,
    Int32,
    String,
    ByteArray,
    StringArray,
    VariantArray,
    Unknown,
  };

  Variant() = default;  // empty
  static Variant Null();
  static Variant FromBool(bool value);
  static Variant FromInt32(int32_t value);
  static Variant FromString(std::u16string value);
  static Variant FromBytes(std::vector<uint8_t> bytes, int32_t lowerBound = 0);
  static Variant FromStrings(std::vector<std::u16string> items, int32_t lowerBound = 0);
  static Variant FromVariants(std::vector<Variant> items, int32_t lowerBound = 0);
  static Variant FromArray(ByteArray array);
  static Variant FromArray(StringArray array);
  static Variant FromArray(VariantArray array);
  static Variant FromUnknown(ComPtr<IUnknown> object);

  Kind GetKind() const noexcept { return static_cast<Kind>(value_.index()); }
  bool IsEmpty() const noexcept { return GetKind() == Kind::Empty; }
  bool IsNull() const noexcept { return GetKind() == Kind::Null; }
  bool IsEmptyOrNull() const noexcept { return IsEmpty() || IsNull(); }
  bool IsArray() const noexcept;

  // Exact readers: raise unless the variant holds that kind.
  VARIANT_BOOL AsBool16() const;
  bool AsBool() const;  // Bool, or Int32 (non-zero is true)
  int32_t AsInt32() const;  // Int32, or Bool (-1 / 0)
  const std::u16string& AsString() const;
  const ByteArray& AsByteArray() const;
  const StringArray& AsStringArray() const;
  const VariantArray& AsVariantArray() const;
  const ComPtr<IUnknown>& AsUnknown() const;

  // Bounds of an array variant of any element kind; raise for non-arrays.
  int32_t LowBound() const;
  int32_t HighBound() const;
  int32_t ArrayCount() const;
  // Element i (counted from 0, not from the lower bound) as a variant.
  Variant ArrayElement(int32_t i) const;

  // The wide-string form: empty and null give the empty text, booleans
  // "True"/"False", integers their decimal text; arrays and interfaces raise.
  std::u16string ToText() const;

  friend bool operator==(const Variant& a, const Variant& b);

private:
  struct NullTag {
    friend bool operator==(NullTag, NullTag) { return true; }
  };
  struct BoolValue {
    VARIANT_BOOL Value;
    friend bool operator==(BoolValue, BoolValue) = default;
  };
  using Storage = std::variant<std::monostate, NullTag, BoolValue, int32_t, std::u16string,
                               ByteArray, StringArray, VariantArray, ComPtr<IUnknown>>;
  explicit Variant(Storage value) : value_(std::move(value)) {}

  Storage value_;
};

}  // namespace qm::platform
