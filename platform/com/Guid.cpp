#include "platform/com/Guid.h"

#include <cstdio>

#include "platform/rtl/Exception.h"

namespace qm::platform {

std::optional<GUID> TryParseGuid(std::u16string_view text) {
  return detail::ParseGuidChars(text.data(), text.size());
}

GUID ParseGuid(std::u16string_view text) {
  if (auto g = TryParseGuid(text)) return *g;
  throw Exception(u"'" + std::u16string(text) + u"' is not a valid GUID value");
}

std::string GuidToAscii(const GUID& g) {
  char buffer[39];
  std::snprintf(buffer, sizeof buffer, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned>(g.Data1), static_cast<unsigned>(g.Data2),
                static_cast<unsigned>(g.Data3), g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3],
                g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
  return std::string(buffer, 38);
}

std::u16string GuidToString(const GUID& g) {
  const std::string ascii = GuidToAscii(g);
  return std::u16string(ascii.begin(), ascii.end());
}

void GuidToBytes(const GUID& g, uint8_t (&out)[GuidByteSize]) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(g.Data1 >> (8 * i));
  out[4] = static_cast<uint8_t>(g.Data2);
  out[5] = static_cast<uint8_t>(g.Data2 >> 8);
  out[6] = static_cast<uint8_t>(g.Data3);
  out[7] = static_cast<uint8_t>(g.Data3 >> 8);
  for (int i = 0; i < 8; ++i) out[8 + i] = g.Data4[i];
}

GUID GuidFromBytes(const uint8_t (&in)[GuidByteSize]) {
  GUID g;
  g.Data1 = static_cast<uint32_t>(in[0]) | static_cast<uint32_t>(in[1]) << 8 |
            static_cast<uint32_t>(in[2]) << 16 | static_cast<uint32_t>(in[3]) << 24;
  g.Data2 = static_cast<uint16_t>(in[4] | in[5] << 8);
  g.Data3 = static_cast<uint16_t>(in[6] | in[7] << 8);
  for (int i = 0; i < 8; ++i) g.Data4[i] = in[8 + i];
  return g;
}

size_t GuidHash::operator()(const GUID& g) const noexcept {
  // FNV-1a over the byte form: cheap and spreads every field.
  uint8_t bytes[GuidByteSize];
  GuidToBytes(g, bytes);
  uint64_t h = 14695981039346656037ull;
  for (uint8_t b : bytes) {
    h ^= b;
    h *= 1099511628211ull;
  }
  return static_cast<size_t>(h);
}

}  // namespace qm::platform
