#include "platform/com/Variant.h"

#include "platform/rtl/Exception.h"
#include "platform/rtl/Utf.h"

namespace qm::platform {
namespace {

[[noreturn]] void BadConversion() { throw Exception(u"Invalid variant type conversion"); }

}  // namespace

Variant Variant::Null() { return Variant(Storage(NullTag{})); }
Variant Variant::FromBool(bool value) {
  return Variant(Storage(BoolValue{value ? VARIANT_TRUE : VARIANT_FALSE}));
}
Variant Variant::FromInt32(int32_t value) { return Variant(Storage(value)); }
Variant Variant::FromString(std::u16string value) { return Variant(Storage(std::move(value))); }
Variant Variant::FromBytes(std::vector<uint8_t> bytes, int32_t lowerBound) {
  return FromArray(ByteArray{lowerBound, std::move(bytes)});
}
Variant Variant::FromStrings(std::vector<std::u16string> items, int32_t lowerBound) {
  return FromArray(StringArray{lowerBound, std::move(items)});
}
Variant Variant::FromVariants(std::vector<Variant> items, int32_t lowerBound) {
  return FromArray(VariantArray{lowerBound, std::move(items)});
}
Variant Variant::FromArray(ByteArray array) { return Variant(Storage(std::move(array))); }
Variant Variant::FromArray(StringArray array) { return Variant(Storage(std::move(array))); }
Variant Variant::FromArray(VariantArray array) { return Variant(Storage(std::move(array))); }
Variant Variant::FromUnknown(ComPtr<IUnknown> object) {
  return Variant(Storage(std::move(object)));
}

bool Variant::IsArray() const noexcept {
  const Kind k = GetKind();
  return k == Kind::ByteArray || k == Kind::StringArray || k == Kind::VariantArray;
}

VARIANT_BOOL Variant::AsBool16() const {
  if (const auto* b = std::get_if<BoolValue>(&value_)) return b->Value;
  BadConversion();
}

bool Variant::AsBool() const {
  if (const auto* b = std::get_if<BoolValue>(&value_)) return b->Value != 0;
  if (const auto* i = std::get_if<int32_t>(&value_)) return *i != 0;
  BadConversion();
}

int32_t Variant::AsInt32() const {
  if (const auto* i = std::get_if<int32_t>(&value_)) return *i;
  if (const auto* b = std::get_if<BoolValue>(&value_)) return b->Value;
  BadConversion();
}

const std::u16string& Variant::AsString() const {
  if (const auto* s = std::get_if<std::u16string>(&value_)) return *s;
  BadConversion();
}

const ByteArray& Variant::AsByteArray() const {
  if (const auto* a = std::get_if<ByteArray>(&value_)) return *a;
  BadConversion();
}

const StringArray& Variant::AsStringArray() const {
  if (const auto* a = std::get_if<StringArray>(&value_)) return *a;
  BadConversion();
}

const VariantArray& Variant::AsVariantArray() const {
  if (const auto* a = std::get_if<VariantArray>(&value_)) return *a;
  BadConversion();
}

const ComPtr<IUnknown>& Variant::AsUnknown() const {
  if (const auto* u = std::get_if<ComPtr<IUnknown>>(&value_)) return *u;
  BadConversion();
}

int32_t Variant::LowBound() const {
  if (const auto* a = std::get_if<ByteArray>(&value_)) return a->LowerBound;
  if (const auto* a = std::get_if<StringArray>(&value_)) return a->LowerBound;
  if (const auto* a = std::get_if<VariantArray>(&value_)) return a->LowerBound;
  BadConversion();
}

int32_t Variant::HighBound() const { return LowBound() + ArrayCount() - 1; }

int32_t Variant::ArrayCount() const {
  if (const auto* a = std::get_if<ByteArray>(&value_)) return a->Count();
  if (const auto* a = std::get_if<StringArray>(&value_)) return a->Count();
  if (const auto* a = std::get_if<VariantArray>(&value_)) return a->Count();
  BadConversion();
}

Variant Variant::ArrayElement(int32_t i) const {
  if (i < 0 || i >= ArrayCount()) throw Exception(u"Variant or safe array index out of bounds");
  const auto index = static_cast<size_t>(i);
  if (const auto* a = std::get_if<ByteArray>(&value_)) return FromInt32(a->Items[index]);
  if (const auto* a = std::get_if<StringArray>(&value_)) return FromString(a->Items[index]);
  return std::get<VariantArray>(value_).Items[index];
}

std::u16string Variant::ToText() const {
  switch (GetKind()) {
    case Kind::Empty:
    case Kind::Null: return {};
    case Kind::Bool: return AsBool() ? u"True" : u"False";
    case Kind::Int32: return Utf8ToUtf16(std::to_string(AsInt32()));
    case Kind::String: return AsString();
    default: BadConversion();
  }
}

bool operator==(const Variant& a, const Variant& b) { return a.value_ == b.value_; }

}  // namespace qm::platform
