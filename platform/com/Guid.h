// Globally unique identifiers: class, interface and form identities.
//
// The text form is the registry's: braces, upper-case hexadecimal, e.g.
// "{8DDD182B-AE09-4CB3-BA9A-DA3A0AA0AC4A}" (parsing accepts either case).
// The byte form is the 16-byte stream layout: Data1 as uint32, Data2 and
// Data3 as uint16, all little-endian, then the 8 bytes of Data4.
// Plain value type; usable on any thread.
#pragma once

#include <array>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace qm::platform {

struct GUID {
  uint32_t Data1 = 0;
  uint16_t Data2 = 0;
  uint16_t Data3 = 0;
  std::array<uint8_t, 8> Data4{};

  bool IsNull() const noexcept { return *this == GUID{}; }
  friend bool operator==(const GUID&, const GUID&) = default;
  friend std::strong_ordering operator<=>(const GUID&, const GUID&) = default;
};

using IID = GUID;
using CLSID = GUID;

inline constexpr GUID GUID_NULL{};
inline constexpr size_t GuidByteSize = 16;

namespace detail {
constexpr int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Parses "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" from any character type.
template <class Char>
constexpr std::optional<GUID> ParseGuidChars(const Char* s, size_t n) {
  if (n != 38 || s[0] != '{' || s[37] != '}') return std::nullopt;
  if (s[9] != '-' || s[14] != '-' || s[19] != '-' || s[24] != '-') return std::nullopt;
  auto hex = [&](size_t from, size_t count, uint64_t& out) {
    out = 0;
    for (size_t i = from; i < from + count; ++i) {
      const auto c = s[i];
      if (c > 0x7F) return false;
      const int d = HexDigit(static_cast<char>(c));
      if (d < 0) return false;
      out = out * 16 + static_cast<uint64_t>(d);
    }
    return true;
  };
  GUID g;
  uint64_t v = 0;
  if (!hex(1, 8, v)) return std::nullopt;
  g.Data1 = static_cast<uint32_t>(v);
  if (!hex(10, 4, v)) return std::nullopt;
  g.Data2 = static_cast<uint16_t>(v);
  if (!hex(15, 4, v)) return std::nullopt;
  g.Data3 = static_cast<uint16_t>(v);
  constexpr size_t positions[8] = {20, 22, 25, 27, 29, 31, 33, 35};
  for (size_t i = 0; i < 8; ++i) {
    if (!hex(positions[i], 2, v)) return std::nullopt;
    g.Data4[i] = static_cast<uint8_t>(v);
  }
  return g;
}
}  // namespace detail

// Compile-time identifiers for interfaces and classes:
//   constexpr IID Iid = MakeGuid("{...}");
consteval GUID MakeGuid(const char (&text)[39]) {
  const auto g = detail::ParseGuidChars(text, 38);
  if (!g) throw "malformed GUID literal";  // fails the constant evaluation
  return *g;
}

std::optional<GUID> TryParseGuid(std::u16string_view text);
// Raises Exception "'<text>' is not a valid GUID value" on bad input.
GUID ParseGuid(std::u16string_view text);
std::u16string GuidToString(const GUID& g);
std::string GuidToAscii(const GUID& g);

void GuidToBytes(const GUID& g, uint8_t (&out)[GuidByteSize]);
GUID GuidFromBytes(const uint8_t (&in)[GuidByteSize]);

struct GuidHash {
  size_t operator()(const GUID& g) const noexcept;
};

}  // namespace qm::platform

template <>
struct std::hash<qm::platform::GUID> : qm::platform::GuidHash {};
